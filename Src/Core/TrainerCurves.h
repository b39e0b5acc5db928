#pragma once
#include "Core/ISpeedTrainerStrategy.h"

namespace Configuration {
struct ConfigurationData;
}

namespace Core {

/// Equal tempo steps from the start to the end tempo. The step is fitted (at most five
/// rounds of half-level corrections) so that n steps from the truncated start land on the
/// truncated end tempo despite single-precision rounding. The warm-down walks back to the
/// start in equal steps; a slowing run keeps its end tempo through the warm-down.
class LinearTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRun& run) override;
    float StartWarmDown(std::int32_t levels) override;
    float NextStep() override;

    float Increment() const { return increment_; }

private:
    float tempo_ = 0.0f;
    float increment_ = 0.0f;
    std::int32_t range_ = 0;
};

/// Large tempo steps first, ever smaller toward the end tempo: each step is the previous one
/// times a factor fitted (at most five rounds) so that the run ends on the end tempo. Once a
/// step falls below one beat per minute the tempo moves by exactly one per level.
class LogarithmicTrainerStrategy final : public ISpeedTrainerStrategy {
public:
    std::int32_t Initialise(const TrainerRun& run) override;
    float StartWarmDown(std::int32_t levels) override;
    float NextStep() override;

    float Factor() const { return factor_; }

private:
    float FitFactor(std::int32_t start, std::int32_t target, std::int32_t levels) const;

    float tempo_ = 0.0f;
    float increment_ = 0.0f;
    std::int32_t range_ = 0;
    float factor_ = 1.0f;
    bool shrinking_ = true;
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

/// The program's single curve object of each kind, made on first use and kept until exit.
ISpeedTrainerStrategy* GetTrainerCurve(TrainerCurveKind kind);

/// GetTrainerCurve(ChooseTrainerCurveKind(settings)).
ISpeedTrainerStrategy* ChooseTrainerCurve(const Configuration::ConfigurationData& settings);

} // namespace Core
