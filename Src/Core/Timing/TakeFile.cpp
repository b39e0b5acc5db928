#include "Core/Timing/TakeFile.h"

#include "Platform/RegularFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace Core::Timing {

namespace {

constexpr std::size_t AudioLimit = std::size_t{1} << 30;
constexpr std::size_t MidiLimit = std::size_t{16} << 20;
constexpr double MidiRate = 48000.0;

// Reads big-endian numbers and MIDI's variable-length quantities, never past the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool Has(std::size_t n) const { return bytes_.size() - at_ >= n; }
    std::uint32_t Number(std::size_t n)
    {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < n; ++i)
            value = (value << 8) | static_cast<unsigned char>(bytes_[at_++]);
        return value;
    }
    bool Quantity(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            if (!Has(1))
                return false;
            const auto byte = static_cast<unsigned char>(bytes_[at_++]);
            value = (value << 7) | (byte & 0x7Fu);
            if ((byte & 0x80u) == 0)
                return true;
        }
        return false;
    }
    bool Skip(std::size_t n)
    {
        if (!Has(n))
            return false;
        at_ += n;
        return true;
    }
    std::string_view Take(std::size_t n)
    {
        const std::string_view part = bytes_.substr(at_, n);
        at_ += n;
        return part;
    }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// One track's events: note-ons (ticks) and tempo changes (tick -> microseconds per quarter).
bool ReadTrack(std::string_view track, std::vector<std::uint64_t>& notes, std::map<std::uint64_t, std::uint32_t>& tempos)
{
    Reader reader(track);
    std::uint64_t tick = 0;
    unsigned status = 0;
    while (reader.Has(1)) {
        std::uint32_t delta = 0;
        if (!reader.Quantity(delta) || !reader.Has(1))
            return false;
        tick += delta;
        unsigned byte = reader.Number(1);
        if (byte == 0xFF) {
            std::uint32_t length = 0;
            if (!reader.Has(1))
                return false;
            const unsigned type = reader.Number(1);
            if (!reader.Quantity(length) || !reader.Has(length))
                return false;
            if (type == 0x51 && length == 3)
                tempos[tick] = std::max<std::uint32_t>(reader.Number(3), 1);
            else if (type == 0x2F)
                return true;
            else
                reader.Skip(length);
            continue;
        }
        if (byte == 0xF0 || byte == 0xF7) {
            std::uint32_t length = 0;
            if (!reader.Quantity(length) || !reader.Skip(length))
                return false;
            continue;
        }
        if ((byte & 0x80u) != 0) {
            status = byte;
            if (!reader.Has(1))
                return false;
            byte = reader.Number(1);
        } else if (status == 0) {
            return false; // data without a status
        }
        const unsigned kind = status & 0xF0u;
        const bool twoBytes = kind != 0xC0 && kind != 0xD0;
        unsigned second = 0;
        if (twoBytes) {
            if (!reader.Has(1))
                return false;
            second = reader.Number(1);
        }
        if (kind == 0x90 && second > 0)
            notes.push_back(tick);
        (void)byte;
    }
    return true;
}

struct Memory {
    const std::string& bytes;
    sf_count_t at = 0;
};

sf_count_t Length(void* data)
{
    return static_cast<sf_count_t>(static_cast<Memory*>(data)->bytes.size());
}
sf_count_t Seek(sf_count_t offset, int whence, void* data)
{
    auto& memory = *static_cast<Memory*>(data);
    const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? memory.at : Length(data);
    memory.at = std::clamp<sf_count_t>(base + offset, 0, Length(data));
    return memory.at;
}
sf_count_t Read(void* out, sf_count_t count, void* data)
{
    auto& memory = *static_cast<Memory*>(data);
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, Length(data) - memory.at);
    std::memcpy(out, memory.bytes.data() + memory.at, static_cast<std::size_t>(n));
    memory.at += n;
    return n;
}
sf_count_t Write(const void*, sf_count_t, void*)
{
    return 0;
}
sf_count_t Tell(void* data)
{
    return static_cast<Memory*>(data)->at;
}

} // namespace

