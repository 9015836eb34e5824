#!/usr/bin/env bash
# The installed folder of the Windows build is complete: every DLL that every .exe and .dll in it
# imports is in the folder itself or is one of Windows' own; Qt finds its platform plugin, style
# and Russian texts there (qt.conf); the manual is beside qpx.exe. With WINE given, qpx-cli.exe
# also starts from the folder alone (no DLL search path set).
# usage: windows_stage.sh STAGE OBJDUMP [WINE]
set -uo pipefail
stage=$1 objdump=$2 wine=${3:-}
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

[ -d "$stage" ] || { echo "FAIL: no folder $stage (cmake --install first)" >&2; exit 1; }

# Windows' own DLLs (lower case), and the API sets that resolve to them. A program of ours may
# import only these from outside its folder.
system_dlls=(advapi32.dll authz.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll d3d11.dll
  d3d9.dll dwmapi.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll kernel32.dll mpr.dll msvcrt.dll
  netapi32.dll ole32.dll oleaut32.dll opengl32.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll userenv.dll uxtheme.dll version.dll winmm.dll winspool.drv ws2_32.dll wtsapi32.dll)
system=" ${system_dlls[*]} "

for required in qpx.exe qpx-cli.exe platforms/qwindows.dll platforms/qoffscreen.dll \
                styles/qwindowsvistastyle.dll translations/qtbase_ru.qm qt.conf qpx.html; do
  [ -f "$stage/$required" ] || fail "missing $required"
done
[ ! -d "$(dirname "$0")/../../docs/manual/qpx-help" ] || [ -d "$stage/qpx-help" ] || fail "missing qpx-help/"

# qt.conf points Qt at the folder itself for plugins and at translations/ for its texts.
if [ -f "$stage/qt.conf" ]; then
  grep -qx 'Plugins = \.' "$stage/qt.conf" || fail "qt.conf does not put the plugins in the folder"
  grep -qx 'Translations = translations' "$stage/qt.conf" || fail "qt.conf does not name translations/"
fi

checked=0
while IFS= read -r -d '' file; do
  checked=$((checked + 1))
  imports=$(LC_ALL=C "$objdump" -p "$file" 2>/dev/null | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r')
  [ -n "$imports" ] || { fail "${file#"$stage"/} imports nothing (not a PE file?)"; continue; }
  while IFS= read -r dll; do
    lower=${dll,,}
    case $lower in
      api-ms-win-*|ext-ms-win-*) continue ;;
    esac
    [[ "$system" == *" $lower "* ]] && continue
    # Windows' file names are case-insensitive: look for the DLL in the folder in any case.
    found=$(find "$stage" -maxdepth 1 -iname "$dll" -print -quit)
    [ -n "$found" ] || fail "${file#"$stage"/} imports $dll: neither in the folder nor a Windows DLL"
  done <<<"$imports"
done < <(find "$stage" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ "$checked" -ge 10 ] || fail "only $checked programs and DLLs in $stage"

if [ -n "$wine" ]; then
  # Started from the folder alone: no WINEPATH, no QT_PLUGIN_PATH.
  version=$(env -u WINEPATH -u QT_PLUGIN_PATH "$wine" "$stage/qpx-cli.exe" --version 2>/dev/null | tr -d '\r')
  [[ "$version" == "qpx-cli "* ]] || fail "qpx-cli.exe --version from the folder printed \"$version\""
fi

[ "$failures" -eq 0 ] && echo "windows_stage: $checked files, every import resolved"
exit $((failures > 0))
