#!/bin/bash
# Configures and builds the three builds: native, win32, win64.
# build/dist/win32 and build/dist/win64 then hold the distribution.
set -e
cd "$(dirname "$0")/.."
for preset in native win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done
