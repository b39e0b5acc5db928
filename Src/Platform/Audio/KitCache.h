#pragma once
#include "Platform/Audio/KitRendering.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Platform::Audio {

/// The kit's rendered notes kept on disk between runs, so that a launch whose notes were
/// rendered before plays without starting the helper: one file per note and velocity in
/// $XDG_CACHE_HOME/tolvane/ (~/.cache/tolvane/), a folder of mode 0700, each file 0600 and
/// written whole or not at all (a temporary file renamed into place).
///
/// A rendering is found only for the same soundfont file (path, size and modification time),
/// rate, note and velocity: the file names its whole key and a checksum over all of it, so a
/// file that is damaged, cut short, foreign or stale is ignored (and replaced by the next
/// Store), never trusted. Without a usable folder nothing is kept and nothing found.
/// Any thread; the files are the only shared state.
class KitCache {
public:
    /// The cache for soundFont at sampleRate; folder is where the files live (empty: the
    /// user's cache folder as above).
    KitCache(const std::string& soundFont, std::uint32_t sampleRate, std::string folder = {});

    struct Hit {
        std::vector<float> samples; // interleaved stereo
        KitRendering::NoteHeader header{};
    };
    /// The stored rendering of note at velocity, if a sound one is there.
    std::optional<Hit> Find(int note, int velocity) const;
    /// Keeps a rendering; false when it could not be written (nothing is left behind).
    bool Store(const KitRendering::NoteHeader& header, const std::vector<float>& samples) const;

    /// The file a rendering of note at velocity is kept in (empty without a usable folder).
    std::string FileOf(int note, int velocity) const;

private:
    std::string Key(int note, int velocity) const;

    std::string folder_;   // with a trailing '/', or empty
    std::string soundFont_;
    std::uint32_t sampleRate_ = 0;
    std::int64_t fontSize_ = -1;
    std::int64_t fontTime_ = 0; // modification time, ns
};

} // namespace Platform::Audio
