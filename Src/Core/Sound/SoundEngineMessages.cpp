#include "Core/Sound/SoundEngineMessages.h"

namespace Core {

int MessageForResultCode(std::uint32_t code) noexcept
{
    if (code >= 2 && code <= 21)
        return static_cast<int>(code) + 23;
    if (code >= 32 && code <= 35)
        return static_cast<int>(code) + 13;
    if (code == 1000)
        return 49;
    if (code == 1001)
        return 50;
    return 24;
}

} // namespace Core
