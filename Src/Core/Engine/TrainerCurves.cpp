#include "Core/Engine/TrainerCurves.h"

#include "Configuration/ConfigurationData.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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

// Steps of the ramp: range / step rounded to the nearest whole number, at least one so that
// a degenerate run (no step) still has a defined shape instead of dividing by zero.
std::int32_t StepsOf(const TrainerRun& run)
{
    if (run.step == 0.0f || !std::isfinite(run.step))
        return 1;
    const float steps = static_cast<float>(run.range) / run.step + 0.5f;
    // No more steps than beats per minute to cover (each at least 1 bpm): never more than
    // the range, and a finite count whatever the step.
    const float most = static_cast<float>(std::max(std::abs(run.range), 1));
    return steps >= 1.0f ? static_cast<std::int32_t>(std::min(steps, most)) : 1;
}

// Toward zero, with a value that no int32 holds (or no number at all) kept in bounds rather
// than left to undefined behaviour.
std::int32_t Truncate(float value)
{
    if (!(value > -2147483520.0f))
        return value < 0.0f ? std::numeric_limits<std::int32_t>::min() : 0;
    if (value >= 2147483520.0f)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

} // namespace

std::int32_t LinearTrainerStrategy::Initialise(const TrainerRun& run)
{
    range_ = run.range;
    tempo_ = run.start;
    start_ = run.start;
    end_ = run.end;
    steps_ = StepsOf(run);
    level_ = 0;
    rampDone_ = false;
    increment_ = (run.end - run.start) / static_cast<float>(steps_);
    return steps_ + 1;
}

float LinearTrainerStrategy::StartWarmDown(std::int32_t levels)
{
    rampDone_ = true;
    return BeginWarmDown(range_, levels, tempo_, increment_);
}

float LinearTrainerStrategy::NextStep()
{
    if (rampDone_) {
        tempo_ += increment_;
        return tempo_;
    }
    // Each level from its index rather than by adding up steps, so rounding never gathers
    // and the last level is the end tempo exactly.
    if (level_ < steps_)
        ++level_;
    const double share = static_cast<double>(level_) / static_cast<double>(steps_);
    tempo_ = level_ == steps_ ? end_
                              : static_cast<float>(static_cast<double>(start_)
                                                   + share * (static_cast<double>(end_) - static_cast<double>(start_)));
    return tempo_;
}

std::int32_t LogarithmicTrainerStrategy::Initialise(const TrainerRun& run)
{
    range_ = run.range;
    start_ = run.start;
    end_ = run.end;
    steps_ = StepsOf(run);
    level_ = 0;
    tempo_ = run.start;
    shrinking_ = true;

    // Each step is a fixed floor plus a share that shrinks by the factor from one step to the
    // next. The floor is one beat per minute (less only when the run has more steps than beats
    // per minute to cover), so no two levels sound alike; the shares add up to what the floors
    // leave, so the last level is the end tempo exactly.
    const double distance = std::fabs(static_cast<double>(run.end) - static_cast<double>(run.start));
    const double steps = static_cast<double>(steps_);
    floor_ = std::min(1.0, distance / steps);
    factor_ = FitFactor(steps_);
    const double remainder = std::max(distance - floor_ * steps, 0.0);
    share_ = remainder / GeometricSum(factor_, steps_);
    direction_ = run.end >= run.start ? 1.0 : -1.0;
    position_ = static_cast<double>(run.start);
    increment_ = 0.0f;
    return steps_ + 1;
}

double LogarithmicTrainerStrategy::GeometricSum(double factor, std::int32_t steps)
{
    // 1 + f + f^2 + ... + f^(steps - 1)
    if (factor >= 1.0)
        return static_cast<double>(steps);
    return (1.0 - std::pow(factor, static_cast<double>(steps))) / (1.0 - factor);
}

double LogarithmicTrainerStrategy::FitFactor(std::int32_t steps)
{
    // The first share is twice the average one: 1 + f + ... + f^(n-1) = n / 2. The sum grows
    // with f from 1 (f = 0) to n (f = 1), so halving the interval always closes in on the one
    // factor that solves it; with two steps or fewer the first step takes it all (f = 0).
    const double wanted = static_cast<double>(steps) / 2.0;
    if (wanted <= 1.0)
        return 0.0;
    double low = 0.0;
    double high = 1.0;
    for (int round = 0; round < 64; ++round) {
        const double middle = 0.5 * (low + high);
        (GeometricSum(middle, steps) < wanted ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

float LogarithmicTrainerStrategy::StartWarmDown(std::int32_t levels)
{
    shrinking_ = false;
    return BeginWarmDown(range_, levels, tempo_, increment_);
}

float LogarithmicTrainerStrategy::NextStep()
{
    if (!shrinking_) {
        // The warm-down walks back in equal steps; a slowing run holds its end tempo.
        tempo_ += increment_;
        return tempo_;
    }
    if (level_ >= steps_)
        return tempo_;
    ++level_;
    if (level_ == steps_) {
        tempo_ = end_;
        return tempo_;
    }
    position_ += direction_ * (floor_ + share_);
    share_ *= factor_;
    tempo_ = static_cast<float>(position_);
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

} // namespace Core
