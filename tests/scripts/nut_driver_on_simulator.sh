#!/usr/bin/env bash
# NUT's serial driver for this protocol family (nutdrv_qx, megatec dialect) takes the simulator
# for a UPS: through a private upsd, upsc shows the status record's readings, the maker, model
# and version of the identification answer, the rating answer's values, and the change to
# battery when the simulator's mains are cut. Everything runs from a temporary folder with its
# own NUT configuration and state, upsd listens on loopback only, and the driver opens nothing
# but the simulator's pseudo-terminal.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
driver=/lib/nut/nutdrv_qx
upsd=/lib/nut/upsd
for tool in "$driver" "$upsd" "$(command -v upsc || echo upsc)"; do
    [ -x "$tool" ] || { echo "$tool is missing (packages nut-server, nut-client)"; exit 1; }
done

. "$(dirname "$0")/harness.bash"
logs=(sim.out driver.out upsd.out)

"$build/ups-sim" --log "$work/sim.log" --control "$work/ctl" "$work/ups" </dev/null \
    >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -L "$work/ups" ] && [ -p "$work/ctl" ] && break; sleep 0.1; done
[ -L "$work/ups" ] || fail "the simulator did not come up"

# A loopback port nothing listens on yet.
port=
for _ in $(seq 20); do
    candidate=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
        port=$candidate
        break
    fi
done
[ -n "$port" ] || fail "no free loopback port found"

mkdir -m 700 "$work/conf" "$work/state"
cat >"$work/conf/ups.conf" <<EOF
[zsim]
    driver = nutdrv_qx
    port = $work/ups
    protocol = megatec
    pollinterval = 1
    pollfreq = 1
EOF
echo "LISTEN 127.0.0.1 $port" >"$work/conf/upsd.conf"
: >"$work/conf/upsd.users"
chmod 600 "$work/conf/"*
export NUT_CONFPATH=$work/conf NUT_STATEPATH=$work/state

# As root NUT would drop to its own user, who may not enter the temporary folder; and as root
# the machine's serial ports are hidden from the driver, which has no business with them.
if [ "$(id -u)" -eq 0 ]; then
    as_user=(-u root)
    hidden=(unshare -m bash -c 'set -e
        mount --make-rprivate /
        mount -t tmpfs none /sys/class/tty
        for dev in /dev/ttyS*; do if [ -e "$dev" ]; then mount --bind /dev/null "$dev"; fi; done
        exec "$@"' hide)
else
    as_user=()
    hidden=()
fi
timeout 90 "${hidden[@]}" "$driver" -a zsim "${as_user[@]}" -F >"$work/driver.out" 2>&1 &
pids+=($!)
timeout 90 "$upsd" "${as_user[@]}" -F >"$work/upsd.out" 2>&1 &
pids+=($!)

# value NAME: the variable as upsc reports it through upsd, empty while there is none.
value() {
    timeout 5 upsc "zsim@127.0.0.1:$port" "$1" 2>/dev/null || true
}
# Numbers as numbers: the driver writes the battery as 13.60 and the rated frequency as 50.
same_number() {
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 == b + 0) }'
}
# wait_for_value NAME VALUE SECONDS [number]
wait_for_value() {
    local actual
    for _ in $(seq $(($3 * 5))); do
        actual=$(value "$1")
        if [ "${4:-text}" = number ]; then
            same_number "$actual" "$2" && return 0
        else
            [ "$actual" = "$2" ] && return 0
        fi
        sleep 0.2
    done
    return 1
}

wait_for_value ups.status OL 30 || fail "ups.status never became OL (last: '$(value ups.status)')"

errors=0
check() {
    local name=$1 expected=$2 actual
    actual=$(value "$name")
    if [ "$3" = text ] && [ "$actual" = "$expected" ]; then return 0; fi
    if [ "$3" = number ] && same_number "$actual" "$expected"; then return 0; fi
    echo "$name: expected '$expected', upsc says '$actual'"
    errors=$((errors + 1))
}
# The status record.
check input.voltage 228.0 number
check output.voltage 228.0 number
check battery.voltage 13.6 number
check ups.load 15 number
check input.frequency 50.0 number
check ups.temperature 35.0 number
# The identification answer.
check device.mfr ZELTO text
check device.model SIM text
check ups.firmware 1.0 text
# The rating answer.
check input.voltage.nominal 230 number
check input.current.nominal 3 number
check battery.voltage.nominal 12 number
check input.frequency.nominal 50 number

for command in Q1 I F; do
    grep -q " $command\$" "$work/sim.log" || { echo "the driver never sent $command"; errors=$((errors + 1)); }
done

echo "mains off" >"$work/ctl"
if ! wait_for_value ups.status OB 15; then
    echo "ups.status never became OB after the mains were cut (last: '$(value ups.status)')"
    errors=$((errors + 1))
fi
if ! wait_for_value input.voltage 0 10 number; then
    echo "input.voltage never fell to 0 after the mains were cut (last: '$(value input.voltage)')"
    errors=$((errors + 1))
fi

[ "$errors" -eq 0 ] || fail "$errors checks failed"
echo "nutdrv_qx recognised the simulator: $(value device.mfr) $(value device.model)," \
    "OL then OB, rated $(value input.voltage.nominal) V"
