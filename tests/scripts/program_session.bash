# Sourced by the script tests that run the program on the UPS simulator: the simulator fed through
# a pipe, a private bus with the logind stand-in in place of the system bus, and the wait for the
# program's own end.
#
# Needs before sourcing: tests/scripts/harness.bash, and build (the build folder).

# Waits up to 15 s for the program started last ($program) to end by itself; fails unless it
# ends with status 0.
end_program() {
    ends_well "$program" 15 "the program"
}

# The simulator on $work/ups, logging to $work/commands.log and fed control lines through a pipe
# the script keeps open as descriptor 3; `sim LINE` sends one and waits until it is taken.
start_sim() {
    mkfifo "$work/sim.in"
    "$build/ups-sim" --log "$work/commands.log" "$work/ups" <"$work/sim.in" \
        >"$work/sim.out" 2>&1 &
    pids+=($!)
    exec 3>"$work/sim.in"
    wait_for 10 test -e "$work/ups" || fail "ups-sim did not make its link"
}
sim() {
    echo "$1" >&3
    wait_for 5 grep -qxF "ok: $1" "$work/sim.out" || fail "ups-sim did not take '$1'"
}

# A private bus with the logind stand-in in place of the system bus, at $bus: start-up asks it
# whether the method would be carried out, and no request could reach a real bus.
start_logind_bus() {
    mkdir "$work/bus"
    sed "s|@SOCKET_PATH@|$work/bus/socket|" \
        "${ZELTO_SOURCE_DIR:?}/tools/logind-standin/private-bus.conf.in" >"$work/bus/bus.conf"
    dbus-daemon --config-file="$work/bus/bus.conf" --nofork --nopidfile --print-address \
        >"$work/bus/daemon.out" 2>&1 &
    pids+=($!)
    wait_for 10 eval '[ -S "$work/bus/socket" ] && [ -s "$work/bus/daemon.out" ]' ||
        fail "the private dbus-daemon did not start"
    bus="unix:path=$work/bus/socket"
    "$build/logind-standin" --address "$bus" --log "$work/bus/logind.log" \
        >"$work/bus/standin.out" 2>&1 &
    pids+=($!)
    wait_for 10 grep -q 'serving org.freedesktop.login1' "$work/bus/standin.out" ||
        fail "logind-standin did not come up"
}
