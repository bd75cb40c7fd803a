#!/usr/bin/env bash
# upszelto.exe end to end under Wine, on a private Xvfb with trayer as the tray host, polling the
# UPS simulator on a pseudo-terminal that Wine maps to COM7 in the build's own prefix. The
# machine's serial ports are hidden from every Wine process, the program names its port with the
# "Ports" setting, and the program run is the test build, whose power requests only go to a log.
#
# One session, many checks: `begin` starts the display, the tray, the simulator and the prefix's
# server and leaves them running; each scenario below is then one step (one CTest test, in the
# order the scenarios stand here, each going on from where the one before left the program);
# `end` stops it all. The session lives in the folder wine-e2e of the Windows build.
#   - start-up: the tray icon, no window shown, the caption, polling, the readings, the settings
#     file (COMPort added, CRLF, the other lines kept); one copy per session;
#   - a click on the tray icon shows the main window: its controls, texts and positions;
#   - the port list red while the simulator is silent, black again when it answers, and a lost
#     port opened again;
#   - the beeper picture sends the beeper toggle; a policy list stores its choice; the About
#     dialog; the end-of-session query answered with consent; the icon back in a new taskbar;
#   - a mains failure runs the countdown, the UPS switch-off command reaches the simulator and
#     the power request reaches the recorder; a refused request is reported in an error box;
#   - the NUT server on loopback: Linux's upsc lists the readings and errs on an unknown UPS, a
#     200 KB line is skipped and a ninth connection from one address refused, a failed login
#     waits out its delay without holding others up, a secondary's LOGIN counts, and
#     after a mains failure FSD shows while the power request waits for the secondary to leave;
#     a port in use at 127.0.0.1 is reported in an error box while ::1 is served;
#   - the port list from the system's table (SERIALCOMM), sorted, and a value of the wrong type
#     skipped; "Закрыть" from the tray menu and "Выход" end the program with status 0;
#   - a tray that refuses the icon at first: the window shows until the icon gets in;
#   - a start without the UPS's adapter writes nothing over the remembered port, journals it
#     missing, and the next start with the adapter polls it;
#   - the journal beside the settings file, line by line as things happen, in order through an
#     outage with a refused power request, ending with the exit; the journal window from the tray
#     menu following it; the balloon on a mains failure; the end of the session journalled;
#   - following a UPS that Linux's upsd serves instead of the serial port: the login, the
#     readings, the UPS switch-off list greyed, "никогда" kept on battery, the primary's FSD
#     acted on within the countdown and a second, logging out first, no password in the journal
#     and not a byte to the serial port.
#
# Usage: upszelto_wine.sh begin | SCENARIO | end, SCENARIO one of the scenario_ functions'
# names with dashes (start-up, one-copy, ...).
# Environment: ZELTO_WIN_BUILD (the Windows build), ZELTO_LINUX_BUILD (ups-sim), ZELTO_SOURCE_DIR.
set -euo pipefail
win_build=${ZELTO_WIN_BUILD:?}
linux_build=${ZELTO_LINUX_BUILD:?}
source_dir=${ZELTO_SOURCE_DIR:?}
step=${1:?"usage: $0 begin | SCENARIO | end"}

# Every step works in the session's folder; only `end` removes it.
harness_work=$win_build/wine-e2e
if [ "$step" = begin ]; then
    mkdir -p "$harness_work"
elif [ "$step" != end ] && [ ! -s "$harness_work/session" ]; then
    echo "FAIL: no session: run '$0 begin' first"
    exit 1
fi
[ "$step" = end ] || harness_keep=1
. "$source_dir/tests/scripts/harness.bash"
# shellcheck source=tests/win/wine-session.sh
. "$source_dir/tests/win/wine-session.sh"
logs=(program.log)
on_failure() {
    echo "--- simulator commands other than Q1"; grep -v " Q1$" "$work/commands.log"
    echo "--- main window"; probe tree TForm1 | head -n 1
    echo "--- countdown"; probe tree TForm2
    echo "--- power requests"; cat "$work"/run*/power.log
}

python=/usr/bin/python3
probe() { wine_run "$win_build/winprobe.exe" "$@"; }
# control CLASS ID: the probe's line for one control of a window.
control() { probe tree "$1" | grep -E "^control id=$2 " || true; }
# control_id CLASS RECT: the id of the main window's control of CLASS whose rectangle starts so.
control_id() {
    probe tree TForm1 | grep -E "class=$1 rect=$2" | sed -E 's/^control id=([0-9]+) .*/\1/'
}

# The session's processes outlive the step that started them: `end` stops them by their ids.
# map_ports starts the prefix's server anew, which is the session's too.
session_map_ports() {
    map_ports "$@"
    echo "${pids[-1]}" >>"$work/session.pids"
    unset 'pids[-1]'
}
gone() { ! kill -0 "$1" 2>/dev/null || [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = Z ]; }
stop_session_pid() {
    kill -TERM "$1" 2>/dev/null || true
    wait_for 5 gone "$1" || true
}

# The simulator, driven through its control FIFO; its log is appended to, so a simulator started
# again goes on with the same log and the same link.
start_sim() {
    "$linux_build/ups-sim" --log "$work/commands.log" --control "$work/sim.ctl" "$work/ups" \
        </dev/null >>"$work/sim.out" 2>&1 &
    echo $! >"$work/sim.pid"
    wait_for 10 test -e "$work/ups" -a -p "$work/sim.ctl" || fail "ups-sim did not make its link"
}
stop_sim() {
    stop_session_pid "$(cat "$work/sim.pid")"
}
# sim LINE: one control line, taken when the simulator acknowledges it once more.
acknowledged() { [ "$(grep -cxF "ok: $1" "$work/sim.out")" -gt "$2" ]; }
sim() {
    local before
    before=$(grep -cxF "ok: $1" "$work/sim.out" || true)
    echo "$1" >"$work/sim.ctl"
    wait_for 5 acknowledged "$1" "$before" || fail "ups-sim did not take '$1'"
}

# start_program DIR [VAR=VALUE ...]: the test build in DIR, its power requests logged there; its
# exit status goes to program.status when it ends.
start_program() {
    local dir=$1
    shift
    rm -f "$work/program.status"
    (
        cd "$dir"
        status=0
        env ZELTO_POWER_LOG="$(windows_path "$dir/power.log")" "$@" \
            "$hide_ports" wine "$win_build/upszelto-test.exe" || status=$?
        echo "$status" >"$work/program.status"
    ) >"$work/program.log" 2>&1 &
    echo $! >"$work/program.pid"
    wait_for 20 probe tree TForm1 || fail "the main window never came up"
}
program_running() { [ -s "$work/program.pid" ] && [ ! -e "$work/program.status" ]; }
# Waits up to 15 s for the program to end by itself; fails unless it ends with status 0.
end_program() {
    wait_for 15 test -e "$work/program.status" || fail "the program did not end"
    [ "$(cat "$work/program.status")" = 0 ] ||
        fail "the program ended with status $(cat "$work/program.status")"
}

