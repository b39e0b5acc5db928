#!/bin/sh
# Live timing feedback from JACK MIDI on a private JACK server (dummy driver): bench_live_midi
# plays a run and sends a note-on at a known offset from every click as it is heard.
#   sh bench/LiveMidi.sh build/release/bin [seconds] [bpm] [rate] [period]
set -eu
bin=$1
seconds=${2:-20}
bpm=${3:-120}
rate=${4:-48000}
period=${5:-256}
folder=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export JACK_DEFAULT_SERVER="tolvane_live_$$"
jackd -d dummy -r "$rate" -p "$period" >"$folder/server.log" 2>&1 &
pids="$!"
tries=0
until jack_lsp >/dev/null 2>&1; do
    tries=$((tries + 1))
    [ $tries -le 100 ] || { echo "jackd did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
    sleep 0.1
done
"$bin/bench_live_midi" "$seconds" "$bpm"
