#include "Core/WaveFiles/AudioSoundEngine.h"

#include "Core/WaveFiles/VerifyAudioFile.h"
#include "Platform/Clock.h"
#include "System/Log.h"

#include <string_view>
#include <thread>

namespace Core {

AudioSoundEngine::~AudioSoundEngine()
{
    Close();
}

std::int32_t AudioSoundEngine::ExtraPlayers(const Configuration::ConfigurationData& settings) noexcept
{
    std::int32_t subdivision = settings.Subdivision1;
    using Configuration::BeatKind;
    if (settings.CompoundTime == 1
        && (settings.BeatType == BeatKind::BeatsPerBar || settings.BeatType == BeatKind::CustomPattern))
        subdivision = 3;
    else if (settings.BeatType == BeatKind::CustomRhythm)
        subdivision = settings.CrSubdivision;
    return settings.Bpm / 200 + subdivision / 4 + 2;
}

bool AudioSoundEngine::Initialise(const Configuration::ConfigurationData& settings)
{
    Close();
    engineError_.store(0, std::memory_order_relaxed);

    // The voice before that uses the same file, or -1: a file is checked and read once.
    std::array<std::int32_t, Configuration::VoiceCount> sameAs{};
    bool anyPath = false;
    for (std::int32_t voice = 0; voice < Configuration::VoiceCount; ++voice) {
        const char16_t* path = settings.File[voice];
        sameAs[static_cast<std::size_t>(voice)] = -1;
        for (std::int32_t earlier = 0; earlier < voice && sameAs[static_cast<std::size_t>(voice)] < 0; ++earlier) {
            if (std::u16string_view(settings.File[earlier]) == std::u16string_view(path))
                sameAs[static_cast<std::size_t>(voice)] = earlier;
        }
        if (path[0] == 0 || sameAs[static_cast<std::size_t>(voice)] >= 0) {
            anyPath = anyPath || path[0] != 0;
            continue;
        }
        anyPath = true;
        const std::int32_t check = VerifyAudioFile(path);
        if (check != AudioFileCheck::Usable && check != AudioFileCheck::LargeFile) {
            currentVoice_ = voice;
            return false;
        }
    }
    if (!anyPath) {
        // Message 49: no sound selected for playback has an audio file.
        engineError_.store(NoOpenOutput, std::memory_order_relaxed);
        return false;
    }

    const std::int32_t extraPlayers = ExtraPlayers(settings);
    for (std::int32_t voice = 0; voice < Configuration::VoiceCount; ++voice) {
        currentVoice_ = voice;
        const std::int32_t same = sameAs[static_cast<std::size_t>(voice)];
        const WaveFile* sameFile = same >= 0 ? &voices_[static_cast<std::size_t>(same)] : nullptr;
        if (!voices_[static_cast<std::size_t>(voice)].LoadSound(settings.File[voice], extraPlayers, mixer_, sameFile))
            return false;
    }
    open_.store(true);
    return true;
}

bool AudioSoundEngine::PlaySound(std::uint32_t volume, std::uint32_t sound)
{
    // Announce the call before looking at open_, and Close clears open_ before it looks at
    // the count: one of the two always sees the other.
    playsInFlight_.fetch_add(1);
    const Platform::SoundStamp stamp = Platform::CurrentSoundStamp();
    bool played = false;
    if (sound < voices_.size() && open_.load()) {
        currentVoice_ = static_cast<std::int32_t>(sound);
        engineError_.store(0, std::memory_order_relaxed);
        played = voices_[sound].Play(volume, stamp);
    } else {
        // An index past the voices, or a closed engine: no player is touched.
        currentVoice_ = sound < voices_.size() ? static_cast<std::int32_t>(sound) : -1;
        engineError_.store(NoOpenOutput, std::memory_order_relaxed);
        System::Log().Write(System::Warn, "Attempting to play sound when _waveOutHandle not initialised");
    }
    playsInFlight_.fetch_sub(1);
    return played;
}

void AudioSoundEngine::Close()
{
    open_.store(false);
    while (playsInFlight_.load() != 0)
        std::this_thread::yield();
    for (WaveFile& voice : voices_)
        voice.Close();
}

const Platform::IFrameClock* AudioSoundEngine::FrameClock() const
{
    if (!open_.load())
        return nullptr;
    return &mixer_;
}

std::uint32_t AudioSoundEngine::GetLastErrorCode()
{
    if (const std::uint32_t error = engineError_.load(std::memory_order_relaxed); error != 0)
        return error;
    if (currentVoice_ < 0 || currentVoice_ >= static_cast<std::int32_t>(voices_.size()))
        return NoOpenOutput;
    return voices_[static_cast<std::size_t>(currentVoice_)].LastResult();
}

} // namespace Core
