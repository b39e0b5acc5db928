#include "Platform/Audio/SampleVoice.h"

#include "Platform/AutoResetEvent.h"
#include "Platform/Clock.h"
#include "Platform/Thread.h"

#include <pthread.h>

#include <algorithm>
#include <new>

namespace Platform::Audio {

namespace {
// How often the streamer looks at the rings while a voice is attached; a ring holds many
// times this.
constexpr std::int64_t streamerPollNs = 20'000'000;
// The most the streamer decodes into one ring before it looks at the next.
constexpr std::uint32_t fillPiece = 4096;
} // namespace

SampleVoice::~SampleVoice()
{
    Close();
}

Result SampleVoice::Open(Mixer& mixer, const SampleSound& sound, std::int32_t players, SampleStreamer& streamer)
{
    if (mixer_)
        return Allocated;
    players = std::clamp(players, 1, MaximumPlayers);
    if (players > allocated_) {
        players_.reset();
        allocated_ = 0;
        players_.reset(new (std::nothrow) Player[static_cast<std::size_t>(players)]);
        if (!players_)
            return NoMemory;
        allocated_ = players;
    }
    const std::uint32_t ringSamples = sound.RingFrames() * sound.Channels();
    for (std::int32_t i = 0; i < players; ++i) {
        Player& player = players_[static_cast<std::size_t>(i)];
        player.playing = false;
        player.position = 0;
        player.generation.store(0, std::memory_order_relaxed);
        player.served.store(0, std::memory_order_relaxed);
        player.finished.store(0, std::memory_order_relaxed);
        player.written.store(0, std::memory_order_relaxed);
        player.read.store(0, std::memory_order_relaxed);
        if (!sound.Streamed())
            continue;
        if (player.ringSamples < ringSamples) {
            player.ring.reset(new (std::nothrow) std::int16_t[ringSamples]);
            player.ringSamples = player.ring ? ringSamples : 0;
            if (!player.ring)
                return NoMemory;
        }
        if (const Result result = sound.OpenDecoder(player.decoder); result != NoError)
            return result;
    }
    Event stale;
    while (events_.Pop(stale)) {
    }
    sound_ = &sound;
    count_ = players;
    sounding_ = 0;

    if (const Result result = mixer.Acquire(); result != NoError)
        return result;
    if (sound.Streamed() && !streamer.Attach(*this)) {
        mixer.Release();
        return NoMemory;
    }
    if (!mixer.AddVoice(*this)) {
        if (sound.Streamed())
            streamer.Detach(*this);
        mixer.Release();
        return NoMemory;
    }
    mixer_ = &mixer;
    streamer_ = sound.Streamed() ? &streamer : nullptr;
    open_.store(true, std::memory_order_release);
    return NoError;
}

Result SampleVoice::Play(std::int32_t player, float gain, const SoundStamp& stamp) noexcept
{
    if (!open_.load(std::memory_order_acquire) || player < 0 || player >= count_)
        return InvalidHandle;
    if (mixer_->StreamLost())
        return NoDriver; // nothing written would ever play
    return events_.Push(Event{player, gain, stamp}) ? NoError : NoMemory;
}

void SampleVoice::Close()
{
    if (!mixer_)
        return;
    open_.store(false, std::memory_order_release);
    mixer_->RemoveVoice(*this);
    if (streamer_)
        streamer_->Detach(*this);
    Event stale;
    while (events_.Pop(stale)) {
    }
    for (std::int32_t i = 0; i < count_; ++i)
        players_[static_cast<std::size_t>(i)].playing = false;
    sounding_ = 0;
    mixer_->Release();
    mixer_ = nullptr;
    streamer_ = nullptr;
    sound_ = nullptr;
}

bool SampleVoice::StreamsFilled() const noexcept
{
    if (!open_.load(std::memory_order_acquire) || !sound_->Streamed())
        return true;
    for (std::int32_t i = 0; i < count_; ++i) {
        const Player& player = players_[static_cast<std::size_t>(i)];
        const std::uint32_t generation = player.generation.load(std::memory_order_acquire);
        if (generation == 0 || player.finished.load(std::memory_order_acquire) == generation)
            continue;
        if (player.served.load(std::memory_order_acquire) != generation
            || player.written.load(std::memory_order_acquire) - player.read.load(std::memory_order_acquire)
                   < sound_->RingFrames())
            return false;
    }
    return true;
}

// ---- audio thread ----

void SampleVoice::Start(const Event& event) noexcept
{
    Player& player = players_[static_cast<std::size_t>(event.player)];
    if (!player.playing)
        ++sounding_;
    player.playing = true;
    player.gain = event.gain;
    player.position = 0;
    if (sound_->Streamed())
        player.generation.store(player.generation.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    started_.fetch_add(1, std::memory_order_acq_rel);
}

void SampleVoice::Add(const std::int16_t* samples, float* output, std::uint32_t frames, float scale) const noexcept
{
    if (sound_->Channels() == 2) {
        for (std::size_t i = 0; i < 2 * std::size_t{frames}; ++i)
            output[i] += scale * samples[i];
        return;
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const float value = scale * samples[i];
        output[2 * i] += value;
        output[2 * i + 1] += value;
    }
}

std::uint32_t SampleVoice::MixRing(Player& player, float* output, std::uint32_t frames, float scale) noexcept
{
    const std::uint32_t generation = player.generation.load(std::memory_order_relaxed);
    if (player.served.load(std::memory_order_acquire) != generation) {
        underruns_.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    const std::uint32_t ringFrames = sound_->RingFrames();
    const std::uint16_t channels = sound_->Channels();
    std::uint64_t read = player.read.load(std::memory_order_relaxed);
    std::uint32_t done = 0;
    while (done < frames) {
        const std::uint64_t written = player.written.load(std::memory_order_acquire);
        if (written == read) {
            // The streamer wrote the last frame before it marked the play finished.
            if (player.finished.load(std::memory_order_acquire) == generation
                && player.written.load(std::memory_order_acquire) == read) {
                player.playing = false;
                --sounding_;
            } else {
                underruns_.fetch_add(1, std::memory_order_relaxed);
            }
            break;
        }
        const auto at = static_cast<std::uint32_t>(read % ringFrames);
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>({written - read, frames - done, ringFrames - at}));
        Add(player.ring.get() + std::size_t{at} * channels, output + 2 * std::size_t{done}, count, scale);
        read += count;
        done += count;
        player.read.store(read, std::memory_order_release);
    }
    return done;
}

void SampleVoice::MixPlayers(float* output, std::uint32_t from, std::uint32_t to) noexcept
{
    if (sounding_ == 0 || to <= from)
        return;
    const std::uint32_t held = sound_->FrameCount();
    for (std::int32_t i = 0; i < count_; ++i) {
        Player& player = players_[static_cast<std::size_t>(i)];
        if (!player.playing)
            continue;
        const float scale = player.gain / 32768.0f;
        float* out = output + 2 * std::size_t{from};
        std::uint32_t frames = to - from;
        if (player.position < held) {
            const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, held - player.position));
            Add(sound_->Frames() + player.position * sound_->Channels(), out, count, scale);
            player.position += count;
            out += 2 * std::size_t{count};
            frames -= count;
        }
        if (frames == 0)
            continue;
        if (!sound_->Streamed()) {
            player.playing = false;
            --sounding_;
            continue;
        }
        player.position += MixRing(player, out, frames, scale);
    }
}

