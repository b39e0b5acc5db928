#!/bin/bash
# The reliability checks: kills in the middle of saving, file faults met by the real program,
# and start/stop cycles through the instance socket. One line per check with its counts.
#
#   bench/Reliability.sh BINARY_FOLDER [KILLS] [CYCLES]
#   e.g. bench/Reliability.sh build/release/bin 300 2000      (make reliability)
#
# BINARY_FOLDER holds tolvane, reliability_tool and bench_diary. Needs Xvfb and pulseaudio (both in
# scripts/install-deps); the unreadable-file check runs the program as user nobody (setpriv)
# and the full-disk check mounts a small tmpfs, so both want root and are skipped otherwise.
# Every process started here is ended by its own process id.
set -u
bin=$(cd "$1" && pwd)
sources=$(cd "$(dirname "$0")/.." && pwd) # the shipped language files
kills=${2:-300}
cycles=${3:-2000}
work=$(mktemp -d /tmp/tolvane-reliability-XXXXXX)
chmod 711 "$work"
# A copy that user nobody may run too.
tool="$work/reliability_tool"
cp "$bin/reliability_tool" "$tool" && chmod 755 "$tool"
started=()
mounted=()
failed=0

cleanup() {
    for pid in "${started[@]}"; do kill -9 "$pid" 2>/dev/null; done
    for folder in "${mounted[@]}"; do umount "$folder" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

verdict() { # condition text: prints the line with ok/FAILED and the load average at its end
    local load=$(cut -d' ' -f1 /proc/loadavg)
    if [ "$1" = 1 ]; then echo "ok      $2 [load $load]"; else echo "FAILED  $2 [load $load]"; failed=1; fi
}
random_ms() { echo $(( $1 + RANDOM % ($2 - $1 + 1) )); }
sleep_ms() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }
hash_of() { sha1sum "$1" 2>/dev/null | cut -d' ' -f1; }

# --- SIGKILL during saves -------------------------------------------------------------------

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
wait_for_save() { # file of "saved" lines, count: waits until it has that many (60 s at most)
    local tries
    for tries in $(seq 6000); do [ "$(wc -l <"$1")" -ge "$2" ] && return 0; sleep 0.01; done
    return 1
}

kill_check() { # copies
    local copies=$1
    local folder="$work/kill$copies"
    mkdir -p "$folder" && chmod 700 "$folder"
    local file="$folder/Tolvane.conf" known=() bpm
    for bpm in 100 101 102 103; do
        "$tool" save-once "$folder/ref$bpm" 5000 "$bpm" || return
        known+=("$(hash_of "$folder/ref$bpm")")
        rm -f "$folder/ref$bpm"
    done
    local begin=$(now_ms)
    "$tool" save-once "$file" 5000 100
    local took=$(( $(now_ms) - begin ))
    local shortest=999999 longest=0
    local size=$(stat -c %s "$file") whole=0 truncated=0 mixed=0 changed=0 most=0 saves=0 previous
    previous=$(hash_of "$file")
    for _ in $(seq "$kills"); do
        rm -f "$folder"/saves-*
        "$tool" save-loop "$file" 5000 100 101 >"$folder/saves-1" & local first=$!
        started+=("$first")
        local second=
        if [ "$copies" = 2 ]; then "$tool" save-loop "$file" 5000 102 103 >"$folder/saves-2" & second=$!; started+=("$second"); fi
        # After two whole saves (their spacing is how long one save takes now), at a random
        # moment within the time of the next two.
        wait_for_save "$folder/saves-1" 1
        local first_done=$(now_ms)
        wait_for_save "$folder/saves-1" 2
        local spacing=$(( $(now_ms) - first_done + 1 ))
        [ "$spacing" -lt "$shortest" ] && shortest=$spacing
        [ "$spacing" -gt "$longest" ] && longest=$spacing
        sleep_ms "$(random_ms 0 $((2 * spacing)))"
        kill -9 "$first"
        if [ -n "$second" ]; then sleep_ms "$(random_ms 0 250)"; kill -9 "$second"; fi
        wait "$first" $second 2>/dev/null
        saves=$(( saves + $(cat "$folder"/saves-* | wc -l) ))
        local now=$(hash_of "$file")
        if [[ " ${known[*]} " == *" $now "* ]]; then whole=$((whole + 1))
        elif [ "$(stat -c %s "$file")" -lt "$size" ]; then truncated=$((truncated + 1))
        else mixed=$((mixed + 1)); fi
        [ "$now" != "$previous" ] && changed=$((changed + 1))
        previous=$now
        local left=$(find "$folder" -name 'Tolvane.conf.tmp*' | wc -l)
        [ "$left" -gt "$most" ] && most=$left
    done
    local who="one copy saving"
    [ "$copies" = 2 ] && who="two copies saving into one folder"
    verdict $(( whole == kills )) "SIGKILL at random moments, $who a 5,000-preset file ($((size / 1024)) KiB; a save took ${shortest}-${longest} ms, a start with the first save ${took} ms): $kills kills, $whole whole (old or new), $truncated truncated, $mixed mixed; $saves saves finished between kills, the file changed in $changed rounds; at most $most killed saves' temporaries at once (removed by later saves)"
}

