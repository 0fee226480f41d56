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
  # The installer moves its files away and deletes itself: give it a copy.
  mkdir -p "$WINEPREFIX/drive_c/Kelvo"
  cp build/dist/win64/* "$WINEPREFIX/drive_c/Kelvo/"
  cp build/dist/win64/*.IME "$WINEPREFIX/drive_c/windows/system32/"
  echo "Prefix: $WINEPREFIX"
  echo "Setup.exe starts now; after the installation, start Kelvo from the Start menu"
  echo "item or from C:\\Program Files\\Mokra\\Kelvo. This ends when every Wine program has ended."
  (cd "$WINEPREFIX/drive_c/Kelvo" && wine_run Setup.exe)
  "$WINESERVER" -w
  exit 0
fi
/usr/bin/python3 tools/showcase.py
