#pragma once
// Results of reading or acquiring an input device, with the DirectInput
// numbers and names the engine logs.
#include <cstdint>

namespace platform {

enum class InputResult : std::uint32_t {
    Ok = 0,
    InputLost = 0x8007001Eu,         // DIERR_INPUTLOST
    NotAcquired = 0x8007000Cu,       // DIERR_NOTACQUIRED
    NotInitialized = 0x80070015u,    // DIERR_NOTINITIALIZED
    OtherAppHasPriority = 0x80070005u,  // DIERR_OTHERAPPHASPRIO
    Generic = 0x80004005u,           // DIERR_GENERIC
};

const char* inputResultName(InputResult result);

// A lost or unacquired device is acquired again before the next read.
inline bool needsAcquire(InputResult result)
{
    return result == InputResult::InputLost || result == InputResult::NotAcquired;
}

} // namespace platform
