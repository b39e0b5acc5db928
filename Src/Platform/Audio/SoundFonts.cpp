#include "Platform/Audio/SoundFonts.h"

#include <algorithm>
#include <filesystem>

namespace Platform::Audio {

namespace {
bool HasSoundFontExtension(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".sf2" || extension == ".sf3";
}

void AddOnce(std::vector<std::string>& list, const std::string& path)
{
    if (std::find(list.begin(), list.end(), path) == list.end())
        list.push_back(path);
}
} // namespace

std::vector<std::string> SoundFontCandidates(const SoundFontSearch& search)
{
    std::vector<std::string> candidates;
    std::error_code error;
    if (!search.preferred.empty() && std::filesystem::is_regular_file(search.preferred, error))
        AddOnce(candidates, search.preferred);
    for (const std::string& folder : search.folders) {
        std::vector<std::string> found;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
            if (HasSoundFontExtension(entry->path()) && entry->is_regular_file(error))
                found.push_back(entry->path().string());
        }
        error.clear();
        std::sort(found.begin(), found.end());
        for (const std::string& path : found)
            AddOnce(candidates, path);
    }
    return candidates;
}

} // namespace Platform::Audio
