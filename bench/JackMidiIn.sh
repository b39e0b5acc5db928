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
. "$(dirname "$0")/PrivateJack.sh"
start_private_jack tolvane_midi "$rate" "$period"
"$bin/bench_jack_midi_in" "$seconds"
