#include "engine/sound/a_sound_base.h"

aSoundBase::~aSoundBase() = default;

bool aSoundBase::IsLooped() { return m_looped; }
void aSoundBase::SetPan(float pan) { m_pan = pan; }
float aSoundBase::GetPan() { return m_pan; }
void aSoundBase::SetVolume(float volume) { m_volume = volume; }
float aSoundBase::GetVolume() { return m_volume; }
void aSoundBase::SetPriority(std::uint8_t priority) { m_priority = priority; }
std::uint8_t aSoundBase::GetPriority() { return m_priority; }
void aSoundBase::SetGroup(const std::string& group) { m_group = group; }
std::string aSoundBase::GetGroup() { return m_group; }