# --- the program --------------------------------------------------------------------------

as=()   # prefix that runs a command as another user
prog=

prepare() { # folder: a private copy of the program with its runtime folder
    mkdir -p "$1/run" && chmod 700 "$1" "$1/run"
    cp "$bin/tolvane" "$1/tolvane"
    cp "$bin/tolvane-kit" "$1/tolvane-kit"
}
request() { # folder line → the answer
    "${as[@]}" "$tool" request "$1/run/InstanceMap-$("${as[@]}" id -u)" "$2" 2>/dev/null
}
launch() { # folder [VAR=value ...]
    local folder=$1; shift
    "${as[@]}" env QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$folder/run" TOLVANE_TEST_COMMANDS=1 "$@" \
        "$folder/tolvane" >"$folder/output.log" 2>&1 &
    prog=$!
    started+=("$prog")
    local tries
    for tries in $(seq 300); do
        [ -n "$(request "$folder" state)" ] && return 0
        kill -0 "$prog" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
finish() { # [signal] → 1 when the program, still running, ended within 30 s
    kill -0 "$prog" 2>/dev/null || { echo 0; return; }
    kill "-${1:-TERM}" "$prog" 2>/dev/null
    local tries
    for tries in $(seq 300); do
        kill -0 "$prog" 2>/dev/null || { wait "$prog" 2>/dev/null; echo 1; return; }
        sleep 0.1
    done
    kill -9 "$prog" 2>/dev/null
    echo 0
}
has() { LC_ALL=C grep -a -q -F -- "$2" "$1" 2>/dev/null && echo 1 || echo 0; }
has_line() { LC_ALL=C grep -a -q -x -F -- "$2"$'\r' "$1" 2>/dev/null && echo 1 || echo 0; }
bom=$'\xEF\xBB\xBF'

unreadable_check() { # kind
    local folder="$work/unreadable-$1" state
    prepare "$folder"
    local file="$folder/Tolvane.conf"
    as=()
    case $1 in
    "mode 000")
        if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then echo "skipped unreadable settings file (mode 000): needs root to run the program as nobody"; return; fi
        printf '%sBpm = 90\r\n' "$bom" >"$file"
        chmod 000 "$file"
        chown -R 65534:65534 "$folder"
        as=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$folder" XDG_CONFIG_HOME="$folder/config")
        ;;
    "named pipe") mkfifo "$file" ;;
    "link to /dev/zero") ln -s /dev/zero "$file" ;;
    "16 MiB + 1 byte") printf '%sBpm = 90\r\n' "$bom" >"$file"; truncate -s $((16 * 1024 * 1024 + 1)) "$file" ;;
    esac
    local before=$(stat -c '%i %s %Y %F' "$file")
    local up=0 ended=0
    launch "$folder" && up=1
    [ $up = 1 ] && request "$folder" "tempo 99" >/dev/null
    ended=$(finish)
    local after=$(stat -c '%i %s %Y %F' "$file")
    local logged=$(has "$folder/Tolvane.log" "could not be read")
    as=()
    verdict $(( up && ended && logged )) "settings file that cannot be read ($1): started $([ $up = 1 ] && echo yes || echo no), ended on SIGTERM $([ "$ended" = 1 ] && echo yes || echo no), file $([ "$before" = "$after" ] && echo "left as it was" || echo CHANGED), Error logged $([ "$logged" = 1 ] && echo yes || echo no)"
    [ "$before" = "$after" ] || failed=1
}

