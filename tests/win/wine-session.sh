# Sourced by the Windows tests and the demo: Wine in the build's own prefix with the machine's
# serial ports hidden, and the small helpers the scripts share; the X display's helpers come from
# tests/scripts/x_session.bash.
#
# Needs before sourcing: tests/scripts/harness.bash, win_build (the Windows build folder) and
# source_dir (the source tree).

hide_ports=$source_dir/tests/win/hide-system-ports
export WINEPREFIX=$win_build/wineprefix
export WINEDEBUG=-all
# No Mono or Gecko installer prompts.
export WINEDLLOVERRIDES=mscoree,mshtml=

. "$source_dir/tests/scripts/x_session.bash"

# Every Wine command goes through the port hiding: the wineserver it may start opens the devices.
wine_run() {
    "$hide_ports" wine "$@"
}
wineserver_run() {
    "$hide_ports" wineserver "$@"
}

# The prefix's own wineserver, kept running until stop_wine: the registry edits below only hold
# for the lifetime of one server, and the programs must start under the same one. A server left
# from an earlier run (another display, another port map) is ended first.
start_wineserver() {
    wineserver_run -k 2>/dev/null || true
    wineserver_run -w 2>/dev/null || true
    wineserver_run -f -p >>"$work/wineserver.log" 2>&1 &
    pids+=($!)
    # The first client waits for the server's start-up, the devices' included.
    wine_run reg query 'HKLM\Software\Wine' >/dev/null 2>&1
}
# Waits for the server to be gone: a Wine program started meanwhile (the next test in the
# prefix) would reach the dying server and fail with "recvmsg: Connection reset by peer".
stop_wine() {
    wineserver_run -k 2>/dev/null || true
    wineserver_run -w 2>/dev/null || true
}

# map_ports COMn=PATH ...: the ports Wine maps onto the given Unix paths (pseudo-terminals),
# which mountmgr reads when the server starts. Restarts the server. A port mapped before and not
# now is gone: mountmgr makes the prefix's device links anew but leaves stale ones in place.
map_ports() {
    local mapping
    stop_wine
    wineserver_run -w 2>/dev/null || true
    wine_run reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 || true
    for mapping in "$@"; do
        wine_run reg add 'HKLM\Software\Wine\Ports' /v "${mapping%%=*}" /t REG_SZ \
            /d "${mapping#*=}" /f >/dev/null
    done
    stop_wine
    rm -f "$WINEPREFIX"/dosdevices/com*
    start_wineserver
}

# set_serialcomm NAME=DATA ...: the system's list of serial ports exactly these values (REG_SZ;
# NAME=dword:N for a value of another type). Holds until the server ends. The key itself stays:
# it lives in the volatile part of the registry, where it cannot be made anew.
set_serialcomm() {
    local value
    wine_run reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /va /f >/dev/null
    for value in "$@"; do
        case ${value#*=} in
            dword:*)
                wine_run reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "${value%%=*}" \
                    /t REG_DWORD /d "${value#*=dword:}" /f >/dev/null ;;
            *)
                wine_run reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "${value%%=*}" \
                    /t REG_SZ /d "${value#*=}" /f >/dev/null ;;
        esac
    done
}

# A Unix path as the Windows programs see it (drive Z: is the root).
windows_path() {
    printf 'Z:%s' "${1//\//\\}"
}
