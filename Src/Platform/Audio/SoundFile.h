#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace Platform::Audio {

/// The encodings an exported sound file can have.
enum class SoundFileFormat { Wav16, Wav24, WavFloat, Flac, OggVorbis };

/// Writes interleaved stereo float frames as a sound file through libsndfile, into a
/// descriptor the caller opened (and closes). Integer encodings clip at full scale. One thread.
class SoundFileWriter {
public:
    SoundFileWriter() = default;
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    /// Starts a file of format at rate on descriptor. False with why in error.
    bool Open(int descriptor, SoundFileFormat format, std::uint32_t rate, std::string& error);
    /// Appends frames stereo frames. False with why in error (a full disk, say).
    bool Write(const float* samples, std::size_t frames, std::string& error);
    /// Finishes the file (headers, the encoder's last pages). False with why in error.
    bool Close(std::string& error);

private:
    SNDFILE* file_ = nullptr;
};

/// A sound file as read back: its rate, channels, libsndfile's major format and sub-format
/// codes and its samples interleaved, as floats at full scale 1.0. Empty samples and rate 0
/// when it could not be read.
struct SoundFileContents {
    std::uint32_t rate = 0;
    int channels = 0;
    int majorFormat = 0;
    int subFormat = 0;
    std::vector<float> samples;
};
SoundFileContents ReadSoundFile(const std::string& path);

} // namespace Platform::Audio