# The tray icon: the window trayer docked into its panel.
icon_id() { xwininfo -tree -id "$(tray_panel)" | awk '/\("explorer.exe" / {print $1; exit}'; }
icon_in_tray() { [ -n "$(icon_id)" ]; }
click_icon() {
    xdotool mousemove --window "$(icon_id)" 8 8 click "${1:-1}"
    # Two clicks closer together than this would make a double click.
    sleep 0.8
}
# holds WHAT TREE ROW...: each ROW is (a part of) a line of TREE, a window's tree as the probe
# gives it; WHAT names the window for the failure.
holds() {
    local what=$1 tree=$2 row
    shift 2
    for row in "$@"; do
        grep -qF "$row" <<<"$tree" || fail "$what has no '$row': $tree"
    done
}
# shows CLASS ID TEXT: the control's line holds TEXT.
shows() { control "$1" "$2" | grep -qF -- "$3"; }
main_visible() { probe tree TForm1 | grep -q '^window class=TForm1 .* visible=1'; }
main_hidden() { probe tree TForm1 | grep -q '^window class=TForm1 .* visible=0'; }
countdown_visible() { probe tree TForm2 | grep -q '^window class=TForm2 caption=ZELTO Homeline client=295x118 .* visible=1'; }
# An error box is open once it shows its text.
box_open() { [ -n "$(probe box)" ]; }
box_closed() { ! probe box; }
# The port list's colour: red pixels while the link is down.
red_pixels() { probe red TForm1 "$(control_id ComboBox 8,120,)"; }
link_red() { [ "$(red_pixels)" -gt 10 ]; }
link_black() { [ "$(red_pixels)" -eq 0 ]; }
port_list() { probe tree TForm1 | grep -E 'class=ComboBox rect=8,120,'; }
# The journal's words, one event a line: "start mains-lost ...".
journal_words() { sed -E 's/^[^ ]+ ([^ ]+).*$/\1/' "$1" | tr '\n' ' '; }

# ---- The session --------------------------------------------------------------------------------
# The processes of the session recorded in its folder, the last started first.
stop_recorded_pids() {
    local pid
    for pid in $(cat "$work/program.pid" "$work/sim.pid" 2>/dev/null) \
        $(tac "$work/session.pids" 2>/dev/null); do
        stop_session_pid "$pid"
    done
}

session_begin() {
    # A session whose end never came (its run was cut short) is ended first.
    stop_recorded_pids
    find "$work" -mindepth 1 -delete
    [ -x "$linux_build/ups-sim" ] || fail "no $linux_build/ups-sim"
    start_xvfb || fail "Xvfb did not start"
    start_trayer || fail "trayer did not come up"
    start_sim
    map_ports "COM7=$work/ups"
    # Handed over to the steps after this one: the display, and the processes `end` stops.
    printf '%s\n' "${pids[@]}" >"$work/session.pids"
    pids=()
    echo "DISPLAY=$DISPLAY" >"$work/session"
    echo "the session is up: Xvfb on $DISPLAY, trayer, ups-sim on COM7, the prefix's server"
}

session_end() {
    # The prefix maps no port onto a pseudo-terminal that is gone.
    wine_run reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 || true
    stop_wine
    stop_recorded_pids
    echo "the session is stopped"
}

# ---- Start-up -----------------------------------------------------------------------------------
scenario_start_up() {
    mkdir "$work/run"
    printf '; kept as it is\r\n[UPS]\r\nPorts=COM7\r\nCompOff=6\r\n' >"$work/run/UPSZelto.ini"
    start_program "$work/run"
    wait_for 15 icon_in_tray || fail "the icon never got into the tray"
    main_hidden || fail "the main window is shown at start-up"
    probe tree TForm1 | grep -q '^window class=TForm1 caption=ZELTO Homeline client=409x255 ' ||
        fail "the main window's caption or size"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the program does not poll COM7"
    wait_for 10 shows TForm1 106 'text=228.0 V' || fail "no readings shown"
    expected=$(printf '; kept as it is\r\n[UPS]\r\nPorts=COM7\r\nCompOff=6\r\nCOMPortPath=COM7\r\nCOMPort=0\r\n')
    [ "$(cat "$work/run/UPSZelto.ini")" = "$expected" ] ||
        fail "the settings file after start-up: $(od -c "$work/run/UPSZelto.ini")"
    grep -qE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2} start$' \
        "$work/run/UPSZelto.log" || fail "no start in the journal: $(cat "$work/run/UPSZelto.log")"
    echo "start-up: icon in the tray, no window, polling COM7, readings shown, the port remembered"
}

# ---- One copy per session -----------------------------------------------------------------------
# A second start, in a folder of its own, shows the first one's window and ends with status 0,
# without a settings file, a journal or a port of its own.
scenario_one_copy() {
    mkdir "$work/second"
    (cd "$work/second" && exec "$hide_ports" wine "$win_build/upszelto-test.exe") \
        >"$work/second.log" 2>&1 &
    second=$!
    pids+=("$second")
    ends_well "$second" 20 "the second start"
    wait_for 5 main_visible || fail "the second start did not show the first one's main window"
    [ -z "$(ls -A "$work/second")" ] || fail "the second start left files: $(ls "$work/second")"
    program_running || fail "the first program ended on the second start"
    [ "$(journal_words "$work/run/UPSZelto.log")" = "start " ] ||
        fail "the journal after the second start: $(cat "$work/run/UPSZelto.log")"
    probe send TForm1 0x0010 0 0 >/dev/null  # WM_CLOSE: back to the tray
    wait_for 5 main_hidden || fail "the main window did not go back to the tray"
    echo "a second start shows the first one's window and ends with status 0, touching nothing"
}

