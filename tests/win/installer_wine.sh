#!/usr/bin/env bash
# The setup and the portable zip, made with cpack from the Windows build, under Wine in a
# throwaway copy of the build's prefix, on a private Xvfb, with the UPS simulator on a
# pseudo-terminal that Wine maps to COM7 and the machine's serial ports hidden:
#   - the zip holds the build's program, README.txt (plain text, CRLF) and the licence if the
#     project has one; the version is the same in the file names, the version resources and the
#     uninstall entry;
#   - an older version installed silently: the files, the uninstall entry, both shortcuts (target
#     and working folder), the empty settings folder;
#   - the installed program started through its Start-menu shortcut polls the simulator and
#     writes its settings file into the settings folder;
#   - this version installed over it while it runs: the running copy ended, one entry, the new
#     version in it, the settings file untouched; /NOSTARTUP takes the Startup shortcut away;
#     /LANGUAGE=en adds the language to the settings and changes nothing else in them;
#   - silent uninstall while the program runs: program, shortcuts and entry gone, the settings
#     file kept byte for byte;
#   - the setup run as a person would: its first page asks the language; "Русский" chosen, the
#     pages are in Russian and the settings get Language=ru in place of the language before.
#
# The program run is the installed one, not the test build: its settings choose no shutdown at
# all (CompOff=6, OffUPS=0) and the simulator never reports a mains failure, so it has no reason
# to make a power request; under Wine such a request could in any case only end the processes of
# this throwaway prefix.
#
# Environment: ZELTO_WIN_BUILD, ZELTO_LINUX_BUILD (ups-sim), ZELTO_SOURCE_DIR, ZELTO_VERSION.
set -euo pipefail
win_build=${ZELTO_WIN_BUILD:?}
linux_build=${ZELTO_LINUX_BUILD:?}
source_dir=${ZELTO_SOURCE_DIR:?}
version=${ZELTO_VERSION:?}
older=0.9.0
harness_work=$(mktemp -d "$win_build/installer-test.XXXXXX")
. "$source_dir/tests/scripts/harness.bash"
logs=(commands.log)
on_cleanup() {
    [ ! -d "${WINEPREFIX:-}" ] || stop_wine
}

# shellcheck source=tests/win/wine-session.sh
. "$source_dir/tests/win/wine-session.sh"
# A copy of the build's prefix (a fresh one takes ten seconds and 700 MB): what the setups do to
# it goes with the copy.
export WINEPREFIX=$work/prefix

probe() { wine_run "$win_build/setupprobe.exe" "$@"; }
# A Windows path's Unix twin.
unix_path() { wine_run winepath -u "$1" | tr -d '\r'; }

# ---- The packages -------------------------------------------------------------------------------
packages=$work/packages
cpack --config "$win_build/CPackConfig.cmake" -B "$packages" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
cpack --config "$win_build/CPackConfig.cmake" -G NSIS -R "$older" -B "$work/older" \
    >"$work/cpack-older.log" 2>&1 || { cat "$work/cpack-older.log"; fail "cpack -R failed"; }
setup=$packages/upszelto-$version-setup.exe
zip=$packages/upszelto-$version-portable.zip
old_setup=$work/older/upszelto-$older-setup.exe
for file in "$setup" "$zip" "$old_setup"; do
    [ -s "$file" ] || fail "no $(basename "$file"): $(ls "$(dirname "$file")")"
done

top=upszelto-$version-portable
expected="$top/README.txt
$top/upszelto.exe"
[ -e "$source_dir/LICENSE" ] && expected=$(printf '%s\n%s' "$top/LICENSE.txt" "$expected")
listed=$(cmake -E tar tf "$zip" | LC_ALL=C sort)
[ "$listed" = "$expected" ] || fail "the zip holds: $listed"
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
cmp -s "$work/zip/$top/upszelto.exe" "$win_build/upszelto.exe" || fail "the zip's program is not the build's"
[ ! -e "$source_dir/LICENSE" ] || cmp -s "$work/zip/$top/LICENSE.txt" "$source_dir/LICENSE" ||
    fail "the zip's licence is not the project's"
readme=$work/zip/$top/README.txt
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" = efbbbf ] || fail "README.txt has no UTF-8 mark"
[ "$(head -n 1 "$readme")" = $'\xef\xbb\xbfUPS Zelto '"$version"$'\r' ] ||
    fail "README.txt's first line: $(head -n 1 "$readme" | od -c | head -n 2)"
