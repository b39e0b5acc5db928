#pragma once
#include "Core/Engine/MetronomeStrategy.h"
#include "Core/Songs/SongSchedule.h"

#include <atomic>
#include <memory>

namespace Core {

/// How a song run starts.
struct SongStart {
    std::int32_t fromPart = 0; ///< index among the song's parts
    double scale = 1.0;        ///< practice tempo, 0.5..1.5 x every tempo
};

/// Plays a song: the song decides tempo, metre, accents and the count-in; the settings give
/// the voices' sounds and volumes and the lamp. Every tick is placed from the song's map
/// (SongCursor) relative to the run's anchor, so nothing is summed from tick to tick and a
/// part's first click falls on the previous part's last bar line. Run control is the base's
/// (Stop, TogglePause, ChangeVolume); Move and Rescale come from the window thread and take
/// effect on the timer thread at the next bar line or beat. The run ends by itself after the
/// last tick of a song that stops (OnStopped from the timer thread).
class SongMetronomeStrategy final : public MetronomeStrategy {
public:
    /// Starts song with the sounds of settings (see IMetronome::Start for the results;
    /// UnknownBeatType for a song without parts). Window thread.
    std::uint32_t StartSong(IMetronomeEventHandler* handler, const Configuration::ConfigurationData& settings,
                            const Song& song, const SongStart& start, const MetronomeServices& services);
    /// Asks for a move at the end of the bar, or at the next beat when atOnce. Any thread.
    void Move(SongMove move, bool atOnce);
    /// Sets the practice tempo (0.5..1.5) from the next beat on. Any thread.
    void Rescale(double scale);

    /// The settings a song run of settings is started with: the song owns tempo and metre,
    /// so the trainer, subdivisions, muted bars and swing of the settings are off, and the
    /// count-in's sound is prepared when the song has a count-in.
    static Configuration::ConfigurationData SettingsForSong(const Configuration::ConfigurationData& settings,
                                                           const Song& song);

    void OnTimer() override;
    bool NextTickOffset(double& msAfterAnchor) override;
    /// A song keeps its own tempo map: it never starts on another program's grid.
    bool FirstTickFrame(double, double&) override { return false; }
    /// A song keeps its own tempo map: it never follows another program's timeline.
    bool CanFollow() const override { return false; }
    std::int32_t GetBeatsPerBar(const Configuration::ConfigurationData& settings) override;
    std::uint32_t Initialise(const Configuration::ConfigurationData& settings, std::int32_t& ticksPerBeat,
                             std::int32_t& secondary, bool& compound) override;
    std::int32_t PlayBeat() override;

private:
    bool PlayCurrent(const SongTick& tick);

    std::unique_ptr<SongCursor> cursor_;
    double anchorSeconds_ = 0;   // song time of the timer run's first tick
    bool offsetAsked_ = false;   // the timer asked for the place of the tick now due
    bool ending_ = false;        // the tick now due is the song's end
    std::atomic<std::uint32_t> move_{0}; // SongMove, + 0x100 at once; 0 none
    std::atomic<double> scale_{1.0};
    double appliedScale_ = 1.0;
};

} // namespace Core
