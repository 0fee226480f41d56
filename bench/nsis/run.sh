#!/bin/bash
# Installer benchmark: the same generated payload installed silently into a
# fresh folder, in one wine64 prefix, by
#   1. our Setup.exe with a generated script (one meter block of copy lines),
#      built with tools/author.sh (preset win64),
#   2. a minimal CreateDirectoryA/CopyFileA loop (bench/nsis/copyloop.cpp),
#   3. an NSIS installer made by Debian's makensis (amd64 stub, no
#      compression) from the same files.
# Three payload shapes: 2,000 files in 200 MiB, 20,000 files of 4 KiB (the
# cost per file) and 20 files of 10 MiB (throughput). Prints each time
# (median of the runs, in an order that rotates from run to run so that no
# program has a fixed place after the last run's deletion; every time
# includes starting the program under wine64) and the ratios, then the
# interactive figure of the first shape (bench/nsis/interactive.py: through
# the wizard against -s). Before the shapes it times the start-up alone
# (bench/nsis/startup.cpp): a console program, which the copy loop is, and a
# windowed one, which an installer is; each shape also prints its ratio with
# both start-ups taken off. The default of 6 runs puts each program twice in
# each place.
#
#   bench/nsis/run.sh [--shapes "FILES:MIB ..."] [--runs R] [--keep] [--no-wizard]
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
HERE=$ROOT/bench/nsis
shapes="2000:200 20000:78.125 20:200"
runs=6
keep=
wizard=1
while [ $# -gt 0 ]; do
  case $1 in
    --shapes) shapes=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --no-wizard) wizard=; shift ;;
    *) sed -n '2,21p' "$0" >&2; exit 2 ;;
  esac
done
command -v makensis >/dev/null || { echo "bench: makensis missing (Debian package nsis)" >&2; exit 2; }

work=$ROOT/build/bench-nsis
mkdir -p "$work"
source "$ROOT/tools/wine-env.sh"
cleanup() {
  wine_cleanup
  [ -n "$keep" ] || rm -rf "$work/assembled"
}
trap cleanup EXIT
wine_display
wine_new_prefix "$(mktemp -d /tmp/orvalt-bench.XXXXXX)"
C=$WINEPREFIX/drive_c
bench=$C/bench

