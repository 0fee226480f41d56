#!/bin/bash
# Builds everything, then shows the product at work under Wine: Setup.exe
# installs Kelvo in a fresh Japanese Windows 95 prefix, Kelvo runs from the
# Start menu, and the screenshots of every step land in build/artifacts/run/
# with an index page. With a display of your own (DISPLAY set), pass --drive
# to use the programs yourself instead.
set -e
cd "$(dirname "$0")/.."
tools/deps.sh
tools/build.sh
if [ "${1:-}" = "--drive" ] && [ -n "${DISPLAY:-}" ]; then
  source tools/wine-env.sh
  wine_new_prefix "$(mktemp -d /tmp/kelvo-drive.XXXXXX)"
  trap wine_cleanup EXIT
  echo "Prefix: $WINEPREFIX. Close the installer and Kelvo to end."
  cd build/dist/win64
  wine_run Setup.exe
  wine_run wineserver -w 2>/dev/null || /usr/lib/wine/wineserver -w
  exit 0
fi
/usr/bin/python3 tools/showcase.py