duplicates_check() {
    local folder="$work/duplicates" i
    prepare "$folder"
    { printf '%s# Metronome Configuration File\r\n' "$bom"; for i in 0 1 2 3 4 5; do printf 'Preset%d = Same\r\nBpm = %d\r\n' "$i" $((60 + i)); done; } >"$folder/Tolvane.conf"
    launch "$folder"
    local ended=$(finish)
    local presets=$(grep -a -c '^Preset[0-9]* = Same' "$folder/Tolvane.conf")
    local tempos=$(grep -a -c -E '^Bpm = 6[0-5]' "$folder/Tolvane.conf")
    local warned=$(grep -a -c 'repeats the name of an earlier preset' "$folder/Tolvane.log" 2>/dev/null)
    verdict $(( ended && presets == 6 && tempos == 6 && warned == 5 )) "six presets named Same: $presets kept after a save ($(grep -a -o '^Preset[0-9]* = Same.*' "$folder/Tolvane.conf" | sed 's/^Preset[0-9]* = //; s/\r$//' | paste -sd, -)), $tempos tempos kept, $warned Warn lines"
}

tempo_check() {
    local folder="$work/tempo" fast slow
    prepare "$folder"
    launch "$folder"; request "$folder" "tempo 1000" >/dev/null; finish >/dev/null
    fast=$(grep -a -o '^Bpm = [0-9]*' "$folder/Tolvane.conf" | head -n 1)
    launch "$folder"; local shown=$(request "$folder" state); request "$folder" "tempo 5" >/dev/null; finish >/dev/null
    slow=$(grep -a -o '^Bpm = [0-9]*' "$folder/Tolvane.conf" | head -n 1)
    # As an earlier version saved it: the nearest tempo the slider shows.
    printf '%sBpm = 1000\r\n' "$bom" >"$folder/Tolvane.conf"
    launch "$folder"; local old=$(request "$folder" state); finish >/dev/null
    verdict $(( $([ "$fast" = "Bpm = 400" ] && [ "$shown" = "0 400" ] && [ "$slow" = "Bpm = 10" ] && [ "$old" = "0 400" ] && echo 1 || echo 0) )) \
        "tempo 1000 through the socket: saved as '$fast', next start plays '${shown#0 }'; tempo 5 saved as '$slow'; a file holding 1000 starts at '${old#0 }'"
}

no_bom_check() {
    local folder="$work/nobom"
    prepare "$folder"
    printf 'Bpm = 133\n' >"$folder/Tolvane.conf"
    launch "$folder"; local state=$(request "$folder" state); finish >/dev/null
    verdict $([ "$state" = "0 133" ] && echo 1 || echo 0) "file without byte-order mark, 'Bpm = 133': the program starts at ${state#0 }"
}

full_disk_check() {
    if [ "$(id -u)" != 0 ]; then echo "skipped full disk: needs root to mount a small tmpfs"; return; fi
    local folder="$work/fulldisk" disk="$work/fulldisk/disk"
    prepare "$folder"
    chmod 775 "$folder" # not private: the settings go to XDG_CONFIG_HOME, on the small disk
    mkdir -p "$disk"
    mount -t tmpfs -o size=1m,mode=700 tmpfs "$disk" || { echo "skipped full disk: no tmpfs"; return; }
    mounted+=("$disk")
    mkdir -m 700 "$disk/tolvane"
    "$tool" save-once "$disk/tolvane/Tolvane.conf" 250 120
    local before=$(hash_of "$disk/tolvane/Tolvane.conf")
    dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null
    truncate -s -8192 "$disk/filler"
    launch "$folder" XDG_CONFIG_HOME="$disk"
    local ended=$(finish)
    local after=$(hash_of "$disk/tolvane/Tolvane.conf")
    local logged=$(has "$disk/tolvane/Tolvane.log" "Error calling write")
    local left=$(find "$disk/tolvane" -name 'Tolvane.conf.tmp*' | wc -l)
    verdict $(( ended && logged && left == 0 )) "full disk at save: settings file $([ "$before" = "$after" ] && echo "left as it was" || echo CHANGED), failure logged in Tolvane.log $([ "$logged" = 1 ] && echo yes || echo no), temporaries left $left"
    [ "$before" = "$after" ] || failed=1
    umount "$disk"
}

hangup_check() {
    local folder="$work/hangup"
    prepare "$folder"
    launch "$folder"; request "$folder" "tempo 97" >/dev/null
    local ended=$(finish HUP)
    local saved=$(has_line "$folder/Tolvane.conf" "Bpm = 97")
    verdict $(( ended && saved )) "SIGHUP (terminal closed) after tempo 97: ended $([ "$ended" = 1 ] && echo yes || echo no), tempo saved $([ "$saved" = 1 ] && echo yes || echo no)"
}

