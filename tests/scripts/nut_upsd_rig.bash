# Sourced after harness.bash by the script tests that need a real NUT server to follow: Debian's
# upsd with the dummy-ups driver, configured and kept in $work/upsd, listening on loopback only,
# so a test can script the UPS the program follows by rewriting the driver's data file. Nothing
# here opens a serial port or touches the machine's own NUT configuration or services.
#
# Functions:
#   start_upsd [ups-name]   the driver, then upsd on a free loopback port; sets upsd_ups,
#                           upsd_port, upsd_target (ups@127.0.0.1:port) and, where loopback has
#                           IPv6, upsd_target6 (ups@[::1]:port)
#   ups_status "OB LB"      the UPS's status, waited for in upsc (5 s)
#   ups_var NAME VALUE      any other variable, the same way; an empty VALUE removes it
#   primary_fsd             a primary logs in and sets FSD; its session stays open until the end
#   stop_upsd, restart_upsd upsd alone, the driver stays; upsd comes back on the same port
#   upsd_logins             prints upsd's NUMLOGINS of the UPS
#   upsd_logins_is N        true when NUMLOGINS is N (for wait_for)
#   upsd_value NAME         the variable as upsc shows it, empty when there is none
# After each change upsd_change_ms holds how long upsc took to show it: about a second, as the
# driver looks at its file once a second. A failure of the rig itself ends the script.
#
# Users in upsd.users: "follower" / "s3cret" (upsmon secondary) and "admin" / "adminpw" (upsmon
# primary, actions SET and FSD, every instant command).
#
# What upsd 2.8.0 does that a test must reckon with: FSD stays set in upsd until upsd itself is
# restarted (a driver restart keeps it), shown as "FSD " before the driver's status; the
# primary's LOGIN counts in NUMLOGINS while its session lasts; and upsd answers "WAIT" for about
# a second after its start, until the driver has given it the data.

# work comes from harness.bash; upsd_change_ms and the targets are read by the tests.
# shellcheck disable=SC2154,SC2034
upsd_binary=/lib/nut/upsd
upsd_driver=/lib/nut/dummy-ups
# The system's Python, as nut_rig.bash takes it: the first python3 on PATH may be any other.
upsd_python=/usr/bin/python3
[ -x "$upsd_python" ] || upsd_python=python3
# A test killed by CTest never runs the harness's end: the daemons then end by themselves.
upsd_rig_lifetime=${upsd_rig_lifetime:-900}

upsd_dir=$work/upsd
upsd_ups=
upsd_port=
upsd_target=
upsd_target6=
upsd_pid=
upsd_driver_pid=
upsd_primary_pid=
upsd_change_ms=
# The variables the data file holds, in the order it lists them.
upsd_var_names=()
declare -gA upsd_vars=()
# The data file's next modification time. dummy-ups in dummy-once mode re-reads the file only
# when its mtime changes, compared in whole seconds: two writes within a second would look like
# one, so each write is given a time of its own, counted from a day in the past.
upsd_dev_stamp=0