bool ReadMidiNoteOns(std::string_view bytes, std::vector<double>& seconds, std::string& error)
{
    seconds.clear();
    Reader reader(bytes);
    if (!reader.Has(14) || reader.Take(4) != "MThd") {
        error = "not a Standard MIDI File";
        return false;
    }
    const std::uint32_t headerLength = reader.Number(4);
    if (headerLength < 6 || !reader.Has(headerLength)) {
        error = "a damaged MIDI file header";
        return false;
    }
    reader.Number(2); // the format: every track's notes count alike
    const std::uint32_t tracks = reader.Number(2);
    const std::uint32_t division = reader.Number(2);
    reader.Skip(headerLength - 6);
    if (division == 0) {
        error = "a MIDI file without a time division";
        return false;
    }
    std::vector<std::uint64_t> notes;
    std::map<std::uint64_t, std::uint32_t> tempos;
    for (std::uint32_t track = 0; track < tracks && reader.Has(8); ++track) {
        const std::string_view kind = reader.Take(4);
        const std::uint32_t length = reader.Number(4);
        if (!reader.Has(length)) {
            error = "a MIDI track cut short";
            return false;
        }
        const std::string_view body = reader.Take(length);
        if (kind == "MTrk" && !ReadTrack(body, notes, tempos)) {
            error = "a damaged MIDI track";
            return false;
        }
    }
    std::sort(notes.begin(), notes.end());
    if ((division & 0x8000u) != 0) {
        // SMPTE: frames per second (negative, in the high byte) times ticks per frame.
        const int framesPerSecond = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const double ticksPerSecond = framesPerSecond * static_cast<double>(division & 0xFFu);
        if (ticksPerSecond <= 0) {
            error = "a MIDI file without a time division";
            return false;
        }
        for (std::uint64_t tick : notes)
            seconds.push_back(static_cast<double>(tick) / ticksPerSecond);
        return true;
    }
    // Through the tempo map: 120 bpm until the first change.
    std::uint64_t tempoTick = 0;
    double tempoSeconds = 0;
    double secondsPerTick = 500000e-6 / division;
    auto change = tempos.begin();
    for (std::uint64_t tick : notes) {
        for (; change != tempos.end() && change->first <= tick; ++change) {
            tempoSeconds += static_cast<double>(change->first - tempoTick) * secondsPerTick;
            tempoTick = change->first;
            secondsPerTick = change->second * 1e-6 / division;
        }
        seconds.push_back(tempoSeconds + static_cast<double>(tick - tempoTick) * secondsPerTick);
    }
    return true;
}

bool DecodeAudio(const std::string& bytes, std::vector<float>& samples, double& rate, std::string& error)
{
    Memory memory{bytes};
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
    if (file == nullptr) {
        error = sf_strerror(nullptr);
        return false;
    }
    const auto channels = static_cast<std::size_t>(std::max(info.channels, 1));
    std::vector<float> block(4096 * channels);
    samples.clear();
    samples.reserve(static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0)));
    sf_count_t got = 0;
    while ((got = sf_readf_float(file, block.data(), 4096)) > 0) {
        for (sf_count_t f = 0; f < got; ++f) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += block[static_cast<std::size_t>(f) * channels + c];
            samples.push_back(sum / static_cast<float>(channels));
        }
    }
    sf_close(file);
    rate = info.samplerate;
    if (rate <= 0) {
        error = "an audio file without a sample rate";
        return false;
    }
    return true;
}

Take ReadTake(const std::string& path)
{
    Take take;
    std::string bytes;
    const Platform::ReadOutcome outcome = Platform::ReadRegularFile(path, AudioLimit, bytes);
    if (!outcome.Ok()) {
        take.error = Platform::DescribeReadProblem(outcome, AudioLimit);
        return take;
    }
    if (bytes.compare(0, 4, "MThd") == 0) {
        take.isMidi = true;
        take.rate = MidiRate;
        if (bytes.size() > MidiLimit) {
            take.error = "larger than " + std::to_string(MidiLimit) + " bytes";
            return take;
        }
        std::vector<double> seconds;
        if (!ReadMidiNoteOns(bytes, seconds, take.error))
            return take;
        for (double s : seconds)
            if (take.hitFrames.empty() || s * MidiRate - take.hitFrames.back() > 0.005 * MidiRate)
                take.hitFrames.push_back(s * MidiRate);
        take.frames = seconds.empty() ? 0.0 : seconds.back() * MidiRate + MidiRate;
        return take;
    }
    if (DecodeAudio(bytes, take.samples, take.rate, take.error))
        take.frames = static_cast<double>(take.samples.size());
    return take;
}

} // namespace Core::Timing