# ---- The main window from the tray --------------------------------------------------------------
scenario_main_window() {
    click_icon
    wait_for 5 main_visible || fail "a click on the icon did not show the main window"
    tree=$(probe tree TForm1)
    grep -q '^window class=TForm1 caption=ZELTO Homeline client=409x255 .* visible=1 enabled=1 minimize=1 maximize=0 sizable=0$' \
        <<<"$tree" || fail "the main window's frame: $(head -n 1 <<<"$tree")"
    # Every control: class, position in its parent, and its text (readings as the simulator gives
    # them: 228.0 V, load 015, 50.0 Hz, battery 13.6 V, 35.0 degrees, beeper on).
    while IFS='|' read -r class rect text; do
        grep -qF "class=$class rect=$rect visible=1 text=$text" <<<"$tree" ||
            fail "no $class at $rect reading '$text'"
    done <<'ROWS'
TPanel|0,0,409,217|
Static|160,8,70,13|Температура:
Static|232,8,60,13|35.0 °C
Static|296,8,54,13|Частота:
Static|352,8,52,13|50.0 Hz
Static|8,27,64,26|Напряжение\nв сети:
Static|46,40,60,13|228.0 V
Static|160,27,64,26|Напряжение\nна входе:
Static|232,40,60,13|228.0 V
Static|296,27,64,26|Напряжение\nна выходе:
Static|352,40,52,13|228.0 V
Static|40,56,32,32| icon=1
Static|184,56,32,32| icon=1
Static|328,56,32,32| icon=1
Static|296,96,54,13|Нагрузка:
Static|352,96,52,13|015 %
TPanel|296,112,97,12|
msctls_progress32|1,1,95,10| position=15
Static|8,104,40,13|Связь:
Static|144,120,32,32| icon=1
Static|184,120,32,32| icon=1
Static|224,136,124,13|Напряжение на батареи:
Static|352,136,52,13|13.6 V
Static|272,152,78,13|Заряд батареи:
Static|352,152,52,13|100 %
Static|8,170,393,2|
Static|8,176,132,13|Выключить компьютер
Static|144,176,124,13|Метод выключения
Static|272,176,132,13|И выключить UPS через
Static|3,220,32,32| icon=1
Button|224,224,91,25|О программе...
Button|328,224,75,25|Выход
ROWS
    # The lists: the port list holds COM7, selected, then the entry for a UPS served over the
    # network; the policy lists their entries and the stored
    # choices (CompOff=6, the others at their defaults).
    grep -qF 'class=ComboBox rect=8,120,65,' <<<"$tree" || fail "no port list at 8,120"
    grep -qE 'class=ComboBox rect=8,120,65,[0-9]+ visible=1 text=COM7 items=COM7\|Сетевой UPS… selected=0$' \
        <<<"$tree" || fail "the port list: $(grep 'rect=8,120,65' <<<"$tree")"
    grep -qE 'class=ComboBox rect=8,192,129,[0-9]+ visible=1 text=никогда items=при отказе сети\|при 80% батареи\|при 50% батареи\|при 30% батареи\|при 20% батареи\|при 10% батареи\|никогда selected=6$' \
        <<<"$tree" || fail "the shutdown trigger list"
    grep -qE 'class=ComboBox rect=144,192,121,[0-9]+ visible=1 text=Выключит компьютер items=Выключит компьютер\|Спящий режим\|Ждущий режим selected=0$' \
        <<<"$tree" || fail "the shutdown method list"
    grep -qE 'class=ComboBox rect=272,192,129,[0-9]+ visible=1 text=никогда items=никогда\|1 минуту\|2 минуты\|3 минуты\|4 минуты\|5 минут\|6 минут\|7 минут\|8 минут\|9 минут\|10 минут selected=0$' \
        <<<"$tree" || fail "the UPS switch-off list"
    # On mains the clock is hidden.
    grep -qF 'visible=0 text=Время работы от батареи:' <<<"$tree" || fail "the on-battery clock shows on mains"
    echo "the tray click shows the main window with every control in place"
}

# ---- The link's colour --------------------------------------------------------------------------
scenario_link_colour() {
    wait_for 5 link_black || fail "the port list is not black while the UPS answers ($(red_pixels) red)"
    sim "silent on"
    wait_for 6 link_red || fail "the port list did not turn red on a silent UPS"
    sim "silent off"
    wait_for 6 link_black || fail "the port list did not turn black again"
    echo "the port list turns red on a silent UPS and black again"
}

# ---- A lost port is opened again ----------------------------------------------------------------
# The simulator goes away, its pseudo-terminal with it, and comes back on a new one behind the
# same link: the program must notice, close the dead port and open COM7 anew by itself.
scenario_lost_port() {
    stop_sim
    wait_for 6 link_red || fail "the port list did not turn red without the simulator"
    start_sim
    mark=$(wc -l <"$work/commands.log")
    answered_again() { [ "$(tail -n +$((mark + 1)) "$work/commands.log" | grep -c ' Q1$')" -ge 2 ]; }
    wait_for 15 answered_again || fail "the program did not open COM7 again"
    wait_for 6 link_black || fail "the port list did not turn black on the new line"
    echo "a lost port is opened again when the device is back"
}

# ---- Beeper, a policy choice, About, the end-of-session query -----------------------------------
scenario_window_controls() {
    beeper_id=$(control_id Static 144,120,32,32)
    probe click TForm1 "$beeper_id"
    wait_for 5 grep -q ' Q$' "$work/commands.log" || fail "the beeper picture sent no beeper toggle"
    probe select TForm1 "$(control_id ComboBox 144,192,)" 1
    wait_for 5 grep -q $'^OffMethod=1\r$' "$work/run/UPSZelto.ini" || fail "the method choice was not stored"
    probe click TForm1 "$(control_id Button 224,224,)"
    about_visible() { probe tree TAboutBox | grep -q '^window class=TAboutBox caption=About client=298x222 .* visible=1'; }
    wait_for 5 about_visible || fail "the About dialog did not open"
    about=$(probe tree TAboutBox)
    grep -qF 'text=ZELTO UPS Control program' <<<"$about" || fail "About: no product line"
    grep -qF 'class=Button rect=111,188,75,25 visible=1 text=OK' <<<"$about" || fail "About: no OK"
    probe send TAboutBox 0x0010 0 0 >/dev/null  # WM_CLOSE: the title bar's close
    about_hidden() { probe tree TAboutBox | grep -q '^window class=TAboutBox .* visible=0'; }
    wait_for 5 about_hidden || fail "About did not close"
    main_visible || fail "closing About hid the main window"
    [ "$(probe send TForm1 0x0011 0 0)" = 1 ] || fail "the end-of-session query was refused"
    echo "beeper toggle sent, method stored, About opens and closes, end of session consented"
}

# ---- The shell restarts: the icon comes back ----------------------------------------------------
scenario_taskbar_restart() {
    probe tray-gone TForm1 || fail "the probe could not take the icon out of the tray"
    icon_gone() { ! icon_in_tray; }
    wait_for 5 icon_gone || fail "the icon stayed in the tray"
    probe taskbar-created TForm1
    wait_for 5 icon_in_tray || fail "the icon did not come back when the taskbar was made anew"
    echo "the icon comes back into a taskbar made anew"

}