void SampleVoice::Mix(float* output, const BlockClock& clock) noexcept
{
    const std::uint32_t frames = clock.Frames();
    std::uint32_t mixed = 0;
    while (const Event* event = events_.Front()) {
        const std::int64_t start = clock.StartFrame(event->stamp);
        if (start >= static_cast<std::int64_t>(clock.FirstFrame() + frames))
            break;
        // A play stamped before one already started cannot go back.
        const std::uint32_t offset = std::max(clock.OffsetOf(start), mixed);
        MixPlayers(output, mixed, offset);
        mixed = offset;
        Start(*event);
        events_.Drop();
    }
    MixPlayers(output, mixed, frames);
}

// ---- streamer thread ----

bool SampleVoice::Fill(Player& player) noexcept
{
    const std::uint32_t generation = player.generation.load(std::memory_order_acquire);
    if (generation == 0)
        return false;
    std::uint64_t written = player.written.load(std::memory_order_relaxed);
    if (player.served.load(std::memory_order_relaxed) != generation) {
        // A new play: the ring starts afresh where the audio thread reads, after the head.
        player.decoder.Rewind();
        player.decoder.Skip(sound_->FrameCount());
        written = player.read.load(std::memory_order_acquire);
        player.written.store(written, std::memory_order_relaxed);
        player.served.store(generation, std::memory_order_release);
    }
    if (player.finished.load(std::memory_order_relaxed) == generation)
        return false;
    const std::uint32_t ringFrames = sound_->RingFrames();
    const std::uint16_t channels = sound_->Channels();
    for (;;) {
        const std::uint64_t free = ringFrames - (written - player.read.load(std::memory_order_acquire));
        if (free == 0)
            return true;
        if (player.generation.load(std::memory_order_acquire) != generation)
            return true; // started again meanwhile: the next look serves the new play
        const auto at = static_cast<std::uint32_t>(written % ringFrames);
        const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>({free, ringFrames - at, fillPiece}));
        const std::uint32_t got = player.decoder.Read(player.ring.get() + std::size_t{at} * channels, want);
        written += got;
        player.written.store(written, std::memory_order_release);
        if (got < want) {
            player.finished.store(generation, std::memory_order_release);
            return false;
        }
    }
}

