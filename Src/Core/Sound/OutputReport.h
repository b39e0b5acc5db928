#pragma once

namespace Platform::Audio {
class Mixer;
}

namespace Core {

/// Writes one Information line to the log naming the output the mixer plays through, its
/// rate and its latency (and the outputs passed over before it, and why), the first time a sound engine opens it in this process; later calls
/// write nothing. Control thread.
void ReportOutputInUse(const Platform::Audio::Mixer& mixer);

} // namespace Core