# One shape: builds its installers, runs the three programs $runs times,
# prints the medians and ratios.
shape() {
local files=$1 mb=$2
rm -rf "$bench"
mkdir -p "$bench"
echo "== payload: $files files, $mb MiB"
/usr/bin/python3 "$HERE/generate.py" --files "$files" --mb "$mb" \
  "$work/payload" "$work/bench.ost" "$work/bench.nsi"

echo "== Setup.exe with the generated script"
"$ROOT/tools/author.sh" --preset win64 --build-dir "$work/setup" --out "$work/assembled" \
  "$work/bench.ost" "$work/payload" >"$work/author.log" 2>&1 || { cat "$work/author.log"; exit 1; }
cp "$work/assembled/Setup.exe" "$work/Setup.exe"
mv "$work/assembled/Setup.exe" "$bench/Setup.exe"
cp -a "$work/payload" "$bench/payload"

echo "== CopyFileA loop"
x86_64-w64-mingw32-g++ -O2 -static -o "$bench/copyloop.exe" "$HERE/copyloop.cpp"

echo "== NSIS installer"
(cd "$work" && makensis -V1 bench.nsi)
mv "$work/bench-nsis.exe" "$bench/bench-nsis.exe"

# Keep the prefix's server and the payload warm for every run.
"$WINESERVER" -p
wine_run wineboot >/dev/null 2>&1 || true
cat "$bench"/payload/*/* >/dev/null

local orvalt=() copyloop=() nsis=() out=$bench/out t run k tool
# The order rotates from run to run: the deletion of the last run's output
# goes on in the file system's background, and whichever program comes
# first pays for it, so no program keeps a fixed place.
local order=(orvalt copyloop nsis)
for run in $(seq 1 "$runs"); do
  rm -rf "$out"
  mkdir -p "$out"
  for k in 0 1 2; do
    tool=${order[$(( (run - 1 + k) % 3 ))]}
    sync
    case $tool in
      orvalt)
        t=$(timed "$bench/payload" "$bench/Setup.exe" -s); orvalt+=("$t")
        verify "$out/orvalt" "Setup.exe" "$files" ;;
      copyloop)
        t=$(timed "$bench" "$bench/copyloop.exe" 'C:\bench\payload' 'C:\bench\out\copy'); copyloop+=("$t")
        verify "$out/copy" "copyloop" "$files" ;;
      nsis)
        t=$(timed "$bench" "$bench/bench-nsis.exe" /S '/D=C:\bench\out\nsis'); nsis+=("$t")
        verify "$out/nsis" "NSIS" "$files" ;;
    esac
  done
  echo "run $run (first: ${order[$(( (run - 1) % 3 ))]}): Setup.exe ${orvalt[-1]} s, CopyFileA loop ${copyloop[-1]} s, NSIS ${nsis[-1]} s"
done
rm -rf "$out"
# The next shape starts its own server.
wine_stop || true
"$WINESERVER" -w

local o c n
o=$(median "${orvalt[@]}"); c=$(median "${copyloop[@]}"); n=$(median "${nsis[@]}")
{
echo
echo "Installing $files files, $mb MiB, silently, median of $runs runs under wine64 ($(uptime | sed 's/.*load/load/')):"
printf '  Orvalt Setup.exe -s   %8.2f s\n' "$o"
printf '  CopyFileA loop        %8.2f s\n' "$c"
printf '  NSIS (no compression) %8.2f s\n' "$n"
printf '  Setup.exe / CopyFileA loop = %.2f\n' "$(echo "$o / $c" | bc -l)"
printf '  Setup.exe / NSIS           = %.2f\n' "$(echo "$o / $n" | bc -l)"
printf '  NSIS / CopyFileA loop      = %.2f\n' "$(echo "$n / $c" | bc -l)"
printf '  without start-up: (Setup.exe - windowed) / (loop - console) = %.2f\n' \
  "$(echo "($o - $floor_window) / ($c - $floor_console)" | bc -l)"
} | tee -a "$work/summary.txt"
}

# Runs a program under wine64 from a folder; prints the seconds it took.
timed() {
  local dir=$1; shift
  local start end
  start=$(date +%s.%N)
  (cd "$dir" && wine_run "$@" >/dev/null 2>&1)
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

# Checks that a destination holds the whole payload.
verify() {
  local dest=$1 name=$2 files=$3
  local count bytes
  count=$(find "$dest" -type f | wc -l)
  bytes=$(du -sb --apparent-size "$dest" | cut -f1)
  [ "$count" -eq "$files" ] || { echo "bench: $name left $count files, not $files" >&2; exit 1; }
  echo "   $name: $count files, $bytes bytes (folders included)" >&2
}

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

# The start-up floors: a console program that ends at once, and a windowed
# one that makes a hidden window and ends through its message loop.
floors() {
  mkdir -p "$bench"
  x86_64-w64-mingw32-g++ -O2 -static -o "$bench/console.exe" "$HERE/startup.cpp"
  x86_64-w64-mingw32-g++ -O2 -static -mwindows -o "$bench/windowed.exe" "$HERE/startup.cpp"
  "$WINESERVER" -p
  wine_run wineboot >/dev/null 2>&1 || true
  local console=() windowed=() run
  for run in $(seq 1 "$runs"); do
    console+=("$(timed "$bench" "$bench/console.exe")")
    windowed+=("$(timed "$bench" "$bench/windowed.exe" window)")
  done
  wine_stop || true
  "$WINESERVER" -w
  floor_console=$(median "${console[@]}")
  floor_window=$(median "${windowed[@]}")
  {
  echo "Start-up alone, median of $runs runs under wine64:"
  printf '  console program             %8.3f s\n' "$floor_console"
  printf '  windowed program            %8.3f s\n' "$floor_window"
  } | tee -a "$work/summary.txt"
}

: >"$work/summary.txt"
floors
first=
for s in $shapes; do
  shape "${s%%:*}" "${s##*:}"
  if [ -z "$first" ]; then
    first=1
    rm -rf "$work/payload-first"
    cp -a "$work/payload" "$work/payload-first"
    cp "$work/Setup.exe" "$work/Setup-first.exe"
  fi
done
# Every shape's figures together at the end.
echo
cat "$work/summary.txt"
if [ -n "$wizard" ]; then
  # The wizard needs the prefix's desktop and nothing else running, and the
  # scenarios' window tool to answer its pages.
  wine_stop || true
  if [ ! -f "$ROOT/build/win64/testapps/wintool.exe" ]; then
    (cd "$ROOT" && cmake --preset win64 >/dev/null && cmake --build --preset win64 --target wintool >/dev/null)
  fi
  echo
  /usr/bin/python3 "$HERE/interactive.py" --runs "$runs" "$work/Setup-first.exe" "$work/payload-first"
fi
rm -rf "$work/payload-first" "$work/Setup-first.exe"
