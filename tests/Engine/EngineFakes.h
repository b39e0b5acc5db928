#pragma once
// Fakes for driving the metronome tick by tick without a timer thread or a sound device:
// a timer that only records what it is told, an engine that records every sound and can be
// told to fail, a lamp and an event handler that record their calls in one shared log.
#include "Core/Engine/Metronome.h"
#include "Core/Engine/StrategySet.h"
#include "Platform/RealTime.h"
#include "Platform/Text.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace EngineFakes {

/// Every call the fakes receive, in order, as short texts ("Close", "OnStopped 120", ...).
using CallLog = std::vector<std::string>;

class FakeTimer final : public Core::IMetronomeTimer {
public:
    bool Start(Core::ITimerEventHandler* handler, double intervalMs, const Platform::IFrameClock*) override
    {
        if (failStart)
            return false;
        this->handler = handler;
        interval = intervalMs;
        running = true;
        return true;
    }
    void ReTime(double intervalMs) override
    {
        interval = intervalMs;
        ++reTimes;
    }
    void Stop() override { running = false; }
    bool IsRunning() const override { return running; }

    /// Gives n ticks, as the timer thread would, while the timer runs.
    void Tick(int n = 1)
    {
        for (int i = 0; i < n && running; ++i)
            handler->OnTimer();
    }

    Core::ITimerEventHandler* handler = nullptr;
    double interval = 0.0;
    bool running = false;
    bool failStart = false;
    int reTimes = 0;
};

struct Sound {
    std::uint32_t volume;
    std::uint32_t sound;
};

class FakeSoundEngine final : public Core::ISoundEngine {
public:
    explicit FakeSoundEngine(CallLog& log) : log_(log) {}
    bool Initialise(const Configuration::ConfigurationData&) override
    {
        log_.push_back("Initialise");
        if (failInitialise)
            return false;
        open = true;
        return true;
    }
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override
    {
        if (!open)
            log_.push_back("PlaySound on a closed engine");
        sounds.push_back({volume, sound});
        const int number = static_cast<int>(sounds.size()) - 1;
        if (failAtSound >= 0 && (number == failAtSound || (!failOnce && number > failAtSound))) {
            lastError = failCode;
            return false;
        }
        return true;
    }
    void Close() override
    {
        log_.push_back("Close");
        open = false;
    }
    std::uint32_t GetLastErrorCode() override { return lastError; }

    std::vector<Sound> sounds;
    bool open = false;
    bool failInitialise = false;
    int failAtSound = -1; ///< sounds numbered from 0 at or after this one fail
    bool failOnce = false; ///< only sound failAtSound fails
    std::uint32_t failCode = 0;
    std::uint32_t lastError = 0;

private:
    CallLog& log_;
};

class FakeIndicator final : public Core::IBeatIndicator {
public:
    explicit FakeIndicator(CallLog& log) : log_(log) {}
    void StartDrawing(const Configuration::ConfigurationData&) override { Record("StartDrawing"); }
    void ShowBeat(std::int32_t voiceIndex, Core::BeatLook look) override
    {
        static const char* const looks[] = {"", " count-in", " muted"};
        Record("ShowBeat " + std::to_string(voiceIndex) + looks[static_cast<int>(look)]);
    }
    void ClearBeat() override { Record("ClearBeat"); }
    void StopDrawing() override { Record("StopDrawing"); }

    std::vector<std::string> calls;

private:
    void Record(const std::string& call)
    {
        calls.push_back(call);
        log_.push_back(call);
    }
    CallLog& log_;
};

