#!/bin/sh
# Plays a speed-trainer run of the program itself (offscreen) through a private PulseAudio null
# sink, records it and checks every click and every level-change signal against the beat grid
# of the tempo it belongs to. Every process started here is ended by its own process id.
#
#   bench/TrainerRecording.sh BUILD-BIN bars|minutes SECONDS
#   e.g. bench/TrainerRecording.sh build/debug/bin bars 40
#
# The run: 120 bpm main tempo, From 66.6667 % (80 bpm) to 100 % in steps of 10 % of the range
# (4 bpm), 4/4, the signal on, a warm-up. bars: a bar of warm-up, two bars a level. minutes:
# 0.05 min of warm-up (4 beats at 80 bpm), 0.5 min shared by the eleven levels. Every voice
# plays a generated 200-sample wave file at 9000; the signal (voice 6) one at 20000, so a
# click's first sample tells what sounded on that frame: 9000 a click, 29000 a click with the
# signal on the same frame, anything else a sound off the beat. The program is copied into a
# private folder with its settings, so nothing of the build tree or the user is touched.
set -eu
bin=$1
mode=$2
seconds=$3
. "$(dirname "$0")/PrivateFolder.sh"
app="$folder/app"
mkdir -p "$app" "$folder/runtime" "$folder/home"
chmod 700 "$app" "$folder/runtime"
cp -r "$bin/tolvane" "$bin/tolvane-kit" "$bin/Lang" "$app/"
python3 - "$folder" "$mode" <<'EOF'
import struct, sys, wave
folder, mode = sys.argv[1], sys.argv[2]
for name, level in (('click', 9000), ('signal', 20000)):
    w = wave.open('%s/%s.wav' % (folder, name), 'wb')
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(44100)
    w.writeframes(struct.pack('<200h', *([level] * 200))); w.close()
keys = {'SoundEngineType': 1, 'BeatType': 1, 'BeatsPerBar': 4, 'Bpm': 120, 'GlobalVolume': 100, 'SpeedTrainer': 1,
        'From': '0.666667', 'To': '1.000000', 'Step': '0.100000', 'Warmdown': '0.000000', 'Beep': 1,
        'DurationsInBars': 1 if mode == 'bars' else 0,
        'Duration': '2.000000' if mode == 'bars' else '0.500000', 'Warmup': '1.000000' if mode == 'bars' else '0.050000'}
for voice in range(1, 13):
    keys['Instrument%d' % voice] = voice - 1
    keys['Volume%d' % voice] = 127
    keys['File%d' % voice] = '%s/%s.wav' % (folder, 'signal' if voice == 6 else 'click')
open('%s/app/Tolvane.conf' % folder, 'w').write(''.join('%s = %s\n' % item for item in keys.items()))
EOF
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder/home" XDG_CONFIG_HOME="$folder/home/config"
start_private_pulse "" "module-null-sink sink_name=trainer rate=44100 channels=2"
parec --device=trainer.monitor --rate=44100 --channels=2 --format=s16le --raw --latency-msec=1000 \
    >"$folder/run.raw" 2>"$folder/rec.log" &
pids="$! $pids"
sleep 0.5
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$app/tolvane" --start >"$folder/app.log" 2>&1 &
app_pid=$!
pids="$app_pid $pids"
sleep "$seconds"
kill -TERM "$app_pid"; wait "$app_pid" || true
sleep 0.5
python3 - "$folder/run.raw" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read(); n = len(data) // 4
left = struct.unpack('<%dh' % (2 * n), data[:4 * n])[0::2]
onsets = []; quiet = 10**9
for i, v in enumerate(left):
    if v != 0 and quiet >= 882: onsets.append(i)
    quiet = quiet + 1 if v == 0 else 0
# The tempo of each phase: the warm-up, then the levels; a signal starts the next phase.
tempos = [80, 80] + [84 + 4 * k for k in range(10)]
phase = 0; phases = []; signals = []
for k, o in enumerate(onsets):
    if left[o] == 29000: phase += 1; signals.append(k)
    phases.append(phase)
worst = 0.0
for k in range(1, len(onsets)):
    worst = max(worst, abs(onsets[k] - onsets[k - 1] - 44100 * 60 / tempos[phases[k - 1]]))
first = sorted(set(left[o] for o in onsets))
print('clicks %d, signals %d (at clicks %s)' % (len(onsets), len(signals), signals))
print('first samples %s (9000 a click, 29000 click and signal on one frame)' % first)
print('worst distance from the beat grid of the current tempo: %.2f samples' % worst)
sys.exit(0 if first and set(first) <= {9000, 29000} and worst <= 1.0 and signals else 1)
EOF
