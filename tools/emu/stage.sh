#!/bin/bash
# The emulated-PC stage: boots a 32-bit PC (qemu, i386) with 32-bit Wine and
# runs the shipped distribution in it: the silent round trip, and the
# interactive install with Kelvo at work and the interactive uninstall.
# Screenshots go to build/artifacts/emu/. Ends with "emu: N passed, M failed".
# Needs the win32 build (tools/build.sh) and root for the first image build.
set -u
cd "$(dirname "$0")/../.."
SCENARIOS=(tests/e2e/test_roundtrip_silent.py tests/emu/installed_kelvo.py)
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
printf '%s\n' "${SCENARIOS[@]}" >"$job/scenarios"

KELVO_EMU_IMAGE=$image tools/emu/run.sh "$job" 1800 >build/logs/emu-console.log 2>&1
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
done
echo "emu: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
