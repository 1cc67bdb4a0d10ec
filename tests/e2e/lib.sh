# Helpers for the end-to-end tests: they run the real VantroSetup.exe under Wine
# in a fresh prefix on a virtual display and check what it left behind.
#
#   . "$(dirname "$0")/lib.sh"      (sources tests/wine/lib.sh too)
#   e2e_require_wine                 ends the script as failed when Wine cannot run
#   e2e_require_wine64               the same for 64-bit Windows; later prefixes are 64-bit
#   e2e_begin NAME                   fresh prefix in $prefix, user folders in $temp, $cdrive
#   e2e_setup_exe [INSTALL.INI TEXT] copies VantroSetup.exe (and the robot) into C:\setup
#   check NAME CONDITION...          one named check; counted
#   same EXPECTED ACTUAL             a check condition: equal texts, else a diff
#   reg_value FILE KEY NAME          a registry value of the stopped prefix
#   reg_has FILE KEY                 the key (or a key below it) is there
#   e2e_wait_scheduler N             waits for the scheduler's Nth recorded run
#   e2e_links GROUP                  the group's shortcuts: name|target|folder
#   record                           the [Vantro] section of WIN.INI, key=value lines
#   snapshot DIR, no_changes_but     the prefix written down; what changed between two
#   machine_values KEY REGEX         value lines of an HKLM key in system.reg
#   defer LOG STEPS...               vantro_defer.exe, its output in LOG
#   e2e_end                          ends the prefix
#   e2e_summary                      prints "N passed, M failed"; fails when any
#                                    check failed or none ran

e2e_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$e2e_here/../wine/lib.sh"

e2e_build=$vantro_root/build/win32
e2e_artifacts=${VANTRO_E2E_ARTIFACTS:-$vantro_root/build/e2e-artifacts}
e2e_passed=0
e2e_failed=0
e2e_template=  # the template e2e_begin copies; empty: the 32-bit one

# Runs the calling script again on a virtual 1024x768 display unless it has one.
e2e_need_display() {
    if [ -z "${DISPLAY:-}" ]; then
        exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
    fi
}

# e2e_require_wine: a template prefix for this run, or the script ends here as
# failed: a run that could not try the installer under Wine proves nothing.
e2e_require_wine() {
    wine_require && return 0
    echo "  FAIL  Wine cannot run here ($wine_skip_reason): nothing was tested"
    echo "0 passed, 1 failed"
    exit 1
}

# e2e_require_wine64: the 64-bit template (our 32-bit programs under WOW64, as
# on today's Windows), or the script ends here as failed; every prefix that
# e2e_begin makes afterwards is a copy of it.
e2e_require_wine64() {
    if wine_require64; then
        wine_use64
        e2e_template=$VANTRO_WINE_TEMPLATE64
        return 0
    fi
    echo "  FAIL  64-bit Wine cannot run here ($wine_skip_reason): nothing was tested"
    echo "0 passed, 1 failed"
    exit 1
}

check() {
    local name=$1
    shift
    if "$@"; then
        e2e_passed=$((e2e_passed + 1))
        echo "  ok    $name"
    else
        e2e_failed=$((e2e_failed + 1))
        echo "  FAIL  $name"
    fi
}

# A script stopped part way (its time limit, Ctrl-C) still ends its prefix's
# wineserver, so nothing of the case stays running.
e2e_on_exit() {
    [ -z "${prefix:-}" ] || wine_stop "$prefix"
}
trap e2e_on_exit EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# same EXPECTED ACTUAL: true when the texts are equal; otherwise shows the diff.
same() {
    [ "$1" = "$2" ] && return 0
    diff <(printf '%s\n' "$1") <(printf '%s\n' "$2") | sed 's/^/        /'
    return 1
}

