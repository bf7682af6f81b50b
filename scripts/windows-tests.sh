#!/usr/bin/env bash
# Cross-builds the 64-bit Windows DLL and the Windows test program, then runs the program under
# Wine on a virtual X server: the DLL loaded with LoadLibrary, its resources, the command protocol,
# frames compared with the native build's, and the dialogs as real windows.
#
#   scripts/windows-tests.sh              build and run
#   scripts/windows-tests.sh --pictures   also refresh docs/dialogs/*.png from the run
#   extra arguments go to the test program (e.g. --gtest_filter=Alerts.*)
#
# Reference frames come from the native test binary (build/motefield_tests, or the one named by
# MOTEFIELD_NATIVE_TESTS); without it the frame comparison is skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

pictures=0
args=()
for a in "$@"; do
  if [ "$a" = "--pictures" ]; then pictures=1; else args+=("$a"); fi
done

phase_start=$(date +%s)
total_start=$phase_start
phase() {
  local now
  now=$(date +%s)
  echo "windows-tests: $1 took $((now - phase_start)) s"
  phase_start=$now
}

cmake --preset windows ${MOTEFIELD_WERROR:+-DMOTEFIELD_WERROR=$MOTEFIELD_WERROR} >/dev/null
cmake --build --preset windows --target motefield_plugin motefield_windows_tests
phase "cross build"

wine=$(command -v wine64 || true)
if [ -z "$wine" ] && [ -x /usr/lib/wine/wine64 ]; then wine=/usr/lib/wine/wine64; fi
if [ -z "$wine" ]; then wine=$(command -v wine); fi
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)

work=$(mktemp -d "${TMPDIR:-/tmp}/motefield-wine.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

# The effect's 8-bit text is GBK: Wine takes the ANSI code page (936) from the Unix locale, which
# is made here when the system lacks it.
locale_env=(LC_ALL=zh_CN.UTF-8)
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  mkdir -p "$work/locale"
  localedef -i zh_CN -f UTF-8 "$work/locale/zh_CN.UTF-8" >/dev/null 2>&1 || true
  locale_env+=(LOCPATH="$work/locale")
fi
phase "locale"

# A fresh prefix. The first start of Wine sets it up; wait for it to finish before anything runs,
# and try once more if it did not come up.
boot() {
  env "${locale_env[@]}" xvfb-run -a "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || true
  "$wineserver" -w || true
  [ -f "$WINEPREFIX/system.reg" ] && [ -d "$WINEPREFIX/drive_c/windows/system32" ]
}
if ! boot; then
  echo "windows-tests: Wine did not set up its prefix; trying again" >&2
  rm -rf "$WINEPREFIX"
  boot || { cat "$work/wineboot.log" >&2; exit 1; }
fi
# Window frames drawn by Wine itself (there is no window manager on the virtual screen), and dialog
# fonts that hold both Latin and Chinese letters.
cat >"$work/settings.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"MS Shell Dlg"="WenQuanYi Micro Hei"
"MS Shell Dlg 2"="WenQuanYi Micro Hei"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"SimSun"="WenQuanYi Micro Hei"
"NSimSun"="WenQuanYi Micro Hei"
"Microsoft YaHei"="WenQuanYi Micro Hei"
REG
env "${locale_env[@]}" "$wine" regedit /S "Z:${work//\//\\}\\settings.reg" >/dev/null 2>&1
"$wineserver" -w
phase "Wine prefix"

windows_path() { echo "Z:${1//\//\\}"; }

native_tests=${MOTEFIELD_NATIVE_TESTS:-$root/build/motefield_tests}
run_env=("${locale_env[@]}")
if [ -x "$native_tests" ]; then
  MOTEFIELD_REFERENCE_FRAMES="$work/reference" "$native_tests" \
    --gtest_filter='ReferenceFrames.*' >"$work/reference.log" 2>&1 ||
    { cat "$work/reference.log" >&2; exit 1; }
  run_env+=(MOTEFIELD_REFERENCE_FRAMES="$(windows_path "$work/reference")")
else
  echo "windows-tests: no native test binary at $native_tests: frames are not compared" >&2
fi
mkdir -p "$work/pictures"
run_env+=(MOTEFIELD_DIALOG_PICTURES="$(windows_path "$work/pictures")")
phase "reference frames"

status=0
env "${run_env[@]}" xvfb-run -a "$wine" "$root/build-windows/motefield_windows_tests.exe" \
  ${args[@]+"${args[@]}"} || status=$?
"$wineserver" -w || true
phase "tests under Wine"

if [ "$pictures" = 1 ]; then
  mkdir -p "$root/docs/dialogs"
  for bmp in "$work"/pictures/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "$root/docs/dialogs/$(basename "${bmp%.bmp}").png"
  done
  phase "pictures"
fi
echo "windows-tests: $(($(date +%s) - total_start)) s in all"
exit $status
