#!/bin/sh
# Plays the headless player through a private sound server, records what the server plays
# and measures every recorded click against the exact grid. Every process started here is
# ended by its own process id; nothing else is touched.
#
#   bench/ServerBench.sh pulse|pipewire|jack BUILD-BIN BPM SUBDIVISION SECONDS [--waves|--lamp|--view|--cursor|--program] [PLAYER OPTIONS]
#   e.g. bench/ServerBench.sh pulse build/release/bin 133 4 60
#        bench/ServerBench.sh jack build/release/bin 120 0 60 --change-at 30 --change-bpm 180
#        bench/ServerBench.sh pulse build/release/bin 120 2 60 --count-in 2 --gap 2:1 --swing 66
#        bench/ServerBench.sh pulse build/release/bin 120 0 60 --song Res/Songs/FourParts.klick --scale 80
#        bench/ServerBench.sh pulse build/release/bin 30 4 60 --count-voice on --voice-language de --words-only --beats 12
#        bench/ServerBench.sh pulse build/release/bin 120 2 20 --count-in 1 --count-voice count-in --voice-language fr
#        SERVER_BENCH_RATE=48000 SERVER_BENCH_JACK_PERIOD=1024 bench/ServerBench.sh jack build/release/bin 120 0 60
#
# pulse: a private PulseAudio with a null sink (44.1 kHz, or SERVER_BENCH_RATE), recorded
#        from the sink's monitor with parec (16-bit). pipewire: private pipewire,
#        wireplumber and pipewire-pulse on a session bus of their own (dbus-daemon), with a
#        null sink at PipeWire's own rate (48 kHz), recorded the same way. jack: a private
#        JACK server on its dummy driver (44.1 kHz or SERVER_BENCH_RATE, 256-frame periods or
#        SERVER_BENCH_JACK_PERIOD), recorded by jack_recorder (float). The program plays at
#        the server's rate, and the recording is measured at it. --waves plays twelve
#        generated 30 ms wave files (audio-file engine) instead of the built-in hi-hat, 16-bit
#        44.1 kHz unless SERVER_BENCH_WAVE_FORMAT gives sox's format options (e.g. "-r 96000
#        -e floating-point -b 32"); they are converted to the server's rate as they are read.
#        --lamp runs bench_lamp (the beat lamp's paint times against the heard times, under
#        Xvfb) instead of the player and the recording; with practice options it plays them,
#        tells the look of each painted picture, and its recording is measured as the player's;
#        --view the same for the full-screen beat view (bars of four beats; also its flashes
#        in any one second and how often its numbers changed);
#        --program plays the program itself (tolvane --tempo BPM [practice options] --start,
#        SUBDIVISION and every voice's sound in its settings file) under Xvfb and measures its
#        recording the same way; --cursor the same for the step
#        sequencer's cursor (paint of each column against its step's heard time). --rhythm TEXT plays TEXT as a custom
#        rhythm (with SUBDIVISION steps to a beat; add --instruments I1,...,I12 for a voice's
#        own sound): several sounds are not measured against one grid, so only the player's
#        figures (late sounds, CPU, memory) are printed.
set -eu
server=$1
bin=$2
bpm=$3
subdivision=$4
seconds=$5
shift 5
waves=no
lamp=no
rhythm=""
words=no
analyse=""
extra=""
while [ $# -gt 0 ]; do
    case "$1" in
        --waves) waves=yes ;;
        --lamp) lamp=yes ;;
        --cursor) lamp=cursor ;;
        --view) lamp=view ;;
        --program) lamp=program ;;
        --rhythm) rhythm=$2; shift ;;
        --change-bpm) analyse="$analyse --change-bpm $2"; extra="$extra $1 $2"; shift ;;
        # The practice options play and are measured as a practice run (4/4, see engine_player).
        --count-in|--gap|--gap-random|--seed|--swing) analyse="$analyse $1 $2"; extra="$extra $1 $2"; shift ;;
        # A song plays until it ends (or SECONDS pass) and is measured against its map.
        --song|--from|--scale) analyse="$analyse $1 $2"; extra="$extra $1 $2"; shift ;;
        # The spoken count plays (the player's --count-voice, --voice-language; --words-only
        # silences the clicks); every tick's sound, word or click, is measured against the same
        # run rendered by the player on its null backend, found there and in the recording by
        # cross-correlation (a word has several onsets, so it cannot be measured as a click).
        --count-voice) [ "$2" = off ] || words=yes; extra="$extra $1 $2"; shift ;;
        --voice-language|--beats) extra="$extra $1 $2"; shift ;;
        *) extra="$extra $1" ;;
    esac
    shift
done

