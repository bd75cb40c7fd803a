#!/usr/bin/env bash
# The program following a UPS that Debian's upsd serves (the dummy-ups driver, scripted through
# its data file), on loopback: the login, each way the shutdown starts (a charge trigger, FSD
# under "никогда", "OB LB" without FSD, a server last seen on battery gone silent) and each way it
# does not (an unknown charge, a server gone while on mains, a wrong UPS name), a refused login
# told once, and the server stopped and started again. Each phase is a fresh start of the
# program; its power requests reach the logind stand-in on a private bus.
. "$(dirname "$0")/nut_rig.bash"
. "$(dirname "$0")/nut_upsd_rig.bash"

start_private_bus
requests() { power_requests | grep -c . || true; }

start_upsd remote

# The program in $work/follow, following $1 with password $2 and the [UPS] lines $3.
phase=0
follow() {
    phase=$((phase + 1))
    [ -z "${follower_pid:-}" ] || { kill "$follower_pid"; wait "$follower_pid" 2>/dev/null || true; }
    rm -rf "$work/follow"
    mkdir -p "$work/follow"
    {
        printf '[UPS]\r\nPorts=%s\r\nCOMPort=0\r\nNUTUser=follower\r\nNUTPassword=%s\r\n' "$1" "$2"
        printf '%s\n' "$3" | sed 's/$/\r/'
    } >"$work/follow/UPSZelto.ini"
    (cd "$work/follow" && exec "$build/upszelto" >>"$work/follow-$phase.log" 2>&1) &
    follower_pid=$!
    pids+=("$follower_pid")
}
journal() { cat "$work/follow/UPSZelto.log" 2>/dev/null; }
journal_has() { journal | grep -q " $1"; }
# Milliseconds until the journal has event $1, at most $2 tenths of a second; empty if never.
time_until() {
    local start
    start=$(now_ms)
    wait_until "$2" journal_has "$1" && echo $(($(now_ms) - start))
}

# The countdown after the 15 s a secondary gives the primary, and not before: $1 names the case.
countdown_after_grace() {
    local ms
    if ms=$(time_until countdown-started 250); then
        pass "$1: countdown after $ms ms"
        [ "$ms" -ge 14000 ] || fail "$1: too soon, 15 s were due"
    else
        fail "$1: no countdown: $(journal)"
    fi
}

# ---- Login, an unknown charge, a charge trigger, mains back --------------------------------------
follow "$upsd_target" s3cret "CompOff=3
OffMethod=2
OFFAfter=30"
wait_until 100 upsd_logins_is 1 && pass "logged in to upsd" || fail "logins: $(upsd_logins)"
ups_var battery.charge ""
ups_status OB
wait_until 30 journal_has mains-lost && pass "on battery told" || fail "no mains-lost: $(journal)"
sleep 2
journal_has countdown-started && fail "an unknown charge met the 30 % trigger"
ups_var battery.charge 25
ms=$(time_until countdown-started 30) && pass "charge 25 % at 30 %: countdown after $ms ms" ||
    fail "no countdown at 25 %: $(journal)"
ups_status OL
wait_until 30 journal_has countdown-cancelled && pass "mains back cancelled it" ||
    fail "the countdown was not cancelled: $(journal)"
ups_var battery.charge 100

# ---- The server gone while on mains, and back ----------------------------------------------------
stop_upsd
wait_until 150 journal_has link-lost && pass "a stopped server is a lost link" ||
    fail "no link-lost: $(journal)"
restart_upsd
wait_until 200 upsd_logins_is 1 && pass "logged in again after the restart" ||
    fail "no login after the restart: $(upsd_logins)"
wait_until 30 journal_has link-back && pass "link back" || fail "no link-back: $(journal)"
journal_has countdown-started && [ "$(journal | grep -c countdown-started)" -gt 1 ] &&
    fail "a server gone while on mains started a countdown"

# ---- The server gone while on battery -------------------------------------------------------------
follow "$upsd_target" s3cret "CompOff=6
OffMethod=2
OFFAfter=30"
wait_until 100 upsd_logins_is 1 || fail "no login: $(upsd_logins)"
ups_status OB
wait_until 30 journal_has mains-lost || fail "no mains-lost: $(journal)"
stop_upsd
countdown_after_grace "a server silent after OB"
ups_status OL
restart_upsd
wait_until 250 journal_has countdown-cancelled && pass "back on mains, the countdown ended" ||
    fail "not cancelled after the server came back on mains: $(journal)"

# ---- "OB LB" without FSD: 15 s, then the shutdown, LOGOUT first --------------------------------
follow "$upsd_target" s3cret "CompOff=6
OffMethod=2
OFFAfter=1"
wait_until 100 upsd_logins_is 1 || fail "no login: $(upsd_logins)"
before=$(requests)
ups_status "OB LB"
countdown_after_grace "OB LB without FSD"
wait_until 40 eval '[ "$(requests)" -gt "$before" ]' && pass "stand-by requested" ||
    fail "no power request: $(cat "$logind_log")"
wait_until 30 upsd_logins_is 0 && pass "logged out before going down" ||
    fail "still logged in: $(upsd_logins)"
ups_status OL

# ---- "OB LB" followed by FSD, under "никогда": FSD acts at once ------------------------------------
follow "$upsd_target" s3cret "CompOff=6
OffMethod=0
OFFAfter=2"
wait_until 100 upsd_logins_is 1 || fail "no login: $(upsd_logins)"
ups_status "OB LB"
sleep 2
journal_has countdown-started && fail "\"никогда\" counted down on OB LB before its 15 s"
before=$(requests)
primary_fsd
fsd_ms=$(now_ms)
if wait_until 60 eval '[ "$(requests)" -gt "$before" ]'; then
    ms=$(($(now_ms) - fsd_ms))
    pass "FSD at the server to the power request: $ms ms with a 2 s countdown"
    [ "$ms" -le 3500 ] || fail "more than 1 s besides the countdown"
else
    fail "FSD sent nobody down: $(journal)"
fi
restart_upsd  # FSD stays in upsd until it restarts
ups_status OL

# ---- A refused login, and a UPS the server does not have -----------------------------------------
# By name this time: looked up away from the tick, each of its addresses tried in turn.
follow "$upsd_ups@localhost:$upsd_port" wrong-password "CompOff=0
OffMethod=2
OFFAfter=30"
wait_until 50 eval 'journal | grep -q "ACCESS-DENIED"' && pass "the refused login is told" ||
    fail "no word of the refused login: $(journal)"
ups_status OB
wait_until 30 journal_has mains-lost && pass "readings go on without the login" ||
    fail "no readings without the login: $(journal)"
sleep 3
[ "$(journal | grep -c ACCESS-DENIED)" = 1 ] && pass "told once" ||
    fail "told $(journal | grep -c ACCESS-DENIED) times"
journal | grep -q wrong-password && fail "the password is in the journal"
ups_status OL

follow "nosuch@127.0.0.1:$upsd_port" s3cret "CompOff=0
OffMethod=2
OFFAfter=30"
wait_until 150 journal_has link-lost && pass "a wrong UPS name is a lost link" ||
    fail "a wrong UPS name: $(journal)"
journal_has countdown-started && fail "a wrong UPS name started a countdown"

if [ "$failures" -gt 0 ]; then
    echo "--- the last journal:"
    journal
    echo "--- logind stand-in:"
    cat "$logind_log" || true
fi
kill "$follower_pid" 2>/dev/null || true
finish
