#include "Core/Sound/InstrumentList.h"

#include <array>

namespace Core {

namespace {
constexpr std::array<std::uint8_t, InstrumentCount> notes = {
    35, // Acoustic Bass Drum
    38, // Acoustic Snare
    36, // Bass Drum 1
    69, // Cabasa
    52, // Chinese Cymbal
    75, // Claves
    42, // Closed Hi-Hat
    56, // Cowbell
    49, // Crash Cymbal 1
    57, // Crash Cymbal 2
    40, // Electric Snare
    39, // Hand Clap
    60, // Hi Bongo
    67, // High Agogo
    43, // High Floor Tom
    65, // High Timbale
    50, // High Tom
    48, // Hi Mid Tom
    76, // Hi Wood Block
    74, // Long Guiro
    72, // Long Whistle
    68, // Low Agogo
    61, // Low Bongo
    64, // Low Conga
    66, // Low Timbale
    41, // Low Floor Tom
    47, // Low-Mid Tom
    45, // Low Tom
    77, // Low Wood Block
    70, // Maracas
    78, // Mute Cuica
    62, // Mute Hi Conga
    80, // Mute Triangle
    79, // Open Cuica
    63, // Open Hi Conga
    46, // Open Hi-Hat
    81, // Open Triangle
    44, // Pedal Hi-hat
    53, // Ride Bell
    51, // Ride Cymbal 1
    59, // Ride Cymbal 2
    73, // Short Guiro
    71, // Short Whistle
    37, // Side Stick
    55, // Splash Cymbal
    54, // Tambourine
    58, // Vibraslap
};
} // namespace

std::uint32_t InstrumentNote(std::int32_t index) noexcept
{
    if (index < 0 || index >= InstrumentCount)
        index = 1;
    return notes[static_cast<std::size_t>(index)];
}

} // namespace Core
