#pragma once
#include "Platform/Audio/KitRendering.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Platform::Audio {

/// How one run of the kit's rendering helper (tolvane-kit) ended.
enum class HelperEnd {
    Rendered,      // every note written
    NotASoundFont, // the file is not a usable soundfont (another one may be)
    OutOfMemory,
    Failed,        // missing, crashed, hung, or wrote what was not asked for: running it again will not help
    Cancelled,     // the caller gave up (the program ends)
};

/// Runs the helper once for notes (valid, each once) of soundFont at sampleRate and hands each
/// note's rendering to take as it arrives. Bounded: a helper that writes nothing for
/// silenceMs is killed, as is one that writes a note it was not asked for, one twice or one
/// longer than a rendering can be (so what is read is at most the asked notes' longest
/// renderings); cancel is looked at every 100 ms and ends the run at once. The helper is always
/// reaped before this returns. why says what went wrong (empty after Rendered).
HelperEnd RunKitHelper(const std::string& helper, const std::string& soundFont, std::uint32_t sampleRate,
                       const std::vector<std::pair<int, int>>& notes,
                       const std::function<void(const KitRendering::NoteHeader&, std::vector<float>&&)>& take,
                       const std::atomic<bool>& cancel, int silenceMs, std::string& why);

} // namespace Platform::Audio
