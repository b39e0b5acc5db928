#include "Platform/Audio/OfflineBackend.h"

#include "Platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace Platform::Audio {

Result OfflineBackend::Open(std::uint32_t sampleRate, std::uint32_t, IRenderer& renderer)
{
    if (openResult_ != NoError)
        return openResult_;
    renderer_ = &renderer;
    sampleRate_ = ownRate_ != 0 ? ownRate_ : sampleRate;
    if (sampleRate_ != sampleRate)
        renderer.StreamRate(sampleRate_);
    startTime_ = fixedStart_ != 0 ? fixedStart_ : Clock::Now();
    frames_ = 0;
    captured_.clear();
    return NoError;
}

void OfflineBackend::Close()
{
    renderer_ = nullptr;
}

std::int64_t OfflineBackend::TimeOfFrame(double frame) const
{
    return startTime_ + std::llround(frame * 1e9 / sampleRate_);
}

bool OfflineBackend::Pull(std::uint64_t frames, std::uint32_t blockFrames)
{
    if (!renderer_ || blockFrames == 0)
        return false;
    blockFrames = std::min(blockFrames, MaxBlockFrames);
    while (frames > 0) {
        const auto block = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, blockFrames));
        const std::size_t at = captured_.size();
        captured_.resize(at + 2 * std::size_t{block});
        renderer_->Render(captured_.data() + at, block, TimeOfFrame(static_cast<double>(frames_)));
        frames_ += block;
        frames -= block;
    }
    return true;
}

} // namespace Platform::Audio
