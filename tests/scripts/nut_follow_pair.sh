#!/usr/bin/env bash
# Two copies of the program as a pair, and a third: the first on the UPS's serial port with its
# NUT server on, the others following it over the network. One follows the trigger "при отказе
# сети" and goes down on its own countdown, logging out first; the other has "никогда" and goes
# down only when the first sets FSD. The first waits for both before its UPS command and power
# request. Power requests reach the logind stand-in on a private bus; each copy asks for another
# method, so its log says who asked when.
. "$(dirname "$0")/nut_rig.bash"

start_private_bus
request_ms() {
    local line
    line=$(grep -E "^[^ ]+ $1 " "$logind_log" 2>/dev/null | head -n 1)
    [ -n "$line" ] && iso_ms "${line%% *}"
}

start_primary

# A follower in a folder and runtime folder of its own: settings lines $2 (CRLF added).
start_follower() {
    local name=$1
    mkdir -p "$work/$name" "$work/$name-runtime"
    chmod 700 "$work/$name-runtime"
    printf '[UPS]\r\nPorts=%s\r\nCOMPort=0\r\nNUTUser=monuser\r\nNUTPassword=s3cret\r\n' "$ups" \
        >"$work/$name/UPSZelto.ini"
    printf '%s\n' "$2" | sed 's/$/\r/' >>"$work/$name/UPSZelto.ini"
    (cd "$work/$name" && exec env XDG_RUNTIME_DIR="$work/$name-runtime" \
        "$build/upszelto" >"$work/$name.log" 2>&1) &
    pids+=($!)
}
journal_has() { grep -q " $2" "$work/$1/UPSZelto.log" 2>/dev/null; }

# "при отказе сети", stand-by, a three-second countdown. OffUPS is set, and must never be used.
start_follower early "CompOff=0
OffMethod=2
OffUPS=1
OFFAfter=3"
# "никогда", power off, two seconds.
start_follower late "CompOff=6
OffMethod=0
OffUPS=1
OFFAfter=2"
logins() { upsc -c "$ups" 2>/dev/null | grep -c 127.0.0.1; }
if wait_until 100 eval '[ "$(logins)" = 2 ]'; then
    pass "both followers logged in to the primary"
else
    fail "logins: $(logins)"
fi
wait_until 50 journal_has early "link-back\|start" || true

off_ms=$(now_ms)
sim mains off
wait_until 50 sh -c "upsc '$ups' ups.status 2>/dev/null | grep -qw OB" || fail "the server never said OB"
ob_ms=$(now_ms)
if wait_until 50 journal_has early countdown-started; then
    shown_ms=$(now_ms)
    pass "OB at the server to the follower's countdown: $((shown_ms - ob_ms)) ms"
    [ $((shown_ms - ob_ms)) -le 2000 ] || fail "the countdown came after more than 2 s"
else
    fail "the follower never counted down: $(cat "$work/early/UPSZelto.log")"
fi
journal_has late countdown-started && fail "the follower under \"никогда\" counted down on OB"

if wait_until 300 eval 'request_ms Hibernate >/dev/null'; then
    pass "the primary requested hibernation"
else
    fail "no hibernation request: $(cat "$logind_log")"
fi
sleep 1
suspend_ms=$(request_ms Suspend || echo 0)
poweroff_ms=$(request_ms PowerOff || echo 0)
hibernate_ms=$(request_ms Hibernate || echo 0)
switch_line=$(grep ' S01R0000$' "$work/sim.log" | head -n 1 || true)
switch_ms=$([ -n "$switch_line" ] && iso_ms "${switch_line%% *}" || echo 0)
fsd_line=$(grep ' countdown-started' "$work/late/UPSZelto.log" | head -n 1 || true)
echo "mains off $off_ms, OB at the server $ob_ms, stand-by $suspend_ms, power off $poweroff_ms," \
    "UPS command $switch_ms, hibernate $hibernate_ms"
[ "$suspend_ms" -gt 0 ] && pass "the first follower went down on its own countdown" ||
    fail "no stand-by request"
[ -n "$fsd_line" ] && [ "$poweroff_ms" -gt 0 ] &&
    pass "FSD sent the follower under \"никогда\" down" || fail "no power off after FSD"
[ "$poweroff_ms" -gt 0 ] && [ "$switch_ms" -ge "$poweroff_ms" ] && [ "$hibernate_ms" -ge "$switch_ms" ] &&
    pass "the primary waited for its followers: UPS command and hibernation after them" ||
    fail "the primary did not wait for its followers"
[ "$switch_ms" -gt 0 ] && [ $((switch_ms - poweroff_ms)) -lt 3000 ] &&
    pass "the wait ended when the last follower had logged out ($((switch_ms - poweroff_ms)) ms)" ||
    fail "the wait ran on after the followers had gone"
[ "$(grep -c ' S0' "$work/sim.log")" = 1 ] && pass "only the primary commanded the UPS" ||
    fail "the UPS got $(grep -c ' S0' "$work/sim.log") switch-off commands"
for name in early late; do
    grep -q 's3cret' "$work/$name/UPSZelto.log" "$work/$name.log" &&
        fail "the password is in $name's journal or output"
done
[ "$(logins)" = 0 ] && pass "no login left" || fail "logins left: $(logins)"

if [ "$failures" -gt 0 ]; then
    for name in early late; do
        echo "--- $name's journal and output:"
        cat "$work/$name/UPSZelto.log" "$work/$name.log" || true
    done
    echo "--- logind stand-in:"
    cat "$logind_log" || true
fi
finish
