#include "Platform/Audio/JackTransport.h"

#include "Platform/Clock.h"
#include "Platform/FrameClock.h"

#include <jack/jack.h>
#include <jack/transport.h>

#include <cmath>

namespace Platform::Audio {

namespace {

void Timebase(jack_transport_state_t, jack_nframes_t frames, jack_position_t* position, int, void* self) noexcept
{
    static_cast<JackTransport*>(self)->FillPosition(frames, position);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) noexcept
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

} // namespace

TimelinePoint TransportFollower::Next(const Position& position, double cycleFrame, double rate) noexcept
{
    TimelinePoint point;
    if (!position.rolling) {
        last_.rolling = false;
        return last_;
    }
    if (!position.hasBarBeat || position.bbt.beatsPerMinute <= 0) {
        point.rolling = true;
        point.beatFrame = cycleFrame - static_cast<double>(position.frame);
        point.beatsPerBar = 0; // the run's own tempo and metre, from the transport's frame 0
        last_ = point;
        return point;
    }
    const double framesPerBeat = rate * 60.0 / position.bbt.beatsPerMinute;
    const auto beatsPerBar = static_cast<std::int32_t>(std::max(1L, std::lround(position.bbt.beatsPerBar)));
    const double ticksPerBeat = position.ticksPerBeat > 0 ? position.ticksPerBeat : BarBeatTick::TicksPerBeat;
    double beatFrame = cycleFrame - position.bbtOffset - position.bbt.tick / ticksPerBeat * framesPerBeat;
    const double beatIndex = static_cast<double>(position.bbt.bar - 1) * beatsPerBar + (position.bbt.beat - 1);
    if (last_.rolling && last_.framesPerBeat == framesPerBeat && last_.beatsPerBar == beatsPerBar) {
        const double predicted = last_.beatFrame + (beatIndex - lastBeatIndex_) * framesPerBeat;
        if (std::abs(beatFrame - predicted) <= framesPerBeat / ticksPerBeat + 1.0)
            beatFrame = std::min(beatFrame, predicted);
    }
    point.rolling = true;
    point.beatFrame = beatFrame;
    point.framesPerBeat = framesPerBeat;
    point.bar = position.bbt.bar;
    point.beat = position.bbt.beat - 1;
    point.beatsPerBar = beatsPerBar;
    last_ = point;
    lastBeatIndex_ = beatIndex;
    return point;
}

void TransportLeader::Add(const Beat& beat) noexcept
{
    if (count_ == Capacity) {
        for (int i = 1; i < Capacity; ++i)
            beats_[i - 1] = beats_[i];
        --count_;
    }
    beats_[count_++] = beat;
}

bool TransportLeader::BarOne(Beat& beat) const noexcept
{
    for (int i = 0; i < count_; ++i) {
        if (beats_[i].bar == 1 && beats_[i].beat == 0) {
            beat = beats_[i];
            return true;
        }
    }
    return false;
}

bool TransportLeader::At(double frame, double rate, BarBeatTick& out) const noexcept
{
    if (count_ == 0)
        return false;
    int base = 0;
    while (base + 1 < count_ && beats_[base + 1].frame <= frame)
        ++base;
    const Beat& at = beats_[base];
    double length = at.framesPerBeat;
    if (base + 1 < count_)
        length = beats_[base + 1].frame - at.frame;
    else if (base > 0)
        length = at.frame - beats_[base - 1].frame;
    if (length <= 0)
        return false;
    const double beats = (frame - at.frame) / length;
    const double whole = std::floor(beats);
    const std::int32_t perBar = std::max(at.beatsPerBar, 1);
    const std::int64_t beatInBars = at.beat + static_cast<std::int64_t>(whole);
    out.bar = at.bar + static_cast<std::int32_t>(FloorDiv(beatInBars, perBar));
    out.beat = static_cast<std::int32_t>(beatInBars - FloorDiv(beatInBars, perBar) * perBar) + 1;
    out.tick = (beats - whole) * BarBeatTick::TicksPerBeat;
    out.beatsPerBar = perBar;
    out.barStartTick = static_cast<double>(out.bar - 1) * perBar * BarBeatTick::TicksPerBeat;
    out.beatsPerMinute = 60.0 * rate / length;
    return true;
}

JackTransport& JackTransport::Instance() noexcept
{
    static JackTransport transport;
    return transport;
}

void JackTransport::SetMode(TransportMode mode)
{
    const std::lock_guard lock(lock_);
    mode_.store(static_cast<std::int32_t>(mode), std::memory_order_release);
    ApplyMode();
}

void JackTransport::SetIdleTempo(double bpm, std::int32_t beatsPerBar) noexcept
{
    if (bpm > 0)
        idleBpm_.store(bpm, std::memory_order_relaxed);
    if (beatsPerBar > 0)
        idleBeatsPerBar_.store(beatsPerBar, std::memory_order_relaxed);
}

void JackTransport::LeadPosition(bool countIn, std::int32_t beat, std::int32_t beatsPerBar) noexcept
{
    if (Mode() != TransportMode::Lead)
        return;
    const SoundStamp stamp = CurrentSoundStamp();
    if (stamp.frameClock == nullptr || !stamp.frameClock->StartsSoundsOnFrames())
        return; // only a stream's frames can be the transport's
    if (!countIn && beat == 1)
        ++leadBar_;
    TransportLeader::Beat at;
    at.frame = stamp.frame;
    at.framesPerBeat = stamp.frameClock->FrameRate() * 60.0 / leadBpm_;
    at.bar = countIn ? 0 : leadBar_;
    at.beat = beat - 1;
    at.beatsPerBar = beatsPerBar;
    Beat(at);
}

void JackTransport::RequestRolling(bool roll) noexcept
{
    const std::lock_guard lock(lock_);
    if (client_ == nullptr)
        return;
    if (roll)
        jack_transport_start(client_);
    else
        jack_transport_stop(client_);
}

void JackTransport::ApplyMode()
{
    const bool lead = Mode() == TransportMode::Lead;
    if (client_ == nullptr) {
        master_ = false;
        return;
    }
    if (lead && !master_) {
        master_ = jack_set_timebase_callback(client_, 0, &Timebase, this) == 0;
    } else if (!lead && master_) {
        jack_release_timebase(client_);
        master_ = false;
    }
}

void JackTransport::Attach(_jack_client* client, double rate)
{
    const std::lock_guard lock(lock_);
    client_ = client;
    master_ = false;
    rate_.store(rate, std::memory_order_relaxed);
    cycleClient_.store(client, std::memory_order_release);
    attached_.store(true, std::memory_order_release);
    ApplyMode();
}

void JackTransport::Detach(_jack_client* client)
{
    const std::lock_guard lock(lock_);
    if (client != client_)
        return;
    if (client_ != nullptr && master_)
        jack_release_timebase(client_);
    master_ = false;
    client_ = nullptr;
    cycleClient_.store(nullptr, std::memory_order_release);
    attached_.store(false, std::memory_order_release);
    rolling_.store(false, std::memory_order_release);
    timeline_.Publish(TimelinePoint{});
}

void JackTransport::Cycle(std::uint64_t streamFrame, std::uint32_t serverFrame, std::uint32_t frames) noexcept
{
    _jack_client* client = cycleClient_.load(std::memory_order_acquire);
    if (client == nullptr)
        return;
    serverOffset_.store(static_cast<std::int64_t>(serverFrame) - static_cast<std::int64_t>(streamFrame),
                        std::memory_order_release);
    cycleFrame_ = static_cast<double>(streamFrame);
    const double rate = rate_.load(std::memory_order_relaxed);
    jack_position_t position{};
    const jack_transport_state_t state = jack_transport_query(client, &position);
    const bool rolling = state == JackTransportRolling;
    const bool barBeat = (position.valid & JackPositionBBT) != 0;
    rolling_.store(rolling, std::memory_order_release);
    beatsPerBar_.store(barBeat ? static_cast<std::int32_t>(std::lround(position.beats_per_bar)) : 0,
                       std::memory_order_release);

    const TransportMode mode = Mode();
    if (mode == TransportMode::Follow) {
        TransportFollower::Position at;
        at.rolling = rolling;
        at.hasBarBeat = barBeat;
        at.frame = position.frame;
        if (barBeat) {
            at.bbt.bar = position.bar;
            at.bbt.beat = position.beat;
            at.bbt.tick = (position.valid & JackTickDouble) != 0 ? position.tick_double : position.tick;
            at.bbt.beatsPerBar = position.beats_per_bar;
            at.bbt.beatsPerMinute = position.beats_per_minute;
            at.ticksPerBeat = position.ticks_per_beat;
            at.bbtOffset = (position.valid & JackBBTFrameOffset) != 0 ? position.bbt_offset : 0;
        }
        timeline_.Publish(follower_.Next(at, cycleFrame_, rate));
        return;
    }
    if (mode != TransportMode::Lead)
        return;
    const auto begin = [&] {
        leader_.Clear();
        leading_ = true;
        waitingForBarOne_ = true;
        jack_transport_stop(client);
        jack_transport_locate(client, 0);
    };
    if (const unsigned stops = stops_.load(std::memory_order_acquire); stops != stopsSeen_) {
        stopsSeen_ = stops;
        leading_ = false;
        waitingForBarOne_ = false;
        leader_.Clear();
        jack_transport_stop(client);
    }
    if (const unsigned starts = starts_.load(std::memory_order_acquire); starts != startsSeen_) {
        startsSeen_ = starts;
        begin();
    }
    TransportLeader::Beat beat;
    while (beats_.Pop(beat)) {
        if (beat.run != startsSeen_) { // a run whose start this cycle has not seen yet
            startsSeen_ = beat.run;
            begin();
        }
        if (leading_)
            leader_.Add(beat);
    }
    // The transport rolls from bar 1 (after any count-in): it is asked to start in the cycle
    // before the one that holds bar 1's first beat.
    if (leading_ && waitingForBarOne_) {
        TransportLeader::Beat barOne;
        if (leader_.BarOne(barOne) && barOne.frame < cycleFrame_ + 2.0 * frames) {
            waitingForBarOne_ = false;
            jack_transport_start(client);
        }
    }
}

void JackTransport::FillPosition(std::uint32_t frames, _jack_position* position) noexcept
{
    JackTransport& transport = *this;
    const double rate = transport.rate_.load(std::memory_order_relaxed);
    BarBeatTick bbt;
    // The position asked for is the next cycle's, whose first stream frame follows this one's.
    if (!transport.leading_ || !transport.leader_.At(transport.cycleFrame_ + frames, rate, bbt)) {
        // No run: a straight grid from frame 0 at the settings' tempo and metre.
        const double framesPerBeat = rate * 60.0 / transport.idleBpm_.load(std::memory_order_relaxed);
        const std::int32_t perBar = transport.idleBeatsPerBar_.load(std::memory_order_relaxed);
        TransportLeader idle;
        idle.Add({0.0, framesPerBeat, 1, 0, perBar});
        idle.At(static_cast<double>(position->frame), rate, bbt);
    }
    position->valid = static_cast<jack_position_bits_t>(JackPositionBBT | JackTickDouble);
    position->bar = bbt.bar;
    position->beat = bbt.beat;
    position->tick = static_cast<std::int32_t>(bbt.tick);
    position->tick_double = bbt.tick;
    position->bar_start_tick = bbt.barStartTick;
    position->beats_per_bar = static_cast<float>(bbt.beatsPerBar);
    position->beat_type = 4.0f;
    position->ticks_per_beat = BarBeatTick::TicksPerBeat;
    position->beats_per_minute = bbt.beatsPerMinute;
}

} // namespace Platform::Audio
