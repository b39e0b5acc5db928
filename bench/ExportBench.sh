#!/bin/sh
# Click-track export: placement, length, the MIDI file as an independent reader sees it, the
# same clicks as a live recording, and render speed. Uses a copy of the program in a folder of
# its own, so that it reads the settings written here (Tolvane.conf beside the executable).
#
#   bench/ExportBench.sh BUILD-BIN [--live]
#   e.g. bench/ExportBench.sh build/release/bin --live
#
# Sounds: twelve generated 30 ms wave files that start at full level (as ServerBench.sh --waves
# plays them), so that an onset is the click's first frame. --live also records the same
# settings through a private PulseAudio null sink (bench/ServerBench.sh pulse ... --waves,
# about two minutes) and compares every onset relative to the first.
set -eu
bin=$1
live=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$bin/tolvane" "$bin/tolvane-kit" "$folder/"

settings() { # SOURCE(0 kit, 1 waves) BPM SUBDIVISION [extra lines]
    conf="$folder/Tolvane.conf"
    printf '\357\273\277# Metronome Configuration File\r\nSoundEngineType = %d\r\nBpm = %d\r\nSubdivision1 = %d\r\nBeatType = 1\r\n' \
        "$1" "$2" "$3" >"$conf"
    for voice in 1 2 3 4 5 6 7 8 9 10 11 12; do
        printf 'File%d = %s\r\n' "$voice" "$folder/voice$voice.wav" >>"$conf"
    done
    shift 3
    for line in "$@"; do printf '%s\r\n' "$line" >>"$conf"; done
}
for voice in 1 2 3 4 5 6 7 8 9 10 11 12; do
    sox -D -n -r 44100 -b 16 -c 1 "$folder/voice$voice.wav" synth 0.03 square $((500 + 100 * voice)) vol 0.5 fade l 0 0.03 0.03
done
export XDG_CACHE_HOME="${XDG_CACHE_HOME:-$HOME/.cache}" # the built-in kit's renderings, kept between runs

echo "== 133 bpm, subdivision 4, 64 bars, 44.1 kHz"
settings 1 120 4
"$folder/tolvane" --export "$folder/t.wav" --tempo 133 --bars 64 --rate 44100
/usr/bin/python3 "$here/ExportCheck.py" grid "$folder/t.wav" 133 4 64
"$folder/tolvane" --export "$folder/t.mid" --tempo 133 --bars 64
/usr/bin/python3 "$here/ExportCheck.py" midi "$folder/t.mid" 133 4 64

echo "== a speed-trainer run (60 to 120 bpm in levels of 8 bars, 3/4, two beats' count-in)"
settings 1 120 2 "SpeedTrainer = 1" "From = 0.5" "To = 1.0" "Step = 0.1" "Duration = 8" "DurationsInBars = 1" \
    "Warmup = 0" "Warmdown = 0" "BeatsPerBar = 3" "CountIn = 5"
"$folder/tolvane" --export "$folder/ramp.wav" --rate 48000
"$folder/tolvane" --export "$folder/ramp.mid" --rate 48000
/usr/bin/python3 "$here/ExportCheck.py" ramp "$folder/ramp.mid" "$folder/ramp.wav"

echo "== a song (Res/Songs/FourParts.klick: 4/4 at 120, 7/8 at 140, 4/4 from 100 to 160, 6/8 at 90)"
settings 1 120 4
"$folder/tolvane" --export "$folder/song.wav" --song "$here/../Res/Songs/FourParts.klick" --rate 48000
"$folder/tolvane" --export "$folder/song.mid" --song "$here/../Res/Songs/FourParts.klick"
/usr/bin/python3 "$here/ExportCheck.py" song "$folder/song.mid" "$folder/song.wav" 4/4,7/8,4/4,6/8

echo "== render speed: 5 minutes at 120 bpm, subdivision 4, 48 kHz (times real time, whole process;"
echo "   wall time, and the process's CPU time, which a machine busy with other work does not inflate)"
for source in 1 0; do
    settings "$source" 120 4
    [ "$source" = 1 ] && name="wave files" || name="built-in kit"
    for file in s.wav s.flac s.mid s.ogg; do
        /usr/bin/python3 -c 'import resource, subprocess, sys, time
start = time.monotonic()
status = subprocess.call(sys.argv[3:])
wall = time.monotonic() - start
used = resource.getrusage(resource.RUSAGE_CHILDREN)
print("%-13s %-7s %6.3f s wall %6.0f x real time, CPU %6.3f s" % (sys.argv[1], sys.argv[2], wall, 300 / wall, used.ru_utime + used.ru_stime))
sys.exit(status)' "$name" "$file" "$folder/tolvane" --export "$folder/$file" --seconds 300 --rate 48000 --force
    done
done

if [ "$live" = --live ]; then
    echo "== the same clicks live through a private PulseAudio null sink (116 s)"
    SERVER_BENCH_KEEP="$folder/live.raw" sh "$here/ServerBench.sh" pulse "$bin" 133 4 116 --waves >"$folder/server.txt" 2>&1 \
        || { cat "$folder/server.txt"; exit 1; }
    grep -i "onset\|first" "$folder/server.txt" | head -5 || true
    /usr/bin/python3 "$here/ExportCheck.py" live "$folder/t.wav" "$folder/live.raw" 44100
fi
