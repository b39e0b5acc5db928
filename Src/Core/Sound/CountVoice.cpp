#include "Core/Sound/CountVoice.h"

#include "Platform/Audio/SoundFile.h"
#include "System/Log.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Core {

CountVoice::CountVoice(Platform::Audio::Mixer& mixer, std::string folder)
    : mixer_(mixer), folder_(std::move(folder))
{
}

void CountVoice::FollowLanguage(std::function<std::string()> language)
{
    language_ = std::move(language);
}

bool LoadCountWord(const std::string& path, std::uint32_t rate, Platform::Audio::SampleSound& sound)
{
    const auto contents = Platform::Audio::ReadSoundFile(path);
    if (contents.rate == 0 || contents.channels < 1 || contents.channels > 2 || contents.samples.empty())
        return false;
    std::vector<std::int16_t> pcm(contents.samples.size());
    std::transform(contents.samples.begin(), contents.samples.end(), pcm.begin(), [](float value) {
        return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
    });
    const Platform::Audio::PcmFormat format{static_cast<std::uint16_t>(contents.channels), contents.rate, 16,
                                            Platform::Audio::SampleEncoding::Integer};
    return sound.Make(format, reinterpret_cast<const std::uint8_t*>(pcm.data()),
                      static_cast<std::uint32_t>(pcm.size() * sizeof(std::int16_t)), rate)
               == Platform::Audio::NoError
           && !sound.Streamed();
}

bool CountVoice::Load(const std::string& language, std::uint32_t rate)
{
    for (int word = 0; word < CountWordCount; ++word) {
        if (!LoadCountWord(folder_ + language + "/" + CountWordFile(word) + ".wav", rate,
                           words_[static_cast<std::size_t>(word)]))
            return false;
    }
    return true;
}

bool CountVoice::Open(const Configuration::ConfigurationData& settings)
{
    Close();
    if (settings.CountVoice == Configuration::CountVoiceOff)
        return false;
    const std::uint32_t rate = mixer_.SampleRate();
    std::string wanted = language_ ? language_() : std::string();
    if (wanted.empty())
        wanted = "en";
    if (loadedRate_ != rate || asked_ != wanted) {
        loaded_.clear();
        asked_.clear();
        loadedRate_ = 0;
        for (const std::string& language : {wanted, std::string("en")}) {
            if (Load(language, rate)) {
                loaded_ = language;
                asked_ = wanted;
                loadedRate_ = rate;
                break;
            }
            if (failedLanguage_ != language) {
                failedLanguage_ = language;
                System::Log().Write(System::Warn, "The spoken count's words in %s could not be read from %s%s/",
                                    language.c_str(), folder_.c_str(), language.c_str());
            }
            if (language == "en")
                break;
        }
        if (loaded_.empty()) {
            for (auto& sound : words_)
                sound.Clear();
            return false;
        }
    }
    std::array<const Platform::Audio::SampleSound*, CountWordCount> sounds{};
    for (int word = 0; word < CountWordCount; ++word)
        sounds[static_cast<std::size_t>(word)] = &words_[static_cast<std::size_t>(word)];
    return voice_.Open(mixer_, sounds.data(), CountWordCount) == Platform::Audio::NoError;
}

bool CountVoice::Say(std::int32_t word, std::uint32_t volume) noexcept
{
    const float gain = static_cast<float>(std::min(volume, 127u)) / 127.0f;
    return voice_.Play(word, gain, Platform::CurrentSoundStamp()) == Platform::Audio::NoError;
}

void CountVoice::Close()
{
    voice_.Close();
}

} // namespace Core