[ "$(grep -vc $'\r$' "$readme")" = 0 ] || fail "README.txt has lines without CRLF"
for phrase in 'UPSZelto.ini' '%APPDATA%\UPS Zelto\UPSZelto.ini' 'shell:startup' '"Start in"'; do
    grep -qF "$phrase" "$readme" || fail "README.txt does not mention $phrase"
done
echo "zip: $(echo "$listed" | tr '\n' ' ')the build's program, README.txt in CRLF"

# ---- A prefix of the test's own, a display, the simulator on COM7 --------------------------------
cp -a "$win_build/wineprefix" "$WINEPREFIX"
start_xvfb || fail "Xvfb did not start"
[ -x "$linux_build/ups-sim" ] || fail "no $linux_build/ups-sim"
"$linux_build/ups-sim" --log "$work/commands.log" "$work/ups" </dev/null >"$work/sim.out" 2>&1 &
pids+=($!)
wait_for 10 test -e "$work/ups" || fail "ups-sim did not make its link"
map_ports "COM7=$work/ups"

appdata=$(wine_run cmd /c echo '%APPDATA%' | tr -d '\r')
[[ $appdata == C:\\* ]] || fail "no %APPDATA%: $appdata"
program_dir='C:\Program Files\UPS Zelto'
settings_dir="$appdata\\UPS Zelto"
# The user's Start-menu programs and Startup folders, as the system names them.
shell_folder() {
    wine_run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders' \
        /v "$1" | tr -d '\r' | sed -nE "s/^    $1    REG_SZ    (.*)\$/\\1/p"
}
start_menu="$(shell_folder Programs)\\UPS Zelto.lnk"
startup="$(shell_folder Startup)\\UPS Zelto.lnk"
[[ $start_menu == "$appdata"\\*\\Programs\\UPS\ Zelto.lnk ]] || fail "the Start menu is at $start_menu"
[[ $startup == "$appdata"\\*\\Programs\\St[Aa]rt[Uu]p\\UPS\ Zelto.lnk ]] || fail "Startup is at $startup"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\UPS Zelto'
program_files_unix=$WINEPREFIX/drive_c/Program\ Files/UPS\ Zelto

# ---- An older version, installed silently -------------------------------------------------------
wine_run "$old_setup" /S || fail "the older setup failed ($?)"
expected="README.txt
Uninstall.exe
upszelto.exe"
[ -e "$source_dir/LICENSE" ] && expected=$(printf '%s\n%s' LICENSE.txt "$expected")
installed=$(ls "$program_files_unix" 2>/dev/null | LC_ALL=C sort) || true
[ "$installed" = "$expected" ] || fail "installed in Program Files: $installed"
cmp -s "$program_files_unix/upszelto.exe" "$win_build/upszelto.exe" || fail "the installed program is not the build's"

