#include "Core/UnavailableSoundEngine.h"

#include "Platform/Audio/ResultCodes.h"
#include "System/Log.h"

namespace Core {

bool UnavailableSoundEngine::Initialise(const Configuration::ConfigurationData&)
{
    lastResult_ = Platform::Audio::NoDriver;
    System::Log().Write(System::Error, "%s", reason_);
    return false;
}

bool UnavailableSoundEngine::PlaySound(std::uint32_t, std::uint32_t)
{
    lastResult_ = Platform::Audio::NoDriver;
    return false;
}

} // namespace Core
