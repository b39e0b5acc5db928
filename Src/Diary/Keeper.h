#pragma once
#include "Diary/Session.h"
#include "Diary/Store.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace Configuration {
class IConfiguration;
struct ConfigurationData;
}

namespace Diary {

/// Keeps the program's practice sessions: follows each run of the metronome (its start, tempo
/// changes, pauses and end) and writes it to the diary when it ends, if it played at least
/// Session::MinimumSeconds and the diary is switched on (ProgramSwitches::Diary). The diary is
/// opened on first use; a diary that cannot be opened or written is left alone for the rest
/// of the run: the reason goes to the log and, once, to the problem handler.
///
/// One thread (the GUI thread in the program).
class Keeper {
public:
    using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

    /// configuration: the settings store whose switch decides (outlives the keeper); path: the
    /// diary file (empty: Store::DefaultPath()); steady: the clock that measures playing
    /// time (tests give their own).
    explicit Keeper(Configuration::IConfiguration& configuration, std::string path = {}, SteadyClock steady = {});

    /// Called once, with the kind of trouble and the reason (for the log, in English), the
    /// first time the diary turns out unusable in this run.
    using ProblemHandler = std::function<void(Store::Trouble, const std::string&)>;
    void SetProblemHandler(ProblemHandler handler) { onProblem_ = std::move(handler); }

    bool SwitchedOn() const;
    const std::string& Path() const { return path_; }
    /// The open diary, opened now if need be (made when create is set and it is missing); null
    /// when it is unusable, or missing and not to be made. Reading and deleting work while
    /// the diary is switched off; only the keeping of sessions stops.
    Store* Open(bool create = true);
    /// The reason the diary is unusable in this run; empty while it works.
    const std::string& Problem() const { return problem_; }
    Store::Trouble Why() const { return why_; }

    /// A run started playing settings at tempo (bpm).
    void Started(const Configuration::ConfigurationData& settings, int tempo);
    /// The run's tempo changed (the user's change, a trainer level).
    void TempoChanged(int tempo);
    /// A speed-trainer run reached tempo: a new level when it is higher than any before.
    void TrainerTempo(int tempo);
    /// Pause or resume.
    void PauseToggled();
    /// Timing feedback's figures of the run followed (ms, late positive), kept with it.
    void TimingFigures(double meanMs, double sdMs, std::optional<double> mutedMeanMs, std::optional<double> mutedSdMs,
                       std::int32_t hits);
    /// The run ended: written when long enough and switched on. The session (as written), or
    /// none when nothing was written.
    std::optional<Session> Stopped();
    /// True while a run is followed.
    bool Following() const { return following_; }

private:
    void Unusable(const Store& store);

    Configuration::IConfiguration& configuration_;
    std::string path_;
    SteadyClock steady_;
    Store store_;
    std::string problem_;
    Store::Trouble why_ = Store::Trouble::None;
    ProblemHandler onProblem_;

    bool following_ = false;
    bool paused_ = false;
    Session session_;
    std::chrono::steady_clock::time_point since_{}; // start of the stretch playing now
    std::chrono::steady_clock::duration played_{};  // the stretches before it
};

} // namespace Diary
