#include "Platform/Audio/WordVoice.h"

#include <algorithm>

namespace Platform::Audio {

WordVoice::~WordVoice()
{
    Close();
}

Result WordVoice::Open(Mixer& mixer, const SampleSound* const* words, std::int32_t count)
{
    if (mixer_)
        return Allocated;
    count_ = std::clamp(count, 0, MaximumWords);
    for (std::int32_t i = 0; i < count_; ++i)
        words_[static_cast<std::size_t>(i)] = words[i];
    Event stale;
    while (events_.Pop(stale)) {
    }
    current_ = {};
    fading_ = {};
    if (const Result result = mixer.Acquire(); result != NoError)
        return result;
    if (!mixer.AddVoice(*this)) {
        mixer.Release();
        return NoMemory;
    }
    mixer_ = &mixer;
    open_.store(true, std::memory_order_release);
    return NoError;
}

Result WordVoice::Play(std::int32_t word, float gain, const SoundStamp& stamp) noexcept
{
    if (!open_.load(std::memory_order_acquire) || word < 0 || word >= count_)
        return InvalidHandle;
    if (mixer_->StreamLost())
        return NoDriver;
    return events_.Push(Event{word, gain, stamp}) ? NoError : NoMemory;
}

void WordVoice::Close()
{
    if (!mixer_)
        return;
    open_.store(false, std::memory_order_release);
    mixer_->RemoveVoice(*this);
    Event stale;
    while (events_.Pop(stale)) {
    }
    current_ = {};
    fading_ = {};
    mixer_->Release();
    mixer_ = nullptr;
}

void WordVoice::MixSpeaking(Speaking& speaking, float* output, std::uint32_t frames) noexcept
{
    const SampleSound* sound = speaking.sound;
    if (sound == nullptr || sound->Empty())
        return;
    const std::uint32_t held = sound->FrameCount();
    const std::uint16_t channels = sound->Channels();
    std::uint32_t count = speaking.position < held ? std::min(frames, held - speaking.position) : 0;
    if (speaking.fadeLeft > 0)
        count = std::min(count, speaking.fadeLeft);
    const std::int16_t* samples = sound->Frames() + std::size_t{speaking.position} * channels;
    for (std::uint32_t i = 0; i < count; ++i) {
        float scale = speaking.gain / 32768.0f;
        if (speaking.fadeLeft > 0)
            scale *= static_cast<float>(speaking.fadeLeft - i) / static_cast<float>(FadeFrames + 1);
        const float left = scale * samples[i * channels];
        const float right = channels == 2 ? scale * samples[i * channels + 1] : left;
        output[2 * std::size_t{i}] += left;
        output[2 * std::size_t{i} + 1] += right;
    }
    speaking.position += count;
    if (speaking.fadeLeft > 0)
        speaking.fadeLeft -= count;
    if (speaking.position >= held || (speaking.fadeLeft == 0 && count > 0 && &speaking == &fading_))
        speaking.sound = nullptr;
}

void WordVoice::Mix(float* output, const BlockClock& clock) noexcept
{
    const std::uint32_t frames = clock.Frames();
    std::uint32_t mixed = 0;
    while (const Event* event = events_.Front()) {
        const std::int64_t start = clock.StartFrame(event->stamp);
        if (start >= static_cast<std::int64_t>(clock.FirstFrame() + frames))
            break;
        // A word stamped before one already started cannot go back.
        const std::uint32_t offset = std::max(clock.OffsetOf(start), mixed);
        MixSpeaking(fading_, output + 2 * std::size_t{mixed}, offset - mixed);
        MixSpeaking(current_, output + 2 * std::size_t{mixed}, offset - mixed);
        mixed = offset;
        // The word sounding is cut here: it fades out while the next one begins.
        fading_ = current_;
        fading_.fadeLeft = fading_.sound != nullptr ? FadeFrames : 0;
        current_ = Speaking{words_[static_cast<std::size_t>(event->word)], event->gain, 0, 0};
        started_.fetch_add(1, std::memory_order_acq_rel);
        events_.Drop();
    }
    MixSpeaking(fading_, output + 2 * std::size_t{mixed}, frames - mixed);
    MixSpeaking(current_, output + 2 * std::size_t{mixed}, frames - mixed);
}

} // namespace Platform::Audio