# The registry of a prefix whose wineserver has ended (wine_stop), read from
# its files: FILE is system.reg (HKLM; HKCR is its Software\Classes) or
# user.reg (HKCU); KEY is written without the root and compared ignoring case.
# reg_value FILE KEY NAME prints the value NAME ("@" the default value): the
# text of a REG_SZ, any other type as the file writes it (dword:00000001);
# nothing when it is absent.
reg_value() {
    KEY=$2 NAME=$3 awk '
        function unescape(s) { gsub(/\\\\/, "\001", s); gsub(/\\"/, "\"", s); gsub(/\001/, "\\", s); return s }
        /^\[/ { k = $0; sub(/^\[/, "", k); sub(/\][^\]]*$/, "", k); on = tolower(unescape(k)) == tolower(ENVIRON["KEY"]); next }
        !on { next }
        ENVIRON["NAME"] == "@" && substr($0, 1, 2) == "@=" { v = substr($0, 3) }
        ENVIRON["NAME"] != "@" && match($0, /^"([^"\\]|\\.)*"=/) &&
            tolower(unescape(substr($0, 2, RLENGTH - 3))) == tolower(ENVIRON["NAME"]) { v = substr($0, RLENGTH + 1) }
        v != "" { if (v ~ /^".*"$/) v = unescape(substr(v, 2, length(v) - 2)); print v; exit }
    ' "$prefix/$1"
}
reg_has() {
    KEY=$2 awk '
        /^\[/ { k = $0; sub(/^\[/, "", k); sub(/\][^\]]*$/, "", k); gsub(/\\\\/, "\\", k)
                k = tolower(k); w = tolower(ENVIRON["KEY"])
                if (k == w || substr(k, 1, length(w) + 1) == w "\\") { found = 1; exit } }
        END { exit !found }
    ' "$prefix/$1"
}

# e2e_wait_scheduler N: the installer starts the scheduler without waiting for
# it; waits (at most 60 s) until the stand-in has recorded N runs in History.
e2e_wait_scheduler() {
    local i
    for i in $(seq 60); do
        [ "$(WINEPREFIX="$prefix" timeout 60 wine reg query 'HKCU\Software\Brenmoor\Vantro\Scheduler' /v History \
            2>/dev/null </dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' | wc -w)" -ge "$1" ] && return 0
        sleep 1
    done
    return 1
}

# e2e_links GROUP: the shortcuts of a Start Menu group, as lnkdump reads them.
e2e_links() {
    e2e_wine "$prefix/links.log" lnkdump.exe "C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\$1"
    tr -d '\r' <"$prefix/links.log"
}

record() { tr -d '\r' <"$cdrive/windows/win.ini" | sed -n '/^\[Vantro\]/,/^\[/p' | grep -v '^\[' | grep -v '^$'; }

# ---- the prefix written down, for a before-and-after comparison --------------------

programs() { printf '%s' "$cdrive/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"; }

# reg_lines FILE: a saved registry file as "[key]" and "[key]<TAB>value" lines,
# sorted, without the times Wine stamps on keys; a value Wine writes over
# several lines (a long hex value, each line ending in "\") is one line.
reg_lines() {
    awk 'part != "" { line = $0; sub(/^[ \t]+/, "", line); part = part line; if (part ~ /\\$/) { sub(/\\$/, "", part); next } print key "\t" part; part = ""; next }
         /^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print key; next }
         /^#/ || /^$/ || key == "" { next }
         /\\$/ && /^"([^"\\]|\\.)*"=hex/ { part = $0; sub(/\\$/, "", part); next }
         { print key "\t" $0 }' "$1" | LC_ALL=C sort
}

# snapshot DIR: what the prefix holds, read while no server runs. Left out
# everywhere: C:\setup (the test's own folder) and the keys of display
# adapters and monitors, which Wine's display driver writes anew at every
# session with a display; the Start Menu is a part of its own.
snapshot() {
    local d=$1
    mkdir -p "$d"
    reg_lines "$prefix/system.reg" | grep -v '^\[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\{4D36E96[8E]-' >"$d/hklm"
    reg_lines "$prefix/user.reg" >"$d/hkcu"
    (cd "$cdrive" && find . \( -path ./setup -o -path "./users/$user/AppData/Roaming/Microsoft/Windows/Start Menu" \) -prune \
        -o -type d -printf 'd %p\n' -o -printf 'f %s %p\n') |
        LC_ALL=C sort -k3 >"$d/tree"
    tr -d '\r' <"$cdrive/windows/win.ini" >"$d/win.ini"
    (cd "$(programs)" && find . | LC_ALL=C sort) >"$d/start-menu"
}

