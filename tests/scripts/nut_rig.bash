# Sourced by the NUT script tests: the UPS simulator, the program with its NUT server on a free
# loopback port, and the helpers the checks share. Everything runs in a temporary folder and is
# stopped on exit; only processes started here are ever signalled, by their ids.
build=${ZELTO_BUILD_DIR:?}
source_dir=${ZELTO_SOURCE_DIR:?}
. "$source_dir/tests/scripts/harness.bash"
# A runtime folder of its own: the program's one-copy lock there meets no other copy's.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Steps to take at the end, after the processes are stopped.
on_exit=()
failures=0

on_cleanup() {
    local step
    stop_pids
    for step in "${on_exit[@]}"; do eval "$step" || true; done
}

# Debian's clients: upsc and friends on PATH, upsmon itself behind a wrapper that reads the
# system's nut.conf, so the binary is taken directly.
for tool in upsc upscmd upsrw; do
    command -v "$tool" >/dev/null || { echo "no $tool: install nut-client"; exit 1; }
done
upsmon_binary=/lib/nut/upsmon
# PyNUT is installed for the system's Python, not whichever python3 comes first on PATH.
system_python=/usr/bin/python3

# The private system bus with the logind stand-in, in place of the system bus for the programs
# started after it and stopped at the end; $logind_log is what they asked of it.
start_private_bus() {
    local exports
    exports=$(LOGIND_STANDIN="$build/logind-standin" \
        "$source_dir/tools/logind-standin/private-bus" start "$work/bus")
    on_exit+=("\"$source_dir/tools/logind-standin/private-bus\" stop \"$work/bus\"")
    eval "$exports"
    [ "$DBUS_SYSTEM_BUS_ADDRESS" = "unix:path=$work/bus/bus" ] || { echo "not the private bus"; exit 1; }
    logind_log=$work/bus/logind.log
}
# What the programs asked logind to do, without their questions whether it could (CanHibernate ...).
power_requests() { grep -E '^[^ ]+ (PowerOff|Reboot|Hibernate|Suspend) ' "$logind_log" 2>/dev/null; }

# Here a failed check is counted and the script goes on to the next.
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
pass() {
    echo "ok: $*"
}

# Runs "$@" with its output in $out and its exit status in $status; stderr separately in $err.
run() {
    set +e
    out=$("$@" 2>"$work/stderr")
    status=$?
    set -e
    err=$(cat "$work/stderr")
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_until() {
    local tenths=$1
    shift
    for _ in $(seq "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

free_port() {
    "$system_python" -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

# The simulator on $work/ups, logging to $work/sim.log, taking control lines on $work/sim.ctl.
start_sim() {
    "$build/ups-sim" --log "$work/sim.log" --control "$work/sim.ctl" "$@" "$work/ups" \
        </dev/null >>"$work/sim.out" 2>&1 &
    sim_pid=$!
    pids+=("$sim_pid")
    wait_until 50 test -L "$work/ups" -a -p "$work/sim.ctl" ||
        { echo "the simulator did not come up"; cat "$work/sim.out"; exit 1; }
}
sim() {
    echo "$*" >"$work/sim.ctl"
}

# The program in $work/run with [UPS] lines $1 and [NUT] lines $2 (CRLF added), its system bus
# at $DBUS_SYSTEM_BUS_ADDRESS or nowhere. Waits until its NUT server answers on $port.
start_program() {
    mkdir -p "$work/run"
    {
        printf '[UPS]\r\nPorts=%s\r\nCOMPort=0\r\n' "$work/ups"
        printf '%s\n' "$1" | sed 's/$/\r/'
        printf '[NUT]\r\nNutServer=1\r\nNutListen=127.0.0.1\r\nNutPort=%s\r\n' "$port"
        printf '%s\n' "$2" | sed 's/$/\r/'
    } >"$work/run/UPSZelto.ini"
    (cd "$work/run" && exec env DBUS_SYSTEM_BUS_ADDRESS="${DBUS_SYSTEM_BUS_ADDRESS:-unix:path=$work/no-bus}" \
        "$build/upszelto" >"$work/program.log" 2>&1) &
    program_pid=$!
    pids+=("$program_pid")
    if ! wait_until 100 upsc -l "127.0.0.1:$port"; then
        echo "the NUT server did not answer on port $port"
        cat "$work/program.log"
        exit 1
    fi
}

# The program as a primary for secondaries: on the simulator, "при отказе сети", hibernate, the
# UPS off after "1 минуту", a six-second countdown, the account monuser / s3cret and up to 15 s
# for the secondaries. Sets $port and $ups, and waits until the server has readings (a client
# that finds none at first may wait seconds before it looks again).
start_primary() {
    port=$(free_port)
    start_sim
    start_program "CompOff=0
OffMethod=1
OffUPS=1
OFFAfter=6" "NutUsers=monuser:s3cret
NutFsdWait=15"
    ups=zelto@127.0.0.1:$port
    wait_until 50 upsc "$ups" ups.status || { echo "no readings"; cat "$work/program.log"; exit 1; }
}

# Milliseconds since the epoch of an ISO local time as the simulator and logind stand-in log it.
iso_ms() {
    date -d "$1" +%s%3N
}

# The longest gap in milliseconds between status queries the simulator received after epoch
# millisecond $1.
longest_query_gap_after() {
    local since=$1 last=0 longest=0 line ms
    while IFS= read -r line; do
        [ "${line#* }" = Q1 ] || continue
        ms=$(iso_ms "${line%% *}")
        [ "$ms" -ge "$since" ] || continue
        if [ "$last" -gt 0 ] && [ $((ms - last)) -gt "$longest" ]; then
            longest=$((ms - last))
        fi
        last=$ms
    done <"$work/sim.log"
    echo "$longest"
}

# Status queries the simulator received after epoch millisecond $1.
queries_after() {
    local since=$1 count=0 line
    while IFS= read -r line; do
        [ "${line#* }" = Q1 ] || continue
        [ "$(iso_ms "${line%% *}")" -ge "$since" ] && count=$((count + 1))
    done <"$work/sim.log"
    echo "$count"
}

now_ms() {
    date +%s%3N
}

finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures checks failed; the program printed:"
        cat "$work/program.log"
        exit 1
    fi
    echo "all checks passed"
}
