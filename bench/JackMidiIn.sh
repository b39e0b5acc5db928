#!/bin/sh
# The JACK MIDI input's stamps on a private JACK server (dummy driver): bench_jack_midi_in sends
# note-ons from a client of its own to Tolvane:midi_in at known frames and compares the
# mixer's stamps with them.
#   sh bench/JackMidiIn.sh build/release/bin [seconds] [rate] [period]
set -eu
bin=$1
seconds=${2:-20}
rate=${3:-48000}
period=${4:-256}
folder=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export JACK_DEFAULT_SERVER="tolvane_midi_$$"
jackd -d dummy -r "$rate" -p "$period" >"$folder/server.log" 2>&1 &
pids="$!"
tries=0
until jack_lsp >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "jackd did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
    sleep 0.1
done
"$bin/bench_jack_midi_in" "$seconds"
