// tolvane-kit: renders General MIDI percussion notes of a soundfont through FluidSynth and
// writes their samples to standard output (KitRendering.h says how). The program runs it for
// the notes it is about to play, so that the soundfont, the synthesizer and the libraries
// they need live only as long as this short process and never in the program's memory.
#include "Platform/Audio/KitRendering.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

using namespace Platform::Audio::KitRendering;

constexpr int percussionChannel = 9;
// Below this a rendering's tail is silence.
constexpr float silence = 1e-6f;

struct Rendering {
    std::vector<float> samples; // interleaved stereo
    std::uint32_t frames = 0;
    int exclusiveClass = 0;
};

struct Synth {
    fluid_synth_t* synth = nullptr;
    fluid_sfont_t* borrowed = nullptr; // a soundfont of another synthesizer, given back at the end
    ~Synth()
    {
        if (!synth)
            return;
        if (borrowed)
            fluid_synth_remove_sfont(synth, borrowed);
        delete_fluid_synth(synth);
    }
};

// Each note is rendered by a synthesizer of its own, borrowing the loaded soundfont: one that
// has played before renders the same note slightly differently.
bool Render(fluid_settings_t* settings, fluid_sfont_t* font, std::uint32_t sampleRate, int note, int velocity,
            Rendering& rendering)
{
    Synth renderer{new_fluid_synth(settings)};
    fluid_synth_t* const synth = renderer.synth;
    if (!synth || fluid_synth_add_sfont(synth, font) == FLUID_FAILED)
        return false;
    renderer.borrowed = font;
    fluid_synth_program_change(synth, percussionChannel, 0); // the standard kit, and no other preset
    fluid_synth_noteon(synth, percussionChannel, note, velocity);
    fluid_voice_t* voices[16] = {};
    fluid_synth_get_voicelist(synth, voices, 16, -1);
    for (fluid_voice_t* voice : voices) {
        if (voice)
            rendering.exclusiveClass
                = std::max(rendering.exclusiveClass, static_cast<int>(fluid_voice_gen_get(voice, GEN_EXCLUSIVECLASS)));
    }
    const auto heldFrames = static_cast<std::size_t>(LongestHeldSeconds * sampleRate);
    const auto lastFrames = heldFrames + static_cast<std::size_t>(LongestReleaseSeconds * sampleRate);
    std::vector<float>& samples = rendering.samples;
    bool released = false;
    std::size_t frames = 0;
    while (fluid_synth_get_active_voice_count(synth) > 0 && frames < lastFrames) {
        if (!released && frames >= heldFrames) {
            fluid_synth_noteoff(synth, percussionChannel, note);
            released = true;
        }
        samples.resize(2 * (frames + RenderChunk));
        float* out = samples.data() + 2 * frames;
        fluid_synth_write_float(synth, RenderChunk, out, 0, 2, out, 1, 2);
        frames += RenderChunk;
    }
    // Only the sounding part is kept.
    std::size_t end = samples.size();
    while (end > 0 && std::fabs(samples[end - 1]) < silence)
        --end;
    rendering.frames = static_cast<std::uint32_t>((end + 1) / 2);
    samples.resize(2 * std::size_t{rendering.frames});
    return true;
}

bool WriteAll(const void* data, std::size_t bytes)
{
    const auto* at = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, at, bytes);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        at += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

bool ParseNote(const char* text, int& note, int& velocity)
{
    char* end = nullptr;
    const long key = std::strtol(text, &end, 10);
    if (end == text || *end != ':')
        return false;
    const char* rest = end + 1;
    const long strength = std::strtol(rest, &end, 10);
    if (end == rest || *end != '\0' || key < 0 || key > 127 || strength < 1 || strength > 127)
        return false;
    note = static_cast<int>(key);
    velocity = static_cast<int>(strength);
    return true;
}

int Run(int argc, char** argv)
{
    if (argc < 3)
        return BadArguments;
    const long sampleRate = std::strtol(argv[2], nullptr, 10);
    if (sampleRate < 8000 || sampleRate > 384000)
        return BadArguments;
    std::vector<std::pair<int, int>> notes;
    for (int i = 3; i < argc; ++i) {
        int note = 0, velocity = 0;
        if (!ParseNote(argv[i], note, velocity))
            return BadArguments;
        notes.emplace_back(note, velocity);
    }

    // FluidSynth would otherwise print on its own; the program reports failures.
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, nullptr, nullptr);
    struct Settings {
        fluid_settings_t* settings = new_fluid_settings();
        ~Settings() { delete_fluid_settings(settings); }
    } owned;
    fluid_settings_t* const settings = owned.settings;
    if (!settings)
        return OutOfMemory;
    fluid_settings_setnum(settings, "synth.sample-rate", static_cast<double>(sampleRate));
    fluid_settings_setnum(settings, "synth.gain", 0.8);
    // One note at a time is rendered; a drum note has a few layers at most.
    fluid_settings_setint(settings, "synth.polyphony", 16);
    fluid_settings_setint(settings, "synth.reverb.active", 0);
    fluid_settings_setint(settings, "synth.chorus.active", 0);
    fluid_settings_setint(settings, "synth.threadsafe-api", 0);
    fluid_settings_setint(settings, "synth.cpu-cores", 1);
    // Not "synth.dynamic-sample-loading": FluidSynth 2.3 then plays a loud glitch near the end
    // of some notes (the snare's, about 0.19 s in).

    Synth loader{new_fluid_synth(settings)};
    if (!loader.synth)
        return OutOfMemory;
    const int id = fluid_is_soundfont(argv[1]) ? fluid_synth_sfload(loader.synth, argv[1], 1) : FLUID_FAILED;
    if (id == FLUID_FAILED)
        return NotASoundFont;
    fluid_sfont_t* const font = fluid_synth_get_sfont_by_id(loader.synth, id);

    for (const auto& [note, velocity] : notes) {
        Rendering rendering;
        if (!Render(settings, font, static_cast<std::uint32_t>(sampleRate), note, velocity, rendering))
            return OutOfMemory;
        const NoteHeader header{note, velocity, rendering.exclusiveClass, rendering.frames};
        if (!WriteAll(&header, sizeof header)
            || !WriteAll(rendering.samples.data(), rendering.samples.size() * sizeof(float)))
            return BadArguments; // nobody reads any more
    }
    return Rendered;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}