# ---- A mains failure: the countdown, the UPS switch-off, the power request ----------------------
# Trigger "при отказе сети", hibernate (chosen above), the UPS off after "1 минуту", and a
# countdown of six seconds, written by hand as the user would.
scenario_outage() {
    printf 'OFFAfter=6\r\n' >>"$work/run/UPSZelto.ini"
    probe select TForm1 "$(control_id ComboBox 272,192,)" 1
    probe select TForm1 "$(control_id ComboBox 8,192,)" 0
    wait_for 5 grep -q $'^CompOff=0\r$' "$work/run/UPSZelto.ini" || fail "the trigger choice was not stored"
    sim "mains off"
    wait_for 5 countdown_visible || fail "no countdown on the mains failure"
    # Journalled as it happens, not at the end.
    grep -q ' mains-lost mains=' "$work/run/UPSZelto.log" || fail "no mains-lost in the journal yet"
    wait_for 5 probe balloon || fail "no balloon on the mains failure"
    mark=$(wc -l <"$work/commands.log")
    countdown=$(probe tree TForm2)
    holds "the countdown" "$countdown" \
        'class=Static rect=56,24,167,13 visible=1 text=Система будет выключена через' \
        'class=Button rect=200,80,75,25 visible=1 text=Отмена' \
        'class=Button rect=16,80,121,25 visible=1 text=Выключить сейчас'
    seconds() { probe tree TForm2 | sed -nE 's/.* rect=131,48,18,13 visible=1 text=([0-9]+)$/\1/p'; }
    first=$(seconds)
    [[ "$first" =~ ^[0-6]$ ]] || fail "the countdown does not show its seconds: $countdown"
    probe tree TForm1 | grep -q '^window class=TForm1 .* enabled=0 ' ||
        fail "the main window takes input under the countdown"
    counted_down() { local now; now=$(seconds); [ -n "$now" ] && [ "$now" -lt "$first" ]; }
    wait_for 6 counted_down || fail "the countdown did not count down from $first"
    # The main window's timer keeps polling while the countdown shows.
    polled_meanwhile() { [ "$(tail -n +$((mark + 1)) "$work/commands.log" | grep -c ' Q1$')" -ge 2 ]; }
    wait_for 2 polled_meanwhile || fail "no polling while the countdown showed"
    countdown_visible || fail "the countdown ended too soon to tell"
    wait_for 10 grep -q ' S01R0000$' "$work/commands.log" || fail "the UPS was not told to switch off"
    # From the failure at the simulator to the command: the six seconds, and at most two ticks until
    # a record says on battery; one query a second all the while.
    at() { date -d "$(grep -m1 -E "$1" "$work/commands.log" | cut -d' ' -f1)" +%s.%N; }
    took=$(awk -v a="$(at ' # mains off$')" -v b="$(at ' S01R0000$')" 'BEGIN { printf "%.1f", b - a }')
    queries=$(sed -n '/ # mains off$/,/ S01R0000$/p' "$work/commands.log" | grep -c ' Q1$')
    echo "mains failure to S01R0000 with OFFAfter=6: ${took} s, $queries queries meanwhile"
    awk -v t="$took" 'BEGIN { exit !(t <= 8) }' || fail "the UPS command came ${took} s after the failure"
    [ "$queries" -ge 6 ] || fail "only $queries queries between the failure and the UPS command"
    wait_for 5 test -s "$work/run/power.log" || fail "no power request"
    [ "$(cat "$work/run/power.log")" = $'SetSuspendState(TRUE, FALSE, FALSE)\r' ] ||
        fail "the power request: $(cat "$work/run/power.log")"
    countdown_hidden() { probe tree TForm2 | grep -q '^window class=TForm2 .* visible=0'; }
    wait_for 5 countdown_hidden || fail "the countdown stayed"
    sim "mains on"
    echo "mains failure: countdown, then S01R0000 to the UPS and the hibernate request recorded"
}

# ---- The journal window -------------------------------------------------------------------------
# "Журнал" (the second entry of the tray menu) opens it with the lines of the file; it follows
# the journal while it shows, and closing it only hides it.
scenario_journal_window() {
    wait_for 5 grep -q ' mains-back ' "$work/run/UPSZelto.log" || fail "no mains-back in the journal"
    click_icon 3
    wait_for 5 probe menu || fail "a right click did not open the tray menu"
    probe menu-pick 2
    journal_visible() { probe tree TJournalForm | grep -q '^window class=TJournalForm caption=Журнал .* visible=1'; }
    wait_for 5 journal_visible || fail "\"Журнал\" did not open the journal window"
    journal_text() { probe text TJournalForm 100; }
    shows_journal() { [ "$(journal_text)" = "$(cat "$work/run/UPSZelto.log")" ]; }
    wait_for 5 shows_journal || fail "the journal window: $(journal_text)"
    delay_id=$(control_id ComboBox 272,192,)
    probe select TForm1 "$delay_id" 2
    # The window's last line, once the journal has settled after the mains came back.
    last_line_names() { journal_text | tail -n 1 | grep -qF "$1"; }
    wait_for 5 last_line_names 'setting-changed OffUPS=2' ||
        fail "the journal window did not follow: $(journal_text | tail -n 2)"
    probe select TForm1 "$delay_id" 1
    wait_for 5 last_line_names 'setting-changed OffUPS=1' ||
        fail "the journal window did not follow: $(journal_text | tail -n 2)"
    shows_journal || fail "the journal window and the file differ"
    probe send TJournalForm 0x0010 0 0 >/dev/null
    journal_hidden() { probe tree TJournalForm | grep -q '^window class=TJournalForm .* visible=0'; }
    wait_for 5 journal_hidden || fail "the journal window did not close"
    program_running || fail "closing the journal window ended the program"
    echo "the journal window opens from the tray menu, shows the file's lines and follows them"
}

# ---- "Закрыть" from the tray menu ends the program ----------------------------------------------
scenario_tray_exit() {
    click_icon 3
    wait_for 5 probe menu || fail "a right click did not open the tray menu"
    read -r mx my mw mh < <(probe menu)
    xdotool mousemove $((mx + mw / 2)) $((my + mh - 6)) click 1
    end_program
    wait_for 5 sh -c "[ -z \"\$(xwininfo -tree -id $(tray_panel) | grep explorer.exe)\" ]" ||
        fail "the icon stayed in the tray after Exit"
    kept=$(printf '; kept as it is\r\n[UPS]\r\nPorts=COM7\r\nCompOff=0\r\nCOMPortPath=COM7\r\nCOMPort=0\r\nOffMethod=1\r\nOFFAfter=6\r\nOffUPS=1\r\n')
    [ "$(cat "$work/run/UPSZelto.ini")" = "$kept" ] ||
        fail "the settings file at the end: $(od -c "$work/run/UPSZelto.ini")"
    [ "$(tail -n 1 "$work/run/UPSZelto.log" | cut -d' ' -f2-)" = exit ] ||
        fail "the journal does not end with the exit: $(tail -n 3 "$work/run/UPSZelto.log")"
    echo "\"Закрыть\" ends the program with status 0, the icon leaves the tray, the settings are kept"
}

# ---- A refused power request is reported --------------------------------------------------------
# The recorder refuses with the system's "access denied" (error 5); the UPS, told to switch off
# in a minute, is told to cancel that again. "OFFAfter" turns bad while the program runs: that
# is reported as the countdown starts, inside it, and the countdown runs its default ten seconds
# while nobody answers the box.
scenario_refused_power() {
    mkdir "$work/run2"
    printf '[UPS]\r\nPorts=COM7\r\nCompOff=0\r\nOffMethod=0\r\nOffUPS=1\r\nOFFAfter=0\r\n' \
        >"$work/run2/UPSZelto.ini"
    : >"$work/commands.log"
    start_program "$work/run2" ZELTO_POWER_REFUSE=5
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the second program does not poll"
    sed -i 's/^OFFAfter=0\r$/OFFAfter=x\r/' "$work/run2/UPSZelto.ini"
    grep -q $'^OFFAfter=x\r$' "$work/run2/UPSZelto.ini" || fail "the test could not spoil OFFAfter"
    box_closed || fail "an error box at start-up"
    sim "mains off"
    wait_for 20 test -s "$work/run2/power.log" || fail "no power request while an error box waited"
    [ "$(cat "$work/run2/power.log")" = $'ExitWindowsEx(0x00000018, 0x8006000c) privilege=ok\r' ] ||
        fail "the power request: $(cat "$work/run2/power.log")"
    wait_for 10 box_open || fail "no error box for the bad countdown length"
    # The box holds nothing: the main window takes input and the poll goes on under it.
    probe tree TForm1 | grep -q '^window class=TForm1 .* enabled=1 ' ||
        fail "an error box disabled the main window"
    queries=$(grep -c ' Q1$' "$work/commands.log")
    wait_for 5 sh -c "[ \$(grep -c ' Q1\$' '$work/commands.log') -ge $((queries + 2)) ]" ||
        fail "no polling while an error box was open"
    text=$(probe box ok)
    [ "$text" = "'x' is not a valid integer value." ] || fail "the bad value's box: $text"
    wait_for 10 box_open || fail "no error box for the refused power-off"
    text=$(probe box ok)
    [ "$text" = "Не удалось выключить компьютер: Access denied." ] || fail "the refusal's box: $text"
    wait_for 5 box_closed || fail "the error box did not close"
    others=$(grep -v -e ' Q1$' -e ' # ' "$work/commands.log" | cut -d' ' -f2 | tr '\n' ' ')
    [ "$others" = "S01R0000 C " ] || fail "the UPS got '$others', not the switch-off and its cancel"
    sim "mains on"
    wait_for 10 grep -q ' mains-back ' "$work/run2/UPSZelto.log" || fail "no mains-back in the journal"
    echo "an unanswered error box does not hold the countdown back; a refused power-off withdraws"
    echo "the UPS switch-off and is reported with the system's reason, after the box before it"

    # Stand-by on a machine without S3 (Wine reports none) is pointed out when it is chosen.
    probe select TForm1 "$(control_id ComboBox 144,192,)" 2
    wait_for 10 box_open || fail "no warning for stand-by without S3"
    text=$(probe box ok)
    [ "$text" = "Метод выключения «Ждущий режим» не сработает при отказе сети: ждущий режим на этом компьютере отключён или не поддерживается. Включите его в настройках системы или выберите другой метод." ] ||
        fail "the stand-by warning: $text"
    wait_for 5 box_closed || fail "the warning box did not close"
    echo "stand-by on a machine without it is pointed out when chosen"
}

