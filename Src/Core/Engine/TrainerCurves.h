#pragma once
#include "Core/Engine/ISpeedTrainerStrategy.h"

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// Equal tempo steps from the start to the end tempo, each level worked out from its index
/// so that the last one is the end tempo exactly. The warm-down walks back to the start in
/// equal steps; a slowing run keeps its end tempo through the warm-down.
class LinearTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRun& run) override;
    float StartWarmDown(std::int32_t levels) override;
    float NextStep() override;

    float Increment() const { return increment_; }

private:
    float tempo_ = 0.0f;
    float increment_ = 0.0f; // a ramp step, then the warm-down's step
    std::int32_t range_ = 0;
    float start_ = 0.0f;
    float end_ = 0.0f;
    std::int32_t steps_ = 1;
    std::int32_t level_ = 0;
    bool rampDone_ = false; // the warm-down has begun
};

/// Large tempo steps first, ever smaller toward the end tempo. Every step is at least one
/// beat per minute (less only when the run has more levels than beats per minute to cover)
/// plus a share that shrinks by a fitted factor from one step to the next; the first share is
/// twice the average one. The factor is found by bisection, which always converges, so the
/// levels move monotonically from the start tempo to exactly the end tempo whatever the
/// settings. The warm-down walks back in equal steps as the linear curve's does.
class LogarithmicTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRun& run) override;
    float StartWarmDown(std::int32_t levels) override;
    float NextStep() override;

    /// The fitted factor between one step's share and the next (0 <= factor < 1).
    double Factor() const { return factor_; }

private:
    static double GeometricSum(double factor, std::int32_t steps);
    static double FitFactor(std::int32_t steps);

    float tempo_ = 0.0f;
    float increment_ = 0.0f; // the warm-down's step
    std::int32_t range_ = 0;
    float start_ = 0.0f;
    float end_ = 0.0f;
    std::int32_t steps_ = 1;
    std::int32_t level_ = 0;
    double position_ = 0.0;  // the ramp's tempo, accumulated without single-precision loss
    double direction_ = 1.0; // +1 for a rising run, -1 for a slowing one
    double floor_ = 0.0;     // the least step, beats per minute
    double share_ = 0.0;     // the part of the next step above the floor
    double factor_ = 0.0;
    bool shrinking_ = true;  // false once the warm-down has begun
};

/// One level at the starting tempo (and a warm-down at the same tempo).
class NoTempoChangeTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRun& run) override;
    float StartWarmDown(std::int32_t levels) override;
    float NextStep() override;

private:
    float tempo_ = 0.0f;
};

enum class TrainerCurveKind { NoTempoChange, Linear, Logarithmic };

/// Which curve a speed-trainer run of these settings uses: no tempo change when the range is
/// 3 bpm or less or a step would be below 1 bpm; logarithmic when asked for and there are more
/// than four levels; otherwise linear when there is more than one level.
TrainerCurveKind ChooseTrainerCurveKind(const Configuration::ConfigurationData& settings);

} // namespace Core
