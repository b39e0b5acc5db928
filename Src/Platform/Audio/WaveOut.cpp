#include "Platform/Audio/WaveOut.h"

#include "Platform/Clock.h"

#include <samplerate.h>

#include <algorithm>

namespace Platform::Audio {

namespace {
// Frames the converter asks for at a time.
constexpr std::uint32_t converterChunk = 256;
} // namespace

WaveOut::WaveOut(Mixer& mixer) : requestedMixer_(mixer) {}

WaveOut::~WaveOut()
{
    Close();
}

Result WaveOut::Open(const WaveFormat& format, WaveCallback callback, void* instance)
{
    if (mixer_)
        return Allocated;
    if ((format.channels != 1 && format.channels != 2) || (format.bitsPerSample != 8 && format.bitsPerSample != 16) ||
        format.sampleRate == 0 || format.sampleRate > 44100)
        return BadFormat;
    Mixer& mixer = requestedMixer_;
    if (format.sampleRate < LowestInputRate(mixer.SampleRate()))
        return BadFormat; // the converter would give silence

    format_ = format;
    callback_ = callback;
    instance_ = instance;
    input_.assign(2 * std::size_t{MaxBlockFrames}, 0.0f);
    written_.clear();
    written_.reserve(64);
    writes_ = 0;
    completed_.store(0);
    nextTimed_ = true;
    playing_ = false;
    haveCurrent_ = false;
    position_ = 0;
    seenGeneration_ = generation_.load();

    if (format.sampleRate != mixer.SampleRate()) {
        int error = 0;
        converter_.reset(src_callback_new(&WaveOut::ConverterInput, SRC_SINC_FASTEST, 2, &error, this));
        if (!converter_)
            return NoMemory;
        ratio_ = static_cast<double>(mixer.SampleRate()) / format.sampleRate;
    }
    if (const Result result = mixer.Acquire(); result != NoError) {
        converter_.reset();
        return result;
    }
    if (!mixer.AddVoice(*this)) {
        mixer.Release();
        converter_.reset();
        return NoMemory;
    }
    mixer_ = &mixer;
    return NoError;
}

Result WaveOut::Prepare(WaveHeader& header)
{
    if (!mixer_)
        return InvalidHandle;
    if (!header.data)
        return InvalidParameter;
    header.flags.fetch_or(WaveHeader::Prepared, std::memory_order_acq_rel);
    return NoError;
}

Result WaveOut::Unprepare(WaveHeader& header)
{
    if (header.Flags() & WaveHeader::InQueue)
        return StillPlaying;
    header.flags.fetch_and(~WaveHeader::Prepared, std::memory_order_acq_rel);
    return NoError;
}

Result WaveOut::Write(WaveHeader& header, std::int64_t startTime)
{
    return Write(header, startTime != 0 ? SoundStamp{startTime, 0, nullptr} : CurrentSoundStamp());
}

Result WaveOut::Write(WaveHeader& header, const SoundStamp& start)
{
    if (!mixer_)
        return InvalidHandle;
    const std::uint32_t flags = header.Flags();
    if (!(flags & WaveHeader::Prepared))
        return Unprepared;
    if (flags & WaveHeader::InQueue)
        return StillPlaying;

    // Forget writes that are done, so the record holds only what may still be queued.
    const std::uint64_t completed = completed_.load();
    written_.erase(std::remove_if(written_.begin(), written_.end(),
                                  [completed](const Written& w) { return w.write <= completed; }),
                   written_.end());

    const std::uint64_t write = writes_ + 1;
    header.flags.store(WaveHeader::Prepared | WaveHeader::InQueue, std::memory_order_release);
    const Command command{&header, write, generation_.load(), start, nextTimed_};
    if (!commands_.Push(command)) {
        header.flags.store(WaveHeader::Prepared, std::memory_order_release);
        return NoMemory;
    }
    writes_ = write;
    nextTimed_ = false;
    written_.push_back(Written{&header, write});
    return NoError;
}

Result WaveOut::Reset()
{
    if (!mixer_)
        return InvalidHandle;
    // From the next callback on the audio thread drops everything written so far; once the
    // callback that may be running now has ended, nothing touches those buffers any more.
    generation_.fetch_add(1);
    mixer_->WaitForCallback();
    HandBackQueued();
    nextTimed_ = true;
    return NoError;
}

void WaveOut::Close()
{
    if (!mixer_)
        return;
    generation_.fetch_add(1);
    mixer_->RemoveVoice(*this);
    mixer_->FlushNotices();
    HandBackQueued();
    Command stale;
    while (commands_.Pop(stale)) {
    }
    mixer_->Release();
    mixer_ = nullptr;
    converter_.reset();
}

void WaveOut::ConverterDeleter::operator()(SRC_STATE* state) const noexcept
{
    src_delete(state);
}

bool WaveOut::Complete(std::uint64_t write) noexcept
{
    std::uint64_t previous = write - 1;
    return completed_.compare_exchange_strong(previous, write);
}

void WaveOut::Finish(WaveHeader& header)
{
    header.flags.store((header.Flags() & ~WaveHeader::InQueue) | WaveHeader::Done, std::memory_order_release);
    if (callback_)
        callback_(instance_, header);
}

void WaveOut::HandBackQueued()
{
    for (const Written& w : written_) {
        if (w.write > completed_.load() && Complete(w.write))
            Finish(*w.header);
    }
    written_.clear();
}

void WaveOut::OnNotice(void* item, std::uint64_t value)
{
    if (Complete(value))
        Finish(*static_cast<WaveHeader*>(item));
}

// ---- audio thread ----

bool WaveOut::TakeNextBuffer() noexcept
{
    const Command* next = commands_.Front();
    if (!next || next->generation != seenGeneration_)
        return false;
    current_ = *next;
    commands_.Drop();
    haveCurrent_ = true;
    position_ = 0;
    return true;
}

void WaveOut::FinishCurrent() noexcept
{
    mixer_->PostNotice(*this, current_.header, current_.write);
    haveCurrent_ = false;
}

std::uint32_t WaveOut::ReadFrames(float* destination, std::uint32_t frames) noexcept
{
    const std::uint32_t frameBytes = format_.channels * (format_.bitsPerSample / 8);
    std::uint32_t done = 0;
    while (done < frames) {
        if (!haveCurrent_ && !TakeNextBuffer())
            break;
        const WaveHeader& header = *current_.header;
        const std::uint32_t available = (header.length - std::min(position_, header.length)) / frameBytes;
        const std::uint32_t count = std::min(available, frames - done);
        const std::uint8_t* in = header.data + position_;
        float* out = destination + 2 * std::size_t{done};
        for (std::uint32_t i = 0; i < count; ++i, in += frameBytes, out += 2) {
            float left;
            float right;
            if (format_.bitsPerSample == 16) {
                left = static_cast<float>(static_cast<std::int16_t>(in[0] | in[1] << 8)) / 32768.0f;
                right = format_.channels == 2 ? static_cast<float>(static_cast<std::int16_t>(in[2] | in[3] << 8)) / 32768.0f : left;
            } else {
                left = (static_cast<float>(in[0]) - 128.0f) / 128.0f;
                right = format_.channels == 2 ? (static_cast<float>(in[1]) - 128.0f) / 128.0f : left;
            }
            out[0] = left;
            out[1] = right;
        }
        position_ += count * frameBytes;
        done += count;
        if ((header.length - std::min(position_, header.length)) / frameBytes == 0)
            FinishCurrent();
    }
    return done;
}

long WaveOut::ConverterInput(void* self, float** data)
{
    auto& out = *static_cast<WaveOut*>(self);
    *data = out.input_.data();
    return static_cast<long>(out.ReadFrames(out.input_.data(), converterChunk));
}

std::uint32_t WaveOut::MixDirect(float* output, std::uint32_t frames) noexcept
{
    const std::uint32_t read = ReadFrames(input_.data(), frames);
    for (std::size_t i = 0; i < 2 * std::size_t{read}; ++i)
        output[i] += input_[i];
    return read;
}

std::uint32_t WaveOut::MixConverted(float* output, std::uint32_t frames) noexcept
{
    // The converter's output goes into the second half of the input buffer: its input
    // never needs more than converterChunk frames.
    float* converted = input_.data() + 2 * std::size_t{converterChunk};
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint32_t want = std::min(frames - done, MaxBlockFrames - converterChunk);
        const long got = src_callback_read(converter_.get(), ratio_, want, converted);
        for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(std::max(got, 0L)); ++i)
            output[2 * std::size_t{done} + i] += converted[i];
        done += static_cast<std::uint32_t>(std::max(got, 0L));
        if (got < static_cast<long>(want))
            break;
    }
    return done;
}