display_check() {
    local folder="$work/display" display
    prepare "$folder"
    for display in $(seq 87 99); do [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ] || break; done
    Xvfb ":$display" -nolisten tcp >/dev/null 2>&1 &
    local server=$!
    started+=("$server")
    local tries
    for tries in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    launch "$folder" QT_QPA_PLATFORM=xcb DISPLAY=":$display"
    request "$folder" "tempo 98" >/dev/null
    kill "$server"; wait "$server" 2>/dev/null
    local ended=0
    for tries in $(seq 300); do kill -0 "$prog" 2>/dev/null || { ended=1; break; }; sleep 0.1; done
    [ $ended = 0 ] && kill -9 "$prog" 2>/dev/null
    local saved=$(has_line "$folder/Tolvane.conf" "Bpm = 98")
    verdict $(( ended && saved )) "display connection lost (Xvfb ended) after tempo 98: program ended $([ $ended = 1 ] && echo yes || echo no), tempo saved $([ "$saved" = 1 ] && echo yes || echo no)"
}

path_check() {
    local folder="$work/paths"
    prepare "$folder"
    local line=$'File3 = /home/m\xFCsic/\xE9t\xC3/click \xEF\xBF\xBD.wav'
    printf '%s# Metronome Configuration File\r\n%s\r\n' "$bom" "$line" >"$folder/Tolvane.conf"
    launch "$folder"; local ended=$(finish)
    local kept=$(has_line "$folder/Tolvane.conf" "$line")
    local saved=$(has_line "$folder/Tolvane.conf" "Bpm = 120")
    verdict $(( ended && kept && saved )) "file paths that are not UTF-8 (Latin-1 and cut UTF-8 bytes): written back byte for byte $([ "$kept" = 1 ] && echo yes || echo no)"
}

socket_check() { # the instance socket: an overlong line's tail, a preset while a settings dialog is open
    local folder="$work/socket" tries
    prepare "$folder"
    printf '%s# Metronome Configuration File\r\nBpm = 90\r\nPreset0 = Fast\r\nBpm = 200\r\n' "$bom" >"$folder/Tolvane.conf"
    launch "$folder"
    # One byte past the longest request (247 bytes), then a request of its own.
    local overlong=$(request "$folder" "$(head -c 248 /dev/zero | tr '\0' x)tempo 55")
    local after=$(request "$folder" state)
    request "$folder" "command 32773" >/dev/null # the settings dialog, Options page
    local open=0
    for tries in $(seq 100); do [ "$(request "$folder" state)" = 0 ] && { open=1; break; }; sleep 0.1; done
    local refused=$(request "$folder" "preset Fast")
    local ended=$(finish)
    local kept=$(has_line "$folder/Tolvane.conf" "Bpm = 90")
    launch "$folder"; local taken=$(request "$folder" "preset Fast"); local loaded=$(request "$folder" state); finish >/dev/null
    verdict $(( $([ "$overlong" = 0 ] && [ "$after" = "0 90" ] && [ "$refused" = 0 ] && [ "$taken" = 1 ] && [ "$loaded" = "0 200" ] && echo 1 || echo 0) && open && ended && kept )) \
        "instance socket: 248 bytes then 'tempo 55' on one line answered '$overlong', tempo after it ${after#0 }; 'preset Fast' with the settings dialog open answered '$refused' (dialog open $([ $open = 1 ] && echo yes || echo no)), tempo saved 90 $([ "$kept" = 1 ] && echo yes || echo no); without the dialog answered '$taken', tempo ${loaded#0 }"
}

le16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
le32() { le16 $(($1 & 65535)); le16 $((($1 >> 16) & 65535)); }
wave() { # path format-tag rate bits: a mono wave file with eight bytes of samples
    local align=$(($4 / 8))
    printf "RIFF$(le32 44)WAVEfmt $(le32 16)$(le16 "$2")$(le16 1)$(le32 "$3")$(le32 $(($3 * align)))$(le16 $align)$(le16 "$4")data$(le32 8)" >"$1"
    head -c 8 /dev/zero >>"$1"
}

