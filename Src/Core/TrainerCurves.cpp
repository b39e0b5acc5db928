#include "Core/TrainerCurves.h"

#include "Configuration/ConfigurationData.h"

#include <cmath>
#include <cstdlib>

namespace Core {

namespace {

// The warm-down of a rising run steps back down by the run's range spread over `levels`
// equal steps, the first taken at once; a falling or flat run holds its tempo.
float BeginWarmDown(std::int32_t range, std::int32_t levels, float& tempo, float& increment)
{
    if (range > 0 && levels > 0) {
        increment = -static_cast<float>(range) / static_cast<float>(levels);
        tempo += increment;
    } else {
        increment = 0.0f;
    }
    return tempo;
}

constexpr int FittingRounds = 5;

// Steps of the ramp: range / step rounded to the nearest whole number, at least one so that
// a degenerate run (no step) still has a defined shape instead of dividing by zero.
std::int32_t StepsOf(const TrainerRun& run)
{
    if (run.step == 0.0f)
        return 1;
    const float steps = static_cast<float>(run.range) / run.step + 0.5f;
    return steps >= 1.0f ? static_cast<std::int32_t>(steps) : 1;
}

std::int32_t Truncate(float value)
{
    return static_cast<std::int32_t>(value);
}

// One level of the logarithmic curve; shared by the run and the fitting simulation.
struct LogarithmicStep {
    float tempo;
    float increment;
    float factor;

    void Next(bool shrinking, std::int32_t range)
    {
        if (Truncate(increment) != 0) {
            tempo += increment;
            if (shrinking)
                increment *= factor;
            return;
        }
        // The step has fallen below one beat per minute: from here on exactly one per level.
        factor = 1.0f;
        if (range > 0) {
            tempo = static_cast<float>(Truncate(tempo) + 1);
            increment = 1.0f;
        } else {
            tempo = static_cast<float>(Truncate(tempo) - 1);
            increment = -1.0f;
        }
    }
};

} // namespace

std::int32_t LinearTrainerStrategy::Initialise(const TrainerRun& run)
{
    range_ = run.range;
    tempo_ = run.start;
    const std::int32_t steps = StepsOf(run);
    const std::int32_t start = Truncate(run.start);
    const std::int32_t target = Truncate(run.end);

    // Adding the step n times in single precision may miss the end tempo by a little;
    // nudge the step by half a level's worth until it lands.
    const float tolerance = 0.5f / static_cast<float>(steps);
    increment_ = static_cast<float>(range_) / static_cast<float>(steps);
    for (int round = 0; round < FittingRounds; ++round) {
        float x = static_cast<float>(start);
        for (std::int32_t i = 0; i < steps; ++i)
            x += increment_;
        const std::int32_t reached = Truncate(x);
        if (reached == target)
            break;
        increment_ += reached < target ? tolerance : -tolerance;
    }
    return steps + 1;
}

float LinearTrainerStrategy::StartWarmDown(std::int32_t levels)
{
    return BeginWarmDown(range_, levels, tempo_, increment_);
}

float LinearTrainerStrategy::NextStep()
{
    tempo_ += increment_;
    return tempo_;
}

std::int32_t LogarithmicTrainerStrategy::Initialise(const TrainerRun& run)
{
    range_ = run.range;
    tempo_ = run.start;
    const std::int32_t steps = StepsOf(run);
    increment_ = 2.0f * static_cast<float>(range_) / static_cast<float>(steps); // twice the average step
    shrinking_ = true;
    factor_ = FitFactor(Truncate(run.start), Truncate(run.end), steps);
    return steps + 1;
}

float LogarithmicTrainerStrategy::FitFactor(std::int32_t start, std::int32_t target, std::int32_t steps) const
{
    const float divisor = 2.0f * static_cast<float>(range_ > 0 ? target : start);
    float factor = increment_ != 0.0f
                       ? powf(std::fabs(1.0f / increment_), 1.0f / static_cast<float>(steps))
                       : 1.0f;
    const std::int32_t span = std::abs(range_);
    if (steps < 10) {
        if (span > 100)
            factor *= 1.3f;
        else if (span > 50)
            factor *= 1.1f;
    }
    if (divisor == 0.0f)
        return factor;

    for (int round = 0; round < FittingRounds; ++round) {
        LogarithmicStep step{static_cast<float>(start), increment_, factor};
        for (std::int32_t i = 0; i < steps; ++i)
            step.Next(true, range_);
        const std::int32_t total = Truncate(step.tempo) - start;
        if (total == range_)
            break;
        const float adjustment = static_cast<float>(std::abs(total - range_)) / divisor;
        const bool tooFar = range_ > 0 ? total > range_ : total < range_;
        factor += tooFar ? -adjustment : adjustment;
    }
    return factor;
}

float LogarithmicTrainerStrategy::StartWarmDown(std::int32_t levels)
{
    shrinking_ = false;
    return BeginWarmDown(range_, levels, tempo_, increment_);
}

float LogarithmicTrainerStrategy::NextStep()
{
    // A slowing run holds its end tempo through the warm-down, as the linear curve does.
    if (!shrinking_ && increment_ == 0.0f)
        return tempo_;
    LogarithmicStep step{tempo_, increment_, factor_};
    step.Next(shrinking_, range_);
    tempo_ = step.tempo;
    increment_ = step.increment;
    factor_ = step.factor;
    return tempo_;
}

std::int32_t NoTempoChangeTrainerStrategy::Initialise(const TrainerRun& run)
{
    tempo_ = run.start;
    return 1;
}

float NoTempoChangeTrainerStrategy::StartWarmDown(std::int32_t)
{
    return tempo_;
}

float NoTempoChangeTrainerStrategy::NextStep()
{
    return tempo_;
}

TrainerCurveKind ChooseTrainerCurveKind(const Configuration::ConfigurationData& settings)
{
    const float bpm = static_cast<float>(settings.Bpm);
    const std::int32_t range = std::abs(Truncate(bpm * settings.To) - Truncate(bpm * settings.From));
    if (range <= 3)
        return TrainerCurveKind::NoTempoChange;
    const float step = static_cast<float>(range) * settings.Step;
    if (step < 1.0f)
        return TrainerCurveKind::NoTempoChange;
    const float levels = static_cast<float>(range) / step + 0.5f;
    if (settings.Logarithmic != 0 && levels > 4.0f)
        return TrainerCurveKind::Logarithmic;
    if (levels > 1.0f)
        return TrainerCurveKind::Linear;
    return TrainerCurveKind::NoTempoChange;
}

ISpeedTrainerStrategy* GetTrainerCurve(TrainerCurveKind kind)
{
    static LinearTrainerStrategy linear;
    static LogarithmicTrainerStrategy logarithmic;
    static NoTempoChangeTrainerStrategy noChange;
    switch (kind) {
    case TrainerCurveKind::Linear:
        return &linear;
    case TrainerCurveKind::Logarithmic:
        return &logarithmic;
    case TrainerCurveKind::NoTempoChange:
        break;
    }
    return &noChange;
}

ISpeedTrainerStrategy* ChooseTrainerCurve(const Configuration::ConfigurationData& settings)
{
    return GetTrainerCurve(ChooseTrainerCurveKind(settings));
}

} // namespace Core