# ---- "Выход" ends the program -------------------------------------------------------------------
scenario_exit_button() {
    probe click TForm1 "$(control_id Button 328,224,)"
    end_program
    echo "\"Выход\" ends the program with status 0"

    # The outage, the refused request and the exit, journalled in the order they happened.
    words=$(journal_words "$work/run2/UPSZelto.log")
    [ "$words" = "start mains-lost error countdown-started countdown-finished ups-switch-off-sent power-request power-refused ups-cancel-sent error mains-back setting-changed error exit " ] ||
        fail "the journal of the outage: $(cat "$work/run2/UPSZelto.log")"
    grep -qF 'power-refused' "$work/run2/UPSZelto.log" &&
        grep -F 'power-refused' "$work/run2/UPSZelto.log" | grep -qF 'reason="Access denied."' ||
        fail "the refusal's reason: $(grep -F power-refused "$work/run2/UPSZelto.log")"
    grep -qF "error text=\"Не удалось выключить компьютер: Access denied.\"" "$work/run2/UPSZelto.log" ||
        fail "the refusal's box is not journalled: $(grep -F ' error ' "$work/run2/UPSZelto.log")"
    echo "the journal holds the outage, the refusal with its reason and the boxes in order, then exit"
}

# ---- The program in English ---------------------------------------------------------------------
# "Language=en": the tray's tip, the outage's countdown and balloon, and the window read in
# English; the journal keeps its machine words.
scenario_in_english() {
    mkdir "$work/run-en"
    printf '[UPS]\r\nLanguage=en\r\nPorts=COM7\r\nCompOff=0\r\nOffMethod=0\r\nOffUPS=0\r\nOFFAfter=60\r\n' \
        >"$work/run-en/UPSZelto.ini"
    : >"$work/commands.log"
    start_program "$work/run-en"
    wait_for 15 icon_in_tray || fail "the icon never got into the tray"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the program does not poll"
    # The tip, as a pointer that comes onto the icon and moves a little there shows it; the
    # docked icon does not always take the first moves, so they are made again until it shows.
    hover() {
        local step
        for step in 4 8 9; do
            xdotool mousemove --window "$(icon_id)" "$step" "$step"
            sleep 0.3
        done
        wait_for 2 probe tip
    }
    wait_for 15 hover || fail "no tip over the icon"
    [ "$(probe tip)" = "On mains power. Battery charge: 100%" ] || fail "the tip: $(probe tip)"
    xdotool mousemove 0 0
    sim "mains off"
    wait_for 5 countdown_visible || fail "no countdown on the mains failure"
    countdown=$(probe tree TForm2)
    holds "the countdown" "$countdown" \
        'class=Static rect=56,24,167,13 visible=1 text=The system shuts down in' \
        'class=Button rect=200,80,75,25 visible=1 text=Cancel' \
        'class=Button rect=16,80,121,25 visible=1 text=Shut down now'
    wait_for 5 probe balloon || fail "no balloon on the mains failure"
    [ "$(probe balloon)" = "On UPS battery. Battery charge: 100%" ] ||
        fail "the balloon: $(probe balloon)"
    cancel=$(grep -E 'class=Button rect=200,80,' <<<"$countdown" | sed -E 's/^control id=([0-9]+) .*/\1/')
    probe click TForm2 "$cancel"
    wait_for 5 grep -q ' countdown-cancelled ' "$work/run-en/UPSZelto.log" ||
        fail "Cancel did not cancel the countdown"
    sim "mains on"
    wait_for 10 grep -q ' mains-back ' "$work/run-en/UPSZelto.log" || fail "no mains-back in the journal"
    probe show TForm1
    wait_for 5 main_visible || fail "the main window did not show"
    holds "the main window" "$(probe tree TForm1)" \
        'class=Button rect=224,224,91,25 visible=1 text=About...' \
        'class=Button rect=328,224,75,25 visible=1 text=Exit' \
        'class=Static rect=8,176,132,13 visible=1 text=Shut down computer'
    trigger_list=$(probe tree TForm1 | grep -E 'class=ComboBox rect=8,192,')
    [[ $trigger_list == *" text=when mains fail items=when mains fail|at 80% battery|"* ]] ||
        fail "the trigger list: $trigger_list"
    probe click TForm1 "$(control_id Button 328,224,)"
    end_program
    words=$(journal_words "$work/run-en/UPSZelto.log")
    [ "$words" = "start mains-lost countdown-started countdown-cancelled mains-back exit " ] ||
        fail "the journal: $(cat "$work/run-en/UPSZelto.log")"
    echo "in English: the tip, the countdown, the balloon and the window; the journal as ever"
}

