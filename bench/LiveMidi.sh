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
. "$(dirname "$0")/PrivateJack.sh"
export QT_QPA_PLATFORM=offscreen
start_private_jack tolvane_live "$rate" "$period"
"$bin/bench_live_midi" "$seconds" "$bpm"
