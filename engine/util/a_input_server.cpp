#include "engine/util/a_input_server.h"

#include <cstring>

#include "engine/util/a_application.h"
#include "engine/util/a_log.h"
#include "platform/keyboard.h"

aInputServer::aInputServer() : m_timer(aTimer::PerformanceCounter)
{
    if (g_application)
        g_application->m_inputServer = this;
    else
        a_log("aInputServer. aApplication object not created!");
}

aInputServer::~aInputServer()
{
    if (g_application && g_application->m_inputServer == this)
        g_application->m_inputServer = nullptr;
}

void aInputServer::update()
{
    pollKeyboard();
    m_timer.reset();
}

void aInputServer::pollKeyboard()
{
    if (g_application && !g_application->m_active)
        return;
    platform::KeyFrame raw{};
    if (!platform::keyboard().read(raw)) {
        a_log("aInputServer. Keyboard GetDeviceState failed (%s)", "DIERR_INPUTLOST");
        raw.fill(0);
    }
    std::memcpy(m_rawKeys, raw.data(), sizeof m_rawKeys);
    for (int k = 0; k < 256; ++k)
        m_keys[k] = nextState(m_keys[k], (m_rawKeys[k] & 0x80) != 0);
}

bool aInputServer::isAnyKeyPressed() const
{
    for (std::uint32_t s : m_keys) {
        if (s == KEY_PRESSED)
            return true;
    }
    return false;
}
