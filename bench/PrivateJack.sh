# Sourced by the benchmarks that need a JACK server of their own (POSIX sh): the work folder
# and cleanup of bench/PrivateFolder.sh, and a dummy-driver jackd under a private
# XDG_RUNTIME_DIR and server name.
#   start_private_jack NAME RATE PERIOD    exports XDG_RUNTIME_DIR, HOME, JACK_DEFAULT_SERVER
. "$(dirname "$0")/PrivateFolder.sh"
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
