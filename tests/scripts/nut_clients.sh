#!/usr/bin/env bash
# The NUT server against Debian's own clients, on loopback: upsc (list, all variables, one
# variable, unknown UPS and variable, clients), upscmd and upsrw refused, PyNUT; hostile input
# and a flood of connections while the poll goes on; stale data and a vanished port, and the
# recovery from both.
. "$(dirname "$0")/nut_rig.bash"

port=$(free_port)
start_sim
# "при 50% батареи", no outage in this test: no power request can happen.
start_program "CompOff=2" "NutUpsDesc=Desk UPS
NutUsers=monuser:s3cret
NutIdleTimeout=5"
ups=zelto@127.0.0.1:$port
wait_until 50 upsc "$ups" ups.status || { echo "no readings"; cat "$work/program.log"; exit 1; }

# ---- upsc ------------------------------------------------------------------------------------
run upsc -l "127.0.0.1:$port"
[ "$status" = 0 ] && [ "$out" = zelto ] && pass "upsc -l" || fail "upsc -l: $status '$out' $err"
run upsc -L "127.0.0.1:$port"
[ "$out" = "zelto: Desk UPS" ] && pass "upsc -L" || fail "upsc -L: '$out'"

run upsc "$ups"
expected="battery.charge: 100
battery.charge.low: 50
battery.voltage: 13.60
device.model: ZELTO Homeline
device.type: ups
driver.name: upszelto
input.frequency: 50.0
input.voltage: 228.0
input.voltage.fault: 228.0
output.voltage: 228.0
ups.beeper.status: enabled
ups.load: 15
ups.model: ZELTO Homeline
ups.status: OL
ups.temperature: 35.0
ups.type: offline / line interactive"
if [ "$status" = 0 ] && [ "$(grep -v '^driver.version: ' <<<"$out")" = "$expected" ] &&
    grep -Eq '^driver.version: [0-9]+\.[0-9]+\.[0-9]+$' <<<"$out"; then
    pass "upsc lists every variable"
else
    fail "upsc $ups: $status"$'\n'"$(diff <(echo "$expected") <(echo "$out") || true)"
fi

run upsc "$ups" ups.load
[ "$status" = 0 ] && [ "$out" = 15 ] && pass "upsc one variable" || fail "upsc ups.load: '$out'"
run upsc "nope@127.0.0.1:$port"
[ "$status" = 1 ] && grep -q "Error: Unknown UPS" <<<"$err" && pass "upsc unknown UPS" ||
    fail "upsc unknown UPS: $status '$err'"
run upsc "$ups" no.such
[ "$status" = 1 ] && grep -q "Error: Variable not supported by UPS" <<<"$err" &&
    pass "upsc unknown variable" || fail "upsc unknown variable: $status '$err'"
run upsc -c "$ups"
[ "$status" = 0 ] && [ -z "$out" ] && pass "upsc -c: nobody logged in" || fail "upsc -c: '$out'"

# ---- upscmd and upsrw: a read-only server ----------------------------------------------------
run upscmd -l "$ups"
[ "$status" = 0 ] && [ "$(grep -v '^$' <<<"$out")" = "Instant commands supported on UPS [zelto]:" ] &&
    pass "upscmd -l lists no command" || fail "upscmd -l: $status '$out'"
run upscmd -u monuser -p s3cret "$ups" beeper.toggle
[ "$status" = 1 ] && grep -q "Unexpected response from upsd: ERR CMD-NOT-SUPPORTED" <<<"$err" &&
    pass "upscmd refused" || fail "upscmd: $status '$out' '$err'"
run upsrw "$ups"
[ "$status" = 0 ] && [ -z "$out" ] && pass "upsrw lists no variable" || fail "upsrw: $status '$out'"
run upsrw -s ups.id=x -u monuser -p s3cret "$ups"
[ "$status" = 1 ] && grep -q "Unexpected response from upsd: ERR ACCESS-DENIED" <<<"$err" &&
    pass "upsrw -s refused" || fail "upsrw -s: $status '$out' '$err'"
if grep -Ev ' (Q1|# .*)$' "$work/sim.log"; then
    fail "the UPS received a command other than the status query"
fi

# ---- PyNUT, with the system's Python ---------------------------------------------------------
cat >"$work/pynut.py" <<'EOF'
import sys, warnings
warnings.simplefilter("ignore")
import PyNUT

port = int(sys.argv[1])
nut = PyNUT.PyNUTClient(host="127.0.0.1", port=port, timeout=5)
assert nut.GetUPSList() == {b"zelto": b"Desk UPS"}, nut.GetUPSList()
variables = nut.GetUPSVars("zelto")
assert variables[b"ups.status"] == b"OL", variables
assert variables[b"input.voltage"] == b"228.0", variables
assert variables[b"battery.charge"] == b"100", variables
# PyNUT 2.8.0 reads an empty command list as one nameless command.
assert set(nut.GetUPSCommands("zelto")) <= {b""}, nut.GetUPSCommands("zelto")
assert nut.GetRWVars("zelto") == {}, nut.GetRWVars("zelto")
assert nut.ver().startswith(b"UPS Zelto NUT server "), nut.ver()
assert nut.help().startswith(b"Commands: HELP VER"), nut.help()

secondary = PyNUT.PyNUTClient(host="127.0.0.1", port=port, login="monuser",
                              password="s3cret", timeout=5)
