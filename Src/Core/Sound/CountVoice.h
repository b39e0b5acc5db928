#pragma once
#include "Core/Engine/CountWords.h"
#include "Core/Sound/ICountVoice.h"
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/SampleSound.h"
#include "Platform/Audio/WordVoice.h"

#include <array>
#include <functional>
#include <string>

namespace Core {

/// Reads a word's wave file and converts it to rate, whole in memory, as the spoken count
/// plays it. False when the file cannot be read or is too long to hold.
bool LoadCountWord(const std::string& path, std::uint32_t rate, Platform::Audio::SampleSound& sound);

/// The spoken count from the shipped sound files: one folder per language under the voice
/// folder, each holding a wave file per word (CountWordFile), rendered when the program was
/// built and trimmed so that each word's sound begins at its first frame. The words of the
/// chosen language are read and decoded at the mixer's rate at the first Open that needs
/// them and kept for later runs.
class CountVoice final : public ICountVoice {
public:
    /// folder: the voice folder with a trailing '/' (Platform::VoiceFolder()).
    CountVoice(Platform::Audio::Mixer& mixer, std::string folder);

    /// Where each Open asks which language to speak: a shipped language's file name ("de",
    /// "fr"); empty, or one without words, is English (also without a source). Window thread.
    void FollowLanguage(std::function<std::string()> language);
    /// The language whose words the last Open found ("en", "de", ...), empty before.
    const std::string& LoadedLanguage() const { return loaded_; }

    bool Open(const Configuration::ConfigurationData& settings) override;
    bool Say(std::int32_t word, std::uint32_t volume) noexcept override;
    void Close() override;

private:
    bool Load(const std::string& language, std::uint32_t rate);

    Platform::Audio::Mixer& mixer_;
    const std::string folder_;
    std::function<std::string()> language_;
    std::string loaded_;
    std::string asked_; // the language loaded_ was found for
    std::uint32_t loadedRate_ = 0;
    std::string failedLanguage_; // told once
    std::array<Platform::Audio::SampleSound, CountWordCount> words_;
    Platform::Audio::WordVoice voice_;
};

} // namespace Core
