#!/bin/sh
# The JACK transport, led and followed, on a private JACK server with the dummy driver: the
# headless player plays with --jack-transport and writes every beat it played with its frame on
# the server's counter; transport_peer is the other side (watching the transport Tolvane leads,
# or leading the transport Tolvane follows) and writes the transport's beats. Each of Tolvane's
# beats is matched to the transport's beat of the same bar and beat: how far apart they are.
#   bench/JackTransportBench.sh BUILD-BIN [SECONDS]     e.g. bench/JackTransportBench.sh build/release/bin 30
set -eu
bin=$1
seconds=${2:-30}
. "$(dirname "$0")/PrivateJack.sh"
export XDG_CONFIG_HOME="$folder/config"
start_private_jack tolvane_transport "${SERVER_BENCH_RATE:-48000}" 256
printf '\357\273\277# Metronome Configuration File\r\n' >"$folder/Tolvane.conf"
# A song of 8 bars at 120 bpm, 4 bars of 3/4 at 90, then 96 to the end.
printf '8 4/4 120\n4 3/4 90\n64 4/4 96\n' >"$folder/change.klick"

compare() { # NAME TOLVANE-BEATS TRANSPORT-BEATS
    python3 - "$@" <<'PY'
import sys
name, ours, theirs = sys.argv[1:4]
def read(path):
    beats = []
    for line in open(path):
        word = line.split()
        if len(word) >= 4 and word[0] == "beat":
            beats.append((int(word[2]), int(word[3]), float(word[1])))
    return beats
mine, transport = read(ours), read(theirs)
at = {(bar, beat): frame for bar, beat, frame in transport if bar >= 1}
played = [(bar, beat, frame) for bar, beat, frame in mine if bar >= 1]
matched = [(frame - at[(bar, beat)]) for bar, beat, frame in played if (bar, beat) in at]
worst = max((abs(d) for d in matched), default=float("inf"))
first = min((b for b in transport if b[0] >= 1), key=lambda b: b[2], default=None)
ok = len(matched) >= 8 and worst <= 1.0
print("%s  %-34s %3d of %3d beats matched to the transport's, at most %.3f frames apart (mean %+.3f); "
      "the transport's first beat: bar %s beat %s" % ("ok  " if ok else "FAIL", name, len(matched), len(played), worst,
      sum(matched) / len(matched) if matched else 0, first[0] if first else "-", first[1] if first else "-"))
sys.exit(0 if ok else 1)
PY
}

status=0
lead() { # NAME PLAYER-OPTIONS...
    name=$1; shift
    "$bin/transport_peer" watch $((seconds + 3)) >"$folder/watch.txt" &
    watcher=$!
    pids="$watcher $pids"
    "$bin/engine_player" --backend real --seconds "$seconds" --instrument 6 --jack-transport lead \
        --beat-frames "$folder/ours.txt" "$@" "$folder/Tolvane.conf" >"$folder/player.txt" 2>&1 || true
    wait "$watcher" || true
    compare "$name" "$folder/ours.txt" "$folder/watch.txt" || status=1
}
follow() { # NAME MASTER-ARGUMENTS...
    name=$1; shift
    "$bin/transport_peer" master $((seconds + 2)) "$@" >"$folder/master.txt" &
    master=$!
    pids="$master $pids"
    "$bin/engine_player" --backend real --seconds "$seconds" --instrument 6 --bpm 100 --count-in 1 \
        --jack-transport follow --beat-frames "$folder/ours.txt" "$folder/Tolvane.conf" >"$folder/player.txt" 2>&1 || true
    wait "$master" || true
    compare "$name" "$folder/ours.txt" "$folder/master.txt" || status=1
}
lead "lead, 120 bpm, count-in 1 bar" --bpm 120 --count-in 1
lead "lead, song 120/90 (3/4)/96" --song "$folder/change.klick"
follow "follow, 120 bpm" 120
follow "follow, 120 bpm then 90 from bar 9" 120 90 9
[ -z "${TRANSPORT_BENCH_VERBOSE:-}" ] || cat "$folder/player.txt"
exit $status