. "$(dirname "$0")/PrivateFolder.sh"
# SERVER_BENCH_KEEP=FILE keeps the recording (and the server's log beside it) for a closer look.
before_cleanup() {
    if [ -n "${SERVER_BENCH_KEEP:-}" ] && [ -f "$folder/recording.raw" ]; then
        cp "$folder/recording.raw" "$SERVER_BENCH_KEEP"
        cp "$folder/server.log" "$SERVER_BENCH_KEEP.server.log" 2>/dev/null || true
    fi
}
export XDG_RUNTIME_DIR="$folder/runtime" HOME="$folder" XDG_CONFIG_HOME="$folder/config" XDG_STATE_HOME="$folder/state"
rate=${SERVER_BENCH_RATE:-44100}
# The servers at real-time priority (PulseAudio's main thread and PipeWire's servers, see below);
# SERVER_BENCH_SERVER_RT=no leaves them at normal priority, as a desktop without rtkit would.
serverPriority="chrt -f 60"
[ "${SERVER_BENCH_SERVER_RT:-yes}" != no ] || serverPriority=""
# The recorder's buffer: 1000 ms unless SERVER_BENCH_PAREC_MS says otherwise ("default":
# parec's own).
parecLatency="--latency-msec=${SERVER_BENCH_PAREC_MS:-1000}"
[ "${SERVER_BENCH_PAREC_MS:-}" != default ] || parecLatency=""
# The null sink's monitor recorded as raw 16-bit stereo at the sink's rate, with a large buffer and
# a real-time thread, so that a busy machine does not make the recorder lose what the server played.
record_sink() {
    chrt -f 40 parec --device=tolvane_bench.monitor --rate="$rate" --channels=2 --format=s16le --raw $parecLatency \
        >"$folder/recording.raw" 2>"$folder/recorder.log" &
    recorder=$!
    pids="$recorder $pids"
    format=""
    sleep 0.5
}
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

conf="$folder/Tolvane.conf"
instrument="--instrument 6"
if [ "$waves" = yes ]; then
    # One 30 ms click per voice, each its own pitch, starting after digital silence.
    instrument=""
    printf '\357\273\277# Metronome Configuration File\r\nSoundEngineType = 1\r\n' >"$conf"
    for voice in 1 2 3 4 5 6 7 8 9 10 11 12; do
        # shellcheck disable=SC2086
        sox -D -n ${SERVER_BENCH_WAVE_FORMAT:--r 44100 -b 16} -c 1 "$folder/voice$voice.wav" \
            synth 0.03 square $((500 + 100 * voice)) vol 0.5 fade l 0 0.03 0.03
        printf 'File%d = %s\r\n' "$voice" "$folder/voice$voice.wav" >>"$conf"
    done
fi

if [ "$server" = pulse ]; then
    start_private_pulse "chrt -f 60" "module-null-sink sink_name=tolvane_bench rate=$rate channels=2"
    # PulseAudio gives real-time priority to its sink's thread only and puts its main thread,
    # which carries a client's data and the server's requests, back to normal priority (nice
    # -11, which counts only within its own session's scheduling group). With other sessions
    # building on both cores that thread waited 0.1-1.1 s for the processor, the stream's
    # 120 ms queue ran dry and every later click came late, for any client (pacat as well):
    # it gets the real-time priority the command line asked for.
    [ "${SERVER_BENCH_SERVER_RT:-yes}" = no ] || chrt -f -p 60 "$pulse"
    record_sink
elif [ "$server" = pipewire ]; then
    # Its own session bus, so that nothing reaches the desktop's (portals, rtkit).
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
    dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" >"$folder/bus.log" 2>&1 &
    pids="$!"
    tries=0
    until [ -S "$XDG_RUNTIME_DIR/bus" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "dbus-daemon did not start" >&2; exit 1; }
        sleep 0.1
    done
    # At real-time priority, as the pulse case runs pulseaudio: without rtkit (no system bus
    # here) PipeWire cannot raise its threads, and pipewire-pulse's protocol thread, starved on
    # a busy machine, left our stream without data for a whole cycle (2048 frames of silence
    # inserted, every later click late by as much).
    $serverPriority pipewire >"$folder/server.log" 2>&1 &
    pids="$! $pids"
    tries=0
    until [ -S "$XDG_RUNTIME_DIR/pipewire-0" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "pipewire did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
        sleep 0.1
    done
    wireplumber >"$folder/session.log" 2>&1 &
    pids="$! $pids"
    $serverPriority pipewire-pulse >"$folder/pulse.log" 2>&1 &
    pids="$! $pids"
    export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
    tries=0
    until pactl info >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "pipewire-pulse did not start" >&2; cat "$folder/pulse.log" >&2; exit 1; }
        sleep 0.1
    done
    # Refused ("Not supported") while the session manager is still starting: asked again.
    tries=0
    until pactl load-module module-null-sink sink_name=tolvane_bench >/dev/null 2>&1 \
        && pactl set-default-sink tolvane_bench 2>/dev/null; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "no null sink" >&2; cat "$folder/session.log" >&2; exit 1; }
        pactl unload-module module-null-sink 2>/dev/null || true
        sleep 0.1
    done
    # Recorded at the sink's own rate, so that nothing is resampled on the way.
    rate=$(pactl list short sinks | awk '$2 == "tolvane_bench" { for (i = 3; i <= NF; ++i) if ($i ~ /^[0-9]+Hz$/) print $i + 0 }')
    [ -n "$rate" ] || { echo "no null sink" >&2; exit 1; }
    record_sink
