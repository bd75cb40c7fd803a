#!/usr/bin/env bash
# What upszelto.exe carries, read from the file itself (no Wine needed):
#   - it imports only DLLs every Windows has (Winsock for the NUT server among them): the C++
#     runtime and threads are linked in;
#   - it makes the power requests itself (ExitWindowsEx, SetSuspendState), while the test build
#     upszelto-test.exe, the one every other test runs, has no way to make them;
#   - the application icon in 16, 32 and 48 px, 32-bit with alpha; the twelve pictures of each
#     image list and the three fixed pictures;
#   - a version resource with the project's version, and a manifest asking for common controls 6,
#     system DPI awareness and the invoker's rights;
#   - it stays small: stripped, under 1.5 MB.
# Environment: ZELTO_WIN_BUILD, ZELTO_OBJDUMP (the mingw objdump), ZELTO_VERSION (the project's).
set -euo pipefail
build=${ZELTO_WIN_BUILD:?}
objdump=${ZELTO_OBJDUMP:?}
version=${ZELTO_VERSION:?}
exe=$build/upszelto.exe
test_exe=$build/upszelto-test.exe

. "$(dirname "$0")/../scripts/harness.bash"

# Whole outputs in variables: grep -q on a pipe would end the writer early, which pipefail counts
# as a failure.
exe_imports=$("$objdump" -p "$exe")
test_imports=$("$objdump" -p "$test_exe")
dlls() { sed -nE 's/^\s*DLL Name: (.*)$/\1/p' <<<"$1" | tr '[:upper:]' '[:lower:]' | sort; }

# ---- Imports ------------------------------------------------------------------------------------
system_dlls=" advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll powrprof.dll shell32.dll user32.dll ws2_32.dll "
for dll in $(dlls "$exe_imports"); do
    [[ "$system_dlls" == *" $dll "* ]] || fail "upszelto.exe imports $dll, which Windows does not ship"
done
grep -qx user32.dll <<<"$(dlls "$exe_imports")" || fail "no user32.dll import: not a windowed program?"
for function in ExitWindowsEx SetSuspendState AdjustTokenPrivileges Shell_NotifyIconW CreateFileW \
    SetCommState ClearCommError PurgeComm MoveFileExW; do
    grep -qE "\s$function$" <<<"$exe_imports" || fail "upszelto.exe does not import $function"
done
for function in ExitWindowsEx SetSuspendState; do
    ! grep -qE "\s$function$" <<<"$test_imports" ||
        fail "the test build imports $function: a test could power the machine off"
done
echo "imports: system DLLs only; the power calls only in upszelto.exe"

# ---- Pictures -----------------------------------------------------------------------------------
# resource BYTES: the raw resource of the given type and name.
resource() { wrestool --extract --raw --type="$1" --name="$2" "$exe"; }
# An icon group: 6 bytes of header, then 14 bytes per image (width, height, ..., bits at 6-7).
group=$(resource 14 1 | od -An -v -tu1 | tr -s ' \n' ' ')
group=${group# }
read -r -a bytes <<<"$group"
[ "${bytes[4]}" -eq 3 ] || fail "the application icon has ${bytes[4]} images, not 3"
sizes=""
for i in 0 1 2; do
    at=$((6 + 14 * i))
    sizes+="${bytes[at]}x${bytes[at + 1]}@${bytes[at + 6]} "
done
[ "$sizes" = "16x16@32 32x32@32 48x48@32 " ] || fail "the application icon's images: $sizes"
for name in $(seq 100 111) $(seq 200 211) 300 301 302; do
    [ -n "$(resource 14 "$name" | od -An -tx1)" ] || fail "no picture $name"
done
echo "pictures: the application icon in 16, 32 and 48 px and all 27 pictures"

# ---- Version and manifest -----------------------------------------------------------------------
strings=$(resource 16 1 | iconv -f UTF-16LE -t UTF-8 -c | tr '\0' '\n')
grep -qx "$version" <<<"$strings" || fail "the version resource does not carry $version"
grep -qx "upszelto.exe" <<<"$strings" || fail "the version resource names no upszelto.exe"
manifest=$(resource 24 1)
for needed in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
    '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' '<dpiAware>true</dpiAware>'; do
    grep -qF "$needed" <<<"$manifest" || fail "the manifest lacks $needed"
done
echo "version $version and the manifest (common controls 6, DPI aware, asInvoker)"

# ---- Size ---------------------------------------------------------------------------------------
size=$(stat -c %s "$exe")
[ "$size" -lt $((1536 * 1024)) ] || fail "upszelto.exe is $size bytes, over 1.5 MB"
echo "upszelto.exe: $size bytes, stripped"
