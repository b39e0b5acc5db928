#!/bin/sh
# Plays twelve short generated wave files through the headless player on the real-time null
# backend (audio-file engine, SoundEngineType 1) and measures every click against the grid.
# The player also prints how many threads the process has while it plays.
#
#   bench/WaveFilesBench.sh PLAYER [BPM SUBDIVISION SECONDS [SILENCE]]
#   e.g. bench/WaveFilesBench.sh build/release/bin/engine_player 240 4 60
# SILENCE (seconds, default 0) pads every click with that much silence, so that each file is
# long enough to be streamed while it plays instead of being held whole. WAVE_BENCH_FORMAT gives
# sox's format options for the files (16-bit 44.1 kHz unless it says "-r 96000 -e floating-point
# -b 32", say).
set -eu
player=$1
bpm=${2:-240}
subdivision=${3:-4}
seconds=${4:-60}
silence=${5:-0}

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT

# One 30 ms click per voice, each its own pitch: a square wave that starts at half scale and
# dies away linearly, so that every click begins after digital silence.
conf="$folder/Tolvane.conf"
printf '\357\273\277# Metronome Configuration File\r\n' >"$conf"
printf 'SoundEngineType = 1\r\nBpm = %d\r\nSubdivision1 = %d\r\nVisualIndicator = 0\r\n' \
    "$bpm" "$subdivision" >>"$conf"
for voice in 1 2 3 4 5 6 7 8 9 10 11 12; do
    # shellcheck disable=SC2086
    sox -D -n ${WAVE_BENCH_FORMAT:--r 44100 -b 16} -c 1 "$folder/voice$voice.wav" \
        synth 0.03 square $((500 + 100 * voice)) vol 0.5 fade l 0 0.03 0.03 pad 0 "$silence"
    printf 'File%d = %s\r\n' "$voice" "$folder/voice$voice.wav" >>"$conf"
done

"$player" --backend null --seconds "$seconds" --no-indicator "$conf"
