#!/usr/bin/env bash
# The tray under a real X server (Xvfb) with a real tray host (trayer), the program polling the
# UPS simulator, and xdotool for the mouse:
#   - the program starts with no window, its icon embedded in the tray;
#   - the icon's tip follows the records: on mains, then on battery;
#   - with no notification service on the session bus, mains lost and back show in the tray's
#     balloon, which a click closes;
#   - a left click shows the main window with the input focus, a second click hides it;
#   - the tray still answers while the About dialog is open, Escape does not close About, and
#     closing About with OK leaves the main window shown;
#   - a right click opens the menu, a click elsewhere closes it; "Закрыть" ends the program
#     (status 0) and takes the icon out of the tray;
#   - "Закрыть" also works while the shutdown countdown shows, and then nothing is switched off
#     (the power path goes to a private bus with the logind stand-in);
#   - an open error box holds nothing up: the icon, an outage carried out on time, "Закрыть";
#   - without a tray host the window shows at once and the journal says why; a tray host that
#     comes later gets the icon, whose click hides the window; when it ends, the window is back.
#
# The tip is seen the way a user sees it: the mouse rests on the icon, the program shows its
# tool tip window, and tooltip-probe compares that window's pixels on the screen with the same
# text drawn as a tool tip by Qt on the same display. Nothing in the program exists for the test.
#
# Needs Xvfb, trayer, xdotool, xwininfo / xdpyinfo (x11-utils) and dbus-daemon, all in
# scripts/deps.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
. "$(dirname "$0")/harness.bash"
logs=(program.log)
on_failure() {
    echo "--- windows"
    xwininfo -root -tree 2>/dev/null | grep -e upszelto -e trayer
}

. "$(dirname "$0")/x_session.bash"
. "$(dirname "$0")/program_session.bash"

# The program and the probe draw on the X server; the ctest environment says offscreen.
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

