// Song files are the user's text: any bytes must read without a fault, keep every line, write
// back what was read, and give a schedule whose ticks move forward in time.
#include "Core/Songs/SongSchedule.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const Core::Song song = Core::ParseSong(bytes, "fuzz");
    const std::string written = Core::FormatSong(song);
    // What was written reads as the same song, and writes the same again.
    if (Core::FormatSong(Core::ParseSong(written, "fuzz")) != written)
        std::abort();
    if (song.Parts().empty())
        return 0;
    Core::SongCursor cursor(song, 0, 1.0, true);
    double last = cursor.Current().seconds;
    for (int tick = 0; tick < 2000 && cursor.Advance(); ++tick) {
        if (!(cursor.Current().seconds > last))
            std::abort();
        last = cursor.Current().seconds;
    }
    return 0;
}
