#include "Core/Sound/MidiSoundEngine.h"

#include "Core/Sound/InstrumentList.h"
#include "Core/Engine/MetronomeStrategy.h"
#include "Core/Sound/MultimediaErrorReport.h"
#include "Core/Sound/OutputReport.h"
#include "Platform/Text.h"

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
    if (settings.CountIn != Configuration::CountInOff) {
        const auto accent = MetronomeStrategy::ScaledVolume(settings.Volume[0], globalVolume);
        const auto note = static_cast<int>(InstrumentNote(settings.CountInInstrument));
        for (const std::uint8_t level : {BarShape::BarStart, BarShape::GroupStart, BarShape::Beat}) {
            if (const auto velocity = static_cast<int>(CountInVolume(accent, level)); velocity > 0)
                notes.emplace_back(note, velocity);
        }
    }
    return notes;
}

void MidiSoundEngine::Prepare(const Configuration::ConfigurationData& settings)
{
    output_.Prepare(NotesOf(settings));
}

bool MidiSoundEngine::IsPrepared(const Configuration::ConfigurationData& settings) const
{
    // Finished, whether it worked or not: a Start then fails at once and says why. Notes the
    // kit no longer renders (a helper that failed) are played from another velocity.
    if (!output_.IsPrepared())
        return false;
    if (output_.PreparationFailed() || !output_.Rendering())
        return true;
    const auto notes = NotesOf(settings);
    return std::all_of(notes.begin(), notes.end(), [this](const auto& note) { return output_.NotePrepared(note); });
}

bool MidiSoundEngine::Initialise(const Configuration::ConfigurationData& settings)
{
    const auto notes = NotesOf(settings);
    if (!output_.IsOpen()) {
        const Platform::Audio::Result result = output_.Open(notes);
        lastResult_.store(result, std::memory_order_relaxed);
        if (result != Platform::Audio::NoError) {
            // Which outputs were tried and why each failed, or why the kit could not be made.
            const std::u16string why = Platform::Text::Utf8ToUtf16(output_.LastFailure());
            ReportMultimediaError(u".\\Src\\Core\\MidiSoundEngine", u"Core::MidiSoundEngine::Initialise", __LINE__,
                                  result, u"Error calling midiOutOpen: %s", why.c_str());
            return false;
        }
        ReportOutputInUse(output_.OutputMixer());
    }
    output_.PrepareNotes(notes);
    return true;
}

bool MidiSoundEngine::PlaySound(std::uint32_t volume, std::uint32_t note)
{
    const std::uint32_t message = 0x99 | (note & 0xFF) << 8 | (volume & 0xFF) << 16;
    const Platform::Audio::Result result = output_.ShortMessage(message);
    lastResult_.store(result, std::memory_order_relaxed);
    if (result != Platform::Audio::NoError) {
        // The timer thread may not format text or write the log: the failure waits as a code
        // for the control thread's next Close, which writes its entry.
        failedSoundLine_.store(__LINE__, std::memory_order_relaxed);
        failedSound_.store(result, std::memory_order_release);
        return false;
    }
    return true;
}

void MidiSoundEngine::ReportFailedSound()
{
    const std::uint32_t code = failedSound_.exchange(Platform::Audio::NoError, std::memory_order_acq_rel);
    if (code != Platform::Audio::NoError)
        ReportMultimediaError(u".\\Src\\Core\\MidiSoundEngine", u"Core::MidiSoundEngine::PlaySoundW",
                              failedSoundLine_.load(std::memory_order_relaxed), code, u"Error calling midiOutShortMsg");
}

void MidiSoundEngine::Close()
{
    ReportFailedSound();
    output_.Close();
}

} // namespace Core