bool SampleVoice::FillStreams() noexcept
{
    bool streaming = false;
    for (std::int32_t i = 0; i < count_; ++i)
        streaming = Fill(players_[static_cast<std::size_t>(i)]) || streaming;
    return streaming;
}

SampleStreamer::~SampleStreamer()
{
    if (running_.exchange(false, std::memory_order_acq_rel))
        Wake();
    if (thread_.joinable())
        thread_.join();
}

bool SampleStreamer::Start()
{
    if (running_.load(std::memory_order_acquire))
        return true;
    running_.store(true, std::memory_order_release);
    if (!StartThread(thread_, [this] { Run(); })) {
        running_.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool SampleStreamer::Attach(SampleVoice& voice)
{
    {
        std::lock_guard lock(lock_);
        const auto free = std::find(voices_.begin(), voices_.end(), nullptr);
        if (free == voices_.end())
            return false;
        *free = &voice;
    }
    Wake();
    return true;
}

void SampleStreamer::Detach(SampleVoice& voice)
{
    std::lock_guard lock(lock_);
    std::replace(voices_.begin(), voices_.end(), &voice, static_cast<SampleVoice*>(nullptr));
}

void SampleStreamer::Wake() noexcept
{
    wake_.Set();
}

void SampleStreamer::Run()
{
    pthread_setname_np(pthread_self(), "tolvane-stream");
    for (;;) {
        if (!running_.load(std::memory_order_acquire))
            return;
        bool attached = false;
        {
            std::lock_guard lock(lock_);
            for (SampleVoice* voice : voices_) {
                if (voice) {
                    attached = true;
                    voice->FillStreams();
                }
            }
        }
        // A play may start on any frame: while a voice is attached its rings are looked at
        // often enough that none runs dry after its sound's head.
        if (attached)
            wake_.WaitUntil(Clock::Now() + streamerPollNs);
        else
            wake_.Wait();
    }
}

} // namespace Platform::Audio
