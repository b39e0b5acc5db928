#include "Core/Sound/OutputReport.h"

#include "Platform/Audio/Mixer.h"
#include "System/Log.h"

#include <atomic>
#include <string>

namespace Core {

void ReportOutputInUse(const Platform::Audio::Mixer& mixer)
{
    static std::atomic<bool> reported{false};
    if (reported.exchange(true))
        return;
    const std::string passedOver = mixer.LastFailure();
    const std::string identity = mixer.OutputIdentity();
    System::Log().Write(System::Information, "Sound output: %s at %u Hz, latency %.1f ms%s%s%s",
                        identity.empty() ? mixer.BackendName().c_str() : identity.c_str(),
                        static_cast<unsigned>(mixer.SampleRate()),
                        mixer.DeviceLatencySeconds() * 1000.0, passedOver.empty() ? "" : " (passed over: ",
                        passedOver.c_str(), passedOver.empty() ? "" : ")");
}

} // namespace Core
