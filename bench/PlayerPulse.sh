#!/bin/sh
# Plays the headless player through PulseAudio into a private server's null sink, records
# the sink's monitor with parec and measures the recorded clicks against the grid. Every
# process started here is ended by its own process id.
#
#   bench/PlayerPulse.sh PLAYER BPM SUBDIVISION SECONDS
#   e.g. bench/PlayerPulse.sh build/release/bin/engine_player 133 4 60
set -eu
player=$1
bpm=$2
subdivision=$3
seconds=$4

folder=$(mktemp -d)
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"

pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --disable-shm=yes --log-target=stderr \
    -L "module-null-sink sink_name=tolvane_bench rate=44100 channels=2" \
    -L "module-native-protocol-unix auth-anonymous=1" -L module-always-sink 2>"$folder/pulseaudio.log" &
server=$!
tries=0
while [ ! -S "$XDG_RUNTIME_DIR/pulse/native" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
        echo "pulseaudio did not start:" >&2
        cat "$folder/pulseaudio.log" >&2
        kill "$server" 2>/dev/null || true
        exit 1
    fi
    sleep 0.1
done

parec --device=tolvane_bench.monitor --rate=44100 --channels=2 --format=s16le --raw --latency-msec=20 \
    >"$folder/monitor.raw" 2>"$folder/parec.log" &
recorder=$!
sleep 0.5

"$player" --backend real --seconds "$seconds" --bpm "$bpm" --subdivision "$subdivision" --instrument 6 \
    --no-indicator "$folder/Tolvane.conf" || true
sleep 0.5

kill "$recorder"
wait "$recorder" 2>/dev/null || true
echo "recorded through PulseAudio:"
"$player" --analyse-raw "$folder/monitor.raw" --bpm "$bpm" --subdivision "$subdivision"
kill "$server"
wait "$server" 2>/dev/null || true
rm -rf "$folder"