class RecordingHandler final : public Core::IMetronomeEventHandler {
public:
    explicit RecordingHandler(CallLog& log) : log_(log) {}
    void OnTrainerStarted(std::uint32_t tempo, bool warmUp) override
    {
        log_.push_back("OnTrainerStarted " + std::to_string(tempo) + (warmUp ? " warm-up" : ""));
    }
    void OnBeat(std::uint8_t flags, std::uint32_t tempo) override
    {
        beats.push_back({flags, tempo});
        log_.push_back("OnBeat " + std::to_string(flags) + " " + std::to_string(tempo));
    }
    void OnStopped(std::uint32_t tempo) override { log_.push_back("OnStopped " + std::to_string(tempo)); }
    void OnError(std::uint32_t messageIndex) override { log_.push_back("OnError " + std::to_string(messageIndex)); }
    /// Bar counter reports as "bar.beat", with "m" for a muted bar and the bars left after "/".
    void OnPosition(const Core::BarPosition& p) override
    {
        positions.push_back(std::to_string(p.bar) + "." + std::to_string(p.beat) + (p.muted ? "m" : "")
                            + (p.barsLeft >= 0 ? "/" + std::to_string(p.barsLeft) : ""));
    }
    std::vector<std::string> positions;

    struct Beat {
        std::uint8_t flags;
        std::uint32_t tempo;
    };
    std::vector<Beat> beats;

private:
    CallLog& log_;
};

/// What a run reports from the timer thread, counted for the test's thread (atomics only, as
/// the window's lock-free queue). Notes each report that came from outside real-time code, so
/// that a timer thread that lost its mark cannot pass unchecked.
struct AtomicReports final : public Core::IMetronomeEventHandler {
    void OnTrainerStarted(std::uint32_t, bool) override {}
    void OnBeat(std::uint8_t, std::uint32_t tempo) override
    {
        tempoSteps += tempo != 0;
        unmarked += !Platform::InRealTimeCode();
    }
    void OnStopped(std::uint32_t) override { ++stopped; }
    void OnError(std::uint32_t message) override
    {
        error = message;
        unmarked += !Platform::InRealTimeCode();
    }
    std::atomic<int> stopped{0};
    std::atomic<std::uint32_t> error{0};
    std::atomic<int> tempoSteps{0};
    std::atomic<int> unmarked{0};
};

/// A metronome with its own strategies and fakes; nothing of the program's root.
struct Rig {
    Rig() : engine(log), indicator(log), handler(log), metronome(Services()) {}

    Core::MetronomeServices Services()
    {
        Core::MetronomeServices services
            = strategies.Services(timer, [this](Configuration::SoundSource) -> Core::ISoundEngine* { return &engine; });
        services.indicator = &indicator;
        return services;
    }

    /// Settings whose voices play their own index as the sound (the audio-file engine type,
    /// instrument i on voice i + 1), so that a sound tells which voice played.
    static Configuration::ConfigurationData VoiceSettings()
    {
        Configuration::ConfigurationData settings;
        settings.SoundEngineType = Configuration::SoundSource::AudioFiles;
        for (int voice = 0; voice < Configuration::VoiceCount; ++voice)
            settings.Instrument[voice] = voice;
        return settings;
    }

    /// A second metronome on the rig's strategies with a real timer and engine, no lamp.
    std::unique_ptr<Core::Metronome> Threaded(Core::IMetronomeTimer& realTimer, Core::ISoundEngine& realEngine)
    {
        Core::MetronomeServices services = Services();
        services.timer = &realTimer;
        services.soundEngineFor
            = [&realEngine](Configuration::SoundSource) -> Core::ISoundEngine* { return &realEngine; };
        services.indicator = nullptr;
        return std::make_unique<Core::Metronome>(services);
    }

    std::uint32_t Start(const Configuration::ConfigurationData& settings) { return metronome.Start(&handler, settings); }
    /// The working values of the last run started.
    const Core::RunState& Run() const { return metronome.ActiveStrategy()->Run(); }

    /// Voice numbers (1..12) of the sounds played so far.
    std::vector<std::uint32_t> Voices() const
    {
        std::vector<std::uint32_t> voices;
        for (const Sound& s : engine.sounds)
            voices.push_back(s.sound + 1);
        return voices;
    }

    CallLog log;
    FakeTimer timer;
    FakeSoundEngine engine;
    FakeIndicator indicator;
    RecordingHandler handler;
    Core::StrategySet strategies;
    Core::Metronome metronome;
};

} // namespace EngineFakes
