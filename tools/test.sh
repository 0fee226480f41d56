#!/bin/bash
# Runs every test: native unit tests and fuzz smoke runs, the static checks
# of the shipped 32-bit programs, the Win32-level tests under wine64 and the
# end-to-end scenarios under Xvfb, then the shipped 32-bit programs in an
# emulated 32-bit PC (tools/emu). Ends with one summary line:
#   "N passed, M failed"
set -u
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

mkdir -p build/logs
passed=0
failed=0
run_ctest() {  # name, ctest arguments...
  local name=$1; shift
  local log=build/logs/$name.log
  ctest "$@" --output-on-failure >"$log" 2>&1
  local line
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$log" | tail -1)
  local total fail
  total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
  fail=$(sed -E 's/.*tests passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  if [ -z "$line" ]; then
    if grep -q "No tests were found" "$log"; then total=0; fail=0; else total=1; fail=1; fi
  fi
  passed=$((passed + total - fail))
  failed=$((failed + fail))
  echo "$name: $((total - fail)) passed, $fail failed (log: $log)"
  grep -E "^\s*[0-9]+ - .*\((Failed|Timeout|SEGFAULT|Not Run|Subprocess aborted|Exception)\)" "$log" || true
}

run_ctest native --test-dir build/native -j2
run_ctest win32-static --test-dir build/win32 -j2
run_ctest win64-wine --test-dir build/win64 -LE e2e -j2
run_ctest win64-e2e --test-dir build/win64 -L e2e -j1

# Last, with both cores for itself: the emulated PC. A PC that does not
# boot counts as failed scenarios. KELVO_SKIP_EMU=1 leaves it out (and says
# so).
if [ -n "${KELVO_SKIP_EMU:-}" ]; then
  echo "emu32: skipped (KELVO_SKIP_EMU)"
else
  tools/emu/stage.sh >build/logs/emu.log 2>&1
  line=$(grep -E "^emu: [0-9]+ passed, [0-9]+ failed$" build/logs/emu.log | tail -1)
  [ -n "$line" ] || line="emu: 0 passed, 1 failed"
  emu_passed=$(sed -E 's/^emu: ([0-9]+) passed.*/\1/' <<<"$line")
  emu_failed=$(sed -E 's/.* ([0-9]+) failed$/\1/' <<<"$line")
  passed=$((passed + emu_passed))
  failed=$((failed + emu_failed))
  echo "emu32: $emu_passed passed, $emu_failed failed (log: build/logs/emu.log)"
  grep -E "^emu [a-z_]+: FAILED" build/logs/emu.log || true
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
