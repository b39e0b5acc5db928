#!/usr/bin/env bash
# Retakes the pictures of docs/ from a built program, as a new user sees it: the shipped first
# settings, the real window under a private X server with a window manager and a private
# PulseAudio null sink, driven by its keys. English pictures are NAME.png, the others NAME.LANG.png
# (main window, the export window, the main window stopped and playing the speed trainer with its bar counter, the settings pages (in English all of them, translated those the manuals show), the step sequencer with the "Rock beat" rhythm, the Options
# page with the "Trainer 80 to 120" speed trainer, the full-screen beat view, the Practice page (and its tap calibration) with the "Wood blocks"
# eighths, a count-in, random muted bars, swing and the spoken count, a song playing, the setlist and song editor windows, the Sync and Control page).
# Needs Xvfb, openbox, xdotool, ImageMagick (import, convert) and pulseaudio.
# Usage: Screenshots.sh <folder of the built program, e.g. build/debug/bin> [output folder: docs]
# SHOTS="export settings-options" retakes only the pictures of those names (in every language).
set -euo pipefail
bin=$(realpath "$1")
out=$(realpath "${2:-$(dirname "$0")/..}")
work=$(mktemp -d)
pids=()
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT

# A copy of the program, so that its settings file beside it starts afresh each time.
app=$work/app
mkdir -p "$app" "$work/runtime"
chmod 700 "$work/runtime"
cp -r "$bin"/{tolvane,tolvane-kit,Lang,voices,FirstSettings.conf,songs} "$app"
export XDG_RUNTIME_DIR=$work/runtime HOME=$work XDG_CONFIG_HOME=$work/config ASAN_OPTIONS=detect_leaks=0
export QT_QPA_PLATFORM=xcb PULSE_SERVER="unix:$work/runtime/pulse/native"

. "$(dirname "$0")/../../bench/PrivateDesktop.sh"
start_private_desktop "$work"
pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 --use-pid-file=no --disable-shm=yes \
    -L "module-null-sink sink_name=screenshots" -L "module-native-protocol-unix auth-anonymous=1" \
    -L module-always-sink >/dev/null 2>&1 &
pids+=($!)
until [ -S "$work/runtime/pulse/native" ]; do sleep 0.1; done

window() { # the id of the shown window titled $1, waited for
    for _ in $(seq 300); do
        xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 | grep . && return
        sleep 0.1
    done
    echo "no window $1" >&2
    exit 1
}
shoot() { # window id, picture name; without the pointer over a control, so the status line is plain
    [ -z "${SHOTS:-}" ] || [[ " $SHOTS " == *" $2 "* ]] || return 0
    xdotool mousemove 1279 799
    sleep 1.5
    import -window "$1" "$work/shot.png"
    convert "$work/shot.png" -strip "$out/$2$suffix.png"
}
start() { # the program in language $1, with preset $2 if given and further options after it
    { [ "$1" = en ] || echo "Language = $1"; cat "$app/FirstSettings.conf"; } >"$app/Tolvane.conf"
    (cd "$app" && exec ./tolvane ${2:+--preset "$2"} "${@:3}" 2>>"$work/tolvane.log") &
    program=$!
    main=$(window '^Tolvane$')
    xdotool windowactivate --sync "$main"
    sleep 1
}
stop() {
    xdotool windowactivate --sync "$main" key ctrl+q
    wait "$program"
}
settings() { # the settings window on the page of key $1
    xdotool windowactivate --sync "$main" key "ctrl+$1"
    sleep 1.5
    dialog=$(xdotool getactivewindow)
}

