#include "platform/input/input_result.h"

namespace platform {

const char* inputResultName(InputResult result)
{
    switch (result) {
    case InputResult::Ok: return "DI_OK";
    case InputResult::InputLost: return "DIERR_INPUTLOST";
    case InputResult::NotAcquired: return "DIERR_NOTACQUIRED";
    case InputResult::NotInitialized: return "DIERR_NOTINITIALIZED";
    case InputResult::OtherAppHasPriority: return "DIERR_OTHERAPPHASPRIO";
    case InputResult::Generic: return "DIERR_GENERIC";
    }
    return "Unknown error";
}

} // namespace platform
