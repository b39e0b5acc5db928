#pragma once
#include "Platform/SpscQueue.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>

namespace Platform::Audio {

/// MIDI clock (24 to a beat) on the output stream's frames, from the beats' frames as the run
/// plays them. The beats come ahead of their frames (the timer hands a tick over a lead before
/// it sounds); each beat starts a new stretch of 24 clocks, its first on the beat's frame and
/// the others a 24th of the expected beat apart, each rounded on its own from the beat's
/// frame, so no rounding adds up. When a beat comes earlier or later than expected (a tempo
/// change), the clocks before it that have not gone out yet are dropped or the stretch ends
/// short, and the clocks follow the new tempo from that beat on. One thread (the stream's).
class MidiClockGenerator {
public:
    static constexpr int ClocksPerBeat = 24;

    /// A beat at frame; framesPerBeat: how far the next beat is expected.
    void Beat(double frame, double framesPerBeat) noexcept
    {
        if (pending_ == Capacity)
            return; // more than a bar of beats ahead: never the case while a run plays
        beats_[(first_ + pending_++) % Capacity] = {frame, framesPerBeat};
    }
    /// No clocks until the next beat.
    void Stop() noexcept
    {
        running_ = false;
        pending_ = 0;
        last_ = -1;
    }
    bool Running() const noexcept { return running_ || pending_ > 0; }

    /// Calls emit(frame) for each clock whose frame lies before end, in order. A clock whose
    /// frame has already passed (from: the first frame still to come) goes out at from.
    template <typename Emit>
    void Clocks(std::int64_t from, std::int64_t end, Emit&& emit) noexcept
    {
        for (;;) {
            // The next beat takes over once the current stretch reaches it.
            if (pending_ > 0) {
                const BeatAt& next = beats_[first_];
                const std::int64_t beatFrame = std::llround(next.frame);
                if (!running_ || Next() >= beatFrame - HalfStep()) {
                    start_ = next.frame;
                    step_ = next.framesPerBeat / ClocksPerBeat;
                    index_ = 0;
                    running_ = true;
                    first_ = (first_ + 1) % Capacity;
                    --pending_;
                    // A beat handed over after its frame (a timer later than its lead): the
                    // clocks the stretch before ran on with have gone out and are not repeated.
                    while (last_ >= 0 && index_ < ClocksPerBeat && Next() <= last_ + HalfStep())
                        ++index_;
                    continue;
                }
            }
            if (!running_ || (pending_ == 0 && index_ >= ClocksPerBeat * 4))
                return; // no beat for four beats' time: the run has ended
            const std::int64_t frame = Next();
            if (frame >= end)
                return;
            emit(frame < from ? from : frame);
            last_ = frame;
            ++index_;
        }
    }

private:
    static constexpr int Capacity = 64;
    struct BeatAt {
        double frame;
        double framesPerBeat;
    };
    std::int64_t Next() const noexcept { return std::llround(start_ + index_ * step_); }
    std::int64_t HalfStep() const noexcept { return std::llround(step_ / 2); }

    BeatAt beats_[Capacity] = {};
    int first_ = 0;
    int pending_ = 0;
    bool running_ = false;
    double start_ = 0;
    double step_ = 0;
    std::int64_t index_ = 0;
    std::int64_t last_ = -1; // the frame of the last clock sent
};

/// The run's MIDI clock as the output stream sends it: the beats come from the timer thread
/// (Beat, inside the tick), the end of a run from the control thread (Stop); the stream's
/// thread writes clock, Start (with a Song Position Pointer of 0 before it), Continue (with
/// its Song Position before it) and Stop messages on their frames (Render). Start goes out on
/// the first beat of bar 1, after any count-in, whose beats already carry the clock so that a
/// follower has the tempo by then; a pause is a Stop, and the first beat after it a Continue.
/// A Continue while the clock runs (a song that moved to another part) is a jump: Stop and the
/// new Song Position go out right after the last clock before its beat, so that a follower
/// stops and finds the place within a clock's time, and Continue with the beat's first clock.
class MidiClockOut {
public:
    /// What goes out before a beat's first clock: nothing, Song Position 0 and Start (the first
    /// beat of bar 1), or the beat's Song Position and Continue (the first beat after a pause).
    enum class Cue : std::uint8_t { None, Start, Continue };
    /// Timer thread, inside the tick: a beat at frame of the output stream; framesPerBeat how
    /// far the next one is expected; songPosition: the beat's place from bar 1 in sixteenths.
    void Beat(double frame, double framesPerBeat, Cue cue = Cue::None, std::int64_t songPosition = 0) noexcept
    {
        if (sending_.load(std::memory_order_relaxed))
            beats_.Push({frame, framesPerBeat, cue, songPosition});
    }
    /// Any thread: whether the runs' beats go out as clock (off: the next runs send nothing,
    /// a run playing ends its clock after four beats without a Stop).
    void SetSending(bool on) noexcept { sending_.store(on, std::memory_order_relaxed); }
    bool Sending() const noexcept { return sending_.load(std::memory_order_relaxed); }
    /// Control thread: the run has ended; Stop goes out at the start of the next cycle.
    void Stop() noexcept { stops_.fetch_add(1, std::memory_order_release); }
    /// Whether the output stream sends the clock itself (JACK's midi_out port, from its opening
    /// to its closing); otherwise the ALSA sequencer's sender does (AlsaClockOut). Any thread.
    void SetStreamSends(bool on) noexcept { streamSends_.store(on, std::memory_order_release); }
    bool StreamSends() const noexcept { return streamSends_.load(std::memory_order_acquire); }
    /// Whether a clock runs or beats wait. The thread that renders.
    bool Running() const noexcept { return generator_.Running() || beats_.Front() != nullptr; }

