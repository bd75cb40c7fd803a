#!/usr/bin/env bash
# One copy per user, with the real program under a real X server (Xvfb):
#   - a second start beside a running first ends at once with status 0, touching neither the
#     port nor its settings file (no journal either), and the first's main window shows;
#   - a copy killed outright leaves its lock and socket behind, and the next start takes them
#     over and polls the UPS.
# Both copies share a private runtime folder (XDG_RUNTIME_DIR), where the lock and the socket
# are; the settings name the simulator's pseudo-terminal, and the power path points at no bus.
#
# Needs Xvfb, trayer, xdotool and x11-utils (xdpyinfo), all in scripts/deps.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
. "$(dirname "$0")/harness.bash"
logs=('*/program.log')

. "$(dirname "$0")/x_session.bash"
. "$(dirname "$0")/program_session.bash"

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus"

start_xvfb || fail "Xvfb did not start"
# With a tray, the program starts hidden in it: the window showing is then the second start's doing.
start_trayer || fail "trayer did not come up"

"$build/ups-sim" --log "$work/sim.log" "$work/ups" </dev/null >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for 10 test -e "$work/ups" || fail "ups-sim did not make its link"
queries() { local n; n=$(grep -c ' Q1$' "$work/sim.log" 2>/dev/null) || true; echo "${n:-0}"; }

# start NAME: the program in $work/NAME with the simulator as its port ("никогда"); sets $program.
start() {
    mkdir -p "$work/$1"
    [ -e "$work/$1/UPSZelto.ini" ] ||
        printf '[UPS]\r\nCompOff=6\r\nPorts=%s\r\nCOMPort=0\r\n' "$work/ups" >"$work/$1/UPSZelto.ini"
    (cd "$work/$1" && exec "$build/upszelto") >"$work/$1/program.log" 2>&1 &
    program=$!
    pids+=($program)
}
main_shown() { xdotool search --onlyvisible --name '^ZELTO Homeline$'; }

# ---- A second start beside the first -------------------------------------------------------
start first
first=$program
wait_for 15 grep -q ' Q1$' "$work/sim.log" || fail "the first copy does not poll"
wait_for 5 test -S "$XDG_RUNTIME_DIR/upszelto.socket" || fail "the first copy does not listen"
! main_shown || fail "the main window is shown at start-up"

start second
second=$program
cp "$work/second/UPSZelto.ini" "$work/second.ini"
began=$SECONDS
ends_well "$second" 5 "the second copy"
echo "the second copy ended with status 0 after $((SECONDS - began)) s or less"
cmp -s "$work/second.ini" "$work/second/UPSZelto.ini" || fail "the second copy changed its settings"
[ ! -e "$work/second/UPSZelto.log" ] || fail "the second copy wrote a journal"
wait_for 5 main_shown || fail "the first copy's main window did not show"
kill -0 "$first" || fail "the first copy ended"
echo "the first copy's main window shows"

# ---- A copy killed outright: its lock is taken over -----------------------------------------
kill -KILL "$first"
wait "$first" 2>/dev/null || true
[ -e "$XDG_RUNTIME_DIR/upszelto.lock" ] || fail "no lock was left behind to take over"
before=$(queries)
start third
third=$program
more_queries() { [ "$(queries)" -gt $((before + 2)) ]; }
wait_for 15 more_queries || fail "the copy started after a killed one does not poll"
kill -0 "$third" || fail "the copy started after a killed one ended"
grep -q ' start$' "$work/third/UPSZelto.log" || fail "the copy after a killed one wrote no start"
echo "a lock left by a killed copy is taken over"
kill -TERM "$third"
status=0
wait "$third" || status=$?
[ "$status" -eq 0 ] || fail "the third copy ended with status $status"
[ ! -e "$XDG_RUNTIME_DIR/upszelto.lock" ] || fail "the lock stayed after an orderly end"
echo "an orderly end leaves no lock"
