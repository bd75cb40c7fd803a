#!/usr/bin/env bash
# The program as a native Wayland client in a real compositor, Debian's sway run headless, with
# waybar's tray as the StatusNotifierItem host (waybar registers org.kde.StatusNotifierWatcher on
# the test's own session bus):
#   - the item: its title, its tool tip and picture following the records, the menu's entries as
#     com.canonical.dbusmenu gives them;
#   - Activate shows the main window in front with the keyboard, and hides it again;
#   - the countdown comes up in front with the keyboard, and Escape (typed through the
#     compositor) cancels it;
#   - "Журнал" chosen in the menu opens the journal window; "Закрыть" ends the program with
#     status 0 and takes the item away;
#   - without a tray host the window shows at once, and "О программе..." clicked opens the About
#     box in front; a host that starts after the program gets the item, whose Activate hides the
#     window, and the window comes back when the host goes;
#   - a screenshot (grim) of the tray and the window at a scale of 2, build/sni-tray.png, for a
#     person to look at: the window's pictures drawn with twice the pixels.
# sway refuses to run as root, so as root the test runs as an ordinary user it makes (zelto-sway).
# The power path goes to a private bus with the logind stand-in, and the one countdown is cancelled.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
user=zelto-sway

if [ "${1:-}" != --inner ]; then
    . "$(dirname "$0")/harness.bash"
    runner=()
    if [ "$(id -u)" -eq 0 ]; then
        id "$user" >/dev/null 2>&1 || useradd --system --create-home "$user"
        chown "$user" "$work"
        runner=(runuser -u "$user" --)
    fi
    # Sanitizer reports go to a folder the user may write; they are handed on afterwards.
    reports=()
    for var in ASAN_OPTIONS UBSAN_OPTIONS; do
        value=${!var:-}
        if [[ $value =~ log_path=([^:]+) ]]; then
            reports+=("$(dirname "${BASH_REMATCH[1]}")")
            mkdir -p "$work/reports"
            export "$var=${value/log_path=${BASH_REMATCH[1]}/log_path=$work/reports/${BASH_REMATCH[1]##*/}}"
        fi
    done
    [ ${#reports[@]} -eq 0 ] || chown "$user" "$work/reports" 2>/dev/null || true
    # Leaks are looked for everywhere else, on X11 and offscreen. Qt's Wayland platform and the
    # client libraries keep allocations until the process ends, some from modules already gone
    # by then, which no suppression can name; memory errors are still caught here.
    [ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
    # The user may not reach the checkout or the build (under a home folder of root's, say): what
    # the run needs is copied where it may.
    source_dir=${ZELTO_SOURCE_DIR:?}
    mkdir -p "$work/bin" "$work/src/tests/scripts" "$work/src/tools/logind-standin"
    cp "$build/upszelto" "$build/ups-sim" "$build/logind-standin" "$work/bin/"
    cp "$source_dir"/tests/scripts/{sni_sway.sh,harness.bash,x_session.bash,program_session.bash} \
        "$work/src/tests/scripts/"
    cp "$source_dir/tools/logind-standin/private-bus.conf.in" "$work/src/tools/logind-standin/"
    chown -R "$user" "$work/bin" "$work/src" 2>/dev/null || true
    status=0
    "${runner[@]}" env ZELTO_BUILD_DIR="$work/bin" ZELTO_SOURCE_DIR="$work/src" \
        bash "$work/src/tests/scripts/sni_sway.sh" --inner "$work" || status=$?
    [ ! -s "$work/shot.png" ] || cp "$work/shot.png" "$build/sni-tray.png"
    if [ ${#reports[@]} -gt 0 ] && [ -n "$(ls -A "$work/reports" 2>/dev/null)" ]; then
        cp "$work"/reports/* "${reports[0]}/"
    fi
    exit "$status"
fi

# The outer run owns the folder and removes it.
harness_work=$2 harness_keep=1
. "$(dirname "$0")/harness.bash"
logs=(program.log sway.log waybar.log wayvnc.log)
. "$(dirname "$0")/x_session.bash"
. "$(dirname "$0")/program_session.bash"

export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/session-bus
dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork --nopidfile \
    >"$work/dbus.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$work/session-bus" || fail "the session bus did not start"

# sway with nothing but one headless output, drawn in memory at a scale of 2; no bar of its own.
printf 'output HEADLESS-1 resolution 2048x1536 scale 2\n' >"$work/sway.conf"
WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
pids+=($!)
wayland_up() { ls "$XDG_RUNTIME_DIR"/wayland-* && ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock; }
wait_for 15 wayland_up || fail "sway did not come up"
WAYLAND_DISPLAY=$(basename "$(ls "$XDG_RUNTIME_DIR"/wayland-* | grep -v lock | head -n 1)")
SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock | head -n 1)
export WAYLAND_DISPLAY SWAYSOCK
unset DISPLAY

bus_call() { dbus-send --session --print-reply "$@"; }
watcher_up() {
    bus_call --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListNames |
        grep -q '"org.kde.StatusNotifierWatcher"'
}
start_waybar() {
    printf '{"layer": "top", "height": 26, "modules-right": ["tray"], "tray": {"icon-size": 18}}\n' \
        >"$work/waybar.json"
    waybar -c "$work/waybar.json" >"$work/waybar.log" 2>&1 &
    waybar_pid=$!
    pids+=($waybar_pid)
    wait_for 15 watcher_up
}
end_waybar() {
    kill -TERM "$waybar_pid"
    wait "$waybar_pid" 2>/dev/null || true
    wait_for 5 sh -c '! dbus-send --session --print-reply --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.ListNames | grep -q StatusNotifierWatcher'
}

start_sim
start_logind_bus

# start_program DIR INI: the program in DIR as a Wayland client.
start_program() {
    mkdir -p "$1"
    printf '%b' "$2" >"$1/UPSZelto.ini"
    (
        cd "$1"
        exec env QT_QPA_PLATFORM=wayland DBUS_SYSTEM_BUS_ADDRESS="$bus" \
            "$build/upszelto"
    ) >"$work/program.log" 2>&1 &
    program=$!
    pids+=($program)
}

# The windows sway shows: "name width focused" a line (the width with sway's borders).
windows() {
    swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(node):
    if node.get("type") in ("con", "floating_con") and node.get("name") and node.get("visible"):
        print(node["name"], node["rect"]["width"], "focused" if node.get("focused") else "-")
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))'
}
main_shown() { windows | grep -q '^ZELTO Homeline 413 '; }
main_focused() { windows | grep -q '^ZELTO Homeline 413 focused$'; }

# ---- The item in the tray ---------------------------------------------------------------------
start_waybar || fail "waybar did not register a StatusNotifierWatcher"
start_program "$work/run" "[UPS]\nCompOff=6\nPorts=$work/ups\n"
items() {
    bus_call --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
        string:RegisteredStatusNotifierItems | sed -nE 's/.*string "([^"]+)".*/\1/p'
}
wait_for 15 sh -c "[ -n \"\$(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems | grep string)\" ]" || fail "no item registered"
item=$(items | head -n 1)
service=${item%%/*}
path=/${item#*/}
property() {
    bus_call --dest="$service" "$path" org.freedesktop.DBus.Properties.Get \
        string:org.kde.StatusNotifierItem "string:$1"
}
main_shown && fail "the main window is shown at start-up with a tray there"
property Title | grep -q 'string "UPS Zelto"' || fail "the item's title: $(property Title)"
tip_is() { property ToolTip | grep -qF "string \"$1\""; }
wait_for 10 tip_is "Питание от сети. Заряд батареи: 100%" ||
    fail "the tip on mains: $(property ToolTip)"
picture() { property IconPixmap | md5sum; }
on_mains=$(picture)
sim "mains off"
wait_for 10 tip_is "Питание от UPS. Заряд батареи: 100%" ||
    fail "the tip on battery: $(property ToolTip)"
[ "$(picture)" != "$on_mains" ] || fail "the item's picture stayed the same on battery"
sim "mains on"
menu=$(property Menu | sed -nE 's/.*object path "([^"]+)".*/\1/p')
layout() { bus_call --dest="$service" "$menu" com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string:; }
labels=$(layout | grep -A1 'string "label"' | sed -nE 's/.*variant +string "(.*)"$/\1/p' | tr '\n' '|')
[ "$labels" = "Открыть / скрыть|Журнал|Закрыть|" ] || fail "the menu's entries: $labels"
echo "the item: its title, its tip and picture following the records, the menu's entries"

# ---- Activate shows and hides the window ------------------------------------------------------
bus_call --dest="$service" "$path" org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null
wait_for 5 main_focused || fail "Activate did not show the main window with the keyboard: $(windows)"
grim "$work/shot.png" || fail "grim took no screenshot"
bus_call --dest="$service" "$path" org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null
wait_for 5 sh -c '! swaymsg -t get_tree | grep -q "\"name\": \"ZELTO Homeline\""' ||
    fail "a second Activate did not hide the window: $(windows)"
echo "Activate shows the main window in front and hides it again"

# ---- "Журнал" and "Закрыть" from the menu -----------------------------------------------------
# choose LABEL: clicks the menu entry, whose id is the last one given before its label.
choose() {
    local id
    id=$(layout | awk -v label="string \"$1\"" '/^ *int32 [0-9]+$/ {id = $2} index($0, label) {print id; exit}')
    [ -n "$id" ] || fail "no id for \"$1\" in the menu"
    bus_call --dest="$service" "$menu" com.canonical.dbusmenu.Event "int32:$id" string:clicked \
        variant:int32:0 uint32:0 >/dev/null
}
choose "Журнал"
wait_for 5 bash -c "$(declare -f windows); windows | grep -q '^Журнал '" ||
    fail "\"Журнал\" from the menu opened no window: $(windows)"
echo "\"Журнал\" from the menu opens the journal window"
choose "Закрыть"
end_program
wait_for 5 sh -c "[ -z \"\$(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems | grep string)\" ]" || fail "the item stayed after Exit"
echo "\"Закрыть\" in the menu ends the program with status 0 and takes the item away"

# ---- The countdown in front, Escape cancels it ------------------------------------------------
start_program "$work/run2" "[UPS]\nCompOff=0\nOFFAfter=300\nPorts=$work/ups\n"
wait_for 15 sh -c "dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems | grep -q string" || fail "no item for the second program"
wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the second program does not poll"
sim "mains off"
# With sway's borders: the countdown is 295 wide inside, the main window 409.
countdown_focused() { windows | grep -q '^ZELTO Homeline 299 focused$'; }
wait_for 10 countdown_focused || fail "the countdown is not in front with the keyboard: $(windows)"
# A keyboard made for the occasion: its keymap must reach the program before the key does.
wtype -s 300 -k Escape
wait_for 5 grep -q ' countdown-cancelled .*by=user' "$work/run2/UPSZelto.log" ||
    fail "Escape did not cancel the countdown: $(cat "$work/run2/UPSZelto.log"; windows)"
sim "mains on"
kill -TERM "$program"
end_program
echo "the countdown comes up in front with the keyboard, and Escape cancels it"

# ---- No tray host: the window shows at once; a host that comes later gets the item -----------
end_waybar || fail "waybar did not end"
start_program "$work/run3" "[UPS]\nCompOff=6\nPorts=$work/ups\n"
wait_for 10 main_shown || fail "no tray host, and no window either: $(windows)"
echo "without a tray host the window shows at once"

# "О программе..." clicked through the compositor opens the About box. The compositor's seat has
# no pointer of its own: wayvnc, on a socket of the test's, lends it one, driven over RFB.
wayvnc -u "$work/vnc.sock" >"$work/wayvnc.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$work/vnc.sock" || fail "wayvnc did not start: $(cat "$work/wayvnc.log")"
# click X Y: a press and release of the left button at X, Y of the screen's layout.
click() {
    python3 - "$work/vnc.sock" "$1" "$2" <<'RFB'
import socket, struct, sys, time
vnc = socket.socket(socket.AF_UNIX)
vnc.connect(sys.argv[1])
def read(n):
    data = b""
    while len(data) < n:
        more = vnc.recv(n - len(data))
        if not more:
            sys.exit("wayvnc closed the connection")
        data += more
    return data
vnc.sendall(read(12)[:12])  # the same protocol version back
kinds = read(read(1)[0])
if 1 not in kinds:
    sys.exit("wayvnc offers no connection without a password: %r" % kinds)
vnc.sendall(b"\x01")
if struct.unpack(">I", read(4))[0] != 0:
    sys.exit("wayvnc refused the connection")
vnc.sendall(b"\x01")  # shared
width, height = struct.unpack(">HH", read(4))
read(16)
read(struct.unpack(">I", read(4))[0])
# The frame is the output's pixels, twice the layout's at a scale of 2.
x, y = int(sys.argv[2]) * 2, int(sys.argv[3]) * 2
for mask in (0, 1, 0):
    vnc.sendall(struct.pack(">BBHH", 5, mask, x, y))
    time.sleep(0.2)
RFB
}
# origin NAME: where the inside of the window NAME begins on the screen's layout.
origin() {
    swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(node):
    if node.get("name") == sys.argv[1]:
        print(node["rect"]["x"] + node["window_rect"]["x"], node["rect"]["y"] + node["window_rect"]["y"])
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        walk(child)
walk(json.load(sys.stdin))' "$1" | head -n 1
}
read -r x y < <(origin "ZELTO Homeline")
click $((x + 269)) $((y + 236)) || fail "the click through wayvnc failed"
wait_for 5 bash -c "$(declare -f windows); windows | grep -q '^About .* focused$'" ||
    fail "\"О программе...\" opened no About box in front: $(windows)"
read -r x y < <(origin About)
click $((x + 148)) $((y + 200)) || fail "the click through wayvnc failed"
wait_for 5 bash -c "$(declare -f windows); ! windows | grep -q '^About '" ||
    fail "OK left the About box open: $(windows)"
echo "\"О программе...\" opens the About box in front, and its OK closes it"

start_waybar || fail "waybar did not start again"
wait_for 10 sh -c "dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems | grep -q string" ||
    fail "a tray host that came after the program got no item"
item=$(items | head -n 1)
service=${item%%/*}
path=/${item#*/}
bus_call --dest="$service" "$path" org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null
wait_for 5 sh -c '! swaymsg -t get_tree | grep -q "\"name\": \"ZELTO Homeline\""' ||
    fail "Activate on the late item did not hide the window: $(windows)"
echo "a tray host that comes after the program gets the item, and Activate hides the window"
end_waybar || fail "waybar did not end"
wait_for 10 main_shown || fail "the tray host went, and the hidden window did not come back: $(windows)"
echo "the tray host going brings the window back"
kill -TERM "$program"
end_program
