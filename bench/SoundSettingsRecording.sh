#!/usr/bin/env bash
# Drives the Sound Settings page of the program with real key presses (xdotool) under a private
# X server with a window manager (Xvfb, openbox) while a private PulseAudio null sink is
# recorded (parec), and checks what was heard:
#   1. the metronome stopped: voice 1's volume slider moved by Page Down (127 -> 117) plays the
#      voice once, at that volume, when the key is let go;
#   2. the metronome playing (120 bpm, opened on the Sound Settings page): two Page Downs
#      (-> 107) do not stop the run; its beats from the next one on sound at the new volume,
#      and Close (Escape) puts the old volume back, every beat on the run's grid.
# Every voice plays a generated 200-sample wave file of constant level 16000, so a click's
# first sample is its volume. The latencies are from the key's release (the wall clock after
# xdotool returned) to the click's first sample, placed on the wall clock by the recording's
# start (parec's first sample; it may start a few milliseconds after it was launched, so they
# are upper bounds within that). Every process started here is ended by its own process id.
#
#   bench/SoundSettingsRecording.sh BUILD-BIN     e.g. bench/SoundSettingsRecording.sh build/debug/bin
set -euo pipefail
bin=$(realpath "$1")
work=$(mktemp -d)
pids=()
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap finish EXIT
app=$work/app
mkdir -p "$app" "$work/runtime"
chmod 700 "$work/runtime"
cp -r "$bin"/{tolvane,tolvane-kit,Lang} "$app"
python3 - "$work" <<'EOF'
import struct, sys, wave
work = sys.argv[1]
w = wave.open(work + '/click.wav', 'wb')
w.setnchannels(1); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(struct.pack('<200h', *([16000] * 200))); w.close()
keys = {'SoundEngineType': 1, 'BeatType': 0, 'Bpm': 120, 'GlobalVolume': 100, 'VisualIndicator': 1}
for voice in range(1, 13):
    keys['Instrument%d' % voice] = 0
    keys['Volume%d' % voice] = 127
    keys['File%d' % voice] = work + '/click.wav'
open(work + '/app/Tolvane.conf', 'w').write(''.join('%s = %s\n' % item for item in keys.items()))
EOF
export XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config ASAN_OPTIONS=detect_leaks=0
export QT_QPA_PLATFORM=xcb PULSE_SERVER="unix:$work/runtime/pulse/native"

. "$(dirname "$0")/PrivateDesktop.sh"
start_private_desktop "$work"
pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit --use-pid-file=no --disable-shm=yes \
    -L "module-null-sink sink_name=sounds rate=44100 channels=2" -L "module-native-protocol-unix auth-anonymous=1" \
    -L module-always-sink >/dev/null 2>&1 &
pids+=($!)
until [ -S "$work/runtime/pulse/native" ]; do sleep 0.1; done

now() { date +%s.%N; }
events=$work/events
chrt -f 40 parec --device=sounds.monitor --rate=44100 --channels=2 --format=s16le --raw --latency-msec=10 \
    >"$work/recording.raw" 2>/dev/null &
pids+=($!)
# The wall clock of the recording's first sample: when its first bytes arrive (in blocks of
# 10 ms), less the time they hold.
recording_start=$(python3 - "$work/recording.raw" <<'EOF2'
import os, sys, time
while os.path.getsize(sys.argv[1]) == 0: time.sleep(0.001)
now = time.time(); print('%.6f' % (now - os.path.getsize(sys.argv[1]) / 4 / 44100))
EOF2
)
(cd "$app" && exec ./tolvane 2>>"$work/tolvane.log") &
program=$!
pids+=($program)
for _ in $(seq 300); do
    main=$(xdotool search --onlyvisible --name '^Tolvane$' 2>/dev/null | tail -1) && [ -n "$main" ] && break
    sleep 0.1
