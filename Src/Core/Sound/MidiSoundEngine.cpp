#include "Core/Sound/MidiSoundEngine.h"

#include "Core/Sound/InstrumentList.h"
#include "Core/Engine/MetronomeStrategy.h"
#include "Core/Sound/MultimediaErrorReport.h"

#include <algorithm>

namespace Core {

MidiSoundEngine::MidiSoundEngine(Platform::Audio::MidiOutOptions options) : output_(std::move(options)) {}

MidiSoundEngine::~MidiSoundEngine()
{
    Close();
}

std::vector<Platform::Audio::MidiOut::Note> MidiSoundEngine::NotesOf(const Configuration::ConfigurationData& settings)
{
    std::vector<Platform::Audio::MidiOut::Note> notes;
    const auto globalVolume = static_cast<std::uint32_t>(std::max(settings.GlobalVolume, 0));
    for (int voice = 0; voice < Configuration::VoiceCount; ++voice) {
        const auto note = static_cast<int>(InstrumentNote(settings.Instrument[voice]));
        const auto velocity = static_cast<int>(MetronomeStrategy::ScaledVolume(settings.Volume[voice], globalVolume));
        if (velocity > 0)
            notes.emplace_back(note, velocity);
    }
    return notes;
}

void MidiSoundEngine::Prepare(const Configuration::ConfigurationData& settings)
{
    output_.Prepare(NotesOf(settings));
}

bool MidiSoundEngine::IsPrepared(const Configuration::ConfigurationData& settings) const
{
    const auto notes = NotesOf(settings);
    return output_.IsPrepared()
           && std::all_of(notes.begin(), notes.end(), [this](const auto& note) { return output_.NotePrepared(note); });
}

bool MidiSoundEngine::Initialise(const Configuration::ConfigurationData& settings)
{
    const auto notes = NotesOf(settings);
    if (!output_.IsOpen()) {
        lastResult_ = output_.Open(notes);
        if (lastResult_ != Platform::Audio::NoError) {
            ReportMultimediaError(u".\\Src\\Core\\MidiSoundEngine", u"Core::MidiSoundEngine::Initialise", __LINE__,
                                  lastResult_, u"Error calling midiOutOpen");
            return false;
        }
    }
    output_.PrepareNotes(notes);
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
