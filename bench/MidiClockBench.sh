#!/bin/sh
# MIDI clock out through JACK: a private JACK server on the dummy driver, the headless player
# playing BPM for SECONDS with a count-in of one bar, and clock_reader recording Tolvane's
# midi_out port; prints clock_reader's line (each clock against its computed frame).
#   bench/MidiClockBench.sh BUILD-BIN [BPM] [SECONDS]     e.g. bench/MidiClockBench.sh build/release/bin 133 60
set -eu
bin=$1
bpm=${2:-133}
seconds=${3:-60}
. "$(dirname "$0")/PrivateJack.sh"
export XDG_CONFIG_HOME="$folder/config"
start_private_jack tolvane_clock "${SERVER_BENCH_RATE:-48000}" 256
"$bin/clock_reader" $((seconds + 4)) "$bpm" >"$folder/clock.txt" &
reader=$!
pids="$reader $pids"
printf '\357\273\277# Metronome Configuration File\r\n' >"$folder/Tolvane.conf"
"$bin/engine_player" --backend real --seconds "$seconds" --bpm "$bpm" --instrument 6 --count-in 1 \
    "$folder/Tolvane.conf" >"$folder/player.txt" 2>&1 || true
wait "$reader" || true
cat "$folder/clock.txt"
[ -z "${CLOCK_BENCH_VERBOSE:-}" ] || cat "$folder/player.txt"
