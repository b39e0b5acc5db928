#include "Core/MidiSoundEngine.h"

#include "Core/MultimediaErrorReport.h"

namespace Core {

MidiSoundEngine::MidiSoundEngine(Platform::Audio::MidiOutOptions options) : output_(std::move(options)) {}

MidiSoundEngine::~MidiSoundEngine()
{
    Close();
}

bool MidiSoundEngine::Initialise(const Configuration::ConfigurationData&)
{
    if (output_.IsOpen())
        return true;
    lastResult_ = output_.Open();
    if (lastResult_ != Platform::Audio::NoError) {
        ReportMultimediaError(u".\\Src\\Core\\MidiSoundEngine", u"Core::MidiSoundEngine::Initialise", __LINE__,
                              lastResult_, u"Error calling midiOutOpen");
        return false;
    }
    return true;
}

bool MidiSoundEngine::PlaySound(std::uint32_t volume, std::uint32_t note)
{
    const std::uint32_t message = 0x99 | (note & 0xFF) << 8 | (volume & 0xFF) << 16;
    lastResult_ = output_.ShortMessage(message);
    if (lastResult_ != Platform::Audio::NoError) {
        ReportMultimediaError(u".\\Src\\Core\\MidiSoundEngine", u"Core::MidiSoundEngine::PlaySoundW", __LINE__,
                              lastResult_, u"Error calling midiOutShortMsg");
        return false;
    }
    return true;
}

void MidiSoundEngine::Close()
{
    output_.Close();
}

} // namespace Core
