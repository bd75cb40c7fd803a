# Sourced by the tests and the demo that need a real X server: a private Xvfb on a display
# nobody uses and trayer as the tray host.
#
# Needs tests/scripts/harness.bash sourced before it.

# A private Xvfb on a free display (90 + PID % 100, or the next free one); sets DISPLAY. It keeps
# running as it is when its last client goes (a test may end the tray host between programs).
start_xvfb() {
    local display=$((90 + $$ % 100)) xvfb
    for _ in $(seq 20); do
        while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
            display=$((display + 1))
        done
        Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb=$!
        # Xvfb refuses a display in use at once; still running a moment later, it is ours.
        if wait_for 10 env DISPLAY=":$display" xdpyinfo && sleep 0.3 && kill -0 "$xvfb" 2>/dev/null; then
            pids+=("$xvfb")
            export DISPLAY=:$display
            return 0
        fi
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
        display=$((display + 1))
    done
    return 1
}

# trayer as the tray host, docked at the top right.
tray_panel() { xwininfo -root -tree | awk '/\("panel" "trayer"\)/ {print $1; exit}'; }
tray_panel_up() { [ -n "$(tray_panel)" ]; }
start_trayer() {
    trayer --SetDockType true --edge top --align right --widthtype request \
        >"$work/trayer.log" 2>&1 &
    pids+=($!)
    wait_for 10 tray_panel_up
}