try:
    secondary.FSD("zelto")
except PyNUT.PyNUTError as error:
    print("FSD refused:", error)
else:
    sys.exit("FSD was accepted")
print("PyNUT done")
EOF
run timeout 20 "$system_python" "$work/pynut.py" "$port"
[ "$status" = 0 ] && grep -q "PyNUT done" <<<"$out" && pass "PyNUT" ||
    fail "PyNUT: $status '$out' '$err'"

# ---- Hostile input and a flood of connections: the poll never stops ---------------------------
cat >"$work/hostile.py" <<'EOF'
import socket, sys, time

port = int(sys.argv[1])

def connect():
    s = socket.create_connection(("127.0.0.1", port), timeout=5)
    return s

def ask(s, request, lines=1):
    s.sendall(request)
    data = b""
    while data.count(b"\n") < lines:
        chunk = s.recv(4096)
        if not chunk:
            break
        data += chunk
    return data

s = connect()
# 100 kB without a line end, then the end of that line: one error, nothing held meanwhile.
s.sendall(b"A" * 100000)
assert ask(s, b"\n") == b"ERR INVALID-ARGUMENT\n"
assert ask(s, bytes(range(0, 10)) + bytes(range(11, 32)) + bytes(range(128, 256)) + b"\n") == \
    b"ERR UNKNOWN-COMMAND\n"
# Words past the 32nd are dropped, as upsd drops them.
assert ask(s, b"GET VAR zelto ups.status" + b" x" * 40 + b"\n") == b'VAR zelto ups.status "OL"\n'
assert ask(s, b"GET VAR zelto " + b"y" * 2000 + b"\n") == b"ERR INVALID-ARGUMENT\n"
assert ask(s, b'GET VAR zelto "a#b\n') == b"ERR INVALID-ARGUMENT\n"
assert ask(s, b"\n") == b"ERR UNKNOWN-COMMAND\n"
assert ask(s, b"VER\nNETVER\n", 2).endswith(b"\n1.3\n")
s.close()

# A flood: far more connections than the server keeps, each saying something hostile.
flood = []
for i in range(400):
    try:
        c = socket.create_connection(("127.0.0.1", port), timeout=5)
        c.sendall(b"\xff\x00" * 300 + b"LIST VAR zelto\n" * 20)
        flood.append(c)
    except OSError:
        pass
time.sleep(1)
for c in flood:
    c.close()

# Once the server has seen the flood go (its connections count until then), it serves again.
deadline = time.monotonic() + 5
while True:
    try:
        s = connect()
        assert ask(s, b"GET VAR zelto ups.status\n") == b'VAR zelto ups.status "OL"\n'
        break
    except (OSError, AssertionError):
        if time.monotonic() > deadline:
            raise
        time.sleep(0.2)
print("hostile done")
EOF
before=$(now_ms)
run timeout 60 "$system_python" "$work/hostile.py" "$port"
[ "$status" = 0 ] && grep -q "hostile done" <<<"$out" && pass "hostile input answered" ||
    fail "hostile input: $status '$out' '$err'"
sleep 2
gap=$(longest_query_gap_after "$before")
count=$(queries_after "$before")
elapsed=$(($(now_ms) - before))
if [ "$gap" -le 1500 ] && [ "$count" -ge $((elapsed / 1000 - 1)) ]; then
    pass "the poll went on: $count queries in $elapsed ms, longest gap $gap ms"
else
    fail "the poll stalled: $count queries in $elapsed ms, longest gap $gap ms"
fi
kill -0 "$program_pid" 2>/dev/null && pass "the program is still running" || fail "the program died"

# ---- Idle clients are closed --------------------------------------------------------------------
run timeout 20 "$system_python" -c '
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=15)
start = time.monotonic()
assert s.recv(10) == b""
print(round(time.monotonic() - start))' "$port"
[ "$status" = 0 ] && [ "$out" -ge 5 ] && [ "$out" -le 7 ] && pass "idle connection closed after $out s" ||
    fail "idle connection: $status '$out' '$err'"

# ---- Stale data: the UPS stops answering -------------------------------------------------------
sim silent on
if wait_until 80 sh -c "upsc '$ups' 2>&1 | grep -q 'Error: Data stale'"; then
    pass "silent UPS: Data stale"
else
    fail "silent UPS: $(upsc "$ups" 2>&1)"
fi
run upsc -l "127.0.0.1:$port"
[ "$out" = zelto ] && pass "LIST UPS while stale" || fail "LIST UPS while stale: '$out'"
sim silent off
wait_until 50 sh -c "upsc '$ups' ups.status 2>/dev/null | grep -qx OL" &&
    pass "readings back after silence" || fail "no recovery: $(upsc "$ups" 2>&1)"

# ---- The port vanishes: driver not connected ---------------------------------------------------
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
if wait_until 80 sh -c "upsc '$ups' 2>&1 | grep -q 'Error: Driver not connected'"; then
    pass "vanished port: Driver not connected"
else
    fail "vanished port: $(upsc "$ups" 2>&1)"
fi
start_sim
wait_until 100 sh -c "upsc '$ups' ups.status 2>/dev/null | grep -qx OL" &&
    pass "readings back with the port" || fail "no recovery with the port: $(upsc "$ups" 2>&1)"

finish
