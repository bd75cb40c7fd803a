#!/usr/bin/env bash
# The program following a hostile NUT server (nut_hostile_server.py) with its own NUT server on:
# honest answers, 1 MB lines, random bytes, a byte every two seconds, a LIST VAR without end. All
# along its own server must answer within 300 ms and its memory stay put; the polls keep their
# second, a stalled connection goes after about 5 s and is made again, and at the end the program
# still runs without having spent its time spinning.
. "$(dirname "$0")/nut_rig.bash"

double=$source_dir/tests/scripts/nut_hostile_server.py
events=$work/double.log
mode() {
    echo "$1" >"$work/mode"
    phase_ms=$(now_ms)
    [ -z "${program_pid:-}" ] || phase_cpu=$(cpu_ticks)
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$program_pid/stat"; }
# CPU milliseconds the program spent since ticks $1.
cpu_ms_since() { echo $((($(cpu_ticks) - $1) * 1000 / $(getconf CLK_TCK))); }

mode honest
"$system_python" "$double" serve "$work/double.port" "$work/mode" "$events" \
    >"$work/double.out" 2>&1 &
pids+=($!)
wait_until 50 test -s "$work/double.port" || { echo "the double did not start"; exit 1; }
hostile=$(cat "$work/double.port")

port=$(free_port)
mkdir -p "$work/run"
# "никогда": nothing the double says can start a shutdown; nor is there a bus to ask one of.
printf '%s\r\n' "[UPS]" "Ports=ups@127.0.0.1:$hostile" COMPort=0 NUTUser=monuser \
    NUTPassword=s3cret CompOff=6 OffMethod=0 \
    "[NUT]" NutServer=1 NutListen=127.0.0.1 "NutPort=$port" >"$work/run/UPSZelto.ini"
# Under AddressSanitizer freed memory waits in a quarantine of up to 256 MB, which an endless
# LIST VAR's lines would fill: kept small here, where the resident size is what is measured.
[ -z "${ASAN_OPTIONS:-}" ] || export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=1"
(cd "$work/run" && exec env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" \
    "$build/upszelto" >"$work/program.log" 2>&1) &
program_pid=$!
pids+=("$program_pid")
wait_until 100 upsc -l "127.0.0.1:$port" ||
    { echo "no own server"; cat "$work/program.log"; exit 1; }
start_ms=$(now_ms)
cpu_start=$(cpu_ticks)
"$system_python" "$double" probe "$port" "$program_pid" "$work/probe.log" \
    >>"$work/double.out" 2>&1 &
pids+=($!)

# What the double logged from epoch millisecond $1 on.
events_between() { awk -v a="$1" '$1 >= a' "$events"; }
count_between() { events_between "$1" | grep -c " $2" || true; }
# The probe's worst answer and largest resident memory after $1: "<ms> <kB>".
probe_worst() {
    awk -v a="$1" '$1 >= a { if ($2 > t) t = $2; if ($3 > r) r = $3 } END { print t + 0, r + 0 }' \
        "$work/probe.log"
}
rss_now() { awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status"; }
worst_ms=0
peak_kb=0
# After each phase: the own server answered in time throughout, the program is still there.
check_phase() {
    local worst rss
    read -r worst rss < <(probe_worst "$phase_ms")
    echo "$1: worst own-server answer ${worst} ms, peak RSS ${rss} kB," \
        "CPU $(cpu_ms_since "$phase_cpu") ms in $(($(now_ms) - phase_ms)) ms"
    awk -v w="$worst" 'BEGIN { exit !(w < 300) }' && pass "$1: own server answered within 300 ms" ||
        fail "$1: own server took $worst ms"
    awk -v w="$worst" -v m="$worst_ms" 'BEGIN { exit !(w > m) }' && worst_ms=$worst
    [ "$rss" -gt "$peak_kb" ] && peak_kb=$rss
    kill -0 "$program_pid" 2>/dev/null || { fail "$1: the program is gone"; finish; }
}
# Milliseconds between connection $1's open and its close; nothing while it is open.
lasted_ms() {
    awk -v c="$1" '$2 == c && $3 == "open" { o = $1 } $2 == c && $3 == "close" { print $1 - o }' \
        "$events"
}
polls_after() { count_between "$1" "GET ups.status"; }
# all_within LIST LOW HIGH MOST: at least MOST numbers in LIST, each within LOW-HIGH.
all_within() {
    awk -v list="$1" -v low="$2" -v high="$3" -v most="$4" 'BEGIN { n = split(list, a, " ")
        for (i = 1; i <= n; i++) if (a[i] < low || a[i] > high) exit 1; exit !(n >= most) }'
}

# ---- Honest: one poll a second ---------------------------------------------------------------------
mode honest
wait_until 150 eval '[ "$(polls_after "$phase_ms")" -ge 1 ]' || fail "no poll: $(cat "$events")"
sleep 6
intervals=$(events_between "$phase_ms" |
    awk '/GET ups.status/ { if (p) printf "%d ", $1 - p; p = $1 }')
echo "honest: ups.status polled at intervals (ms) $intervals"
all_within "$intervals" 700 1300 4 &&
    pass "honest: polled once a second" || fail "honest: poll intervals $intervals"
check_phase honest
rss_before=$(rss_now)

# ---- 1 MB lines, then honest lines -------------------------------------------------------------------
connections=$(count_between 0 open)
mode longline
long=("$phase_ms" "$phase_cpu")
sleep 3
mode honest
wait_until 60 eval '[ "$(polls_after "$phase_ms")" -ge 2 ]' && pass "longline: polls resumed" ||
    fail "longline: no poll after the long lines"
# Read a tick's worth at a time, a server flooding with lines too long to be answers is dropped
# like a silent one once its requests have waited 5 s; either way the program follows it again.
echo "longline: $(($(count_between 0 open) - connections)) new connections"
phase_ms=${long[0]} phase_cpu=${long[1]}
check_phase longline

# ---- Random bytes ----------------------------------------------------------------------------------
connections=$(count_between 0 open)
mode garbage
sleep 3
check_phase garbage
[ "$(count_between 0 open)" -gt "$connections" ] &&
    pass "garbage: a server answering out of turn is dropped and followed again" ||
    fail "garbage: the connection went on through the random bytes"
mode honest
wait_until 150 eval '[ "$(polls_after "$phase_ms")" -ge 2 ]' && pass "garbage: polls resumed" ||
    fail "garbage: no poll after the random bytes"

# ---- A byte every two seconds: dropped after about 5 s, made again --------------------------------
first=$(($(count_between 0 open) + 1))
mode trickle
trickle_ms=$phase_ms
wait_until 300 eval '[ "$(count_between "$trickle_ms" close)" -ge 2 ] &&
    [ "$(count_between "$trickle_ms" open)" -ge 2 ]' || fail "trickle: not dropped and made again"
check_phase trickle
drops=$(events_between "$trickle_ms" |
    awk -v a="$trickle_ms" '$3 == "close" { printf "%d ", $1 - a; exit }')
for ((c = first; c < $(count_between 0 open); c++)); do drops+="$(lasted_ms "$c") "; done
reconnects=$(events_between "$trickle_ms" |
    awk '$3 == "close" { c = $1 } $3 == "open" && c { printf "%d ", $1 - c; c = 0 }')
echo "trickle: stalled connections dropped after (ms) $drops; made again after (ms) $reconnects"
all_within "$drops" 4000 8000 2 &&
    pass "trickle: each stalled connection dropped after about 5 s" || fail "trickle: drops $drops"
mode honest
if wait_until 250 eval '[ "$(polls_after "$phase_ms")" -ge 1 ]'; then
    pass "trickle: polls again $(($(now_ms) - phase_ms)) ms after the server mended"
else
    fail "trickle: no poll after the server mended"
fi

# ---- LIST VAR without end --------------------------------------------------------------------------
mode listflood
flooded=$(($(count_between 0 open) + 1))
wait_until 200 eval '[ -n "$(lasted_ms "$flooded")" ]' || fail "listflood: never dropped"
flood_lasted=$(lasted_ms "$flooded")
echo "listflood: the flooding connection dropped after ${flood_lasted:-?} ms, having taken" \
    "$(awk -v c="$flooded" '$2 == c && $3 == "sent" { print $4 }' "$events") bytes"
[ -n "$flood_lasted" ] && [ "$flood_lasted" -ge 4000 ] && [ "$flood_lasted" -le 8000 ] &&
    pass "listflood: dropped after about 5 s" || fail "listflood: lasted ${flood_lasted:-?} ms"
check_phase listflood
mode honest
wait_until 250 eval '[ "$(polls_after "$phase_ms")" -ge 1 ]' && pass "listflood: polls resumed" ||
    fail "listflood: no poll afterwards"

# ---- The whole run ---------------------------------------------------------------------------------
# A flood keeps the program reading as fast as it comes, so the whole run's bound is loose; the
# quiet seconds after it show whether anything is left spinning.
quiet_cpu=$(cpu_ticks)
sleep 5
quiet_ms=$(cpu_ms_since "$quiet_cpu")
kill -0 "$program_pid" 2>/dev/null && pass "the program still runs" || fail "the program is gone"
rss_after=$(rss_now)
wall_ms=$(($(now_ms) - start_ms))
cpu_ms=$(cpu_ms_since "$cpu_start")
echo "RSS before ${rss_before} kB, after ${rss_after} kB, peak ${peak_kb} kB;" \
    "worst own-server answer ${worst_ms} ms; CPU ${cpu_ms} ms in ${wall_ms} ms," \
    "${quiet_ms} ms in the last quiet 5 s"
if [ -n "${ASAN_OPTIONS:-}" ]; then
    echo "memory not judged under AddressSanitizer, whose allocator keeps what is freed"
elif [ $((peak_kb - rss_before)) -lt 8192 ] && [ $((rss_after - rss_before)) -lt 4096 ]; then
    pass "memory stayed within a few MB"
else
    fail "memory grew: $rss_before -> peak $peak_kb, $rss_after kB"
fi
# A flood is read a tick's worth at a time: reading each arrival took a fifth of the run.
[ $((cpu_ms * 100)) -lt $((wall_ms * 5)) ] && [ "$quiet_ms" -lt 500 ] && pass "no runaway CPU" ||
    fail "CPU ${cpu_ms} ms in ${wall_ms} ms, ${quiet_ms} ms in the quiet 5 s"
[ "$failures" -gt 0 ] && { echo "--- the double:"; cat "$work/double.out" "$events"; }
finish
