// Arbitrary bytes as a MIDI take handed to --score: the reader must never crash or read past
// the bytes, and what it accepts gives note times in order, none before the start.
#include "Core/Timing/TakeFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Most inputs get the header's magic, so the tracks are what is fuzzed.
    std::string bytes = size > 0 && (data[0] & 1) != 0 ? std::string("MThd") : std::string();
    bytes.append(reinterpret_cast<const char*>(data), size);
    std::vector<double> seconds;
    std::string error;
    if (Core::Timing::ReadMidiNoteOns(bytes, seconds, error)
        && (!std::is_sorted(seconds.begin(), seconds.end()) || (!seconds.empty() && seconds.front() < 0)))
        std::abort();
    return 0;
}
