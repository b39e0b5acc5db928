#!/bin/sh
# Ableton Link: Tolvane (the headless player with --link, on a private JACK server with the
# dummy driver) and link_peer, two peers of one session on the loopback device. The peer starts
# the session at 120 bpm, changes it to 100 halfway on one of its beats and stops it at the end;
# it records Tolvane's output and compares every click, as heard, with the session's beat there
# (see bench/LinkPeer.cpp). Link finds its peers by multicast: the loopback device gets it (as
# root; it is set back afterwards), else the benchmark is skipped.
#   bench/LinkBench.sh BUILD-BIN [SECONDS] [BPM] [BPM2]   e.g. bench/LinkBench.sh build/release/bin 60
set -eu
bin=$1
seconds=${2:-60}
bpm=${3:-120}
bpm2=${4:-100}
if ! ip link show lo | grep -q MULTICAST; then
    if [ "$(id -u)" != 0 ] || ! ip link set lo multicast on 2>/dev/null; then
        echo "skipped: Link finds its peers by multicast, which the loopback device does not allow (as root: ip link set lo multicast on)"
        exit 0
    fi
    trap 'ip link set lo multicast off' EXIT
    restore=yes
fi
. "$(dirname "$0")/PrivateJack.sh"
if [ -n "${restore:-}" ]; then
    trap 'cleanup; ip link set lo multicast off' EXIT
fi
export XDG_CONFIG_HOME="$folder/config"
start_private_jack tolvane_link "${SERVER_BENCH_RATE:-48000}" 256
printf '\357\273\277# Metronome Configuration File\r\n' >"$folder/Tolvane.conf"
"$bin/engine_player" --backend real --seconds $((seconds + 8)) --instrument 6 --bpm "$bpm" --link \
    "$folder/Tolvane.conf" >"$folder/player.txt" 2>&1 &
player=$!
status=0
"$bin/link_peer" "$seconds" "$bpm" "$bpm2" || status=$?
# The player ends by itself a little after the session stopped, and leaves the server before
# the server ends (a server ended with clients on it may leave its entry in JACK's registry of
# servers, which holds eight).
wait "$player" 2>/dev/null || true
grep -E "^(late sounds|frames missed|server underruns|tick wake-up)" "$folder/player.txt" | sed 's/^/  Tolvane: /' || true
[ -z "${LINK_BENCH_VERBOSE:-}" ] || cat "$folder/player.txt"
exit $status