# entry_values: the uninstall entry's values, one "Name TYPE value" line each, sorted.
entry_values() {
    wine_run reg query "$uninstall_key" | tr -d '\r' |
        sed -nE 's/^    ([A-Za-z]+)    (REG_[A-Z_]+)    (.*)$/\1 \2 \3/p' | LC_ALL=C sort
}
# entry_as_expected VERSION STARTUP: the entry holds exactly these values.
entry_as_expected() {
    local values size files expected
    values=$(entry_values)
    size=$(sed -nE 's/^EstimatedSize REG_DWORD (0x[0-9a-f]+)$/\1/p' <<<"$values")
    files=$(du -k --apparent-size -c "$program_files_unix"/* | tail -n 1 | cut -f 1)
    [ -n "$size" ] && [ $((size)) -ge $((files - 4)) ] && [ $((size)) -le $((files + 4)) ] ||
        fail "EstimatedSize ${size:-missing}, the files take ${files} KB"
    expected=$(LC_ALL=C sort <<EOF
DisplayIcon REG_SZ $program_dir\\upszelto.exe,0
DisplayName REG_SZ UPS Zelto
DisplayVersion REG_SZ $1
EstimatedSize REG_DWORD $size
InstallLocation REG_SZ $program_dir
NoModify REG_DWORD 0x1
NoRepair REG_DWORD 0x1
Publisher REG_SZ UPS Zelto developers
QuietUninstallString REG_SZ "$program_dir\\Uninstall.exe" /S
StartMenuShortcut REG_SZ $start_menu
StartupShortcut REG_SZ $2
UninstallString REG_SZ "$program_dir\\Uninstall.exe"
EOF
)
    [ "$values" = "$expected" ] || {
        diff <(echo "$expected") <(echo "$values") || true
        fail "the uninstall entry (< expected, > found)"
    }
}
# entries: how many uninstall entries, of either registry view and the user's, are "UPS Zelto".
entries() {
    local key count=0
    for key in 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
        'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall' \
        'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        count=$((count + $(wine_run reg query "$key" /s 2>/dev/null | tr -d '\r' |
            grep -c '^    DisplayName    REG_SZ    UPS Zelto$' || true)))
    done
    echo "$count"
}
entry_as_expected "$older" "$startup"
[ "$(entries)" = 1 ] || fail "$(entries) uninstall entries"

# shortcut_as_expected LINK: starts the installed program in the settings folder.
shortcut_as_expected() {
    local read
    read=$(probe link "$1" | tr -d '\r') || fail "cannot read the shortcut $1"
    [ "$read" = "target=$program_dir\\upszelto.exe
folder=$settings_dir
arguments=" ] || fail "the shortcut $1 reads: $read"
}
shortcut_as_expected "$start_menu"
shortcut_as_expected "$startup"
start_menu_unix=$(unix_path "$start_menu")
startup_unix=$(unix_path "$startup")
settings_unix=$(unix_path "$settings_dir")
[ -d "$settings_unix" ] && [ -z "$(ls -A "$settings_unix")" ] || fail "no empty settings folder"
echo "older version: files, uninstall entry, Start-menu and Startup shortcuts, settings folder"

# ---- The installed program, started through its Start-menu shortcut -----------------------------
printf '[UPS]\r\nPorts=COM7\r\nCompOff=6\r\nOffUPS=0\r\n' >"$settings_unix/UPSZelto.ini"
polls() { grep -c ' Q1$' "$work/commands.log" 2>/dev/null || true; }
polled_more_than() { [ "$(polls)" -gt "$1" ]; }
running() { probe window TForm1; }
start_from_shortcut() {
    local before
    before=$(polls)
    wine_run start "$start_menu" || fail "the Start-menu shortcut did not start"
    wait_for 20 running || fail "the program's window never came up"
    wait_for 10 polled_more_than "$((before + 1))" || fail "the program does not poll COM7"
}
# stopped: no window, and the simulator no longer asked.
stopped() {
    local before
    running && return 1
    before=$(polls)
    sleep 2.5
    [ "$(polls)" = "$before" ]
}
start_from_shortcut
settings_written() {
    [ "$(cat "$settings_unix/UPSZelto.ini")" = "$(printf '[UPS]\r\nPorts=COM7\r\nCompOff=6\r\nOffUPS=0\r\nCOMPortPath=COM7\r\nCOMPort=0\r\n')" ]
}
wait_for 5 settings_written ||
    fail "the settings file in the settings folder: $(od -c "$settings_unix/UPSZelto.ini")"
cp "$settings_unix/UPSZelto.ini" "$work/settings.kept"
echo "started through the Start-menu shortcut: polls COM7, settings file in $settings_dir"

# ---- This version over it, while it runs --------------------------------------------------------
wine_run "$setup" /S || fail "the setup over the running older install failed ($?)"
stopped || fail "the running copy was not ended"
entry_as_expected "$version" "$startup"
[ "$(entries)" = 1 ] || fail "$(entries) uninstall entries after the update"
cmp -s "$settings_unix/UPSZelto.ini" "$work/settings.kept" || fail "the update changed the settings"
shortcut_as_expected "$start_menu"
shortcut_as_expected "$startup"
# The version resources' texts (UTF-16 in the file), of the program and of the setup itself.
for file in "$setup" "$program_files_unix/upszelto.exe"; do
    read=$(x86_64-w64-mingw32-strings -n 3 -el "$file" | grep -A1 -xE 'ProductVersion|FileVersion' |
        grep -vx -- -- | paste -sd ' ')
    [ "$read" = "FileVersion $version ProductVersion $version" ] ||
        fail "$(basename "$file")'s version resource: $read"
done
echo "update over the running program: it was ended, one entry of version $version, settings kept"

# /NOSTARTUP: not started with Windows any more; everything else stays.
wine_run "$setup" /S /NOSTARTUP || fail "the setup with /NOSTARTUP failed ($?)"
[ ! -e "$startup_unix" ] || fail "the Startup shortcut stayed with /NOSTARTUP"
shortcut_as_expected "$start_menu"
entry_as_expected "$version" ""
[ "$(entries)" = 1 ] || fail "$(entries) uninstall entries after /NOSTARTUP"
echo "/NOSTARTUP: the Startup shortcut taken away, the Start-menu one kept"

# /LANGUAGE=en: the program's language goes into its settings file, every other line kept.
wine_run "$setup" /S /NOSTARTUP /LANGUAGE=en || fail "the setup with /LANGUAGE=en failed ($?)"
{ cat "$work/settings.kept"; printf 'Language=en\r\n'; } >"$work/settings.expected"
cmp -s "$settings_unix/UPSZelto.ini" "$work/settings.expected" ||
    fail "the settings file after /LANGUAGE=en: $(od -c "$settings_unix/UPSZelto.ini")"
cp "$settings_unix/UPSZelto.ini" "$work/settings.kept"
echo "/LANGUAGE=en: Language=en added to the settings, every other line as it was"

# ---- Silent uninstall, while the program runs ---------------------------------------------------
start_from_shortcut
quiet=$(entry_values | sed -nE 's/^QuietUninstallString REG_SZ (.*)$/\1/p')
[[ $quiet =~ ^\"([^\"]+)\"\ /S$ ]] || fail "QuietUninstallString: $quiet"
# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
wine_run "${BASH_REMATCH[1]}" /S || fail "the uninstaller failed ($?)"
gone() { [ ! -e "$program_files_unix" ] && ! wine_run reg query "$uninstall_key"; }
wait_for 30 gone || fail "left after the uninstall: $(ls "$program_files_unix" 2>&1)"
stopped || fail "the uninstaller did not end the running program"
[ ! -e "$start_menu_unix" ] || fail "the Start-menu shortcut stayed"
[ ! -e "$startup_unix" ] || fail "a Startup shortcut is there"
[ "$(entries)" = 0 ] || fail "$(entries) uninstall entries after the uninstall"
# The settings and the program's journal beside them stay: they are the user's.
[ "$(ls -A "$settings_unix" | tr '\n' ' ')" = "UPSZelto.ini UPSZelto.log " ] ||
    fail "the settings folder holds: $(ls -A "$settings_unix")"
cmp -s "$settings_unix/UPSZelto.ini" "$work/settings.kept" || fail "the uninstall changed the settings"
echo "uninstall: the running program ended; program, shortcuts and entry gone; settings kept"

# ---- The first page asks the language ----------------------------------------------------------
# Run as a person would: "Русский" chosen on the first page, the pages in Russian, and the choice
# written into the settings that stayed, in place of the language there before.
wizard() { wine_run "$win_build/winprobe.exe" "$@"; }
page_says() { wizard tree '#32770' | grep -qF "text=$1"; }
(
    status=0
    wine_run "$setup" || status=$?
    echo "$status" >"$work/wizard.status"
) >"$work/wizard.log" 2>&1 &
pids+=($!)
wait_for 30 page_says 'Язык программы и установки:\nLanguage of the program and of the setup:' ||
    fail "the setup did not ask the language first: $(wizard tree '#32770')"
languages=$(wizard tree '#32770' | grep -E 'class=ComboBox ')
[[ $languages =~ ^control\ id=([0-9]+)\ .*\ items=(.*)\ selected= ]] || fail "no language list: $languages"
combo=${BASH_REMATCH[1]}
russian=$(tr '|' '\n' <<<"${BASH_REMATCH[2]}" | grep -nx 'Русский' | cut -d: -f1)
[ -n "$russian" ] && tr '|' '\n' <<<"${BASH_REMATCH[2]}" | grep -qx English ||
    fail "the languages offered: ${BASH_REMATCH[2]}"
wizard select '#32770' "$combo" $((russian - 1))
wizard click '#32770' 1
wait_for 10 page_says 'Выбор папки установки' || fail "the folder page is not in Russian: $(wizard tree '#32770')"
wizard click '#32770' 1
wait_for 10 page_says 'Выберите компоненты UPS Zelto' || fail "no components page: $(wizard tree '#32770')"
wizard click '#32770' 1
wait_for 30 page_says 'Запустить UPS Zelto сейчас' || fail "no finish page: $(wizard tree '#32770')"
run_now=$(wizard tree '#32770' | grep -F 'text=Запустить UPS Zelto сейчас' | sed -E 's/^control id=([0-9]+) .*/\1/')
wizard click '#32770' "$run_now"
wizard click '#32770' 1
wait_for 10 test -e "$work/wizard.status" || fail "the setup did not end after Finish"
[ "$(cat "$work/wizard.status")" = 0 ] || fail "the setup ended with status $(cat "$work/wizard.status")"
sed 's/^Language=en\r$/Language=ru\r/' "$work/settings.kept" >"$work/settings.expected"
cmp -s "$settings_unix/UPSZelto.ini" "$work/settings.expected" ||
    fail "the settings after choosing Русский: $(od -c "$settings_unix/UPSZelto.ini")"
stopped || fail "the program started though \"Запустить UPS Zelto сейчас\" was unticked"
echo "the first page asks the language: in Russian the pages speak it and Language=ru is written"