odd_lines_check() { # a settings line not understood, told at start; refused wave files, each logged
    local folder="$work/oddlines" tries
    prepare "$folder"
    wave "$folder/24bit.wav" 1 44100 24; wave "$folder/float.wav" 3 44100 32
    wave "$folder/0hz.wav" 1 0 16; wave "$folder/768k.wav" 1 768000 16
    ln -s "$folder/loop-b.wav" "$folder/loop-a.wav"; ln -s "$folder/loop-a.wav" "$folder/loop-b.wav"
    { printf '%s# Metronome Configuration File\r\nSoundEngineType = 1\r\n' "$bom"
      local i=1 name
      for name in 24bit float 0hz 768k loop-a; do printf 'File%d = %s/%s.wav\r\n' $i "$folder" $name; i=$((i + 1)); done
      printf 'FutureSetting = 1\r\nBpm = 77\r\n'; } >"$folder/Tolvane.conf"
    launch "$folder"
    local logged=0
    for tries in $(seq 100); do
        logged=$(grep -a -c 'is refused: ' "$folder/Tolvane.log" 2>/dev/null)
        [ "${logged:-0}" -ge 5 ] && break
        sleep 0.1
    done
    local named=0
    for name in 24bit float 0hz 768k loop-a; do named=$((named + $(has "$folder/Tolvane.log" "$name.wav is refused: "))); done
    local told=$([ "$(request "$folder" state)" = 0 ] && echo 1 || echo 0) # the window-modal box holds test requests back
    local ended=$(finish)
    local kept=$(has_line "$folder/Tolvane.conf" "FutureSetting = 1")
    local tempo=$(has_line "$folder/Tolvane.conf" "Bpm = 77")
    verdict $(( told && ended && kept && tempo && named == 5 )) \
        "settings line 'FutureSetting = 1' not understood: told at start $([ "$told" = 1 ] && echo yes || echo no), kept $([ "$kept" = 1 ] && echo yes || echo no), the tempo after it read $([ "$tempo" = 1 ] && echo yes || echo no); 5 refused wave files (24-bit, 32-bit float, 0 Hz, 768 kHz, a link loop): $named logged by name ($(grep -a -o 'is refused: [^(]*' "$folder/Tolvane.log" | sed 's/is refused: //; s/ *$//' | sort | uniq -c | sed 's/^ *//' | paste -sd';' -))"
}

cycles_check() {
    local folder="$work/cycles"
    prepare "$folder"
    local pulse="$folder/pulse-runtime"
    mkdir -p "$pulse" && chmod 700 "$pulse"
    XDG_RUNTIME_DIR="$pulse" HOME="$folder" pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 \
        --disallow-exit --use-pid-file=no --disable-shm=yes --log-target=stderr \
        -L "module-null-sink sink_name=tolvane_reliability rate=44100 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1" -L module-always-sink 2>"$folder/pulseaudio.log" &
    local server=$!
    started+=("$server")
    local tries
    for tries in $(seq 100); do [ -S "$pulse/pulse/native" ] && break; sleep 0.1; done
    launch "$folder" PULSE_SERVER="unix:$pulse/pulse/native"
    local line
    line=$("$tool" cycles "$folder/run/InstanceMap-$(id -u)" "$prog" "$cycles")
    verdict $(( $? == 0 )) "$line"
    finish >/dev/null
    kill "$server"; wait "$server" 2>/dev/null
}

# --- windows on the screen with long texts (F11) ----------------------------------------------

