#!/usr/bin/python3
"""Checks exported click tracks (see bench/ExportBench.sh).

  ExportCheck.py grid FILE.wav BPM SUBDIVISION BARS   every onset against the exact grid, the length
  ExportCheck.py live FILE.wav RECORDING.raw RATE     onsets relative to the first, export against a
                                                      live recording (raw s16le stereo)
  ExportCheck.py midi FILE.mid BPM SUBDIVISION BARS   the MIDI file as mido reads it: type, resolution,
                                                      tempo, time signature, every note's tick
  ExportCheck.py ramp FILE.mid FILE.wav               a trainer run: one set-tempo per change, each on
                                                      a beat, and the tempo map's time = the audio's
  ExportCheck.py song FILE.mid FILE.wav METERS        a song: its time signatures (e.g. 4/4,7/8,4/4,6/8),
                                                      every note's time by the tempo map against the
                                                      audio's onset, the lengths
"""
import array
import sys
import wave

import mido


def read_wave(path):
    with wave.open(path) as w:
        assert w.getnchannels() == 2 and w.getsampwidth() == 2, "16-bit stereo expected"
        return w.getframerate(), array.array("h", w.readframes(w.getnframes()))


def onsets(samples, rate, threshold=1000, quiet=0.01):
    """First frame above threshold after quiet seconds below it (left channel)."""
    found, last_loud, gap = [], -10**9, int(quiet * rate)
    for frame in range(len(samples) // 2):
        if abs(samples[2 * frame]) > threshold:
            if frame - last_loud > gap:
                found.append(frame)
            last_loud = frame
    return found


def grid(args):
    path, bpm, subdivision, bars = args[0], float(args[1]), int(args[2]), int(args[3])
    rate, samples = read_wave(path)
    step = 60.0 / bpm / subdivision * rate
    found = onsets(samples, rate)
    errors = [abs(o - k * step) for k, o in enumerate(found)]
    frames = len(samples) // 2
    expected = round(bars * 4 * subdivision * step)
    print(f"grid: {len(found)} onsets (expected {bars * 4 * subdivision}), max error {max(errors):.3f} samples, "
          f"length {frames} frames (exact {bars * 4 * subdivision * step:.3f}, rounded {expected})")
    return len(found) == bars * 4 * subdivision and max(errors) <= 0.5 and frames == expected


def live(args):
    path, recording, rate = args[0], args[1], int(args[2])
    _, exported = read_wave(path)
    with open(recording, "rb") as f:
        recorded = array.array("h", f.read())
    a, b = onsets(exported, rate), onsets(recorded, rate)
    n = min(len(a), len(b))
    differences = [(b[k] - b[0]) - (a[k] - a[0]) for k in range(n)]
    worst = max(abs(d) for d in differences)
    print(f"live: {n} onsets compared, relative to the first: max difference {worst} frames")
    return n > 100 and worst == 0


def tempo_map(midi):
    """(tick, microseconds per quarter) of the first track's set-tempo events."""
    tick, tempos = 0, []
    for message in midi.tracks[0]:
        tick += message.time
        if message.type == "set_tempo":
            tempos.append((tick, message.tempo))
    return tempos


def notes(midi):
    tick, found = 0, []
    for message in midi.tracks[1]:
        tick += message.time
        if message.type == "note_on" and message.velocity > 0:
            assert message.channel == 9, "channel 10"
            found.append((tick, message.note, message.velocity))
    return found


def midi_check(args):
    path, bpm, subdivision, bars = args[0], float(args[1]), int(args[2]), int(args[3])
    midi = mido.MidiFile(path)
    tempos = tempo_map(midi)
    signatures = [(m.numerator, m.denominator) for m in midi.tracks[0] if m.type == "time_signature"]
    ticks = sorted({t for t, _, _ in notes(midi)})
    step = 960 // subdivision
    ok = (midi.type == 1 and midi.ticks_per_beat == 960 and tempos == [(0, round(60e6 / bpm))]
          and signatures == [(4, 4)] and ticks == [k * step for k in range(bars * 4 * subdivision)])
    print(f"midi: type {midi.type}, {midi.ticks_per_beat} ticks per quarter, tempos {tempos}, signatures {signatures}, "
          f"{len(ticks)} click times on the {step}-tick grid: {'as set' if ok else 'WRONG'}; length {midi.length:.3f} s")
    return ok


def ramp(args):
    midi = mido.MidiFile(args[0])
    rate, samples = read_wave(args[1])
    tempos = tempo_map(midi)
    on_beats = all(t % 960 == 0 for t, _ in tempos)
    seconds = len(samples) / 2 / rate
    print(f"ramp: {len(tempos)} set-tempo events ({60e6 / tempos[0][1]:.2f} to {60e6 / tempos[-1][1]:.2f} bpm), "
          f"all on beats: {on_beats}; MIDI length {midi.length:.4f} s, audio {seconds:.4f} s")
    return on_beats and len(tempos) > 2 and abs(midi.length - seconds) < 0.002


def seconds_of(midi):
    """A function from tick to seconds by the first track's tempo map."""
    tempos = tempo_map(midi) or [(0, 500000)]
    starts, at = [], 0.0
    for k, (tick, tempo) in enumerate(tempos):
        if k:
            at += (tick - tempos[k - 1][0]) * tempos[k - 1][1] / 1e6 / midi.ticks_per_beat
        starts.append((tick, tempo, at))

    def seconds(tick):
        t0, tempo, at0 = [s for s in starts if s[0] <= tick][-1]
        return at0 + (tick - t0) * tempo / 1e6 / midi.ticks_per_beat
    return seconds


def song(args):
    midi = mido.MidiFile(args[0])
    rate, samples = read_wave(args[1])
    wanted = [tuple(int(x) for x in m.split("/")) for m in args[2].split(",")]
    signatures = [(m.numerator, m.denominator) for m in midi.tracks[0] if m.type == "time_signature"]
    seconds = seconds_of(midi)
    ticks = sorted({t for t, _, _ in notes(midi)})
    found = onsets(samples, rate)
    n = min(len(ticks), len(found))
    # MIDI positions are whole ticks: half a tick is the most a note's time can differ.
    errors = [abs((found[k] - found[0]) / rate - (seconds(ticks[k]) - seconds(ticks[0]))) * rate for k in range(n)]
    half_tick = min(t for _, t in tempo_map(midi)) / 1e6 / midi.ticks_per_beat / 2 * rate
    print(f"song: signatures {signatures}; {len(tempo_map(midi))} set-tempo events; {len(ticks)} notes, "
          f"{len(found)} onsets; note times by the tempo map against the audio: max {max(errors):.2f} samples "
          f"(half a tick {half_tick:.1f}); MIDI length {midi.length:.4f} s, audio {len(samples) / 2 / rate:.4f} s")
    return (signatures == wanted and len(ticks) == len(found) and max(errors) <= half_tick + 1
            and abs(midi.length - len(samples) / 2 / rate) < 0.002)


if __name__ == "__main__":
    checks = {"grid": grid, "live": live, "midi": midi_check, "ramp": ramp, "song": song}
    sys.exit(0 if checks[sys.argv[1]](sys.argv[2:]) else 1)
