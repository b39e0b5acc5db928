#!/bin/sh
# Following an external MIDI clock on a private JACK server (dummy driver): bench_clock_follow
# sends clock with jitter to Tolvane:midi_in and measures the clicks Tolvane plays on it.
#   sh bench/ClockFollow.sh build/release/bin [seconds] [bpm] [jitter-ms] [rate] [period]
set -eu
bin=$1
seconds=${2:-60}
bpm=${3:-133}
jitter=${4:-2}
rate=${5:-48000}
period=${6:-256}
. "$(dirname "$0")/PrivateJack.sh"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$folder/config"
start_private_jack tolvane_clock_in "$rate" "$period"
"$bin/bench_clock_follow" "$seconds" "$bpm" "$jitter"
