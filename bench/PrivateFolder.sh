# Sourced by the benchmarks that run servers and programs of their own (POSIX sh): a work folder,
# and a cleanup on exit that ends every process id in $pids and removes the folder (a script
# may define before_cleanup to keep something of it first).
#   start_private_pulse PRIORITY MODULE...   a PulseAudio on $XDG_RUNTIME_DIR (which must be
#       set) with the given modules beside the native protocol and module-always-sink, started
#       through PRIORITY ("chrt -f 60", or "" for none); waits for its socket and exports
#       PULSE_SERVER. Its log is $folder/server.log.
folder=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    if command -v before_cleanup >/dev/null 2>&1; then before_cleanup; fi
    rm -rf "$folder"
}
trap cleanup EXIT
start_private_pulse() {
    priority=$1
    shift
    count=$#
    for module in "$@" "module-native-protocol-unix auth-anonymous=1" module-always-sink; do
        set -- "$@" -L "$module"
    done
    shift "$count"
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    $priority pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
        --disable-shm=yes --log-target=stderr "$@" 2>"$folder/server.log" &
    pulse=$!
    pids="$pulse $pids"
    tries=0
    until [ -S "$XDG_RUNTIME_DIR/pulse/native" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "pulseaudio did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
        sleep 0.1
    done
}
