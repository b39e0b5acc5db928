#!/bin/bash
# What a screen reader reads of Tolvane: starts the program on a private X display (Xvfb with
# openbox) with its own session bus and accessibility bus (at-spi2-core), reads the main window
# through AT-SPI (bench/AccessibilityRead.py, python3-pyatspi), opens the settings dialog (Ctrl+O)
# and reads it too. Every process it starts is its own and is ended by its id.
#
#   bench/AccessibilityCheck.sh BINARY-FOLDER
set -u
bin=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pids=()
finish() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap finish EXIT
. "$here/PrivateDesktop.sh"

mkdir -p "$work/home" "$work/run" && chmod 700 "$work/run"
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run" XDG_CONFIG_HOME="$work/home/.config"
export XDG_CACHE_HOME="$work/home/.cache"
start_private_desktop "$work"
dbus-daemon --session --fork --print-address=1 --print-pid=1 --address="unix:path=$work/run/bus" >"$work/bus"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/run/bus"
pids+=($(sed -n 2p "$work/bus"))
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
pids+=($!)
sleep 1
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 QT_QPA_PLATFORM=xcb "$bin/tolvane" >"$work/out" 2>&1 &
prog=$!
pids+=($prog)

status=0
echo "== main window"
/usr/bin/python3 "$here/AccessibilityRead.py" Tolvane 30 || status=1
window=$(xdotool search --sync --onlyvisible --pid "$prog" 2>/dev/null | head -1)
xdotool windowactivate --sync "$window" key --clearmodifiers ctrl+o 2>/dev/null
sleep 2
echo "== with the settings dialog open"
/usr/bin/python3 "$here/AccessibilityRead.py" Settings 30 || status=1
echo "verdict: $([ $status = 0 ] && echo pass || echo FAIL)"
exit $status
