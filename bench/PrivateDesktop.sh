# Sourced by the scripts that drive the real window: a private X display (Xvfb, 1280 x 800)
# with openbox, so that windows get frames and focus as on a desktop. Their process ids go
# into the caller's pids array, for it to end them by id.
start_private_desktop() { # work-folder: DISPLAY is exported
    exec 3>"$1/display"
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null &
    pids+=($!)
    until [ -s "$1/display" ]; do sleep 0.1; done
    export DISPLAY=:$(cat "$1/display")
    openbox >/dev/null 2>&1 &
    pids+=($!)
}
