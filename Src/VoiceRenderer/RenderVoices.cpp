// Renders the spoken count's words into the wave files the program ships:
//
//   tolvane-voices OUTPUT-FOLDER ESPEAK LANG-FOLDER LANGUAGE...
//
// For each language ("en" is the built-in English table, any other the language file
// LANG-FOLDER/LANGUAGE.lng) each word of the count is read from the text table, spoken by
// espeak-ng into a temporary wave file, trimmed so that its sound begins at its first frame
// (the first sample within 40 dB of the word's peak; a count that starts late drags), its
// quiet tail cut, its loudness brought to one level, and written as
// OUTPUT-FOLDER/LANGUAGE/<word>.wav (16-bit mono at espeak-ng's rate). Run by the build.
#include "Core/Engine/CountWords.h"
#include "Platform/Audio/SoundFile.h"
#include "Platform/Text.h"
#include "System/CurrentLanguage.h"
#include "System/LanguageFileReader.h"

#include <sndfile.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

// The count's words are entries from here on in the [Text] table, in CountWord order.
constexpr int FirstWordText = 290;
// Onset: the first sample within this of the peak; the tail ends at the last one.
constexpr double OnsetBelowPeak = 0.01; // -40 dB
constexpr double TargetRms = 0.15;      // about -16.5 dBFS
constexpr double PeakLimit = 0.89;      // -1 dBFS
constexpr double TailFadeSeconds = 0.005;

// espeak-ng's voice for a language, and its speed in words a minute: short and clear.
const char* VoiceOf(const std::string& language)
{
    return language == "en" ? "en-us" : language.c_str();
}

bool Speak(const std::string& espeak, const std::string& language, const std::string& text, const std::string& file)
{
    const std::string voice = VoiceOf(language);
    std::vector<std::string> arguments{espeak, "-v", voice, "-s", "200", "-w", file, "--", text};
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawn(&child, espeak.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The word trimmed to its sound, at one loudness; empty when espeak-ng gave nothing.
std::vector<float> Shape(const Platform::Audio::SoundFileContents& spoken)
{
    std::vector<float> mono;
    const auto channels = static_cast<std::size_t>(std::max(spoken.channels, 1));
    for (std::size_t i = 0; i + channels <= spoken.samples.size(); i += channels)
        mono.push_back(spoken.samples[i]);
    float peak = 0.0f;
    for (float value : mono)
        peak = std::max(peak, std::fabs(value));
    if (peak <= 0.0f)
        return {};
    const auto loud = [&](float value) { return std::fabs(value) >= peak * OnsetBelowPeak; };
    const auto first = std::find_if(mono.begin(), mono.end(), loud);
    const auto last = std::find_if(mono.rbegin(), mono.rend(), loud).base();
    std::vector<float> word(first, last);
    double energy = 0.0;
    for (float value : word)
        energy += static_cast<double>(value) * value;
    const double rms = std::sqrt(energy / static_cast<double>(word.size()));
    const double gain = std::min(TargetRms / rms, PeakLimit / peak);
    for (float& value : word)
        value = static_cast<float>(value * gain);
    const auto fade = std::min<std::size_t>(word.size(), static_cast<std::size_t>(TailFadeSeconds * spoken.rate));
    for (std::size_t k = 0; k < fade; ++k)
        word[word.size() - 1 - k] *= static_cast<float>(k) / static_cast<float>(fade);
    return word;
}

bool Write(const std::string& path, const std::vector<float>& word, std::uint32_t rate)
{
    SF_INFO info{};
    info.samplerate = static_cast<int>(rate);
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        return false;
    const sf_count_t written = sf_writef_float(file, word.data(), static_cast<sf_count_t>(word.size()));
    return sf_close(file) == 0 && written == static_cast<sf_count_t>(word.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: tolvane-voices OUTPUT-FOLDER ESPEAK LANG-FOLDER LANGUAGE...\n");
        return 2;
    }
    const std::string output = argv[1];
    const std::string espeak = argv[2];
    const std::string languages = argv[3];
    mkdir(output.c_str(), 0755);
    for (int a = 4; a < argc; ++a) {
        const std::string language = argv[a];
        std::shared_ptr<const System::ILanguage> table = System::BuiltInLanguage();
        if (language != "en")
            table = System::LoadLanguageFile(languages + "/" + language + ".lng");
        if (!table) {
            std::fprintf(stderr, "tolvane-voices: %s/%s.lng cannot be read\n", languages.c_str(), language.c_str());
            return 1;
        }
        const std::string folder = output + "/" + language;
        mkdir(folder.c_str(), 0755);
        for (int word = 0; word < Core::CountWordCount; ++word) {
            const char16_t* text = table->GetText(FirstWordText + word);
            const std::string utf8 = text != nullptr ? Platform::Text::Utf16ToUtf8(text) : std::string();
            const std::string spoken = folder + "/spoken.tmp.wav";
            const std::string target = folder + "/" + Core::CountWordFile(word) + ".wav";
            if (utf8.empty() || !Speak(espeak, language, utf8, spoken)) {
                std::fprintf(stderr, "tolvane-voices: %s: word %d (\"%s\") not spoken\n", language.c_str(), word,
                             utf8.c_str());
                return 1;
            }
            const auto contents = Platform::Audio::ReadSoundFile(spoken);
            std::remove(spoken.c_str());
            const std::vector<float> shaped = Shape(contents);
            if (shaped.empty() || !Write(target, shaped, contents.rate)) {
                std::fprintf(stderr, "tolvane-voices: %s could not be made\n", target.c_str());
                return 1;
            }
        }
    }
    return 0;
}
