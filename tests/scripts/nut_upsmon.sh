#!/usr/bin/env bash
# Debian's upsmon as a secondary of this program, with a private configuration whose shutdown
# command only touches a file: it logs in, follows on battery and back, is left alone by a
# cancelled countdown, and shuts down when this program commits its shutdown, before this
# program's UPS command and power request (taken by the logind stand-in on a private bus).
. "$(dirname "$0")/nut_rig.bash"

[ "$(id -u)" = 0 ] || { echo "upsmon runs as root here; skipped"; exit 0; }
[ -x "$upsmon_binary" ] || { echo "no $upsmon_binary: install nut-client"; exit 1; }

start_private_bus

start_primary

# ---- upsmon, secondary, everything in the temporary folder -------------------------------------
mon=$work/upsmon
mkdir "$mon"
cat >"$mon/notify.sh" <<EOF
#!/bin/sh
echo "\$(date +%s%3N) \$NOTIFYTYPE" >>"$mon/events"
EOF
chmod +x "$mon/notify.sh"
{
    echo "RUN_AS_USER root"
    echo "MONITOR $ups 1 monuser s3cret secondary"
    echo "MINSUPPLIES 1"
    # Never a real shutdown: the command only leaves a file behind.
    echo "SHUTDOWNCMD \"/bin/touch $mon/shutdown-called\""
    echo "NOTIFYCMD $mon/notify.sh"
    for event in ONLINE ONBATT LOWBATT FSD COMMOK COMMBAD SHUTDOWN NOCOMM; do
        echo "NOTIFYFLAG $event EXEC"
    done
    echo "POLLFREQ 1"
    echo "POLLFREQALERT 1"
    echo "HOSTSYNC 15"
    echo "DEADTIME 10"
    echo "FINALDELAY 0"
    echo "POWERDOWNFLAG $mon/killpower"
} >"$mon/upsmon.conf"
chmod 600 "$mon/upsmon.conf"
# upsmon 2.8.0 refuses to start while the PID file in /run/nut names a live upsmon, and writes
# its own there: in a mount namespace of its own, that folder is an empty one of its own.
# -p: one privileged process; -D -D: foreground, with debug output.
NUT_CONFPATH=$mon NUT_STATEPATH=$mon NUT_ALTPIDPATH=$mon unshare -m sh -c \
    'if [ -d /run/nut ]; then mount -t tmpfs tmpfs /run/nut; fi; exec "$0" -p -D -D' \
    "$upsmon_binary" >"$mon/upsmon.log" 2>&1 &
upsmon_pid=$!
pids+=("$upsmon_pid")

events() { cut -d' ' -f2 "$mon/events" 2>/dev/null | tr '\n' ' '; }
event_ms() { grep " $1\$" "$mon/events" 2>/dev/null | head -n 1 | cut -d' ' -f1; }
has_event() { grep -q " $1\$" "$mon/events" 2>/dev/null; }

if wait_until 50 sh -c "upsc -c '$ups' 2>/dev/null | grep -qx 127.0.0.1"; then
    pass "upsmon logged in"
else
    fail "upsmon did not log in: $(tail -n 20 "$mon/upsmon.log")"
fi
# Its debug output shows each status it polled.
wait_until 50 grep -q 'parse_status: \[OL\]' "$mon/upsmon.log" && pass "upsmon reads OL" ||
    fail "upsmon never read OL: $(tail -n 20 "$mon/upsmon.log")"

# ---- An outage cut short: on battery and back, the countdown cancelled --------------------------
sim mains off
wait_until 60 has_event ONBATT && pass "ONBATT" || fail "no ONBATT: $(events)"
sim mains on
wait_until 60 has_event ONLINE && pass "ONLINE" || fail "no ONLINE: $(events)"
# Past the countdown's end, had it gone on.
sleep 5
if [ -e "$mon/shutdown-called" ] || has_event FSD || power_requests | grep -q .; then
    fail "a cancelled countdown reached the secondary or the power: $(events)"
else
    pass "the cancelled countdown sent nobody down"
fi

# ---- The outage that goes through --------------------------------------------------------------
off_ms=$(now_ms)
sim mains off
if wait_until 300 eval 'power_requests | grep -q " Hibernate "'; then
    pass "the program requested hibernation"
else
    fail "no power request: $(events)"
fi
sleep 1
file_ms=$( [ -e "$mon/shutdown-called" ] && stat -c %.3Y "$mon/shutdown-called" | tr -d . || echo 0)
fsd_ms=$(event_ms FSD)
call_line=$(power_requests | grep " Hibernate " | head -n 1)
call_ms=$(iso_ms "${call_line%% *}")
switch_line=$(grep ' S01R0000$' "$work/sim.log" | head -n 1 || true)
switch_ms=$([ -n "$switch_line" ] && iso_ms "${switch_line%% *}" || echo 0)
echo "mains off $off_ms, FSD seen $fsd_ms, shutdown command $file_ms, UPS command $switch_ms," \
    "power request $call_ms; events: $(events)"

[ "$file_ms" -gt 0 ] && pass "upsmon ran its shutdown command" || fail "no shutdown command"
[ -n "$fsd_ms" ] && [ $((fsd_ms - off_ms)) -ge 6000 ] &&
    pass "FSD only after the countdown ($((fsd_ms - off_ms)) ms after mains failed)" ||
    fail "FSD too early or never: '$fsd_ms'"
has_event SHUTDOWN && pass "SHUTDOWN notified" || fail "no SHUTDOWN event"
[ "$file_ms" -gt 0 ] && [ "$file_ms" -le "$call_ms" ] &&
    pass "the secondary shut down before the power request ($((call_ms - file_ms)) ms)" ||
    fail "power request before the secondary's shutdown"
[ "$switch_ms" -gt 0 ] && [ "$file_ms" -le "$switch_ms" ] &&
    pass "and before the UPS command" || fail "UPS command before the secondary's shutdown"
# The secondary went at once, so the wait ended long before its 15 seconds.
[ $((call_ms - file_ms)) -lt 3000 ] && pass "the wait ended when the secondary had gone" ||
    fail "the wait ran on after the secondary had gone"
wait_until 50 sh -c "! kill -0 $upsmon_pid 2>/dev/null" && pass "upsmon exited" ||
    fail "upsmon still running"
run upsc -c "$ups"
[ -z "$out" ] && pass "no login left" || fail "logins left: '$out'"
run upsc "$ups" ups.status
[ "$out" = "FSD OB LB" ] && pass "ups.status $out" || fail "ups.status '$out'"
kill -0 "$program_pid" 2>/dev/null && pass "the program still runs" || fail "the program died"

if [ "$failures" -gt 0 ]; then
    echo "--- the UPS's events and commands other than Q1:"
    grep -v ' Q1$' "$work/sim.log" || true
    echo "--- upsmon's notifications:"
    cat "$mon/events" || true
    echo "--- logind stand-in:"
    cat "$logind_log" || true
    echo "--- upsmon's log, last lines:"
    tail -n 60 "$mon/upsmon.log" || true
fi
finish