void WaveOut::Mix(float* output, const BlockClock& clock) noexcept
{
    const std::uint64_t generation = generation_.load();
    if (generation != seenGeneration_) {
        seenGeneration_ = generation;
        playing_ = false;
        haveCurrent_ = false;
        if (converter_)
            src_reset(converter_.get());
    }
    while (const Command* stale = commands_.Front()) {
        if (stale->generation >= generation)
            break;
        commands_.Drop();
    }

    std::uint32_t offset = 0;
    if (!playing_) {
        const Command* next = commands_.Front();
        if (!next || next->generation != generation)
            return;
        if (next->timed) {
            const std::int64_t start = clock.StartFrame(next->stamp);
            if (start >= static_cast<std::int64_t>(clock.FirstFrame() + clock.Frames()))
                return;
            offset = clock.OffsetOf(start);
        }
        playing_ = true;
    }
    const std::uint32_t frames = clock.Frames() - offset;
    float* out = output + 2 * std::size_t{offset};
    const std::uint32_t produced = converter_ ? MixConverted(out, frames) : MixDirect(out, frames);
    if (produced < frames) {
        // Ran dry: the next buffer starts as soon as it comes.
        playing_ = false;
        if (converter_)
            src_reset(converter_.get());
    }
}

} // namespace Platform::Audio
