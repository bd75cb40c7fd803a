#!/usr/bin/env bash
# Needs desktop-file-validate (desktop-file-utils) and dpkg-shlibdeps (dpkg-dev), both in scripts/deps.
# `cmake --install` into a staging folder: exactly the program, its launcher, the menu and
# autostart entries and the icon in three theme sizes land there, all of them valid; the
# launcher starts the program in the per-user settings folder, creating it; the staged program
# runs. Then the Debian package built from the same rules holds the same files.
set -euo pipefail
build=${ZELTO_BUILD_DIR:?}
. "$(dirname "$0")/harness.bash"
# A runtime folder of its own: the program's one-copy lock there meets no other copy's.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

stage=$work/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install failed"; }

expected=$(cat <<'LIST'
etc/xdg/autostart/upszelto.desktop
usr/bin/upszelto
usr/bin/upszelto-launch
usr/share/applications/upszelto.desktop
usr/share/icons/hicolor/16x16/apps/upszelto.png
usr/share/icons/hicolor/32x32/apps/upszelto.png
usr/share/icons/hicolor/48x48/apps/upszelto.png
LIST
)
actual=$(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    fail "the staged files differ from the expected list (< expected, > staged)"
fi
echo "staged files: $(echo "$actual" | wc -l), as expected"

[ -x "$stage/usr/bin/upszelto" ] || fail "upszelto is not executable"
[ -x "$stage/usr/bin/upszelto-launch" ] || fail "upszelto-launch is not executable"
sh -n "$stage/usr/bin/upszelto-launch" || fail "upszelto-launch is not a valid shell script"

# Each PNG: the signature, then an IHDR chunk with the size its folder names.
for size in 16 32 48; do
    png=$stage/usr/share/icons/hicolor/${size}x${size}/apps/upszelto.png
    signature=$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')
    [ "$signature" = "89504e470d0a1a0a" ] || fail "$png is not a PNG"
    [ "$(head -c 16 "$png" | tail -c 4)" = "IHDR" ] || fail "$png has no IHDR first"
    width=$(head -c 20 "$png" | tail -c 4 | od -An -tu1 | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    height=$(head -c 24 "$png" | tail -c 4 | od -An -tu1 | awk '{print $1*16777216+$2*65536+$3*256+$4}')
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
        fail "$png is ${width}x${height}, not ${size}x${size}"
    # A blank picture would be a rendering gone wrong: a real drawing compresses to more.
    [ "$(stat -c %s "$png")" -gt 150 ] || fail "$png is suspiciously small"
done
echo "icons: PNG 16x16, 32x32, 48x48"

# The entries: valid, launching the launcher by the icon's theme name.
for entry in usr/share/applications/upszelto.desktop etc/xdg/autostart/upszelto.desktop; do
    file=$stage/$entry
    desktop-file-validate "$file" || fail "$entry does not validate"
    grep -qx 'Type=Application' "$file" || fail "$entry: no Type=Application"
    grep -qx 'Exec=upszelto-launch' "$file" || fail "$entry: Exec is not the launcher"
    grep -qx 'Icon=upszelto' "$file" || fail "$entry: Icon is not upszelto"
    grep -qx 'Terminal=false' "$file" || fail "$entry: runs in a terminal"
done
grep -qx 'NoDisplay=true' "$stage/etc/xdg/autostart/upszelto.desktop" ||
    fail "the autostart entry would show in menus"
echo "desktop entries valid"

# The launcher, beside a stand-in program that reports where it was started: it makes the
# settings folder when missing, starts there, passes its arguments on, and honours
# XDG_CONFIG_HOME.
mkdir -p "$work/bin"
cp "$stage/usr/bin/upszelto-launch" "$work/bin/"
cat >"$work/bin/upszelto" <<'STANDIN'
#!/bin/sh
echo "cwd=$(pwd) args=$*"
STANDIN
chmod +x "$work/bin/upszelto"
home=$work/home
mkdir -p "$home"
out=$(cd / && env -u XDG_CONFIG_HOME HOME="$home" PATH="$work/bin:$PATH" upszelto-launch one "t w o")
[ "$out" = "cwd=$home/.config/upszelto args=one t w o" ] || fail "launcher: got '$out'"
[ -d "$home/.config/upszelto" ] || fail "launcher did not create ~/.config/upszelto"
out=$(cd / && HOME="$home" XDG_CONFIG_HOME="$work/xdg" "$work/bin/upszelto-launch")
[ "$out" = "cwd=$work/xdg/upszelto args=" ] || fail "launcher with XDG_CONFIG_HOME: got '$out'"
echo "launcher starts the program in the per-user folder"

# The staged program itself runs: given a port that does not exist (never a real one), it
# starts, journals the start and the exit, and writes nothing over the settings.
run=$work/run
mkdir -p "$run"
printf '[UPS]\nPorts=%s\n' "$work/no-such-port" >"$run/UPSZelto.ini"
(cd "$run" && QT_QPA_PLATFORM=offscreen exec "$stage/usr/bin/upszelto") >"$work/run.log" 2>&1 &
pid=$!
for _ in $(seq 100); do
    grep -q ' start$' "$run/UPSZelto.log" 2>/dev/null && break
    sleep 0.1
done
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
# Between the two, whatever start-up told (the power capability check may find no bus).
[ "$(head -n 1 "$run/UPSZelto.log" | cut -d' ' -f2) $(tail -n 1 "$run/UPSZelto.log" | cut -d' ' -f2)" = "start exit" ] ||
    { cat "$work/run.log"; fail "staged program did not start and end: $(cat "$run/UPSZelto.log")"; }
[ "$(cat "$run/UPSZelto.ini")" = "$(printf '[UPS]\nPorts=%s' "$work/no-such-port")" ] ||
    fail "the staged program wrote over the settings: $(cat "$run/UPSZelto.ini")"
[ "$status" -eq 0 ] || { cat "$work/run.log"; fail "staged program ended with $status"; }
echo "staged program runs"

# The package: same files under the same paths, the autostart entry marked as a conffile,
# and the Qt 6 runtime among the dependencies.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/pkg/upszelto_*.deb)
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sed 's|^\./||' | LC_ALL=C sort)
if [ "$packaged" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$packaged") || true
    fail "the package's files differ from the expected list"
fi
dpkg-deb -f "$deb" Package | grep -qx upszelto || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6dbus6 libqt6svg6; do
    [[ "$depends" == *"$lib"* ]] || fail "the package does not depend on $lib: $depends"
done
mkdir -p "$work/control"
dpkg-deb -e "$deb" "$work/control"
grep -qx '/etc/xdg/autostart/upszelto.desktop' "$work/control/conffiles" ||
    fail "the autostart entry is not a conffile"
echo "package $(basename "$deb") holds the same files; Depends: $depends"