    /// Stream thread: the messages due in the block of frames frames from firstFrame, each
    /// given to write(offset, bytes, size) in order of offset. One thread at a time renders: a
    /// second one that comes meanwhile (a sender handing over to another) renders nothing.
    template <typename Write>
    void Render(std::uint64_t firstFrame, std::uint32_t frames, Write&& write) noexcept
    {
        if (rendering_.exchange(true, std::memory_order_acquire))
            return;
        RenderAlone(firstFrame, frames, write);
        rendering_.store(false, std::memory_order_release);
    }

    /// The port the clock is to reach (a JACK MIDI input, "client:port"), connected each time
    /// the JACK client is made; empty: none. Control threads.
    void ConnectTo(std::string port)
    {
        const std::lock_guard lock(destinationLock_);
        destination_ = std::move(port);
    }
    std::string Destination() const
    {
        const std::lock_guard lock(destinationLock_);
        return destination_;
    }

    /// The process's one clock output (the JACK client's midi_out port sends it).
    static MidiClockOut& Instance() noexcept
    {
        static MidiClockOut out;
        return out;
    }

private:
    template <typename Write>
    void RenderAlone(std::uint64_t firstFrame, std::uint32_t frames, Write& write) noexcept
    {
        const auto from = static_cast<std::int64_t>(firstFrame);
        if (const unsigned stops = stops_.load(std::memory_order_acquire); stops != stopsSeen_) {
            stopsSeen_ = stops;
            BeatCue cue;
            while (beats_.Pop(cue)) {
            }
            generator_.Stop();
            cueFrame_ = -1;
            lastClock_ = -1;
            // Only a clock that went out is stopped.
            if (sent_) {
                static constexpr std::uint8_t stop[] = {0xFC};
                write(0u, stop, 1u);
            }
            sent_ = false;
        }
        BeatCue cue;
        while (beats_.Pop(cue)) {
            generator_.Beat(cue.frame, cue.framesPerBeat);
            if (cue.cue != Cue::None) {
                cueFrame_ = std::llround(cue.frame);
                cue_ = cue.cue;
                located_ = false;
                // The pointer's 14 bits, least first; beyond them it stays at its last step.
                const auto position = static_cast<std::uint16_t>(std::clamp<std::int64_t>(cue.songPosition, 0, 0x3FFF));
                position_[1] = static_cast<std::uint8_t>(position & 0x7F);
                position_[2] = static_cast<std::uint8_t>(position >> 7);
            }
        }
        static constexpr std::uint8_t stop[] = {0xFC};
        generator_.Clocks(from, from + frames, [&](std::int64_t frame) {
            const auto offset = static_cast<std::uint32_t>(frame - from);
            if (cueFrame_ >= 0 && frame >= cueFrame_) {
                static constexpr std::uint8_t start[] = {0xFA};
                static constexpr std::uint8_t resume[] = {0xFB};
                if (!located_) {
                    if (cue_ == Cue::Continue && sent_)
                        write(offset, stop, 1u); // the clock before came too late to carry it
                    write(offset, position_, 3u);
                }
                write(offset, cue_ == Cue::Start ? start : resume, 1u);
                cueFrame_ = -1;
                located_ = false;
            }
            static constexpr std::uint8_t clock[] = {0xF8};
            write(offset, clock, 1u);
            // The last clock before a jump: the clock after it would fall a step on, and the
            // generator drops one within half a step of the beat.
            if (cueFrame_ >= 0 && cue_ == Cue::Continue && sent_ && !located_ && lastClock_ >= 0
                && 2 * frame + 3 * (frame - lastClock_) >= 2 * cueFrame_) {
                write(offset, stop, 1u);
                write(offset, position_, 3u);
                located_ = true;
            }
            sent_ = true;
            lastClock_ = frame;
        });
    }

    struct BeatCue {
        double frame = 0;
        double framesPerBeat = 0;
        Cue cue = Cue::None;
        std::int64_t songPosition = 0;
    };
    Platform::SpscQueue<BeatCue> beats_{64};
    std::atomic<unsigned> stops_{0};
    unsigned stopsSeen_ = 0; // stream thread
    MidiClockGenerator generator_;
    std::int64_t cueFrame_ = -1; // stream thread: the frame of the beat Start or Continue goes with
    Cue cue_ = Cue::None;
    std::uint8_t position_[3] = {0xF2, 0, 0};
    bool sent_ = false; // stream thread: clocks went out since the last Stop
    bool located_ = false; // stream thread: Stop and Song Position of the coming Continue went out
    std::int64_t lastClock_ = -1; // stream thread: the frame of the last clock sent
    std::atomic<bool> sending_{true};
    std::atomic<bool> streamSends_{false};
    std::atomic<bool> rendering_{false};
    mutable std::mutex destinationLock_;
    std::string destination_;
};

} // namespace Platform::Audio
