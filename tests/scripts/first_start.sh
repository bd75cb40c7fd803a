#!/usr/bin/env bash
# First start in an empty directory with the system's serial ports hidden: the program has no
# port to remember, so it writes no settings file; its journal UPSZelto.log tells the start and,
# after a clean end on SIGTERM, the exit.
set -euo pipefail
bin=${ZELTO_BUILD_DIR:?}/upszelto
. "$(dirname "$0")/harness.bash"
# A runtime folder of its own: the program's one-copy lock there meets no other copy's.
# Beside the program's folder, which must hold nothing but what the program made.
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
on_cleanup() { rm -rf "$XDG_RUNTIME_DIR"; }

# Inside a mount namespace of its own: no tty class in sysfs, every /dev/ttyS* a /dev/null, so
# the program cannot see, let alone open, the machine's console port.
unshare -m bash -s "$bin" "$work" <<'INNER'
set -euo pipefail
bin=$1 work=$2
mount --make-rprivate /
mount -t tmpfs none /sys/class/tty
for dev in /dev/ttyS*; do
    [ -e "$dev" ] && mount --bind /dev/null "$dev"
done
cd "$work"
"$bin" >"$work/out.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q ' start$' UPSZelto.log 2>/dev/null && break
    sleep 0.1
done
sleep 0.5
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
    echo "upszelto ended with status $status after SIGTERM"; cat "$work/out.log"; exit 1
fi
INNER

if [ -e "$work/UPSZelto.ini" ]; then
    echo "a start without ports wrote UPSZelto.ini:"; cat -A "$work/UPSZelto.ini"
    exit 1
fi
[ "$(ls -A "$work" | grep -v out.log | tr '\n' ' ')" = "UPSZelto.log " ] ||
    { echo "stray files:"; ls -A "$work"; exit 1; }
# Between them whatever start-up told (no system bus here, so the power capability check fails).
first=$(head -n 1 "$work/UPSZelto.log" | cut -d' ' -f2)
last=$(tail -n 1 "$work/UPSZelto.log" | cut -d' ' -f2)
[ "$first $last" = "start exit" ] || { echo "journal:"; cat "$work/UPSZelto.log"; exit 1; }
echo "a first start without ports wrote no settings, only its journal"
