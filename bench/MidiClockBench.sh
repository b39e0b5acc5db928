#!/bin/sh
# MIDI clock out through JACK: a private JACK server on the dummy driver, the headless player
# playing BPM for SECONDS with a count-in of one bar, and clock_reader recording Tolvane's
# midi_out port; prints clock_reader's line (each clock against its computed frame).
#   bench/MidiClockBench.sh BUILD-BIN [BPM] [SECONDS]     e.g. bench/MidiClockBench.sh build/release/bin 133 60
set -eu
bin=$1
bpm=${2:-133}
seconds=${3:-60}
folder=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$folder"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder" XDG_CONFIG_HOME="$folder/config"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export JACK_DEFAULT_SERVER="tolvane_clock_$$"
jackd -d dummy -r "${SERVER_BENCH_RATE:-48000}" -p 256 >"$folder/server.log" 2>&1 &
pids="$!"
tries=0
until jack_lsp >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "jackd did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
    sleep 0.1
done
"$bin/clock_reader" $((seconds + 4)) "$bpm" >"$folder/clock.txt" &
reader=$!
pids="$reader $pids"
printf '\357\273\277# Metronome Configuration File\r\n' >"$folder/Tolvane.conf"
"$bin/engine_player" --backend real --seconds "$seconds" --bpm "$bpm" --instrument 6 --count-in 1 \
    "$folder/Tolvane.conf" >"$folder/player.txt" 2>&1 || true
wait "$reader" || true
cat "$folder/clock.txt"
[ -z "${CLOCK_BENCH_VERBOSE:-}" ] || cat "$folder/player.txt"
