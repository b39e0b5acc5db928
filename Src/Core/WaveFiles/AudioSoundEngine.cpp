#include "Core/WaveFiles/AudioSoundEngine.h"

#include "Core/Sound/MultimediaErrorReport.h"
#include "Core/WaveFiles/VerifyAudioFile.h"
#include "Platform/Clock.h"
#include "System/Log.h"

#include <string_view>
#include <thread>

namespace Core {

AudioSoundEngine::~AudioSoundEngine()
{
    JoinPreparation();
    Close();
    if (holdsOutput_)
        mixer_.Release();
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

std::array<std::int32_t, Configuration::VoiceCount> AudioSoundEngine::SameAs(const Paths& paths)
{
    std::array<std::int32_t, Configuration::VoiceCount> sameAs{};
    for (std::size_t voice = 0; voice < paths.size(); ++voice) {
        sameAs[voice] = -1;
        for (std::size_t earlier = 0; earlier < voice && sameAs[voice] < 0; ++earlier) {
            if (paths[earlier] == paths[voice])
                sameAs[voice] = static_cast<std::int32_t>(earlier);
        }
    }
    return sameAs;
}

std::int32_t AudioSoundEngine::CheckFile(std::size_t voice, const std::u16string& path)
{
    const FileStamp stamp = StampOf(path.c_str());
    Check& check = checks_[voice];
    if (stamp.size < 0 || check.path != path || !(check.stamp == stamp)) {
        check.path.clear(); // while the check runs
        check.result = VerifyAudioFile(path.c_str());
        check.stamp = stamp;
        check.path = path;
    }
    return check.result;
}

void AudioSoundEngine::JoinPreparation()
{
    if (preparation_.joinable())
        preparation_.join();
}

void AudioSoundEngine::Prepare(const Configuration::ConfigurationData& settings)
{
    if (open_.load() || preparing_.load())
        return;
    JoinPreparation();
    Paths paths;
    for (std::size_t voice = 0; voice < paths.size(); ++voice)
        paths[voice] = settings.File[voice];
    preparing_.store(true);
    prepared_ = true;
    // Opening the output and reading the files can take long (a sound server that hangs, a
    // large file on a slow disk); the window only waits for it with a busy cursor.
    preparation_ = std::thread([this, paths = std::move(paths)] {
        if (!holdsOutput_)
            holdsOutput_ = mixer_.Acquire() == Platform::Audio::NoError;
        else if (mixer_.StreamLost())
            mixer_.Restore();
        const auto sameAs = SameAs(paths);
        for (std::size_t voice = 0; voice < paths.size(); ++voice) {
            if (paths[voice].empty() || sameAs[voice] >= 0)
                continue;
            const std::int32_t check = CheckFile(voice, paths[voice]);
            if (check == AudioFileCheck::Usable || check == AudioFileCheck::LargeFile)
                voices_[voice].ReadSound(paths[voice].c_str(), mixer_.SampleRate());
        }
        preparing_.store(false);
    });
}

bool AudioSoundEngine::IsPrepared(const Configuration::ConfigurationData& /*settings*/) const
{
    return !preparing_.load();
}

bool AudioSoundEngine::Initialise(const Configuration::ConfigurationData& settings)
{
    JoinPreparation();
    Close();
    engineError_.store(0, std::memory_order_relaxed);

    Paths paths;
    for (std::size_t voice = 0; voice < paths.size(); ++voice)
        paths[voice] = settings.File[voice];
    const auto sameAs = SameAs(paths);
    bool anyPath = false;
    for (std::size_t voice = 0; voice < paths.size(); ++voice) {
        if (paths[voice].empty())
            continue;
        anyPath = true;
        if (sameAs[voice] >= 0)
            continue; // a file is checked and read once
        const std::int32_t check = CheckFile(voice, paths[voice]);
        if (check != AudioFileCheck::Usable && check != AudioFileCheck::LargeFile) {
            currentVoice_ = static_cast<std::int32_t>(voice);
            voices_[voice].RecordNoOutput(); // the voice has no sound to play
            return false;
        }
    }
    if (!anyPath) {
        // Message 49: no sound selected for playback has an audio file.
        engineError_.store(NoOpenOutput, std::memory_order_relaxed);
        return false;
    }
    if (prepared_ && !holdsOutput_) {
        // The preparation found no output; trying again here could hold the window for as
        // long as a sound server takes not to answer. The next preparation tries again.
        engineError_.store(Platform::Audio::NoDriver, std::memory_order_relaxed);
        ReportMultimediaError(u".\\Src\\Core\\AudioSoundEngine", u"Core::AudioSoundEngine::Initialise", __LINE__,
                              Platform::Audio::NoDriver, u"Error calling waveOutOpen");
        return false;
    }

    // The files are decoded at the rate the output's stream runs at: never prepared, the
    // stream is opened first, and held here only until the voices hold it.
    struct HeldForLoading {
        Platform::Audio::Mixer& mixer;
        bool held;
        ~HeldForLoading()
        {
            if (held)
                mixer.Release();
        }
    } const heldForLoading{mixer_, !holdsOutput_ && mixer_.Acquire() == Platform::Audio::NoError};
    const std::int32_t extraPlayers = ExtraPlayers(settings);
    for (std::int32_t voice = 0; voice < Configuration::VoiceCount; ++voice) {
        currentVoice_ = voice;
        const std::int32_t same = sameAs[static_cast<std::size_t>(voice)];
        const WaveFile* sameFile = same >= 0 ? &voices_[static_cast<std::size_t>(same)] : nullptr;
        if (!voices_[static_cast<std::size_t>(voice)].LoadSound(settings.File[voice].c_str(), extraPlayers, mixer_, streamer_, sameFile))
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
        if (!played)
            failedPlay_.store(voices_[sound].LastResult(), std::memory_order_relaxed);
    } else {
        // An index past the voices, or a closed engine: no voice is touched.
        currentVoice_ = sound < voices_.size() ? static_cast<std::int32_t>(sound) : -1;
        engineError_.store(NoOpenOutput, std::memory_order_relaxed);
        failedPlay_.store(NoOpenOutput, std::memory_order_relaxed);
    }
    playsInFlight_.fetch_sub(1);
    return played;
}

void AudioSoundEngine::Close()
{
    open_.store(false);
    while (playsInFlight_.load() != 0)
        std::this_thread::yield();
    // The timer thread only kept the failure; its entry is written here.
    if (const std::uint32_t failed = failedPlay_.exchange(0, std::memory_order_relaxed); failed == NoOpenOutput)
        System::Log().Write(System::Warn, "Attempting to play sound when _waveOutHandle not initialised");
    else if (failed != 0)
        ReportMultimediaError(u".\\Src\\Core\\WaveFile", u"Core::WaveFile::Play", __LINE__, failed,
                              u"Error calling waveOutWrite");
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
