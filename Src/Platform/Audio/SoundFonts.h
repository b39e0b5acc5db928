#pragma once
#include <string>
#include <vector>

namespace Platform::Audio {

/// Where the built-in synthesizer looks for a General MIDI soundfont: the preferred file
/// first, then every *.sf2 and *.sf3 of the folders, in folder order and, within a folder,
/// in name order.
struct SoundFontSearch {
    std::string preferred = "/usr/share/sounds/sf2/default-GM.sf2";
    std::vector<std::string> folders = {"/usr/share/sounds/sf2", "/usr/share/soundfonts"};
};

/// The candidate files of search in the order they are to be tried; missing files and
/// folders are left out. Any thread.
std::vector<std::string> SoundFontCandidates(const SoundFontSearch& search);

} // namespace Platform::Audio