# Stops the script for a failure of the rig itself (as opposed to the program under test): under
# nut_rig.bash's counting fail the script would otherwise go on with no server to talk to.
upsd_abort() {
    fail "$*"
    local file
    for file in "$upsd_dir"/*.out "$upsd_dir"/*.log; do
        [ -f "$file" ] || continue
        echo "--- ${file#"$work"/}"
        tail -n 40 "$file"
    done
    exit 1
}

upsd_forget_pid() {
    local kept=() one
    for one in "${pids[@]}"; do
        [ "$one" = "$1" ] || kept+=("$one")
    done
    pids=("${kept[@]}")
}

upsd_now_ms() {
    date +%s%3N
}

# upsc prints "Init SSL without certificate database" on stderr with Debian's NSS build.
upsd_value() {
    timeout 5 upsc "$upsd_target" "$1" 2>/dev/null || true
}

# upsd puts "FSD" in front of the driver's status once a primary set it, and keeps it there
# while it runs, whatever the driver says later.
upsd_shows() {
    local name=$1 want=$2 actual
    actual=$(upsd_value "$name")
    if [ "$name" = ups.status ]; then
        [ "$actual" = "$want" ] || [ "$actual" = "FSD $want" ]
    else
        [ "$actual" = "$want" ]
    fi
}

# upsd_wait_shows NAME VALUE SECONDS: polls upsc until it shows VALUE; sets upsd_change_ms.
upsd_wait_shows() {
    local start deadline
    start=$(upsd_now_ms)
    deadline=$((start + $3 * 1000))
    until upsd_shows "$1" "$2"; do
        if [ "$(upsd_now_ms)" -ge "$deadline" ]; then
            upsd_change_ms=
            return 1
        fi
        sleep 0.1
    done
    upsd_change_ms=$(($(upsd_now_ms) - start))
}

# The whole file at once, renamed into place, so the driver never reads half of it.
upsd_write_dev() {
    local name
    {
        for name in "${upsd_var_names[@]}"; do
            if [ "$name" = ups.status ]; then
                # One word a status flag, as the driver expects them.
                printf '%s: %s\n' "$name" "${upsd_vars[$name]}"
            else
                printf '%s: "%s"\n' "$name" "${upsd_vars[$name]}"
            fi
        done
    } >"$upsd_dir/ups.dev.new"
    upsd_dev_stamp=$((upsd_dev_stamp + 1))
    touch -m -d "@$upsd_dev_stamp" "$upsd_dir/ups.dev.new"
    mv -f "$upsd_dir/ups.dev.new" "$upsd_dir/ups.dev"
}

upsd_set() {
    [ -n "${upsd_vars[$1]+set}" ] || upsd_var_names+=("$1")
    upsd_vars[$1]=$2
}

# A port free on 127.0.0.1 and, when loopback has IPv6, on ::1 as well; prints "PORT 0|1".
upsd_free_port() {
    "$upsd_python" -c 'import socket
def bindable(family, host, port):
    s = socket.socket(family)
    try:
        s.bind((host, port))
        return s.getsockname()[1]
    except OSError:
        return None
    finally:
        s.close()
ipv6 = socket.has_ipv6 and bindable(socket.AF_INET6, "::1", 0) is not None
for _ in range(50):
    port = bindable(socket.AF_INET, "127.0.0.1", 0)
    if port and (not ipv6 or bindable(socket.AF_INET6, "::1", port)):
        print(port, int(ipv6))
        break'
}

# The talk with upsd over a raw connection: each argument a request line, each answer printed as
# "S: ..." after its "C: ..." line. An ERR answer ends it with status 2. With --hold FILE first,
# FILE is created after the last answer and the connection stays open until upsd closes it or
# the process is stopped.
upsd_talk_py='import socket, sys
args = sys.argv[1:]
hold = None
if args[0] == "--hold":
    hold = args[1]
    args = args[2:]
port, lines = int(args[0]), args[1:]
try:
    conn = socket.create_connection(("127.0.0.1", port), timeout=5)
except OSError as error:
    print("no connection:", error, flush=True)
    sys.exit(1)
replies = conn.makefile("rb")
for line in lines:
    conn.sendall((line + "\n").encode("ascii"))
    answer = replies.readline().decode("ascii", "replace").rstrip("\n")
    print("C:", line, flush=True)
    print("S:", answer, flush=True)
    if not answer or answer.startswith("ERR"):
        sys.exit(2)
if hold:
    open(hold, "w").close()
    conn.settimeout(None)
    while conn.recv(4096):
        pass
    print("upsd closed the connection", flush=True)'
upsd_talk() {
    "$upsd_python" -c "$upsd_talk_py" "$@"
}

# The daemons' command before their own: their configuration and state in the scratch folder,
# the PID files too, so nothing meets the machine's own NUT. A simple command put in the
# background is the process itself, so its $! is what the end signals.
upsd_prepare_env() {
    upsd_env=(env NUT_CONFPATH="$upsd_dir/conf" NUT_STATEPATH="$upsd_dir/state"
        NUT_ALTPIDPATH="$upsd_dir/state" timeout "$upsd_rig_lifetime")
    [ "$(id -u)" -ne 0 ] || upsd_as_root=(-u root)
}
upsd_env=()
# As root NUT drops to its own user, who may not enter the scratch folder.
upsd_as_root=()

# upsd answers "WAIT" until the driver has given it the data, then the file's status.
upsd_start_server() {
    "${upsd_env[@]}" "$upsd_binary" "${upsd_as_root[@]}" -F >>"$upsd_dir/upsd.out" 2>&1 &
    upsd_pid=$!
    pids+=("$upsd_pid")
    upsd_wait_shows ups.status "${upsd_vars[ups.status]}" 15 ||
        upsd_abort "upsd did not serve $upsd_target (upsc: '$(upsd_value ups.status)')"
}

start_upsd() {
    local tool found
    for tool in "$upsd_binary" "$upsd_driver" "$(command -v upsc || echo upsc)"; do
        [ -x "$tool" ] || { echo "$tool is missing (packages nut-server, nut-client)"; exit 1; }
    done
    upsd_ups=${1:-remote}
    mkdir -p "$upsd_dir/conf" "$upsd_dir/state"
    chmod 700 "$upsd_dir" "$upsd_dir/conf" "$upsd_dir/state"
    logs+=(upsd/driver.out upsd/upsd.out upsd/primary.log)

    found=$(upsd_free_port)
    [ -n "$found" ] || upsd_abort "no free loopback port for upsd"
    upsd_port=${found% *}
    upsd_target=$upsd_ups@127.0.0.1:$upsd_port
    if [ "${found#* }" = 1 ]; then
        upsd_target6="$upsd_ups@[::1]:$upsd_port"
    else
        upsd_target6=
    fi
    export upsd_port upsd_target upsd_target6 upsd_ups

    upsd_var_names=()
    upsd_vars=()
    upsd_set ups.status OL
    upsd_set input.voltage 230.0
    upsd_set output.voltage 229.5
    upsd_set ups.load 23
    upsd_set input.frequency 50.0
    upsd_set battery.voltage 13.5
    upsd_set battery.charge 100
    upsd_set ups.temperature 31.0
    upsd_dev_stamp=$(($(date +%s) - 86400))
    upsd_write_dev

    # mode is set rather than left to the ".dev" name, which older and newer drivers read
    # differently; dummy-once re-reads the file only when it changed, where dummy-loop would
    # read it again every second. pollinterval 1 looks at it each second.
    cat >"$upsd_dir/conf/ups.conf" <<EOF
[$upsd_ups]
    driver = dummy-ups
    port = $upsd_dir/ups.dev
    mode = dummy-once
    pollinterval = 1
    desc = "dummy-ups of the script tests"
EOF
    {
        echo "LISTEN 127.0.0.1 $upsd_port"
        [ -z "$upsd_target6" ] || echo "LISTEN ::1 $upsd_port"
    } >"$upsd_dir/conf/upsd.conf"
    cat >"$upsd_dir/conf/upsd.users" <<EOF
[follower]
    password = s3cret
    upsmon secondary

[admin]
    password = adminpw
    actions = SET FSD
    instcmds = ALL
    upsmon primary
EOF
    chmod 600 "$upsd_dir/conf/"*

    upsd_prepare_env
    "${upsd_env[@]}" "$upsd_driver" -a "$upsd_ups" "${upsd_as_root[@]}" -F \
        >>"$upsd_dir/driver.out" 2>&1 &
    upsd_driver_pid=$!
    pids+=("$upsd_driver_pid")
    # upsd started before the driver's socket exists would only retry later.
    wait_for 10 test -S "$upsd_dir/state/dummy-ups-$upsd_ups" ||
        upsd_abort "dummy-ups did not come up"

    upsd_start_server
}

# ups_status "OB LB": the status words the driver reports. While upsd is stopped only the file
# changes, and upsd shows it once restarted.
ups_status() {
    ups_var ups.status "$*"
}

ups_var() {
    [ -n "$upsd_driver_pid" ] || upsd_abort "ups_var before start_upsd"
    # Between dummy-ups 2.8.0 and upsd a '#' makes upsd drop the line as a parse error, and a
    # quote or a backslash cuts the value short: such a value would never show as written.
    case $2 in
    *[\"\\#]*) upsd_abort "ups_var $1: no '\"', '\\' or '#' gets through dummy-ups to upsd" ;;
    esac
    upsd_set "$1" "$2"
    upsd_write_dev
    [ -n "$upsd_pid" ] || return 0
    upsd_wait_shows "$1" "$2" 5 ||
        upsd_abort "upsc did not show $1 = '$2' within 5 s (shows '$(upsd_value "$1")')"
}

# The primary's session is what a real primary keeps open; upsd itself keeps FSD set until it
# is restarted, whether or not that session stays.
primary_fsd() {
    local ready=$upsd_dir/primary.ready status=0
    [ -n "$upsd_pid" ] || upsd_abort "primary_fsd while upsd is stopped"
    rm -f "$ready"
    # upsd 2.8.0 sets FSD for any user with the FSD action; LOGIN and PRIMARY are what a real
    # primary sends first, and the test sees the same.
    "$upsd_python" -c "$upsd_talk_py" --hold "$ready" "$upsd_port" \
        "USERNAME admin" "PASSWORD adminpw" "LOGIN $upsd_ups" "PRIMARY $upsd_ups" "FSD $upsd_ups" \
        >>"$upsd_dir/primary.log" 2>&1 &
    upsd_primary_pid=$!
    pids+=("$upsd_primary_pid")
    wait_for 10 test -e "$ready" -o ! -d "/proc/$upsd_primary_pid" || true
    if [ ! -e "$ready" ]; then
        wait "$upsd_primary_pid" 2>/dev/null || status=$?
        upsd_forget_pid "$upsd_primary_pid"
        upsd_primary_pid=
        upsd_abort "the primary's FSD failed (status $status)"
    fi
    grep -qx 'S: OK FSD-SET' "$upsd_dir/primary.log" ||
        upsd_abort "upsd did not answer FSD with OK FSD-SET"
    local start deadline
    start=$(upsd_now_ms)
    deadline=$((start + 5000))
    until [[ " $(upsd_value ups.status) " == *" FSD "* ]]; do
        [ "$(upsd_now_ms)" -lt "$deadline" ] ||
            upsd_abort "upsc did not show FSD (shows '$(upsd_value ups.status)')"
        sleep 0.1
    done
    upsd_change_ms=$(($(upsd_now_ms) - start))
}

stop_upsd() {
    [ -n "$upsd_pid" ] || return 0
    kill -TERM "$upsd_pid" 2>/dev/null || true
    wait "$upsd_pid" 2>/dev/null || true
    upsd_forget_pid "$upsd_pid"
    upsd_pid=
    # upsd's end closes the primary's session, which ends by itself on that.
    if [ -n "$upsd_primary_pid" ]; then
        wait_for 3 test ! -d "/proc/$upsd_primary_pid" ||
            kill -TERM "$upsd_primary_pid" 2>/dev/null || true
        wait "$upsd_primary_pid" 2>/dev/null || true
        upsd_forget_pid "$upsd_primary_pid"
        upsd_primary_pid=
    fi
}

# FSD does not survive it: upsd keeps that flag in its own memory.
restart_upsd() {
    stop_upsd
    upsd_start_server
}

upsd_logins() {
    local out status=0
    out=$(upsd_talk "$upsd_port" "GET NUMLOGINS $upsd_ups") || status=$?
    if [ "$status" -ne 0 ]; then
        echo "${out:-no answer}" >&2
        return 1
    fi
    # "S: NUMLOGINS <ups> <n>"
    out=$(printf '%s\n' "$out" | sed -n 's/^S: NUMLOGINS [^ ]* \([0-9]*\)$/\1/p')
    [ -n "$out" ] || return 1
    echo "$out"
}

upsd_logins_is() {
    [ "$(upsd_logins 2>/dev/null)" = "$1" ]
}