elif [ "$server" = jack ]; then
    export JACK_DEFAULT_SERVER="tolvane_bench_$$"
    jackd -d dummy -r "$rate" -p "${SERVER_BENCH_JACK_PERIOD:-256}" >"$folder/server.log" 2>&1 &
    pids="$!"
    tries=0
    until jack_lsp >/dev/null 2>&1; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "jackd did not start" >&2; cat "$folder/server.log" >&2; exit 1; }
        sleep 0.1
    done
    # At real-time priority, like parec: on a busy machine a recorder that connects late
    # begins inside a click, and one that misses cycles leaves gaps (it records by the
    # server's frame counter, so a gap is silence, never a shift).
    chrt -f 40 "$bin/jack_recorder" $((${seconds%.*} + 5)) "$folder/recording.raw" Tolvane: &
    recorder=$!
    pids="$recorder $pids"
    format="--float"
    sleep 0.5
else
    echo "server: pulse, pipewire or jack" >&2
    exit 2
fi

if [ "$lamp" = program ]; then
    # The program itself, its options on its command line (--tempo for BPM) and the
    # subdivision and sounds in the settings file beside a copy of it, on a private X display.
    app="$folder/app"
    mkdir -p "$app"
    cp -r "$bin/tolvane" "$bin/tolvane-kit" "$bin/Lang" "$app"
    printf 'Subdivision1 = %s\r\n' "$subdivision" >"$app/Tolvane.conf"
    for voice in 1 2 3 4 5 6 7 8 9 10 11 12; do printf 'Instrument%d = 6\r\n' "$voice" >>"$app/Tolvane.conf"; done
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$folder/display" 2>/dev/null &
    pids="$! $pids"
    until [ -s "$folder/display" ]; do sleep 0.1; done
    # shellcheck disable=SC2086
    DISPLAY=:$(cat "$folder/display") QT_QPA_PLATFORM=xcb "$app/tolvane" --tempo "$bpm" $extra --start 2>"$folder/program.log" &
    program=$!
    pids="$program $pids"
    sleep "$seconds"
    kill "$program"
    wait "$program" 2>/dev/null || true
elif [ "$lamp" != no ]; then
    mode=""
    [ "$lamp" = yes ] || mode=$lamp
    # With practice options the lamp's run plays them (and the subdivision), and its recording
    # is measured below as the player's would be.
    [ -z "$analyse" ] || mode="--subdivision $subdivision $extra"
    # shellcheck disable=SC2086
    # SERVER_BENCH_LAMP_WRAP=/usr/bin/time (say) runs bench_lamp under that command.
    xvfb-run -a ${SERVER_BENCH_LAMP_WRAP:-} "$bin/bench_lamp" "$seconds" "$bpm" $mode
    [ -n "$analyse" ] || exit 0
else
    # shellcheck disable=SC2086
    "$bin/engine_player" --backend real --seconds "$seconds" --bpm "$bpm" --subdivision "$subdivision" $instrument \
        --no-indicator ${rhythm:+--rhythm "$rhythm"} $extra "$conf" || true
fi
if [ "$server" != jack ]; then
    sleep 0.5
    kill "$recorder"
fi
wait "$recorder" 2>/dev/null || true
[ -z "$rhythm" ] || exit 0
echo "recorded through $server at $rate Hz:"
# Above 300 bpm the program plays no subdivisions.
[ "$bpm" -le 300 ] || subdivision=0
if [ "$words" = yes ]; then
    # The reference: the same run on the null backend (44.1 kHz), where every word starts on
    # its tick's frame.
    [ "$rate" = 44100 ] || { echo "the spoken count is measured at 44100 Hz only" >&2; exit 1; }
    # shellcheck disable=SC2086
    "$bin/engine_player" --backend null --seconds "$seconds" --bpm "$bpm" --subdivision "$subdivision" $instrument \
        --no-indicator $extra --wav "$folder/reference.wav" "$conf" >/dev/null
    # shellcheck disable=SC2086
    "$bin/engine_player" --analyse-raw "$folder/recording.raw" --bpm "$bpm" --subdivision "$subdivision" --rate "$rate" \
        $format --reference "$folder/reference.wav" $extra
    exit $?
fi
# shellcheck disable=SC2086
"$bin/engine_player" --analyse-raw "$folder/recording.raw" --bpm "$bpm" --subdivision "$subdivision" --rate "$rate" $format $analyse
