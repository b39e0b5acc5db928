#pragma once
#include "Platform/Audio/Mixer.h"
#include "Platform/Audio/ResultCodes.h"
#include "Platform/Audio/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace Platform::Audio {

/// PCM material a WaveOut plays.
struct WaveFormat {
    std::uint16_t channels = 2;       ///< 1 or 2
    std::uint32_t sampleRate = 44100; ///< LowestInputRate(mixer's rate) .. 44100 frames per second
    std::uint16_t bitsPerSample = 16; ///< 8 (unsigned) or 16 (signed, little-endian)
};

/// The converter changes rates by at most this factor.
constexpr std::uint32_t MaximumRateRatio = 256;

/// The lowest material rate that can be converted to outputRate.
constexpr std::uint32_t LowestInputRate(std::uint32_t outputRate) noexcept
{
    return (outputRate + MaximumRateRatio - 1) / MaximumRateRatio;
}

/// One buffer handed to a WaveOut. The caller owns the header and its data; while the header
/// is queued (written and not yet done) neither may change.
struct WaveHeader {
    static constexpr std::uint32_t Prepared = 1;
    static constexpr std::uint32_t Done = 2;
    static constexpr std::uint32_t InQueue = 4;

    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;   ///< bytes of data to play (whole frames)
    std::uintptr_t user = 0;    ///< free for the caller

    /// Prepared / Done / InQueue. Any thread may read.
    std::uint32_t Flags() const noexcept { return flags.load(std::memory_order_acquire); }

    /// Managed by WaveOut.
    std::atomic<std::uint32_t> flags{0};
};

/// Called once for every written buffer when it is done (played to its end, or handed back by
/// Reset or Close), in the order the buffers were written. It runs on the mixer's notice
/// thread, or inside Reset/Close on the caller's thread, and may only signal (set an event).
using WaveCallback = void (*)(void* instance, WaveHeader& header);

/// A wave output: one mixer voice with its own queue of buffers, with the semantics of the
/// system's wave-out calls. The first buffer written after Open or Reset starts at the time
/// stamped for it (the timer tick's due time when the player passes it) plus the mixer's
/// latency; each later buffer follows the previous one without a gap. Material at another
/// rate than the mixer's is converted with libsamplerate.
///
/// All calls from one control thread at a time (a wave player's thread); the callback as
/// described above.
class WaveOut final : private IVoice, private INoticeTarget {
public:
    /// mixer: where to play; it must outlive the output.
    explicit WaveOut(Mixer& mixer);
    ~WaveOut() override;
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    /// Opens the output for format. BadFormat for material it cannot play, Allocated when
    /// already open, NoDriver when no audio output can be opened, NoMemory.
    Result Open(const WaveFormat& format, WaveCallback callback, void* instance);
    /// Marks a header usable. InvalidParameter without data; InvalidHandle when closed.
    Result Prepare(WaveHeader& header);
    /// Takes the mark back. StillPlaying while the header is queued.
    Result Unprepare(WaveHeader& header);
    /// Queues a buffer. start places the first buffer after Open or Reset (see
    /// BlockClock::StartFrame; a tick's stamp starts it on the tick's frame). Unprepared for a
    /// header not prepared, StillPlaying for one already queued, InvalidHandle when closed,
    /// NoMemory when the queue is full.
    Result Write(WaveHeader& header, const SoundStamp& start);
    /// The same with a start time (clock nanoseconds; 0 = Platform::CurrentSoundStamp()).
    Result Write(WaveHeader& header, std::int64_t startTime = 0);
    /// Stops the sound and hands every queued buffer back as done, before returning.
    Result Reset();
    /// Resets and closes. Harmless when closed.
    void Close();

    bool IsOpen() const noexcept { return mixer_ != nullptr; }
    /// True when the output is open but its stream has been lost (Mixer::StreamLost): nothing
    /// written plays until the mixer is restored. Any thread.
    bool IsLost() const noexcept { return mixer_ != nullptr && mixer_->StreamLost(); }

private:
    struct Command {
        WaveHeader* header;
        std::uint64_t write;       // number of this write, counted from 1 since Open
        std::uint64_t generation;  // resets before this write
        SoundStamp stamp;
        bool timed;                // first after Open or Reset: starts at stamp
    };
    struct Written {
        WaveHeader* header;
        std::uint64_t write;
    };

    void Mix(float* output, const BlockClock& clock) noexcept override;
    void OnNotice(void* item, std::uint64_t value) override;
    std::uint32_t MixDirect(float* output, std::uint32_t frames) noexcept;
    std::uint32_t MixConverted(float* output, std::uint32_t frames) noexcept;
    std::uint32_t ReadFrames(float* destination, std::uint32_t frames) noexcept;
    bool TakeNextBuffer() noexcept;
    void FinishCurrent() noexcept;
    void HandBackQueued();
    bool Complete(std::uint64_t write) noexcept;
    void Finish(WaveHeader& header);
    static long ConverterInput(void* self, float** data);

    Mixer& requestedMixer_;
    Mixer* mixer_ = nullptr;
    WaveFormat format_{};
    WaveCallback callback_ = nullptr;
    void* instance_ = nullptr;
    struct ConverterDeleter {
        void operator()(SRC_STATE* state) const noexcept;
    };
    std::unique_ptr<SRC_STATE, ConverterDeleter> converter_;
    double ratio_ = 1.0;

    // Caller's side.
    std::uint64_t writes_ = 0;
    bool nextTimed_ = true;
    std::vector<Written> written_;       // writes that may still be queued, oldest first
    std::atomic<std::uint64_t> generation_{0};
    // Buffers finish in the order they were written, so one number says which are done: every
    // write up to it. Whoever moves it on (the notice thread for a played buffer, Reset or
    // Close for a handed-back one) reports that buffer; the other side then leaves it alone,
    // and a buffer once done is never touched again (its owner may free it).
    std::atomic<std::uint64_t> completed_{0};

    // Between the caller and the audio thread.
    SpscQueue<Command> commands_{256};

    // Audio thread only.
    std::uint64_t seenGeneration_ = 0;
    bool playing_ = false;
    bool haveCurrent_ = false;
    Command current_{};
    std::uint32_t position_ = 0;         // bytes of the current buffer already played
    std::vector<float> input_;           // converter input, stereo
};

} // namespace Platform::Audio