# ---- The NUT server -----------------------------------------------------------------------------
# Turned on for 127.0.0.1 on a free port; Linux's own NUT clients reach it through Wine's host
# sockets. A secondary logged in holds the program's power request back after the countdown,
# while ups.status carries FSD, until it leaves.
scenario_nut_server() {
    nut_port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')
    ups="zelto@127.0.0.1:$nut_port"
    mkdir "$work/run5"
    printf '[UPS]\r\nPorts=COM7\r\nCompOff=0\r\nOffMethod=0\r\nOffUPS=1\r\nOFFAfter=3\r\n[NUT]\r\nNutServer=1\r\nNutListen=127.0.0.1\r\nNutPort=%s\r\nNutUsers=mon:secret\r\nNutFsdWait=60\r\n' \
        "$nut_port" >"$work/run5/UPSZelto.ini"
    : >"$work/commands.log"
    start_program "$work/run5"
    wait_for 15 upsc "$ups" ups.status || fail "the NUT server does not answer on 127.0.0.1:$nut_port"
    wait_for 10 sh -c "upsc '$ups' input.voltage 2>/dev/null | grep -qx 228.0" ||
        fail "input.voltage: $(upsc "$ups" input.voltage 2>&1)"
    readings=$(upsc "$ups" 2>&1)
    for line in 'ups.status: OL' 'input.voltage: 228.0' 'output.voltage: 228.0' 'ups.load: 15' \
        'input.frequency: 50.0' 'battery.voltage: 13.60' 'ups.temperature: 35.0' 'device.type: ups'; do
        grep -qxF "$line" <<<"$readings" || fail "upsc lists no '$line': $readings"
    done
    unknown=$(upsc "nosuch@127.0.0.1:$nut_port" 2>&1) && fail "an unknown UPS answered: $unknown"
    grep -q "Error: Unknown UPS" <<<"$unknown" || fail "the unknown UPS's error: $unknown"
    echo "NUT server: upsc lists the readings on 127.0.0.1:$nut_port, an unknown UPS is an error"

    # Hostile clients: a 200 KB line is skipped and the next one answered; a ninth connection from
    # one address is closed at once, and once the eight close, a new one is served again. They come
    # from 127.0.0.2: Wine may hand the server their closes many seconds late, and until then they
    # count against their own address, not against the clients of the steps after this one.
    "$python" - "$nut_port" >"$work/hostile.out" 2>&1 <<'PY' || fail "hostile clients: $(cat "$work/hostile.out")"
import socket, sys, time
port = int(sys.argv[1])

def connect(timeout=10):
    return socket.create_connection(("127.0.0.1", port), timeout=timeout,
                                    source_address=("127.0.0.2", 0))

def answer(s, request):
    s.sendall(request)
    got = b""
    while not got.endswith(b"\n"):
        more = s.recv(4096)
        if not more:
            return got + b"<closed>"
        got += more
    return got

with connect() as s:
    s.sendall(b"A" * 200000 + b"\n")
    got = answer(s, b"GET VAR zelto ups.status\n")
    while b"VAR zelto" not in got and not got.endswith(b"<closed>"):
        got += answer(s, b"")
    assert got.endswith(b'VAR zelto ups.status "OL"\n'), got[-200:]
eight = [connect() for _ in range(8)]
for s in eight:
    assert answer(s, b"GET VAR zelto ups.load\n") == b'VAR zelto ups.load "15"\n'
ninth = connect()
try:
    refused = answer(ninth, b"VER\n") == b"<closed>"
except ConnectionError:
    refused = True
assert refused, "a ninth connection from 127.0.0.2 was served"
for s in eight:
    s.close()
# Wine hands the eight closes to the server one by one; a connection made before the last of
# them is in may be turned away or left unanswered, so each try is short and another follows
# (on a loaded machine Wine has taken over 15 s to hand them all over).
deadline = time.monotonic() + 30
while True:
    try:
        with connect(timeout=2) as s:
            if answer(s, b"GET VAR zelto ups.load\n") == b'VAR zelto ups.load "15"\n':
                break
    except (ConnectionError, TimeoutError):
        pass
    assert time.monotonic() < deadline, "no connection served after the eight closed"
    time.sleep(0.2)
print("ok")
PY
    echo "hostile clients: a 200 KB line skipped, the ninth connection from one address refused"

    # A failed login is answered only after its delay; meanwhile the others are served at once.
    "$python" - "$nut_port" >"$work/failed-login.out" 2>&1 <<'PY' &
import socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10)
start = time.monotonic()
s.sendall(b"USERNAME mon\nPASSWORD wrong\nLOGIN zelto\n")
got = b""
while got.count(b"\n") < 3:
    more = s.recv(100)
    if not more:
        break
    got += more
print(round(time.monotonic() - start, 1), got.decode().replace("\n", "|"))
PY
    pids+=($!)
    sleep 0.3
    quick_start=$(date +%s%N)
    upsc "$ups" ups.status >/dev/null || fail "upsc failed during another client's failed login"
    quick_ms=$((($(date +%s%N) - quick_start) / 1000000))
    wait "${pids[-1]}" || fail "the failed-login client: $(cat "$work/failed-login.out")"
    read -r seconds replies <"$work/failed-login.out"
    [ "$replies" = "OK|OK|ERR ACCESS-DENIED|" ] || fail "the failed login's replies: $replies"
    "$python" -c "import sys; sys.exit(not 0.9 <= $seconds <= 3)" ||
        fail "the failed login was answered after $seconds s, not after its delay"
    [ "$quick_ms" -lt 900 ] || fail "upsc took $quick_ms ms during another client's failed login"
    echo "a failed login is answered after ${seconds} s; upsc meanwhile in ${quick_ms} ms"

    # The secondary: logged in until it is told to leave.
    "$python" - "$nut_port" "$work/leave" >"$work/secondary.out" 2>&1 <<'PY' &
import os, socket, sys, time
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10)
s.sendall(b"USERNAME mon\nPASSWORD secret\nLOGIN zelto\n")
got = b""
while got.count(b"\n") < 3:
    got += s.recv(100)
print(got.decode().replace("\n", "|"), flush=True)
deadline = time.monotonic() + 90
while not os.path.exists(sys.argv[2]) and time.monotonic() < deadline:
    time.sleep(0.1)
s.close()
PY
    secondary=$!
    pids+=("$secondary")
    wait_for 5 grep -qxF 'OK|OK|OK|' "$work/secondary.out" ||
        fail "the secondary's login: $(cat "$work/secondary.out")"
    [ "$(upsc -c "$ups" 2>/dev/null)" = 127.0.0.1 ] || fail "upsc -c: $(upsc -c "$ups" 2>&1)"
    echo "a secondary's LOGIN counts (upsc -c lists 127.0.0.1)"

    # The mains fail: the countdown runs out, FSD is set, and neither the UPS command nor the power
    # request goes out while the secondary stays; the poll goes on meanwhile.
    sim "mains off"
    wait_for 5 countdown_visible || fail "no countdown on the mains failure"
    fsd() { upsc "$ups" ups.status 2>/dev/null | grep -qw FSD; }
    wait_for 10 fsd || fail "no FSD after the countdown: $(upsc "$ups" ups.status 2>&1)"
    [ ! -s "$work/run5/power.log" ] || fail "the power request went out before the secondary left"
    polls_before=$(grep -c ' Q1$' "$work/commands.log")
    sleep 2
    [ ! -s "$work/run5/power.log" ] || fail "the power request went out while the secondary stayed"
    grep -q ' S01R0000$' "$work/commands.log" && fail "the UPS was told to switch off before the secondary left"
    [ "$(grep -c ' Q1$' "$work/commands.log")" -gt "$polls_before" ] ||
        fail "the poll stopped during the wait for the secondary"
    touch "$work/leave"
    wait_for 10 test -s "$work/run5/power.log" || fail "no power request after the secondary left"
    [ "$(cat "$work/run5/power.log")" = $'ExitWindowsEx(0x00000018, 0x8006000c) privilege=ok\r' ] ||
        fail "the power request: $(cat "$work/run5/power.log")"
    wait_for 5 grep -q ' S01R0000$' "$work/commands.log" || fail "the UPS was not told to switch off"
    sim "mains on"
    echo "mains failure: FSD in ups.status while the secondary stays; its leaving lets the UPS" \
        "command and the power request go"
    probe click TForm1 2
    end_program
}

