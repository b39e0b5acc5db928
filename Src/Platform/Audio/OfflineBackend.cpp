#include "Platform/Audio/OfflineBackend.h"

#include "Platform/Clock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace Platform::Audio {

Result OfflineBackend::Open(std::uint32_t sampleRate, std::uint32_t, IRenderer& renderer)
{
    if (openResult_ != NoError)
        return openResult_;
    renderer_ = &renderer;
    sampleRate_ = sampleRate;
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

namespace {
void PutLittleEndian(std::FILE* file, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), file);
}
} // namespace

bool OfflineBackend::SaveWav(const std::string& path) const
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file)
        return false;
    const auto dataBytes = static_cast<std::uint32_t>(captured_.size() * 2);
    std::fputs("RIFF", file.get());
    PutLittleEndian(file.get(), 36 + dataBytes, 4);
    std::fputs("WAVEfmt ", file.get());
    PutLittleEndian(file.get(), 16, 4);
    PutLittleEndian(file.get(), 1, 2);                 // PCM
    PutLittleEndian(file.get(), 2, 2);                 // stereo
    PutLittleEndian(file.get(), sampleRate_, 4);
    PutLittleEndian(file.get(), sampleRate_ * 4, 4);   // bytes per second
    PutLittleEndian(file.get(), 4, 2);                 // bytes per frame
    PutLittleEndian(file.get(), 16, 2);
    std::fputs("data", file.get());
    PutLittleEndian(file.get(), dataBytes, 4);
    for (const float sample : captured_) {
        // The inverse of how 16-bit material enters the mixer, so it comes back unchanged.
        const long value = std::clamp(std::lround(sample * 32768.0f), -32768L, 32767L);
        PutLittleEndian(file.get(), static_cast<std::uint32_t>(value) & 0xFFFF, 2);
    }
    return std::ferror(file.get()) == 0;
}

} // namespace Platform::Audio
