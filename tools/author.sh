#!/bin/bash
# Builds an Orvalt installer for your own product, from your own script and
# your own distribution folder, without touching the sources:
#
#   tools/author.sh [options] SCRIPT DISTDIR
#
#   SCRIPT    your installer script (UTF-8 or code page 932 text)
#   DISTDIR   the folder with the files your script copies and moves
#             (its relative copy/move sources are looked up here); the
#             built Setup.exe is added to it, so a source Setup.exe counts
#             as present (copy it as your uninstaller), and a Setup.exe of
#             your own in DISTDIR is an error
#
# Options:
#   --out DIR        where to assemble the distribution
#                    (default: build/author/<script name>/dist)
#   --build-dir DIR  the build folder of your installer
#                    (default: build/author/<script name>/<preset>)
#   --preset NAME    win32 (default): the Windows 95 program (i686);
#                    win64: the same for running under wine64
#   --try            (implies --preset win64) then tries the installer in a
#                    throwaway Wine prefix under Xvfb: the wizard with every
#                    page's default, the uninstaller the script recorded (or
#                    Setup.exe -u), a screenshot of each page with an index
#                    page in build/artifacts/try/<script name>/, and a report
#                    of what the uninstallation left behind; exits with 1
#                    when something is left, 2 when the try did not get
#                    through
#
# Steps: checks the script against DISTDIR (unknown commands are warnings;
# missing arguments, over-long lines, unbalanced sections, no end line, a
# meter block that is empty or names a missing file, an uninstall section
# that can never run are errors, each printed as file:line: reason), builds Setup.exe with the script embedded, and
# copies DISTDIR together with Setup.exe into the output folder. Exits
# non-zero, with nothing assembled, when the check or the build fails.
set -euo pipefail

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
}

ROOT=$(cd "$(dirname "$0")/.." && pwd)
preset=
try=
out=
build_dir=
args=()
while [ $# -gt 0 ]; do
  case $1 in
    --out) out=${2:?}; shift 2 ;;
    --build-dir) build_dir=${2:?}; shift 2 ;;
    --preset) preset=${2:?}; shift 2 ;;
    --try) try=1; shift ;;
    -h|--help) usage ;;
    -*) echo "author.sh: unknown option $1" >&2; usage ;;
    *) args+=("$1"); shift ;;
  esac
done
[ ${#args[@]} -eq 2 ] || usage
if [ -n "$try" ]; then
  [ "${preset:-win64}" = win64 ] || { echo "author.sh: --try runs the win64 build under wine64" >&2; exit 2; }
  preset=win64
fi
preset=${preset:-win32}
case $preset in win32|win64) ;; *) echo "author.sh: preset must be win32 or win64" >&2; exit 2 ;; esac

script=$(realpath -e "${args[0]}" 2>/dev/null) || { echo "author.sh: no script ${args[0]}" >&2; exit 2; }
distdir=$(realpath -e "${args[1]}" 2>/dev/null) || { echo "author.sh: no folder ${args[1]}" >&2; exit 2; }
[ -f "$script" ] || { echo "author.sh: $script is not a file" >&2; exit 2; }
[ -d "$distdir" ] || { echo "author.sh: $distdir is not a folder" >&2; exit 2; }
name=$(basename "$script"); name=${name%.*}
work=$ROOT/build/author/$name
build_dir=$(realpath -m "${build_dir:-$work/$preset}")
out=$(realpath -m "${out:-$work/dist}")
case $out/ in "$distdir"/*) echo "author.sh: the output folder must lie outside $distdir" >&2; exit 2 ;; esac
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Runs a build step quietly; shows its output when it fails.
quiet() {
  if ! "$@" >"$log" 2>&1; then
    cat "$log" >&2
    return 1
  fi
}

echo "== checking $script against $distdir"
tools=$ROOT/build/author/tools
if [ ! -f "$tools/CMakeCache.txt" ]; then
  quiet cmake -S "$ROOT" -B "$tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCORE_SANITIZERS=OFF
fi
quiet cmake --build "$tools" --target orvalt-check
if ! "$tools/setup/core/orvalt-check" "$script" "$distdir"; then
  echo "author.sh: the script check failed; nothing was built" >&2
  exit 1
fi

echo "== building Setup.exe ($preset) in $build_dir"
# The build encodes a UTF-8 script; one in code page 932 goes in as a UTF-8
# copy of itself.
embedded=$script
if ! iconv -f UTF-8 -t UTF-8 "$script" >/dev/null 2>&1; then
  mkdir -p "$build_dir"
  embedded=$build_dir/$name.utf8.ost
  iconv -f CP932 -t UTF-8 "$script" >"$embedded"
fi
(cd "$ROOT" && quiet cmake --preset "$preset" -B "$build_dir" -DORVALT_SCRIPT="$embedded")
# The try-out reads the installer's windows with the harness's window tool.
quiet cmake --build "$build_dir" --target setup_exe ${try:+wintool} -j2

echo "== assembling $out"
# Only a folder this command assembled before is emptied first.
record=$build_dir/author-out.txt
if [ -d "$out" ] && [ -n "$(ls -A "$out")" ]; then
  case $out/ in
    "$ROOT"/build/author/*) ;;
    *) [ -f "$record" ] && [ "$(cat "$record")" = "$out" ] ||
         { echo "author.sh: $out is not empty; choose an empty or new folder" >&2; exit 1; } ;;
  esac
  rm -rf "$out"
fi
mkdir -p "$out"
cp -a "$distdir"/. "$out"/
cp "$build_dir/bin/Setup.exe" "$out/Setup.exe"
echo "$out" >"$record"
echo "done: $out"
ls -l "$out"

if [ -n "$try" ]; then
  echo "== trying $out under Wine"
  exec /usr/bin/python3 "$ROOT/tools/tryout.py" --dist "$out" --testapps "$build_dir/testapps" \
    --artifacts "$ROOT/build/artifacts/try" --name "$name"
fi