# ---- A port in use for the NUT server -----------------------------------------------------------
# A port another program listens on at 127.0.0.1: the server's start-up reports it, and the
# program runs on, serving on the other loopback address it listens on by default, ::1.
scenario_nut_port_in_use() {
    "$python" - "$work/release-port" >"$work/held-port" 2>&1 <<'PY' &
import os, socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen()
print(s.getsockname()[1], flush=True)
deadline = time.monotonic() + 60
while not os.path.exists(sys.argv[1]) and time.monotonic() < deadline:
    time.sleep(0.1)
PY
    pids+=($!)
    wait_for 5 test -s "$work/held-port" || fail "no port held for the server"
    held=$(cat "$work/held-port")
    mkdir "$work/run6"
    printf '[UPS]\r\nPorts=COM7\r\nCompOff=6\r\n[NUT]\r\nNutServer=1\r\nNutPort=%s\r\n' \
        "$held" >"$work/run6/UPSZelto.ini"
    : >"$work/commands.log"
    start_program "$work/run6"
    wait_for 10 box_open || fail "no error box for the port in use"
    text=$(probe box ok)
    [[ "$text" == "Сервер NUT не смог открыть 127.0.0.1:$held ("*")" ]] || fail "the port in use's box: $text"
    wait_for 5 box_closed || fail "the error box did not close"
    touch "$work/release-port"
    : >"$work/commands.log"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the program stopped polling after the report"
    ipv6=$("$python" -c 'import socket, sys
s = socket.create_connection(("::1", int(sys.argv[1])), timeout=10)
s.sendall(b"GET VAR zelto input.voltage\n")
print(s.recv(100).decode().strip())' "$held" 2>&1) || true
    [ "$ipv6" = 'VAR zelto input.voltage "228.0"' ] || fail "the server on [::1]:$held: $ipv6"
    probe click TForm1 2
    end_program
    echo "a port in use is reported ($text) and [::1] is served"
}

# ---- The port list from the system's table ------------------------------------------------------
# Without "Ports", the list is SERIALCOMM's ports in the list's order; COMPort picks COM7.
scenario_port_table() {
    set_serialcomm '\Device\Serial6=COM7' '\Device\Serial11=COM12' '\Device\Serial2=COM3'
    mkdir "$work/run3"
    printf '[UPS]\r\nCOMPort=2\r\nCompOff=6\r\n' >"$work/run3/UPSZelto.ini"
    : >"$work/commands.log"
    start_program "$work/run3"
    port_list | grep -qE 'text=COM7 items=COM12\|COM3\|COM7\|Сетевой UPS… selected=2$' ||
        fail "the port list from SERIALCOMM: $(port_list)"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the program does not poll COM7 from the list"
    echo "the port list comes from SERIALCOMM, sorted, and the stored index opens COM7"
    # A pick is stored by its place in the list and by its name.
    list_id=$(port_list | sed -E 's/^control id=([0-9]+) .*/\1/')
    probe select TForm1 "$list_id" 0
    picked() { grep -q $'^COMPortPath=COM12\r$' "$work/run3/UPSZelto.ini" && grep -q $'^COMPort=0\r$' "$work/run3/UPSZelto.ini"; }
    wait_for 5 picked || fail "the pick of COM12 was not stored: $(cat "$work/run3/UPSZelto.ini")"
    echo "a pick is stored by place and by name"
    probe send TForm1 0x0010 0 0 >/dev/null  # WM_CLOSE: hides, never ends the program
    program_running || fail "closing the main window ended the program"
    probe click TForm1 2  # "Выход", whose id is the cancel id (Escape)
    end_program

    # A value of another type in the table names no port: skipped, and the port beside it stays.
    set_serialcomm '\Device\Serial6=COM7' '\Device\Bogus=dword:1'
    mkdir "$work/run4"
    : >"$work/commands.log"
    start_program "$work/run4"
    port_list | grep -qE 'text=COM7 items=COM7\|Сетевой UPS… selected=0$' ||
        fail "the port list beside the table's bad value: $(port_list)"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "COM7 beside the bad value is not polled"
    box_closed || fail "an error box for the table's bad value: $(probe box)"
    probe click TForm1 2
    end_program
    echo "a value of another type in SERIALCOMM is skipped; the port beside it is listed and polled"
}

# ---- A taskbar not ready at log-on --------------------------------------------------------------
# The tray refuses the icon's first three adds: the window shows meanwhile, and closing it only
# minimises it; then the icon gets in, and closing hides the window into the tray again.
scenario_late_taskbar() {
    mkdir "$work/run8"
    printf '[UPS]\r\nPorts=COM7\r\nCompOff=6\r\n' >"$work/run8/UPSZelto.ini"
    start_program "$work/run8" ZELTO_TRAY_REFUSE_ADDS=3
    icon_in_tray && fail "the icon is in the tray although the tray refused it"
    wait_for 5 main_visible || fail "neither icon nor window"
    probe send TForm1 0x0010 0 0 >/dev/null  # WM_CLOSE
    probe tree TForm1 | grep -q '^window class=TForm1 .* visible=1 enabled=1 minimize=1 ' ||
        fail "closing without an icon did not only minimise: $(probe tree TForm1 | head -n 1)"
    wait_for 15 icon_in_tray || fail "the refused icon never got into the tray"
    probe send TForm1 0x0010 0 0 >/dev/null
    wait_for 5 main_hidden || fail "with the icon there, closing does not hide the window"
    probe click TForm1 2
    end_program
    echo "a tray that refuses the icon at first: the window shows, closing minimises, the icon follows"
}

# ---- A start without the UPS's adapter ----------------------------------------------------------
# The port never picked by hand: one start with the adapter, one with no serial port at all (the
# mapping gone, the system's table empty), one with the adapter back. The second must write
# nothing over the choice, and the third must poll.
scenario_no_adapter() {
    set_serialcomm '\Device\Serial6=COM7'
    mkdir "$work/run7"
    printf '[UPS]\r\nCompOff=6\r\n' >"$work/run7/UPSZelto.ini"
    remembered=$(printf '[UPS]\r\nCompOff=6\r\nCOMPortPath=COM7\r\nCOMPort=0\r\n')
    : >"$work/commands.log"
    start_program "$work/run7"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the first start does not poll COM7"
    [ "$(cat "$work/run7/UPSZelto.ini")" = "$remembered" ] ||
        fail "the first start did not remember COM7: $(od -c "$work/run7/UPSZelto.ini")"
    probe click TForm1 2
    end_program

    session_map_ports
    set_serialcomm
    : >"$work/commands.log"
    start_program "$work/run7"
    port_list | grep -qE 'text=COM7 items=COM7\|Сетевой UPS… selected=0$' ||
        fail "the missing port is not kept in the list: $(port_list)"
    # Told in the journal once the link counts as lost, after ten seconds.
    wait_for 20 grep -q ' port-missing port=COM7$' "$work/run7/UPSZelto.log" ||
        fail "the missing port is not journalled: $(tail -n 3 "$work/run7/UPSZelto.log")"
    box_closed || fail "a box for the missing port: $(probe box)"
    [ "$(cat "$work/run7/UPSZelto.ini")" = "$remembered" ] ||
        fail "a start without ports wrote over the choice: $(od -c "$work/run7/UPSZelto.ini")"
    probe click TForm1 2
    end_program

    session_map_ports "COM7=$work/ups"
    set_serialcomm '\Device\Serial6=COM7'
    : >"$work/commands.log"
    start_program "$work/run7"
    wait_for 10 grep -q ' Q1$' "$work/commands.log" || fail "the third start does not poll COM7"
    [ "$(cat "$work/run7/UPSZelto.ini")" = "$remembered" ] ||
        fail "the choice after the third start: $(od -c "$work/run7/UPSZelto.ini")"
    echo "a start without the adapter writes nothing over the port, and the next start polls it"
}

# ---- The end of the session ---------------------------------------------------------------------
# Windows ends the process once WM_ENDSESSION returns: the exit is journalled before that.
scenario_end_of_session() {
    [ "$(tail -n 1 "$work/run7/UPSZelto.log" | cut -d' ' -f2)" != exit ] ||
        fail "the journal ends with exit while the program runs"
    probe send TForm1 0x0016 1 0 >/dev/null  # WM_ENDSESSION(TRUE)
    [ "$(tail -n 1 "$work/run7/UPSZelto.log" | cut -d' ' -f2-)" = exit ] ||
        fail "the end of the session is not journalled: $(tail -n 2 "$work/run7/UPSZelto.log")"
    echo "the end of the session journals the exit"
}
# ---- Following a UPS that Linux's upsd serves ----------------------------------------------------
# Debian's upsd with the dummy-ups driver on loopback (tests/scripts/nut_upsd_rig.bash), its UPS
# "remote" followed instead of COM7 under trigger "никогда": on battery nothing happens, and FSD
# set by the primary brings the power request within four seconds, two of them the countdown's,
# the answer being read as it arrives rather than at the next tick. Last before the end: a program
# still running is ended first; upsd and the primary end with this step.
scenario_follow_network() {
    # Whichever program runs (the last step's, start-up's when only some steps run, or one a failed
    # step left) would take the new start for a second copy.
    no_main_window() { ! probe tree TForm1; }
    if ! no_main_window; then
        probe click TForm1 2
        wait_for 15 no_main_window || fail "the program running before this step did not end"
        ! program_running || end_program
    fi
    # shellcheck source=tests/scripts/nut_upsd_rig.bash
    . "$source_dir/tests/scripts/nut_upsd_rig.bash"
    start_upsd remote
    # A poll the ended program sent is in the simulator's log by now: what comes later is ours.
    sleep 0.5
    mark=$(wc -l <"$work/commands.log")
    mkdir "$work/run9"
    printf '[UPS]\r\nPorts=remote@127.0.0.1:%s\r\nCOMPort=0\r\nNUTUser=follower\r\nNUTPassword=s3cret\r\nCompOff=6\r\nOffMethod=0\r\nOFFAfter=2\r\nOffUPS=1\r\n' \
        "$upsd_port" >"$work/run9/UPSZelto.ini"
    start_program "$work/run9"
    journal() { cat "$work/run9/UPSZelto.log" 2>/dev/null || true; }
    wait_for 10 upsd_logins_is 1 ||
        fail "the program did not log in to $upsd_target (NUMLOGINS $(upsd_logins 2>&1))"
    echo "logged in to upsd as follower"

    # The readings are the server's (input.voltage 230.0, where the simulator says 228.0), and
    # the UPS is never commanded: its switch-off list is greyed, the trigger list is not.
    mains_reading() {
        probe tree TForm1 | grep -qE '^control id=[0-9]+ parent=[0-9]+ class=Static rect=46,40,60,13 visible=[01] text=230\.0 V$'
    }
    wait_for 10 mains_reading ||
        fail "the mains voltage does not show upsd's 230.0 V: $(probe tree TForm1 | grep -F 'rect=46,40,')"
    tree=$(probe tree TForm1)
    grep -E 'class=ComboBox rect=272,192,' <<<"$tree" | grep -q ' enabled=0$' ||
        fail "the UPS switch-off list takes input while following: $(grep -F 'rect=272,192,' <<<"$tree")"
    grep -E 'class=ComboBox rect=8,192,' <<<"$tree" | grep -q ' enabled=0$' &&
        fail "the trigger list is greyed while following: $(grep -F 'rect=8,192,' <<<"$tree")"
    echo "the readings are upsd's (230.0 V) and the UPS switch-off list is greyed"

    # On battery under "никогда": told, and nothing more.
    countdown_state() { probe tree TForm2 | head -n 1; }
    ups_status OB
    wait_for 5 eval 'journal | grep -q " mains-lost"' ||
        fail "the program did not see OB: $(journal)"
    sleep 2
    countdown_state | grep -q ' visible=0 ' || fail "a countdown on OB under \"никогда\": $(countdown_state)"
    journal | grep -q ' countdown-started' && fail "\"никогда\" counted down on OB: $(journal)"
    echo "on battery under \"никогда\": no countdown"

    # FSD from the primary: the countdown of the forced shutdown shows, and the power request goes
    # out after its two seconds. The request's time is the recorder's file's.
    logins_before=$(upsd_logins) || fail "NUMLOGINS before FSD: no answer"
    primary_fsd
    fsd_ms=$(upsd_now_ms)
    forced_countdown() {
        countdown_state | grep -q '^window class=TForm2 caption=Основной компьютер выключает UPS .* visible=1 '
    }
    countdown_seen=
    until [ -s "$work/run9/power.log" ] || [ $(($(upsd_now_ms) - fsd_ms)) -gt 6000 ]; do
        [ -n "$countdown_seen" ] || ! forced_countdown || countdown_seen=1
        sleep 0.05
    done
    [ -s "$work/run9/power.log" ] || fail "no power request 6 s after FSD: $(journal)"
    request_ms=$(($(date -r "$work/run9/power.log" +%s%3N) - fsd_ms))
    echo "FSD at upsd (shown by upsc after ${upsd_change_ms} ms) to the power request: ${request_ms} ms" \
        "with a 2 s countdown"
    [ -n "$countdown_seen" ] || fail "the forced shutdown's countdown never showed: $(countdown_state)"
    [ "$request_ms" -le 4000 ] || fail "the power request came ${request_ms} ms after FSD"
    [ "$(cat "$work/run9/power.log")" = $'ExitWindowsEx(0x00000018, 0x8006000c) privilege=ok\r' ] ||
        fail "the power request: $(cat "$work/run9/power.log")"
    # The primary's session counts one login: the follower's is gone once the count is back.
    wait_for 5 upsd_logins_is "$logins_before" ||
        fail "the program did not log out: NUMLOGINS $(upsd_logins) with the primary's own"
    echo "FSD: the countdown \"Основной компьютер выключает UPS\", the program logged out and the" \
        "power request went"

    journal | grep -q s3cret && fail "the password is in the journal: $(journal)"
    written=$(tail -n +$((mark + 1)) "$work/commands.log" | grep -v ' # ' || true)
    [ -z "$written" ] || fail "the serial port was written to while following: $written"
    echo "no password in the journal, nothing written to the serial port"

    probe click TForm1 2
    end_program
    stop_upsd
}

# ---- The step asked for -------------------------------------------------------------------------
case $step in
    begin) session_begin ;;
    end) session_end ;;
    *)
        scenario=scenario_${step//-/_}
        declare -F "$scenario" >/dev/null || fail "no scenario '$step'"
        # shellcheck disable=SC1091
        . "$work/session"
        export DISPLAY
        "$scenario"
        ;;
esac