for language in en de fr; do
    suffix=.$language
    [ "$language" = en ] && suffix=
    start $language
    shoot "$main" main-window
    xdotool windowactivate --sync "$main" key ctrl+e # File → Export Click Track
    sleep 1.5
    shoot "$(xdotool getactivewindow)" export
    xdotool key Escape
    sleep 0.5
    pages="s:sounds a:audio-files p:presets"
    [ "$language" = en ] || pages=s:sounds # the translated manuals show only this page of the three
    for page in $pages; do
        settings "${page%%:*}"
        shoot "$dialog" "settings-${page#*:}"
        xdotool key Escape
    done
    stop

    start $language "" --osc-port 9000 --midi-clock follow --link on # OSC, the clock followed and Link on, so that the page shows what they do
    settings p
    xdotool key ctrl+Tab ctrl+Tab # the Sync and Control page follows Presets and Practice
    sleep 1
    shoot "$dialog" settings-sync
    xdotool key Escape
    stop

    start $language "Trainer 80 to 120"
    settings o
    shoot "$dialog" settings-options
    xdotool key Escape
    stop

    start $language "Trainer 80 to 120" --start # playing: the bar counter shows the trainer's level
    sleep 3
    shoot "$main" main-window-playing
    stop

    start $language "Wood blocks" --count-in 2 --gap-random 30:16 --seed 4711 --swing 60 --count-voice on
    settings o
    # The last tab, Practice, clicked at its middle (where it lies in each language's window).
    case $language in en) x=363 ;; de) x=451 ;; fr) x=424 ;; esac
    xdotool mousemove --window "$dialog" "$x" 19 click 1
    sleep 1
    shoot "$dialog" settings-practice
    # The output offset's tap calibration, opened by its button's key.
    case $language in en) key=alt+t ;; de) key=alt+m ;; fr) key=alt+r ;; esac
    xdotool key "$key"
    sleep 1.5
    shoot "$(xdotool getactivewindow)" tap-calibration
    xdotool key Escape
    sleep 0.5
    xdotool key Escape
    stop

    start $language "Rock beat"
    settings o
    xdotool key alt+q # Step Sequencer...
    sleep 2
    sequencer=$(xdotool getactivewindow)
    shoot "$sequencer" step-sequencer
    if [ $language = en ]; then
        xdotool key alt+p # Play
        sleep 1.3
        shoot "$sequencer" step-sequencer-cursor
        xdotool key alt+p
    fi
    xdotool key Escape
    sleep 1
    xdotool key Escape
    stop

    # The full-screen beat view playing: the whole screen, on a beat (the flash shows ~80 ms
    # of each beat, so a few pictures are taken and the first on a flash kept).
    { [ "$language" = en ] || echo "Language = $language"; cat "$app/FirstSettings.conf"; } >"$app/Tolvane.conf"
    (cd "$app" && exec ./tolvane --tempo 120 --fullscreen --start 2>>"$work/tolvane.log") &
    program=$!
    sleep 6
    for try in $(seq 20); do
        import -window root "$work/view.png"
        # a flash lights the whole picture; between beats it is black but for the numerals
        [ "$(convert "$work/view.png" -format '%[fx:mean > 0.15]' info:)" = 1 ] && break
        sleep 0.05
    done
    [ -z "${SHOTS:-}" ] || [[ " $SHOTS " == *" beat-view "* ]] && convert "$work/view.png" -strip "$out/beat-view$suffix.png"
    main=$(window '^Tolvane$')
    xdotool key Escape
    sleep 0.5
    stop

    # A song playing: its name, the part and the bar under the read-out.
    start $language "" --song songs/Ballad.klick --from verse --start
    sleep 4
    shoot "$main" main-window-song
    stop

    # The setlist window with its first song playing and one not found, then the song editor
    # with that song (Tools → Setlist, Tools → Song Editor).
    printf 'Ballad.klick\nFourParts.klick\nEncore.klick\n' >"$app/songs/Gig.setlist"
    start $language "" --setlist songs/Gig.setlist --start
    xdotool key ctrl+shift+g
    sleep 1.5
    shoot "$(xdotool getactivewindow)" setlist
    xdotool key Escape
    sleep 0.5
    xdotool windowactivate --sync "$main" key ctrl+g
    sleep 1.5
    shoot "$(xdotool getactivewindow)" song-editor
    xdotool key Escape
    sleep 0.5
    stop
done
