#pragma once
#include "Core/ISoundEngine.h"

namespace Core {

/// Stands in for an engine this build cannot offer: Initialise always fails with code 6
/// ("No device driver present") after logging why, so a start with that sound source is
/// refused cleanly instead of crashing. PlaySound refuses too. Window thread.
class UnavailableSoundEngine final : public ISoundEngine {
public:
    /// reason is logged at level Error by every Initialise; not owned, must outlive the engine.
    explicit UnavailableSoundEngine(const char* reason) : reason_(reason) {}

    bool Initialise(const Configuration::ConfigurationData& settings) override;
    bool PlaySound(std::uint32_t volume, std::uint32_t sound) override;
    void Close() override {}
    std::uint32_t GetLastErrorCode() override { return lastResult_; }

private:
    const char* reason_;
    std::uint32_t lastResult_ = 0;
};

} // namespace Core
