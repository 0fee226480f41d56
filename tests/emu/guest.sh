#!/bin/bash
# Runs in the emulated PC from the shared job folder: every scenario named
# in scenarios, each in its own Wine prefix, one line per scenario in
# results/summary ("name exit-code seconds").
export KELVO_WINE=/usr/lib/wine/wine KELVO_WINESERVER=/usr/lib/wine/wineserver
export KELVO_WINE_CACHE=/opt/kelvo-wine
export KELVO_DIST=/job/dist KELVO_TESTAPPS=/job/emu KELVO_ARTIFACTS=/job/artifacts
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
# Programs run several times slower here than under wine64 on the host.
export KELVO_TIME_SCALE=${KELVO_TIME_SCALE:-6}
# The Wine prefixes go to the scratch disk: the system disk has room for
# about one.
if [ -b /dev/vdb ] && mkfs.ext4 -q -F /dev/vdb && mount /dev/vdb /tmp; then
  chmod 1777 /tmp
fi
df -h /tmp | tail -1
mkdir -p /job/results /job/artifacts
failed=0
while read -r scenario; do
  [ -n "$scenario" ] || continue
  name=$(basename "$scenario" .py)
  start=$(date +%s)
  timeout -k 10 600 python3 "/job/$scenario" >"/job/results/$name.log" 2>&1
  rc=$?
  echo "$name $rc $(( $(date +%s) - start ))" | tee -a /job/results/summary
  [ $rc -eq 0 ] || failed=1
done </job/scenarios
exit $failed
