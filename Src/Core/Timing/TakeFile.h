#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Core::Timing {

/// A recorded take as the scorer reads it: an audio recording (mixed down to one channel) or
/// the note-ons of a Standard MIDI File.
struct Take {
    bool isMidi = false;
    double rate = 48000;           ///< frames per second (a MIDI take's times are counted at 48 kHz)
    std::vector<float> samples;    ///< audio: the mono samples
    std::vector<double> hitFrames; ///< MIDI: each note-on's frame (notes within 5 ms of the one before count once)
    double frames = 0;             ///< the take's length in frames
    std::string error;             ///< why the file could not be read (English, one line); empty when read
};

/// Reads path: a Standard MIDI File (by its "MThd" header), else any audio file libsndfile
/// reads (WAV, FLAC, ...). The file is read whole, as a regular file of at most 1 GiB (MIDI:
/// 16 MiB).
Take ReadTake(const std::string& path);

/// The note-on times (seconds, sorted) of a Standard MIDI File's bytes, through its tempo
/// changes; false with why in error when the bytes are no such file.
bool ReadMidiNoteOns(std::string_view bytes, std::vector<double>& seconds, std::string& error);

/// Audio from bytes of any format libsndfile reads, mixed down to mono.
bool DecodeAudio(const std::string& bytes, std::vector<float>& samples, double& rate, std::string& error);

} // namespace Core::Timing
