#!/bin/bash
# Opens Klvo.hlp in Wine's help viewer the way Kelvo does (WinHelpA with
# HELP_CONTENTS, HELP_HELPONHELP, HELP_CONTEXT 100 and 101), checks that
# each request shows the topic the file's own index names, checks the
# keyword list of the Index button, and keeps a screenshot of each step.
#
#   check_in_wine.sh [KLVO.HLP] [HELPCTX.EXE] [SCREENSHOT-DIR]
#
# Without arguments it builds both into a temporary folder from
# docs/help/klvo.hlpsrc and tools/hlp/helpctx.c; screenshots go to
# build/artifacts/help. Prints "N passed, N failed"; exit code 1 on failure.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d /tmp/klvo-help-check.XXXXXX)
hlp=${1:-}
exe=${2:-}
shots=${3:-$root/build/artifacts/help}
mkdir -p "$shots"

if [ -z "$hlp" ]; then
    hlp=$work/Klvo.hlp
    /usr/bin/python3 "$here/hlpwrite.py" "$root/docs/help/klvo.hlpsrc" -o "$hlp" || exit 1
fi
if [ -z "$exe" ]; then
    exe=$work/helpctx.exe
    x86_64-w64-mingw32-gcc -O2 -o "$exe" "$here/helpctx.c" -mwindows || exit 1
fi

source "$root/tools/wine-env.sh"
cleanup() { wine_cleanup; rm -rf "$work"; }
trap cleanup EXIT
wine_display
wine_new_prefix "$work/prefix"
mkdir -p "$WINEPREFIX/drive_c/Kelvo/System"
cp "$hlp" "$WINEPREFIX/drive_c/Kelvo/System/KLVO.HLP"
cp "$exe" "$WINEPREFIX/drive_c/helpctx.exe"
# Help on help: Windows brings its own; Wine's viewer would ask for it.
/usr/bin/python3 "$here/hlpwrite.py" "$here/winhelp.hlpsrc" -o "$WINEPREFIX/drive_c/windows/winhelp.hlp" || exit 1
file='C:\Kelvo\System\KLVO.HLP'

expect() {  # the topic title that hlpread.py finds for: --map N, or contents
    if [ "$1" = contents ]; then
        /usr/bin/python3 "$here/hlpread.py" "$hlp" | sed -n 's/^contents: //p'
    else
        /usr/bin/python3 "$here/hlpread.py" "$hlp" --map "$1"
    fi
}

passed=0
failed=0
check() {  # name, expected topic, helpctx arguments...
    local name=$1 want=$2
    shift 2
    local out
    # Output goes through a file: the help viewer that WinHelpA starts
    # inherits the handle and would hold a pipe open.
    local target=$file
    [ "$1" = helponhelp ] && target=
    wine_run 'C:\helpctx.exe' $target "$@" --wait 3 --show >"$work/out.txt" 2>/dev/null
    out=$(tr -d '\r' <"$work/out.txt")
    import -window root "$shots/$name.png"
    local got
    got=$(printf '%s\n' "$out" | sed -n 's/^topic: //p')
    if [ -n "$want" ] && [ "$got" = "$want" ]; then
        echo "ok   $name: $got"
        passed=$((passed + 1))
    else
        echo "FAIL $name: expected '$want', help window shows '$got'"
        printf '%s\n' "$out" | sed 's/^/     /'
        failed=$((failed + 1))
    fi
}

check contents "$(expect contents)" contents
check help-on-help "ヘルプの使い方" helponhelp
check context-100 "$(expect 100)" context 100
check context-101 "$(expect 101)" context 101

wine_run 'C:\helpctx.exe' index >"$work/out.txt" 2>/dev/null
keywords=$(tr -d '\r' <"$work/out.txt" | sed -n 's/^keyword: //p')
import -window root "$shots/index.png"
want=$(/usr/bin/python3 "$here/hlpread.py" "$hlp" | sed -n '/^keywords:/,$p' | sed -n 's/^  \(.*\): .*/\1/p')
if [ -n "$want" ] && [ "$keywords" = "$want" ]; then
    echo "ok   index: $(printf '%s\n' "$keywords" | wc -l) keywords"
    passed=$((passed + 1))
else
    echo "FAIL index: keyword list differs"
    diff <(printf '%s\n' "$want") <(printf '%s\n' "$keywords") | sed 's/^/     /'
    failed=$((failed + 1))
fi

wine_run 'C:\helpctx.exe' "$file" quit >/dev/null 2>&1
echo "screenshots: $shots"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
