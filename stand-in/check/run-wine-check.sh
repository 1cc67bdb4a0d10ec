#!/bin/sh
# run-wine-check.sh: runs standin_check.exe under Wine on a copy of the built
# stand-in files, in a fresh 32-bit prefix of its own.
#   sh stand-in/check/run-wine-check.sh <stand-in build folder>
# Exit code: 0 all cases pass, 1 a case failed or Wine cannot run here (nothing
# was checked, which is no pass).
set -u
build=${1:?usage: run-wine-check.sh <stand-in build folder>}
[ -d "$build/files" ] && [ -f "$build/check/standin_check.exe" ] || {
  echo "run-wine-check: build the stand-in first ($build/files, $build/check/standin_check.exe)"; exit 1; }
command -v wine >/dev/null 2>&1 || { echo "FAILED: wine is not installed, nothing was checked"; exit 1; }

prefix=$(mktemp -d /tmp/standin-check.XXXXXX)
export WINEPREFIX="$prefix/pfx" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() { timeout 60 wineserver -k >/dev/null 2>&1; timeout 60 wineserver -w >/dev/null 2>&1; rm -rf "$prefix"; }
trap cleanup EXIT

# A ready template prefix of this test run is copied; otherwise one is booted.
if [ -n "${VANTRO_WINE_TEMPLATE:-}" ] && [ -f "$VANTRO_WINE_TEMPLATE/system.reg" ]; then
  cp -a "$VANTRO_WINE_TEMPLATE" "$WINEPREFIX"
elif ! timeout 300 wineboot -i >"$prefix/boot.log" 2>&1; then
  echo "FAILED: Wine cannot start a 32-bit prefix here, nothing was checked"; cat "$prefix/boot.log"; exit 1
fi
dest="$WINEPREFIX/drive_c/standin"
mkdir -p "$dest"
cp "$build"/files/* "$build/check/standin_check.exe" "$dest/"
timeout 300 wine 'C:\standin\standin_check.exe' >"$prefix/check.log" 2>&1
rc=$?
cat "$prefix/check.log"
echo "run-wine-check: $(grep -c '^ok' "$prefix/check.log") passed, $(grep -c '^FAIL' "$prefix/check.log") failed"
[ "$rc" -eq 0 ] || { echo "run-wine-check: FAILED, standin_check.exe ended with $rc"; exit 1; }
grep -q '^0 failure(s)' "$prefix/check.log" || { echo "run-wine-check: FAILED, standin_check.exe did not finish its cases"; exit 1; }
exit 0