long_language() { # from to: the language file with each text repeated to 300 bytes or more
    # (the reader takes at most 771 bytes); only the first copy keeps its & (the mnemonic).
    LC_ALL=C awk '
        /^\[/ { section = $0; print; next }
        section == "[Language]" || /^#/ || index($0, " = ") == 0 { print; next }
        {
            at = index($0, " = "); text = substr($0, at + 3); again = text
            gsub(/&/, "", again)
            while (length(text) < 300) text = text " " again
            print substr($0, 1, at + 2) text
        }' "$1" >"$2"
}
on_screen() { DISPLAY=":$screen_display" "$@"; }
shown_windows() { on_screen xdotool search --onlyvisible --pid "$prog" 2>/dev/null | sort; }
outer_geometry() { # window → "x y width height" with the window manager's frame, on the root window
    local x y width height left=0 right=0 top=0 bottom=0 extents
    read -r x y width height < <(on_screen xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/ { x = $NF }
        /Absolute upper-left Y/ { y = $NF } /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF } END { print x, y, w, h }')
    extents=$(on_screen xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= //p' | tr -d ,)
    [ -n "$extents" ] && read -r left right top bottom <<<"$extents"
    echo $((x - left)) $((y - top)) $((width + left + right)) $((height + top + bottom))
}
new_window() { # windows shown before [tenths of a second] → the one shown now, once its size and place
    # have settled (30 s at most)
    local tries window= last= now
    for tries in $(seq "${2:-300}"); do
        [ -z "$window" ] && window=$(comm -13 <(echo "$1") <(shown_windows) | head -n 1)
        if [ -n "$window" ]; then
            now=$(outer_geometry "$window")
            [ "$now" = "$last" ] && { echo "$window"; return 0; }
            last=$now
        fi
        sleep 0.1
    done
    return 1
}
close_window() { # window: presses Escape in it until it is no longer shown (30 s at most)
    local tries
    for tries in $(seq 300); do
        shown_windows | grep -q -x "$1" || return 0
        [ $((tries % 100)) = 1 ] && press "$1" Escape
        sleep 0.1
    done
    return 1
}
mnemonic() { # language-file key: the letter after & in the window control's text
    LC_ALL=C awk -v key="$2" '/^\[/ { section = $0 } section == "[Control]" && index($0, key " = ") == 1 {
        sub(/^[^&]*&/, ""); print tolower(substr($0, 1, 1)) }' "$1"
}
press() { # window keys: brings the window to the front and presses the keys in it
    on_screen xdotool windowactivate --sync "$1" key --clearmodifiers "$2" 2>/dev/null
}

screen_check() { # every window of the program with every text absurdly long, on a small screen
    local tool_
    for tool_ in openbox xdotool xwininfo xprop; do
        command -v "$tool_" >/dev/null || { echo "skipped windows on the screen: $tool_ missing (scripts/install-deps)"; return; }
    done
    local folder="$work/screen" tries
    prepare "$folder"
    mkdir -p "$folder/Lang"
    long_language "$sources/Lang/de.lng" "$folder/Lang/xx.lng"
    printf '%sLanguage = xx\r\n' "$bom" >"$folder/Tolvane.conf"
    for screen_display in $(seq 87 99); do [ -e "/tmp/.X11-unix/X$screen_display" ] || [ -e "/tmp/.X$screen_display-lock" ] || break; done
    Xvfb ":$screen_display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    local server=$!
    started+=("$server")
    for tries in $(seq 100); do [ -e "/tmp/.X11-unix/X$screen_display" ] && break; sleep 0.1; done
    HOME="$folder" on_screen openbox --sm-disable >/dev/null 2>&1 &
    local manager=$!
    started+=("$manager")
    for tries in $(seq 100); do on_screen xprop -root _NET_WORKAREA 2>/dev/null | grep -q '= ' && break; sleep 0.1; done
    local area
    read -r -a area < <(on_screen xprop -root _NET_WORKAREA | sed 's/.*= //' | tr -d ,)
    launch "$folder" QT_QPA_PLATFORM=xcb DISPLAY=":$screen_display"
    local measured=() inside=0 total=0 main
    measure() { # name window
        local x y width height
        read -r x y width height < <(outer_geometry "$2")
        total=$((total + 1))
        local fits=$(( x >= area[0] && y >= area[1] && x + width <= area[0] + area[2] && y + height <= area[1] + area[3] ))
        inside=$((inside + fits))
        measured+=("$1 ${width}x${height}$(printf '%+d%+d' "$x" "$y")$([ $fits = 1 ] || echo ' OFF THE SCREEN')")
        [ -n "${RELIABILITY_SHOTS:-}" ] && on_screen import -window root "$RELIABILITY_SHOTS/f11-${1// /-}.png" 2>/dev/null
    }
    main=$(new_window "") && measure main "$main"
    # On the Options page, by their mnemonics: Custom Rhythm, then the step sequencer's button.
    local rhythm_key=$(mnemonic "$folder/Lang/xx.lng" 24) sequencer_key=$(mnemonic "$folder/Lang/xx.lng" 25)
    local page command dialog sequencer=
    for page in "Options:32773" "Sound Settings:32774" "Audio Files:32775" "Presets:32776" "Language:32771" "About:32778"; do
        command=${page##*:}
        local before=$(shown_windows)
        request "$folder" "command $command" >/dev/null
        dialog=$(new_window "$before") || { measured+=("${page%%:*} NOT SHOWN"); total=$((total + 1)); continue; }
        measure "${page%%:*}" "$dialog"
        if [ "$command" = 32773 ]; then
            before=$(shown_windows)
            # Keys pressed while the window is still settling can be lost: pressed again then.
            local attempt
            for attempt in 1 2 3; do
                if [ "$(shown_windows)" = "$before" ]; then
                    press "$dialog" "alt+$rhythm_key"
                    press "$dialog" "alt+$sequencer_key"
                fi
                sequencer=$(new_window "$before" 100) && break
            done
            if [ -n "$sequencer" ]; then
                measure "Step Sequencer" "$sequencer"
                close_window "$sequencer"
            else
                measured+=("Step Sequencer NOT SHOWN"); total=$((total + 1))
            fi
        fi
        close_window "$dialog"
    done
    local ended=$(finish)
    kill "$manager" "$server" 2>/dev/null; wait "$manager" "$server" 2>/dev/null
    verdict $(( ended && total == 8 && inside == total )) \
        "F11 windows with every text of de.lng repeated to 300 bytes or more, on a ${area[2]}x${area[3]} work area (Xvfb, openbox frames): $inside of $total inside ($(IFS=';'; echo "${measured[*]}" | sed 's/;/; /g')); ended on SIGTERM $([ "$ended" = 1 ] && echo yes || echo no)"
}

settings_checks() { # the settings file's faults, in the store itself (reliability_tool settings)
    local folder="$work/settings" holds text
    mkdir -p "$folder" && chmod 700 "$folder"
    while IFS=$'\t' read -r holds text; do verdict "$holds" "settings: $text"; done < <("$tool" settings "$folder")
}

language_and_rhythm_checks() { # language files and the step sequencer's grid (reliability_tool languages)
    local folder="$work/languages" holds text
    mkdir -p "$folder" && chmod 700 "$folder"
    while IFS=$'\t' read -r holds text; do verdict "$holds" "$text"; done < <("$tool" languages "$folder")
}

# --- the practice diary --------------------------------------------------------------------

diary_kill_check() { # SIGKILLs while sessions end, in bench_diary (the program's own keeper)
    local folder="$work/diary-kills" line
    mkdir -p "$folder" && chmod 700 "$folder"
    line=$("$bin/bench_diary" kills "${DIARY_KILLS:-500}" "$folder" 2>/dev/null)
    verdict $([ "${line%% *}" = ok ] && echo 1 || echo 0) "${line#* }"
}

private_pulse() { # folder: a PulseAudio null sink of its own for the copy in folder to play to;
    # its address in $pulse_address, reachable by user nobody too
    local runtime="$1/pulse-runtime" tries
    mkdir -p "$runtime" && chmod 700 "$runtime"
    XDG_RUNTIME_DIR="$runtime" HOME="$runtime" pulseaudio -n --daemonize=no --system=false --exit-idle-time=-1 \
        --disallow-exit --use-pid-file=no --disable-shm=yes --log-target=stderr \
        -L "module-null-sink sink_name=tolvane_diary rate=48000 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$runtime/native" -L module-always-sink 2>"$runtime.log" &
    pulse_server=$!
    started+=("$pulse_server")
    for tries in $(seq 100); do [ -S "$runtime/native" ] && break; sleep 0.1; done
    chmod 711 "$runtime" && chmod 666 "$runtime/native"
    pulse_address="unix:$runtime/native"
}

play_for() { # folder seconds: starts the metronome, lets it play, → 1 when it played
    request "$1" startstop >/dev/null
    sleep "$2"
    [ "$(request "$1" state | cut -d' ' -f1)" = 1 ] && echo 1 || echo 0
}

diary_check() { # sessions written when stopped and at SIGTERM, read back by --diary-csv
    local folder="$work/diary" played=0 ended
    prepare "$folder"
    mkdir -p "$folder/data"
    as=()
    private_pulse "$folder"
    launch "$folder" XDG_DATA_HOME="$folder/data" PULSE_SERVER="$pulse_address" || { verdict 0 "diary: the program did not start"; return; }
    # First a run of 5 s, too short to be kept, which also has the built-in kit prepared (the
    # first Start waits for it, about 2 s, and only playing counts); then two of 11 s.
    request "$folder" startstop >/dev/null
    sleep 5
    request "$folder" startstop >/dev/null
    sleep 1
    played=$(play_for "$folder" 11)
    request "$folder" startstop >/dev/null
    played=$(( played + $(play_for "$folder" 11) ))
    ended=$(finish TERM)
    kill "$pulse_server"; wait "$pulse_server" 2>/dev/null
    XDG_DATA_HOME="$folder/data" "$folder/tolvane" --diary-csv "$folder/diary.csv" 2>/dev/null
    local sessions=$(( $(wc -l <"$folder/diary.csv") - 1 ))
    local mode=$(stat -c '%a' "$folder/data/tolvane/diary.sqlite3" 2>/dev/null) fmode=$(stat -c '%a' "$folder/data/tolvane" 2>/dev/null)
    verdict $(( played == 2 && ended && sessions == 2 )) "diary: a run of 5 s, then two of 11 s, the last ended by SIGTERM: $sessions sessions in --diary-csv ($(tail -n +2 "$folder/diary.csv" | cut -d, -f3 | tr -d '\r' | paste -sd' ' -) s playing); file mode $mode in a folder of mode $fmode"
}

diary_fault_check() { # kind: a diary the program must leave alone, telling it once
    local folder="$work/diary-${1// /-}"
    prepare "$folder"
    local data="$folder/data"
    mkdir -p "$data/tolvane" && chmod 700 "$data" "$data/tolvane"
    local file="$data/tolvane/diary.sqlite3"
    as=()
    case $1 in
    damaged) { printf 'SQLite format 3\0'; head -c 8192 /dev/urandom; } >"$file" ;;
    newer) "$bin/bench_diary" make "$data" 3 && sqlite3 "$file" "PRAGMA user_version=7" ;;
    *)
        if [ "$(id -u)" != 0 ] || ! command -v setpriv >/dev/null; then echo "skipped diary ($1): needs root to run the program as nobody"; return; fi
        "$bin/bench_diary" make "$data" 3
        chown -R 65534:65534 "$folder"
        [ "$1" = "another user's file" ] && chown 0:0 "$file" && chmod 644 "$file"
        [ "$1" = "read-only folder" ] && chmod 500 "$data/tolvane"
        as=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$folder" XDG_CONFIG_HOME="$folder/config")
        ;;
    esac
    local before=$(hash_of "$file") entries_before=$(ls -A "$data/tolvane" | wc -l) up=0 played=0
    private_pulse "$folder"
    launch "$folder" XDG_DATA_HOME="$data" PULSE_SERVER="$pulse_address" && up=1
    # The message box is open (it holds the test requests back, as a user's window would wait
    # for OK); Start still works, and the sink shows the stream playing.
    if [ $up = 1 ] && [ "$(request "$folder" start)" = 1 ]; then
        sleep 11
        [ "$(PULSE_SERVER="$pulse_address" pactl list short sink-inputs 2>/dev/null | grep -c .)" -ge 1 ] && played=1
    fi
    local ended=$(finish)
    kill "$pulse_server"; wait "$pulse_server" 2>/dev/null
    local after=$(hash_of "$file") entries_after=$(ls -A "$data/tolvane" | wc -l)
    local told=$(grep -a -c 'goes on without it' "$folder/Tolvane.log" 2>/dev/null)
    as=()
    verdict $(( up && played && ended && told == 1 )) "diary that cannot be used ($1): started $([ $up = 1 ] && echo yes || echo no), played 11 s $([ "$played" = 1 ] && echo yes || echo no), file $([ "$before" = "$after" ] && [ "$entries_before" = "$entries_after" ] && echo "left as it was" || echo CHANGED), told $told time(s) ($(grep -a -o 'The practice diary.*' "$folder/Tolvane.log" 2>/dev/null | head -1 | sed "s|$data/||"))"
    [ "$before" = "$after" ] && [ "$entries_before" = "$entries_after" ] || failed=1
}

echo "Tolvane reliability checks ($(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores)"
# RELIABILITY_CHECKS="hangup_check path_check" runs only the checks named.
for check in ${RELIABILITY_CHECKS:-settings_checks language_and_rhythm_checks kill_check_one kill_check_two unreadable_checks duplicates_check tempo_check no_bom_check full_disk_check hangup_check display_check screen_check path_check socket_check odd_lines_check cycles_check diary_kill_check diary_check diary_fault_checks}; do
    case $check in
    kill_check_one) kill_check 1 2>/dev/null ;;
    kill_check_two) kill_check 2 2>/dev/null ;;
    unreadable_checks) for kind in "mode 000" "named pipe" "link to /dev/zero" "16 MiB + 1 byte"; do unreadable_check "$kind"; done ;;
    diary_fault_checks) for kind in damaged newer "read-only folder" "another user's file"; do diary_fault_check "$kind"; done ;;
    *) "$check" ;;
    esac
done
exit $failed
