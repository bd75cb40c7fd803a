#!/usr/bin/env bash
# With "Ports" naming the simulator's pseudo-terminal, start-up opens that terminal (the first
# status query reaches the simulator) and the settings file keeps every other byte: COMPort is
# written back with the same value, and the port's path goes in beside it.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
. "$(dirname "$0")/harness.bash"
# A runtime folder of its own: the program's one-copy lock there meets no other copy's.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

"$build/ups-sim" --log "$work/sim.log" "$work/ups" </dev/null >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -L "$work/ups" ] && break; sleep 0.1; done
[ -L "$work/ups" ] || { echo "the simulator did not come up"; cat "$work/sim.out"; exit 1; }

mkdir "$work/run"
printf '; kept as it is\r\n[Other]\r\nx = 1\r\n\r\n[UPS]\r\nPorts=%s\r\nCompOff=6\r\nCOMPort=0\r\n[Last]\r\ny=2' \
    "$work/ups" >"$work/run/UPSZelto.ini"
printf '; kept as it is\r\n[Other]\r\nx = 1\r\n\r\n[UPS]\r\nPorts=%s\r\nCompOff=6\r\nCOMPort=0\r\nCOMPortPath=%s\r\n[Last]\r\ny=2' \
    "$work/ups" "$work/ups" >"$work/expected.ini"

# The program never reaches the real system bus here: no power request can happen with the
# trigger at "никогда", and the bus address points nowhere.
(cd "$work/run" && exec env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" "$build/upszelto" \
    >"$work/out.log" 2>&1) &
pids+=($!)
for _ in $(seq 50); do grep -q ' Q1$' "$work/sim.log" 2>/dev/null && break; sleep 0.1; done
if ! grep -q ' Q1$' "$work/sim.log" 2>/dev/null; then
    echo "no status query reached the simulator"; cat "$work/out.log"; exit 1
fi
sleep 0.5
if ! cmp -s "$work/expected.ini" "$work/run/UPSZelto.ini"; then
    echo "the settings file is not as expected:"
    diff <(cat -A "$work/expected.ini") <(cat -A "$work/run/UPSZelto.ini")
    exit 1
fi
echo "the named port was opened, remembered by its path, and every other byte kept"
