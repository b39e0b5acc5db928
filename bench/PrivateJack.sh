# Sourced by the benchmarks that need a JACK server of their own (POSIX sh): a work folder, a
# dummy-driver jackd under a private XDG_RUNTIME_DIR and server name, and a cleanup on exit
# that ends every process id in $pids and removes the folder.
#   start_private_jack NAME RATE PERIOD    exports XDG_RUNTIME_DIR, HOME, JACK_DEFAULT_SERVER
folder=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    for pid in $pids; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$folder"
}
trap cleanup EXIT
start_private_jack() {
    export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder" JACK_DEFAULT_SERVER="$1_$$"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    jackd -d dummy -r "$2" -p "$3" >"$folder/server.log" 2>&1 &
    pids="$! $pids"
    tries=0
    until jack_lsp >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "jackd did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
        sleep 0.1
    done
}