done
xdotool windowactivate --sync "$main"
sleep 2
sound_settings() { # opens the page
    xdotool windowactivate --sync "$main" key ctrl+s
    sleep 1.5
    dialog=$(xdotool getactivewindow)
    [ -z "${SOUND_SETTINGS_SHOTS:-}" ] || import -window "$dialog" "$SOUND_SETTINGS_SHOTS/sounds-$(now).png"
}
# Voice 1's volume thumb (at 127, the right end of its groove) in the English page.
thumb_x=611
thumb_y=106
sound_settings
xdotool mousemove --window "$dialog" $thumb_x $thumb_y mousedown 1
sleep 0.2
xdotool mousemove --window "$dialog" $((thumb_x - 40)) $thumb_y
sleep 0.2
xdotool mouseup 1
echo "drag $(now)" >>"$events"
sleep 1.5
xdotool key Page_Down
echo "preview $(now)" >>"$events"
sleep 1.5
xdotool key Escape
sleep 0.5
xdotool windowactivate --sync "$main" key space
echo "start $(now)" >>"$events"
sleep 2.6
sound_settings
echo "open $(now)" >>"$events"
xdotool mousemove --window "$dialog" $thumb_x $thumb_y click 1
sleep 0.2
xdotool key Page_Down
sleep 0.2
xdotool key Page_Down
echo "change $(now)" >>"$events"
sleep 2.6
xdotool key Escape
echo "close $(now)" >>"$events"
sleep 2.6
xdotool windowactivate --sync "$main" key space
sleep 0.5
xdotool windowactivate --sync "$main" key ctrl+q
wait "$program" || true

python3 - "$work/recording.raw" "$recording_start" "$events" <<'EOF'
import struct, sys
data = open(sys.argv[1], 'rb').read(); n = len(data) // 4
left = struct.unpack('<%dh' % (2 * n), data[:4 * n])[0::2]
start = float(sys.argv[2]); rate = 44100
events = {}
for line in open(sys.argv[3]):
    name, at = line.split(); events[name] = (float(at) - start) * rate
onsets = []; quiet = 10**9
for i, v in enumerate(left):
    if v != 0 and quiet >= 882: onsets.append(i)
    quiet = quiet + 1 if v == 0 else 0
level = lambda volume: round(16000 * volume / 127)
clicks = [(o, left[o]) for o in onsets]
preview = [c for c in clicks if c[0] < events['start']]
run = [c for c in clicks if c[0] >= events['start']]
ms = lambda frames: 1000.0 * frames / rate
ok = True
dragged = round(preview[0][1] * 127 / 16000) if preview else 0
print('stopped: %d click(s) before Start, levels %s: the thumb let go at volume %d (level %d), Page Down %d (level %d)'
      % (len(preview), [c[1] for c in preview], dragged, level(dragged), dragged - 10, level(dragged - 10)))
ok &= len(preview) == 2 and dragged < 127 and abs(preview[0][1] - level(dragged)) <= 2 \
    and abs(preview[1][1] - level(dragged - 10)) <= 2
for click, event, what in zip(preview, ('drag', 'preview'), ('the thumb let go', 'Page Down let go')):
    print('  %s to its click: %.0f ms' % (what, ms(click[0] - events[event])))
gaps = [b[0] - a[0] for a, b in zip(run, run[1:])]
worst = max(abs(g - rate * 60 / 120) for g in gaps) if gaps else 1e9
print('run: %d beats, worst distance from the 120 bpm grid %.2f samples' % (len(run), worst))
ok &= worst <= 1.0
def first_at(volume, after):
    return next((c for c in run if c[0] >= after and abs(c[1] - level(volume)) <= 2), None)
changed = first_at(107, events['change'])
back = first_at(127, events['close'])
for name, click, event in (('to volume 107', changed, 'change'), ('back to 127 on Close', back, 'close')):
    if click is None:
        print('%s: not heard' % name); ok = False
    else:
        print('%s: first beat at it %.0f ms after the key (a beat is 500 ms)' % (name, ms(click[0] - events[event])))
before = [c[1] for c in run if c[0] < events['open']]
between = [c[1] for c in run if changed and back and changed[0] <= c[0] < back[0]]
print('levels: before %s, changed %s, after Close %s' % (sorted(set(before)), sorted(set(between)),
      sorted(set(c[1] for c in run if back and c[0] >= back[0]))))
ok &= set(before) <= {level(127), level(127) - 1, level(127) + 1} and len(set(between)) == 1
sys.exit(0 if ok else 1)
EOF
