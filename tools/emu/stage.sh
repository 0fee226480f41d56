#!/bin/bash
# The emulated-PC stage: boots a 32-bit PC (qemu, i386) with 32-bit Wine and
# runs the shipped distribution in it: the silent round trip, the
# interactive install with Kelvo at work and the interactive uninstall, and
# the installations from the release images in the PC's floppy and CD-ROM
# drives and from the archive, onto a FAT16 drive C:.
# Screenshots go to build/artifacts/emu/. Ends with "emu: N passed, M failed".
# Needs the win32 build (tools/build.sh) and root for the first image build.
set -u
cd "$(dirname "$0")/../.."
# tools/emu/stage.sh SCENARIO... runs only those.
SCENARIOS=(tests/e2e/test_roundtrip_silent.py tests/emu/installed_kelvo.py tests/emu/from_media.py)
[ $# -gt 0 ] && SCENARIOS=("$@")
# Seconds a scenario may take in the PC (600 unless named here).
declare -A LIMIT=([tests/emu/from_media.py]=1500)
mkdir -p build/logs
t0=$(date +%s)
if ! image=$(tools/emu/build-image.sh 2>build/logs/emu-image.log | tail -1) || [ ! -f "$image/ready" ]; then
  tail -20 build/logs/emu-image.log
  echo "emu image: not built (log: build/logs/emu-image.log)"
  echo "emu: 0 passed, ${#SCENARIOS[@]} failed"
  exit 1
fi
t1=$(date +%s)
echo "emu image: $image ($((t1 - t0)) s)"

# The job folder: the distribution byte for byte, the i686 test programs,
# the harness and the scenarios.
job=build/emu/job
rm -rf "$job"
mkdir -p "$job/dist" "$job/emu" "$job/tests/e2e" "$job/tests/emu" "$job/tools"
for name in Setup.exe Klvo.exe Klvo.hlp Readme.txt Manual.txt; do
  cp build/dist/win32/$name "$job/dist/" || { echo "emu: no build/dist/win32/$name"; echo "emu: 0 passed, ${#SCENARIOS[@]} failed"; exit 1; }
done
cp build/win32/emu/*.exe build/win32/emu/*.IME "$job/emu/"
cp tests/e2e/*.py "$job/tests/e2e/"
cp tests/emu/*.py "$job/tests/emu/"
cp tools/wine-env.sh "$job/tools/"
cp tests/emu/guest.sh "$job/run.sh"
for scenario in "${SCENARIOS[@]}"; do
  echo "$scenario ${LIMIT[$scenario]:-600}"
done >"$job/scenarios"

# The release images as a user attaches them: the floppy write-protected in
# the first floppy drive and a writable copy in the second, the CD in the
# CD-ROM drive; and a blank FAT16 hard disk for drive C:. The job gets the
# images' checksums and the archive.
release=build/release
mkdir -p "$job/media"
for name in KELVO200.ZIP KELVO200.IMG KELVO200.ISO; do
  [ -f "$release/$name" ] || { echo "emu: no $release/$name"; echo "emu: 0 passed, ${#SCENARIOS[@]} failed"; exit 1; }
done
(cd "$release" && sha256sum KELVO200.ZIP KELVO200.IMG KELVO200.ISO) >"$job/media/SHA256SUMS"
cp "$release/KELVO200.ZIP" "$job/media/"
floppy=$(mktemp /var/tmp/kelvo-emu-floppy.XXXXXX)
fat=$(mktemp /var/tmp/kelvo-emu-fat.XXXXXX)
trap 'rm -f "$floppy" "$fat"' EXIT
cp "$release/KELVO200.IMG" "$floppy"
rm -f "$fat"
mkfs.fat -C -F 16 "$fat" $((256 * 1024)) >/dev/null
drives=(
  -drive "file=$release/KELVO200.IMG,format=raw,if=floppy,index=0,readonly=on,snapshot=off"
  -drive "file=$floppy,format=raw,if=floppy,index=1,snapshot=off"
  -drive "file=$release/KELVO200.ISO,format=raw,if=ide,index=2,media=cdrom,readonly=on,snapshot=off"
  -drive "file=$fat,format=raw,if=virtio,snapshot=off"
)

KELVO_EMU_IMAGE=$image tools/emu/run.sh "$job" 3000 "${drives[@]}" >build/logs/emu-console.log 2>&1
boot=$?
t2=$(date +%s)
grep -oE "kelvo-job: .*|^emu: .*" build/logs/emu-console.log
echo "emu boot and scenarios: $((t2 - t1)) s (PC exit $boot; console: build/logs/emu-console.log)"

rm -rf build/artifacts/emu
mkdir -p build/artifacts/emu
if [ -d "$job/artifacts" ]; then
  find "$job/artifacts" -name '*.xwd' | while read -r xwd; do
    convert "xwd:$xwd" "${xwd%.xwd}.png" && rm -f "$xwd"
  done
  cp -r "$job/artifacts/." build/artifacts/emu/
fi
rm -rf build/logs/emu
mkdir -p build/logs/emu
[ -d "$job/results" ] && cp "$job"/results/*.log build/logs/emu/ 2>/dev/null

passed=0
failed=0
for scenario in "${SCENARIOS[@]}"; do
  name=$(basename "$scenario" .py)
  line=$(grep -E "^$name " "$job/results/summary" 2>/dev/null | tail -1)
  read -r _ rc seconds <<<"$line"
  if [ -n "$line" ] && [ "$rc" = 0 ]; then
    passed=$((passed + 1))
    echo "emu $name: passed ($seconds s)"
  else
    failed=$((failed + 1))
    how="never ran"
    [ -n "$line" ] && how="exit $rc, $seconds s"
    echo "emu $name: FAILED ($how; log: build/logs/emu/$name.log)"
    grep -E "^FAIL" "build/logs/emu/$name.log" 2>/dev/null
  fi
  # A scenario of several steps names the outcome of each.
  grep -E "^step " "build/logs/emu/$name.log" 2>/dev/null | sed "s/^/emu $name /"
done
echo "emu: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
