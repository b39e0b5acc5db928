// Arbitrary bytes as a user's wave file: the audio-file check, the wave reader and the decoder
// must never crash, never read or allocate beyond the file, and agree on which files hold a
// format and a data chunk, since both find them through the one header reader.
#include "Core/WaveFiles/VerifyAudioFile.h"
#include "Core/WaveFiles/WaveFile.h"
#include "Platform/Text.h"
#include "DiscardingLog.h"
#include "System/Log.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzSupport::DiscardingLog log;
    static Core::WaveFile wave; // kept across inputs, so the growing buffer is exercised too
    static std::size_t largestFile = 0;
    System::SetLog(&log);

    // The bytes live in memory; the program reads them by path like any file.
    const int descriptor = memfd_create("fuzz.wav", MFD_CLOEXEC);
    if (descriptor < 0)
        return 0;
    if (size > 0 && write(descriptor, data, size) != static_cast<ssize_t>(size)) {
        close(descriptor);
        return 0;
    }
    const std::u16string path = Platform::Text::Utf8ToUtf16("/proc/self/fd/" + std::to_string(descriptor));

    const std::int32_t check = Core::VerifyAudioFile(path.c_str());
    Require(check == Core::AudioFileCheck::Usable || check == Core::AudioFileCheck::CannotRead
            || check == Core::AudioFileCheck::LargeFile || check == Core::AudioFileCheck::InvalidFormat);
    const bool checked = check != Core::AudioFileCheck::CannotRead;
    Require(size >= 44 || !checked);

    std::uint32_t fileSize = 0;
    std::uint32_t dataSize = 0;
    Core::WaveFormatRecord format;
    const bool read = wave.ReadWaveData(path.c_str(), fileSize, format, dataSize);
    largestFile = std::max(largestFile, size);
    Require(wave.SampleCapacity() <= largestFile);
    Require(read == checked);
    if (read) {
        Require(fileSize == size);
        // A format chunk (24 bytes with its header) and the data chunk's header take room.
        Require(dataSize <= size - 44);
        Require(dataSize <= wave.SampleCapacity());
        Require(format.extraSize == 0);
        // Decoded at a rate of its own, whatever its format says: never more frames than its
        // samples give at the largest conversion ratio.
        if (wave.ReadSound(path.c_str(), 48000)) {
            const Platform::Audio::SampleSound& sound = *wave.Sound();
            Require(sound.Rate() == 48000);
            Require(sound.FrameCount() <= std::uint64_t{dataSize} * Platform::Audio::MaximumRateRatio + 64);
        }
    }
    close(descriptor);
    System::SetLog(nullptr);
    return 0;
}