# changes BEFORE AFTER PART: the lines of PART that came ("+ line") or went ("- line").
changes() {
    diff "$1/$3" "$2/$3" | sed -n 's/^> /+ /p; s/^< /- /p'
}

# no_changes_but BEFORE AFTER PART [REGEX]: no change in PART other than
# lines matching REGEX (grep -E); the others are shown.
no_changes_but() {
    local left
    left=$(changes "$1" "$2" "$3" | { if [ -n "${4:-}" ]; then grep -Ev -- "$4"; else cat; fi })
    [ -z "$left" ] && return 0
    head -n 20 <<<"$left" | sed 's/^/        /'
    return 1
}

# machine_values KEY REGEX: the value lines of one key of HKLM that match REGEX
# (awk), as system.reg holds them (backslashes doubled), read while no server runs.
machine_values() {
    KEY="[$1]" PATTERN=$2 awk 'index($0, ENVIRON["KEY"]) == 1 {on = 1; next} /^\[/ {on = 0} on && $0 ~ ENVIRON["PATTERN"]' \
        "$prefix/system.reg"
}
# deferred_values KEY: the "Brenmoor..." values (the deferred deletions and
# copies) of one key of HKLM.
deferred_values() { machine_values "$1" '^"Brenmoor'; }
# reg_line NAME TEXT: the system.reg line of a REG_SZ value.
reg_line() { printf '"%s"="%s"' "$1" "${2//\\/\\\\}"; }

# defer LOG STEPS...: vantro_defer.exe in the prefix; its output without CRs in
# LOG; its exit code.
defer() {
    local log=$1
    shift
    e2e_wine "$log.raw" vantro_defer.exe "$@"
    local rc=$?
    tr -d '\r' <"$log.raw" >"$log"
    return $rc
}

e2e_begin() {
    e2e_name=$1
    prefix=$(wine_fresh_prefix "$1" "${e2e_template:-}") || { echo "cannot copy the template prefix"; exit 1; }
    cdrive=$prefix/drive_c
    user=$(ls "$cdrive/users" | grep -v '^Public$' | head -n 1)
    temp=$cdrive/users/$user/Temp
    setup=$cdrive/setup
    mkdir -p "$setup" "$e2e_artifacts"
    echo "$e2e_name:"
}

