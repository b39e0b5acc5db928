#!/bin/sh
# Live timing feedback from an audio input through a private PulseAudio: Tolvane's null sink
# (tolvane_bench), a second null sink "mic" whose monitor is the default source (the
# microphone), module-loopback from Tolvane's sink into mic's left channel (so that the
# calibration's clicks and the run's are heard), and bench_live_audio, which calibrates, then
# plays a take into mic's right channel in time with a run and compares the run's mean with
# the truth recorded from mic's monitor. Every process started here is ended by its own id.
# With --jack: a private dummy jackd (48 kHz, 256 frames) instead, and a JACK client of the
# bench's own as the microphone (see bench/LiveAudioBench.cpp).
#   sh bench/LiveAudio.sh [--jack] build/release/bin [seconds] [bpm]
set -eu
jack=""
[ "$1" != --jack ] || { jack=--jack; shift; }
bin=$1
seconds=${2:-30}
bpm=${3:-120}
if [ -n "$jack" ]; then
    . "$(dirname "$0")/PrivateJack.sh"
    export QT_QPA_PLATFORM=offscreen
    start_private_jack tolvane_audio 48000 256
    status=0
    "$bin/bench_live_audio" "$seconds" "$bpm" --jack || status=$?
    exit $status
fi
. "$(dirname "$0")/PrivateFolder.sh"
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder" XDG_CONFIG_HOME="$folder/config" XDG_STATE_HOME="$folder/state"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# At real-time priority, as bench/ServerBench.sh runs it (see there why).
start_private_pulse "chrt -f 60" "module-null-sink sink_name=tolvane_bench rate=48000 channels=2" \
    "module-null-sink sink_name=mic rate=48000 channels=2"
chrt -f -p 60 "$pulse" 2>/dev/null || true
pactl set-default-sink tolvane_bench
pactl set-default-source mic.monitor
pactl load-module module-loopback source=tolvane_bench.monitor sink=mic latency_msec=30 channels=1 \
    channel_map=front-left source_dont_move=true sink_dont_move=true >/dev/null
export QT_QPA_PLATFORM=offscreen
"$bin/bench_live_audio" "$seconds" "$bpm"
