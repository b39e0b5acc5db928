#include "Diary/Keeper.h"

#include "Configuration/IConfiguration.h"
#include "Platform/Text.h"
#include "System/Log.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace Diary {

Keeper::Keeper(Configuration::IConfiguration& configuration, std::string path, SteadyClock steady)
    : configuration_(configuration), path_(path.empty() ? Store::DefaultPath() : std::move(path)),
      steady_(steady ? std::move(steady) : SteadyClock([] { return std::chrono::steady_clock::now(); }))
{
}

bool Keeper::SwitchedOn() const
{
    return configuration_.GetSwitches().Diary != 0;
}

void Keeper::Unusable(const Store& store)
{
    if (!problem_.empty())
        return;
    problem_ = store.Problem();
    why_ = store.Why();
    System::Log().Write(System::Error, "%s; the program goes on without it", problem_.c_str());
    if (onProblem_)
        onProblem_(store.Why(), problem_);
}

Store* Keeper::Open(bool create)
{
    if (!problem_.empty())
        return nullptr;
    struct stat info {};
    if (!store_.IsOpen() && !create && ::lstat(path_.c_str(), &info) != 0 && errno == ENOENT)
        return nullptr; // nothing kept yet
    if (!store_.IsOpen() && !store_.Open(path_, create)) {
        Unusable(store_);
        return nullptr;
    }
    return &store_;
}

void Keeper::Started(const Configuration::ConfigurationData& settings, int tempo)
{
    following_ = true;
    paused_ = false;
    played_ = {};
    since_ = steady_();
    session_ = Session{};
    session_.start = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    session_.name = Platform::Text::Utf16ToUtf8(settings.Name);
    session_.tempoStart = session_.tempoMin = session_.tempoMax = tempo;
    if (settings.SpeedTrainer == Configuration::TrainerMode::On) {
        // Truncated as the trainer works them out; the run starts at From.
        session_.trainerFrom = static_cast<std::int32_t>(static_cast<float>(settings.Bpm) * settings.From);
        session_.trainerTo = static_cast<std::int32_t>(static_cast<float>(settings.Bpm) * settings.To);
        session_.trainerLevel = 0;
        session_.tempoStart = session_.tempoMin = session_.tempoMax = *session_.trainerFrom;
    }
    session_.countIn = settings.CountIn;
    session_.gapMode = settings.GapMode;
    session_.gapPlay = settings.GapPlay;
    session_.gapMute = settings.GapMute;
    session_.gapPercent = settings.GapPercent;
    session_.swing = settings.Swing;
}

void Keeper::TempoChanged(int tempo)
{
    if (!following_ || tempo <= 0)
        return;
    session_.tempoMin = std::min(session_.tempoMin, tempo);
    session_.tempoMax = std::max(session_.tempoMax, tempo);
}

void Keeper::TrainerTempo(int tempo)
{
    if (following_ && session_.trainerLevel && tempo > session_.tempoMax)
        ++*session_.trainerLevel;
    TempoChanged(tempo);
}

void Keeper::PauseToggled()
{
    if (!following_)
        return;
    const auto now = steady_();
    if (!paused_)
        played_ += now - since_;
    else
        since_ = now;
    paused_ = !paused_;
}

void Keeper::TimingFigures(double meanMs, double sdMs, std::optional<double> mutedMeanMs,
                           std::optional<double> mutedSdMs, std::int32_t hits)
{
    if (!following_)
        return;
    session_.meanMs = meanMs;
    session_.sdMs = sdMs;
    session_.mutedMeanMs = mutedMeanMs;
    session_.mutedSdMs = mutedSdMs;
    session_.hits = hits;
}

std::optional<Session> Keeper::Stopped()
{
    if (!following_)
        return std::nullopt;
    following_ = false;
    if (!paused_)
        played_ += steady_() - since_;
    session_.secondsPlaying = std::chrono::duration<double>(played_).count();
    session_.end = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
    if (session_.secondsPlaying < Session::MinimumSeconds || !SwitchedOn())
        return std::nullopt;
    Store* store = Open();
    if (store == nullptr)
        return std::nullopt;
    if (!store->Write(session_)) {
        Unusable(*store);
        return std::nullopt;
    }
    return session_;
}

} // namespace Diary
