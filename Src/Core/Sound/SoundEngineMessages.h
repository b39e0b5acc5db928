#pragma once
#include <cstdint>

namespace Core {

/// The [Message] text number that explains a sound engine's result code: the multimedia
/// system errors 2..21 give 25..44, the waveform-output errors 32..35 give 45..48, the audio
/// engine's 1000 (no open output) gives 49 and 1001 (no playback thread) 50; every other
/// code, 0 and 1 included, gives 24 ("Unspecified error"). Pure; any thread.
int MessageForResultCode(std::uint32_t code) noexcept;

} // namespace Core
