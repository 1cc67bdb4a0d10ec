# The installer's payload catalogue as a tester writes it down from the
# product's documented rows, not read from the build: resource index,
# resource name, installed file name, and whether a normal build carries the
# resource (0: the row stays in the catalogue, but its file is never installed).
# Indexes 0-46 are the files of the four component tables, 47 the configuration
# template, 48-55 the topic site lists. Source it from a test.
#
#   catalogue_rows                  prints "index resource file carried", one a line
#   catalogue_files FIRST LAST [1]  the file names of the rows FIRST..LAST (only the
#                                   carried ones with a third argument 1)
#   icon_rows, icon_links DEST FIRST-LAST...  the rows with an icon; their shortcuts
#   catalogue_installed DEST        every carried file of rows 0-46 is in DEST, equal
#                                   to its original in $files; the others are named

catalogue_rows() {
    cat <<'ROWS'
0 EXEFILE2 tclassic.exe 1
1 DLLFILE1 tcore32.dll 1
2 CNTFILE1 TCore32.cnt 1
3 HLPFILE1 tcore32.hlp 1
4 DLLFILE2 shellext.dll 1
5 DLLFILE3 navhook.dll 1
6 CNTFILE2 navhelp.cnt 1
7 HLPFILE2 navhelp.hlp 1
8 TXTFILE2 shellext.txt 0
9 EXEFILE3 tscript.exe 1
10 CNTFILE3 tscript.cnt 1
11 HLPFILE3 tscript.hlp 1
12 TXTFILE3 tscript.txt 0
13 EXEFILE1 tfind.exe 1
14 CNTFILE5 tfind.cnt 1
15 HLPFILE5 tfind.hlp 1
16 TXTFILE4 tfind.txt 0
17 EXEFILE4 tsync.exe 1
18 DLLFILE4 tsynclib.dll 1
19 CNTFILE4 tsync.cnt 1
20 HLPFILE4 tsync.hlp 1
21 TXTFILE5 tsync.txt 0
22 EXEFILE6 tqueue.exe 1
23 EXEFILE7 tsched.exe 1
24 CNTFILE6 tqueue.cnt 1
25 HLPFILE7 tqueue.hlp 1
26 TXTFILE7 tqueue.txt 0
27 EXEFILE8 turl.exe 1
28 DLLFILE6 vnbho2k0.dll 1
29 EXEFILE5 tlink.exe 1
30 DLLFILE5 tstub.dll 1
31 REMOVEFILE uninst32.exe 1
32 TXTFILE relnotes.txt 1
33 HLPFILE6 tlink.hlp 0
34 TXTFILE6 tcore32.pdf 1
35 ORDER orderfrm.wri 0
36 LICENSE terms.wri 0
37 WAVE2 linkup.wav 1
38 WAVE3 fault.wav 1
39 WAVE1 done.wav 1
40 DATFILE1 seed.dat 1
41 SSLKEY1 peer.key 1
42 SSLCRT1 peer.crt 1
43 SSLCRT2 brenmoor.crt 1
44 DLLFILE7 secsvc.dll 1
45 SSLHLP secsvc.hlp 1
46 SSLCNT secsvc.cnt 1
47 INIFILE1 Vantro.ini 1
48 INIFILE2 scanners.ini 1
49 INIFILE3 collects.ini 1
50 INIFILE4 playtime.ini 1
51 INIFILE5 devices.ini 1
52 INIFILE6 brenmoor.ini 1
53 INIFILE7 services.ini 1
54 INIFILE8 programs.ini 1
55 INIFILE9 publicag.ini 1
ROWS
}

catalogue_files() {
    local first=$1 last=$2 only=${3:-}
    catalogue_rows | awk -v a="$first" -v b="$last" -v only="$only" \
        '$1 >= a && $1 <= b && (only != 1 || $4 == 1) { print $3 }'
}

catalogue_installed() {
    local bad=0 name
    while read -r name; do
        cmp -s "$files/$name" "$1/$name" || { echo "        differs or missing: $name"; bad=1; }
    done < <(catalogue_files 0 46 1)
    return $bad
}

# The rows that get an icon (bIcon 1), by resource index, with their captions.
icon_rows() {
    cat <<'ROWS'
0 Vantro Pro
3 Vantro Pro Help
7 Vantro Pro Explorer Help
9 Vantro Scripting Utility
11 Vantro Scripting Help
13 Vantro Find Utility
15 Vantro Find Help
17 Vantro Synchronize Utility
20 Vantro Synchronize Help
22 Vantro Queuing Utility
25 Vantro Queue Help
29 Vantro Icon Placement
31 Vantro Pro Uninstall
32 Vantro Pro Release Notes
34 Vantro Pro Manual
ROWS
}

# icon_links DEST FIRST-LAST...: the shortcuts an install into DEST makes for
# the icon rows whose index lies in the ranges, sorted, as e2e_links prints them.
icon_links() {
    local dest=$1 index caption range
    shift
    while read -r index caption; do
        for range in "$@"; do
            [ "$index" -ge "${range%-*}" ] && [ "$index" -le "${range#*-}" ] || continue
            printf '%s.lnk|%s\\%s|%s\n' "$caption" "$dest" "$(catalogue_files "$index" "$index")" "$dest"
        done
    done < <(icon_rows) | LC_ALL=C sort
}