# e2e_setup_exe [TEXT]: VantroSetup.exe in C:\setup, with Install.ini beside it
# holding TEXT (LF turned into CR LF) when given.
e2e_setup_exe() {
    cp "$e2e_build/VantroSetup.exe" "$e2e_build/tests/win32/robot.exe" "$e2e_build/tests/win32/lnkdump.exe" "$setup/"
    if [ $# -gt 0 ]; then printf '%s' "$1" | sed 's/$/\r/' >"$setup/Install.ini"; fi
}

# e2e_wine LOG PROGRAM ARGS...: runs a program in the prefix from C:\setup.
e2e_wine() {
    local log=$1
    shift
    (cd "$setup" && WINEPREFIX="$prefix" timeout 600 wine "$@" >"$log" 2>&1 </dev/null)
}

# e2e_run_code LOG LINE [VAR=VALUE...]: starts the command line LINE (as
# Windows starts one, e.g. 'C:\setup\VantroSetup.exe') in the prefix from
# C:\setup through the robot (robot.exe in C:\setup), which waits (600 s at
# most) for the program to end and prints its whole exit code: Wine's own exit
# status keeps only the low 8 bits (1603 would read 67, 3010 194). The
# variables are added to Wine's environment. Prints the code, or "none" when
# the program did not end.
e2e_run_code() {
    local log=$1 line=$2
    shift 2
    (cd "$setup" && env WINEPREFIX="$prefix" "$@" timeout 660 wine robot.exe do run "$line" ';' \
        wait-exit 600 >"$log" 2>&1 </dev/null)
    local code
    code=$(tr -d '\r' <"$log" | sed -n 's/^EXIT //p')
    printf '%s\n' "${code:-none}"
}

# e2e_hold MODE WINPATH: holder.exe (copied into C:\setup) holds the file
# ("open": without delete sharing; "image": mapped as a running program's)
# in the background until e2e_release; sets $held to "holding" once it does,
# "failed" or nothing otherwise (at most two minutes for its start).
e2e_hold() {
    [ -f "$setup/holder.exe" ] || cp "$e2e_build/tests/win32/holder.exe" "$setup/"
    rm -f "$setup/release-holder"
    (cd "$setup" && WINEPREFIX="$prefix" timeout 900 wine holder.exe "$1" "$2" \
        'C:\setup\release-holder' 800 >"$prefix/holder.log" 2>&1 </dev/null) &
    holder_pid=$!
    held=
    for _ in $(seq 1200); do
        held=$(tr -d '\r' 2>/dev/null <"$prefix/holder.log" | grep -E '^(holding|failed)' | head -n 1)
        [ -n "$held" ] && break
        kill -0 "$holder_pid" 2>/dev/null || break
        sleep 0.1
    done
}
# e2e_release: the holder lets go; its exit status (0 released).
e2e_release() {
    touch "$setup/release-holder"
    wait "$holder_pid"
}

e2e_end() {
    wine_end_prefix "$prefix"
    prefix=
}

e2e_summary() {
    echo "$e2e_passed passed, $e2e_failed failed"
    [ "$e2e_failed" -eq 0 ] && [ "$e2e_passed" -gt 0 ]
}

# pixel FILE X Y: the colour of one pixel as #RRGGBB.
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -n 1 | grep -o '#[0-9A-Fa-f]\{6\}' | head -n 1
}

# e2e_robot LOG SCRIPT [LIMIT]: runs robot.exe on SCRIPT (a file in C:\setup,
# see tests/win32/tools/robot.cpp) and serves its "shot NAME" requests: each
# becomes $e2e_artifacts/NAME.png, taken while the robot waits. Returns the
# robot's exit status: 0 the script ran to its end, 1 a step failed or timed
# out, 124 when the whole run passed LIMIT seconds (default 300).
e2e_robot() {
    local log=$1 script=$2 limit=${3:-300}
    (cd "$setup" && WINEPREFIX="$prefix" timeout "$limit" wine robot.exe script "$script" >"$log" 2>&1 </dev/null) &
    local robot=$! served=0 name shots
    while :; do
        mapfile -t shots < <(tr -d '\r' 2>/dev/null <"$log" | sed -n 's/^SHOT //p')
        while [ "$served" -lt "${#shots[@]}" ]; do
            name=${shots[$served]}
            import -window root "$e2e_artifacts/$name.png"
            touch "$setup/$name.shot"
            served=$((served + 1))
        done
        kill -0 "$robot" 2>/dev/null || break
        sleep 0.1
    done
    wait "$robot"
}

# e2e_robot_checks LOG: one check per EXPECT line of a robot log, and one that
# the script ran to its end (its ERROR line, if any, is shown).
e2e_robot_checks() {
    local log=$1 line status
    while IFS= read -r line; do
        status=${line#EXPECT }
        status=${status%% *}
        check "${line#EXPECT $status }" test "$status" = ok
    done < <(tr -d '\r' <"$log" | grep '^EXPECT ')
    tr -d '\r' <"$log" | grep '^ERROR ' | sed 's/^/        /'
    check "robot script ran to its end" grep -q '^END completed' <(tr -d '\r' <"$log")
}
