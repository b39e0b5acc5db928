#pragma once

namespace GUI::OffsetText {

/// The [Text] entries of the output offset, the MIDI input's latency and the trainer that
/// waits (420-439, then 314-319 of the spoken count's block).
enum : int {
    Title = 420, Output, NoOutput, Offset, InputLatency, Calibrate, OffsetHelp, CalibrateHelp, InputLatencyHelp,
    CalibrationTitle, CalibrationSteps, Start, Progress, Result, TooFew, Use, Gate, GateMean, GateSpread,
    GateRepeats,
    GateHelp = 314, LevelRepeated, GateStopped, GateIdle, VisualOnlyKept, Pad,
    Close = 261, // timing feedback's "Close"
};

} // namespace GUI::OffsetText