start_xvfb || { cat "$work/xvfb.log"; fail "Xvfb did not start"; }
start_trayer || fail "trayer did not come up"
trayer_pid=${pids[${#pids[@]} - 1]}
panel=$(tray_panel)

start_sim
start_logind_bus

# start_program DIR SETTINGS: the program in DIR with these [UPS] lines, on the simulator's line,
# with no session bus: the tray is the X11 one.
start_program() {
    mkdir "$1"
    printf '[UPS]\n%bPorts=%s\n' "$2" "$work/ups" >"$1/UPSZelto.ini"
    (
        cd "$1"
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
        export DBUS_SYSTEM_BUS_ADDRESS="$bus"
        exec "$build/upszelto"
    ) >"$work/program.log" 2>&1 &
    program=$!
    pids+=($program)
}

# The shutdown trigger "никогда", so nothing in this part reaches the power path.
start_program "$work/run" 'CompOff=6\n'

# ---- The icon is in the tray, and no window is shown ----------------------------------------
icon_id() { xwininfo -tree -id "$panel" | awk '/\("upszelto" / {print $1; exit}'; }
icon_in_tray() { [ -n "$(icon_id)" ]; }
wait_for 15 icon_in_tray || fail "the icon never got into the tray"
icon=$(icon_id)
echo "icon $icon embedded in the tray"
main_shown() { xdotool search --onlyvisible --name '^ZELTO Homeline$'; }
! main_shown >/dev/null || fail "the main window is shown at start-up"
echo "no window at start-up"

# ---- The tip follows the records ------------------------------------------------------------
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
is_tooltip() { xprop -id "$1" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_TOOLTIP; }
# The program's windows on the screen besides the icon that carry the program's name: its tool
# tip, its balloon, its menu, and an error box when one is open.
popups() {
    local id
    for id in $(xwininfo -root -tree | awk '/"UPS Zelto": \("upszelto" / {print $1}'); do
        [ "$id" != "$icon" ] && viewable "$id" && echo "$id"
    done
}
tip_window() {
    local id
    for id in $(popups); do
        is_tooltip "$id" && { echo "$id"; return 0; }
    done
    return 1
}
no_tip() { ! tip_window; }
# The tray balloon, where notifications go when the session has no notification service: a
# tool-tip window of the program's, taller than the one-line tip.
balloon_window() {
    local id
    for id in $(popups); do
        is_tooltip "$id" && [ "$(xwininfo -id "$id" | awk '/Height:/ {print $NF}')" -gt 30 ] &&
            { echo "$id"; return 0; }
    done
    return 1
}
# expect_balloon WHAT: a balloon shows (telling WHAT) and a click closes it, as a user's would.
# It sits over the tray's corner, so it must be gone before the icon is hovered or clicked.
expect_balloon() {
    local id
    wait_for 5 balloon_window || fail "no tray balloon for $1"
    id=$(balloon_window)
    xdotool mousemove --window "$id" 30 30 click 1
    wait_for 5 sh -c "! xwininfo -id $id 2>/dev/null | grep -q IsViewable" ||
        fail "a click did not close the balloon for $1"
    echo "balloon for $1, closed by a click"
}
# The menu is the one that is neither a tip nor managed: an error box carries the same name and
# would take the click meant for the menu.
menu_window() {
    local id
    for id in $(popups); do
        is_tooltip "$id" || ! xwininfo -id "$id" | grep -q 'Override Redirect State: yes' ||
            { echo "$id"; return 0; }
    done
    return 1
}
# tip_shows TEXT: rests the mouse on the icon until the tool tip shows, then asks the probe.
tip_shows() {
    local id geometry
    xdotool mousemove 10 700
    wait_for 3 no_tip || true
    # Into the icon, then a move inside it: the tip wakes on a move over the icon.
    xdotool mousemove --window "$icon" 5 5
    sleep 0.2
    xdotool mousemove --window "$icon" 11 12
    wait_for 5 tip_window || return 2
    id=$(tip_window)
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
                                        /Width:/ {w=$NF} /Height:/ {h=$NF} END {print x, y, w, h}')
    # shellcheck disable=SC2086
    "$build/tooltip-probe" $geometry "$1" "$work" 2>/dev/null
}
# expect_tip TEXT: the tip reads TEXT within ten seconds (a record a second).
expect_tip() {
    local deadline=$((SECONDS + 10)) out=""
    while [ "$SECONDS" -lt "$deadline" ]; do
        if out=$(tip_shows "$1"); then
            echo "tip: $out"
            return 0
        fi
    done
    fail "the tip never read '$1' (last: ${out:-no tool tip})"
}

wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the program does not poll the simulator"
expect_tip "Питание от сети. Заряд батареи: 100%"
sim "drain 0"
sim "mains off"
expect_balloon "mains lost"
sim "battery 10.5"
expect_tip "Питание от UPS. Заряд батареи: 38%"
# The probe tells texts apart: the tip on the screen is no longer the mains one.
probe=0
tip_shows "Питание от сети. Заряд батареи: 100%" >/dev/null || probe=$?
[ "$probe" -eq 1 ] || fail "the probe did not see the on-battery tip as different (status $probe)"
sim "mains on"
expect_balloon "mains back"
expect_tip "Питание от сети. Заряд батареи: 100%"
xdotool mousemove 10 700

# ---- Clicks on the icon toggle the window ---------------------------------------------------
click_icon() {
    xdotool mousemove --window "$icon" 11 12 click "${1:-1}"
    # Two clicks closer together than this would make a double click.
    sleep 0.8
}
click_icon
wait_for 5 main_shown || fail "a click on the icon did not show the main window"
main=$(main_shown)
wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = \"$main\" ]" ||
    fail "the shown window did not get the input focus"
echo "a click shows the main window, with the focus"
click_icon
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^ZELTO Homeline\$"' ||
    fail "a second click did not hide the main window"
echo "a second click hides it"

# ---- The tray answers while the About dialog is open ----------------------------------------
about_shown() { xdotool search --onlyvisible --name '^About$'; }
click_icon
wait_for 5 main_shown || fail "the main window did not come back"
xdotool mousemove --window "$main" 269 236 click 1  # Button1, "О программе..."
wait_for 5 about_shown || fail "the About dialog did not open"
about=$(about_shown)
# Escape in About: neither closes it nor reaches the main window's Escape (Exit).
wait_for 5 sh -c "[ \"\$(xdotool getwindowfocus)\" = \"$about\" ]" || fail "About did not get the focus"
xdotool key Escape
sleep 0.5
viewable "$about" || fail "Escape closed About"
kill -0 "$program" 2>/dev/null || fail "Escape in About ended the program"
click_icon
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^ZELTO Homeline\$"' ||
    fail "the icon did not answer while About was open"
viewable "$about" || fail "hiding the main window closed About"
click_icon
wait_for 5 main_shown || fail "the main window did not come back under About"
xdotool mousemove --window "$about" 148 200 click 1  # OKButton
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^About\$"' || fail "OK did not close About"
sleep 0.3
main_shown >/dev/null || fail "closing About hid the main window"
echo "the tray answers under About; closing About leaves the main window shown"

# ---- The menu: closes on a click elsewhere; "Закрыть" ends the program ----------------------
click_icon 3
wait_for 5 menu_window || fail "a right click did not open the menu"
menu=$(menu_window)
xdotool mousemove 100 600 click 1
wait_for 5 sh -c "! xwininfo -id $menu 2>/dev/null | grep -q IsViewable" ||
    fail "a click elsewhere did not close the menu"
kill -0 "$program" || fail "the program ended on a click outside the menu"
echo "the menu closes on a click elsewhere"

# exit_from_menu WHEN: "Закрыть", the menu's last item, ends the program with status 0 and takes
# the icon out of the tray.
exit_from_menu() {
    local menu height
    click_icon 3
    wait_for 5 menu_window || fail "the menu did not open $1"
    menu=$(menu_window)
    height=$(xwininfo -id "$menu" | awk '/Height:/ {print $NF}')
    xdotool mousemove --window "$menu" 60 $((height - 10)) click 1  # N1
    end_program
    [ -z "$(icon_id)" ] || fail "the icon stayed in the tray after Exit $1"
}
exit_from_menu "again"
echo "\"Закрыть\" ends the program with status 0 and the icon leaves the tray"

# ---- "Закрыть" while the shutdown countdown shows -------------------------------------------
# The countdown keeps the main window out of reach only, so the tray still answers; Exit ends the
# countdown as "program ending": no UPS switch-off, no power request. This reaches the power
# path, on the private bus with the logind stand-in.

# Trigger "при отказе сети", switch the UPS off after a minute, a countdown long enough to act in.
start_program "$work/run2" 'CompOff=0\nOffUPS=1\nOFFAfter=300\n'
wait_for 15 icon_in_tray || fail "the second program's icon never got into the tray"
icon=$(icon_id)
sim "mains off"
# The main window stays hidden, so a shown window with the model caption is the countdown.
wait_for 10 main_shown || fail "no countdown on mains failure"
countdown=$(main_shown)
xwininfo -id "$countdown" | grep -q 'Width: 295$' || fail "the window shown is not the countdown"
echo "the countdown shows"
expect_balloon "mains lost, under the countdown"
exit_from_menu "while the countdown showed"
! grep -v ' Can' "$work/bus/logind.log" || fail "a power request went out"
! grep -q ' S[0-9][0-9]R0000$' "$work/commands.log" || fail "the UPS was told to switch off"
echo "\"Закрыть\" under the countdown ends the program with no switch-off and no power request"

# ---- An open error box holds nothing up ---------------------------------------------------------
# The port named by a bad number opens an error box at start-up (the first port is used). While
# it is open, the icon shows the window, an outage is counted down and carried out on time (the
# UPS told within the one-second countdown and two ticks of the failure), and "Закрыть" ends the
# program.
sim "mains on"
start_program "$work/run4" 'COMPort=x\nCompOff=0\nOffUPS=1\nOffMethod=1\nOFFAfter=1\n'
box_shown() { xdotool search --onlyvisible --name '^UPS Zelto$'; }
wait_for 10 box_shown || fail "no error box for the bad port number"
wait_for 15 icon_in_tray || fail "the icon never got into the tray under the error box"
icon=$(icon_id)
click_icon
wait_for 5 main_shown || fail "a click on the icon did not show the window under the error box"
mark=$(wc -l <"$work/commands.log")
sim "mains off"
expect_balloon "mains lost, under the error box"
wait_for 6 sh -c "tail -n +$((mark + 1)) '$work/commands.log' | grep -q ' S01R0000\$'" ||
    fail "the UPS was not told to switch off under the error box"
at() { date -d "$(tail -n +$((mark + 1)) "$work/commands.log" | grep -m1 -E "$1" | cut -d' ' -f1)" +%s.%N; }
took=$(awk -v a="$(at ' # mains off$')" -v b="$(at ' S01R0000$')" 'BEGIN { printf "%.1f", b - a }')
echo "mains failure to S01R0000 with OFFAfter=1: ${took} s"
awk -v t="$took" 'BEGIN { exit !(t <= 3) }' || fail "the UPS command came ${took} s after the failure"
wait_for 5 grep -q 'Hibernate' "$work/bus/logind.log" || fail "no hibernate request under the error box"
sim "mains on"
expect_balloon "mains back, under the error box"
box_shown >/dev/null || fail "the error box went away by itself"
exit_from_menu "under the error box"
echo "under an open error box the icon, the countdown, the switch-off and \"Закрыть\" all work"

# ---- No tray host -----------------------------------------------------------------------------
end_trayer() {
    kill -TERM "$trayer_pid"
    wait "$trayer_pid" 2>/dev/null || true
    wait_for 5 sh -c '! xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"'
}
end_trayer || fail "trayer did not end"
start_program "$work/run3" 'CompOff=6\n'
wait_for 10 main_shown || fail "no tray host, and no window either"
wait_for 5 grep -q ' tray-missing$' "$work/run3/UPSZelto.log" ||
    fail "the journal does not say why the window stays: $(cat "$work/run3/UPSZelto.log")"
echo "without a tray host the window shows at once, and the journal says why"

start_trayer || fail "trayer did not come up again"
trayer_pid=${pids[${#pids[@]} - 1]}
panel=$(tray_panel)
wait_for 15 icon_in_tray || fail "the icon did not go into a tray host that came later"
icon=$(icon_id)
click_icon
wait_for 5 sh -c '! xdotool search --onlyvisible --name "^ZELTO Homeline$"' ||
    fail "with the icon in the tray, a click did not hide the window"
echo "a tray host that comes later gets the icon, and its click hides the window"

end_trayer || fail "trayer did not end"
wait_for 5 main_shown || fail "the window did not come back when the tray host ended"
kill -TERM "$program"
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "when the tray host ends, the window comes back"
