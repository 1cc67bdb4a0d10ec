# Helpers for the scripts that run our Windows builds under Wine: one template
# 32-bit prefix per run (and one 64-bit prefix, where our 32-bit programs run
# under WOW64 as on today's Windows), a fresh copy of it for each test, and a
# clean end of each copy. Source it from a bash script:
#
#   . "$(dirname "$0")/lib.sh"
#   wine_require || exit 1              # prints why; a run without Wine is a failure
#   prefix=$(wine_fresh_prefix mytest)
#   wine_run "$prefix" "$log" 600 prog.exe args...; rc=$?
#   wine_end_prefix "$prefix"
#
#   wine_require64 || exit 1            # the 64-bit template; then, in that script,
#   wine_use64                          # WINEARCH=win64 for every later wine
#   prefix=$(wine_fresh_prefix mytest "$VANTRO_WINE_TEMPLATE64")
#
# Environment:
#   VANTRO_WINE_TEMPLATE  a ready template prefix to copy; wine_require sets and
#                         exports it, so scripts started from this one reuse it
#   VANTRO_WINE_TEMPLATE64  the same for the 64-bit template (wine_require64)
#   VANTRO_WINE_DIR       work folder (default build/wine): template/, template64/,
#                         prefixes/, logs
#   VANTRO_WINE_KEEP=1    keep each test's prefix after it ends (to look inside)
#   VANTRO_WINE_BOOT_TIMEOUT, VANTRO_WINE_PROBE_TIMEOUT  seconds (defaults 600, 300);
#                         Wine under qemu-user is slow to boot
# Never ends processes by name: each prefix's own wineserver is told to end.

vantro_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_dir=${VANTRO_WINE_DIR:-$vantro_root/build/wine}
wine_boot_timeout=${VANTRO_WINE_BOOT_TIMEOUT:-600}
wine_probe_timeout=${VANTRO_WINE_PROBE_TIMEOUT:-300}

# 32-bit Windows, quiet, and no Mono or Gecko prompts that would hang a headless run.
# No menu builder either: it would write desktop files for the shortcuts we make
# (and MIME types) into the home folder of whoever runs the tests.
wine_overrides="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="$wine_overrides"

# wine_use64: every later wine of this script works on 64-bit prefixes (Wine
# refuses a prefix whose architecture is not the one WINEARCH names).
wine_use64() {
    export WINEARCH=win64
}

# Why the last wine_require failed, for the failure message.
wine_skip_reason=

# wine_winpath PATH: the Windows form (Z:\...) of an absolute Unix path.
wine_winpath() {
    local p=${1//\//\\}
    printf 'Z:%s' "$p"
}

# wine_stop PREFIX: ends the prefix's wineserver and waits for it to go.
wine_stop() {
    WINEPREFIX="$1" timeout 60 wineserver -k >/dev/null 2>&1
    WINEPREFIX="$1" timeout 60 wineserver -w >/dev/null 2>&1
    return 0
}

# wine_make_template DIR [ARCH]: boots a new prefix (ARCH win32, the default,
# or win64) in DIR and checks that it can start a program (a timeout-bounded
# "cmd /c exit 0"). Returns 1 with wine_skip_reason set when it cannot.
wine_make_template() {
    local t=$1 arch=${2:-win32}
    rm -rf "$t"
    mkdir -p "$(dirname "$t")"
    WINEARCH=$arch WINEPREFIX="$t" timeout "$wine_boot_timeout" wineboot -i >"$t.boot.log" 2>&1
    local rc=$?
    # The registry reaches system.reg and user.reg only when the server ends.
    wine_stop "$t"
    if [ $rc -ne 0 ] || [ ! -f "$t/system.reg" ]; then
        wine_skip_reason="wineboot -i failed (exit $rc, see $t.boot.log)"
        rm -rf "$t"
        return 1
    fi
    # With no window manager on the test display, Wine draws captions and frames
    # itself, so that screenshots show windows as a user sees them.
    printf '\n[Software\\\\Wine\\\\X11 Driver] 1700000000\n"Decorated"="N"\n' >>"$t/user.reg"
    WINEARCH=$arch WINEPREFIX="$t" timeout "$wine_probe_timeout" wine cmd /c exit 0 >"$t.probe.log" 2>&1 </dev/null
    rc=$?
    wine_stop "$t"
    if [ $rc -ne 0 ]; then
        wine_skip_reason="wine cmd /c exit 0 failed (exit $rc, see $t.probe.log)"
        rm -rf "$t"
        return 1
    fi
    return 0
}

# wine_require: makes sure a template prefix exists (made once, then reused by
# later runs and by the scripts this one starts, through VANTRO_WINE_TEMPLATE).
# A template is built in a folder of its own and renamed into place when it
# works, so runs at the same time never see a half-made one. Returns 1 and
# prints why when Wine cannot run at all here.
wine_template_stamp=1
wine_require() {
    wine_require_template VANTRO_WINE_TEMPLATE "$wine_dir/template" win32
}

# wine_require64: the same for the 64-bit template (WINEARCH=win64), in a
# folder of its own: VANTRO_WINE_TEMPLATE64.
wine_require64() {
    wine_require_template VANTRO_WINE_TEMPLATE64 "$wine_dir/template64" win64
}

# wine_require_template VARIABLE FOLDER ARCH: what wine_require does, for the
# template of one architecture.
wine_require_template() {
    local var=$1 t=$2 arch=$3
    if ! command -v wine >/dev/null 2>&1 || ! command -v wineserver >/dev/null 2>&1; then
        wine_skip_reason="wine is not installed"
    elif [ -n "${!var:-}" ] && [ -f "${!var}/system.reg" ]; then
        return 0
    elif [ "$(cat "$t/.vantro-template" 2>/dev/null)" = "$wine_template_stamp" ]; then
        export "$var=$t"
        return 0
    elif wine_make_template "$t.new.$$" "$arch"; then
        echo "$wine_template_stamp" >"$t.new.$$/.vantro-template"
        rm -rf "$t.old.$$"
        [ -e "$t" ] && mv "$t" "$t.old.$$"
        mv "$t.new.$$" "$t"
        rm -rf "$t.old.$$"
        export "$var=$t"
        return 0
    fi
    echo "FAILED: Wine cannot run here ($arch): $wine_skip_reason" >&2
    return 1
}

# wine_fresh_prefix NAME [TEMPLATE]: copies the template (the 32-bit one unless
# another is named) into a new prefix of its own; prints the prefix's path.
wine_fresh_prefix() {
    local p="$wine_dir/prefixes/$1-$$-$RANDOM"
    mkdir -p "$wine_dir/prefixes"
    rm -rf "$p"
    cp -a "${2:-$VANTRO_WINE_TEMPLATE}" "$p" || return 1
    printf '%s\n' "$p"
}

# wine_run PREFIX LOG TIMEOUT PROGRAM [ARGS...]: runs a Windows program in the
# prefix, its output to LOG (Wine's background processes inherit pipes and
# would hold them open); returns the program's exit code (124 on time-out).
wine_run() {
    local prefix=$1 log=$2 limit=$3
    shift 3
    mkdir -p "$(dirname "$log")"
    WINEPREFIX="$prefix" timeout "$limit" wine "$@" >"$log" 2>&1 </dev/null
}

# wine_end_prefix PREFIX: ends the prefix's wineserver and removes the prefix
# (kept when VANTRO_WINE_KEEP=1).
wine_end_prefix() {
    wine_stop "$1"
    [ "${VANTRO_WINE_KEEP:-0}" = 1 ] || rm -rf "$1"
}
