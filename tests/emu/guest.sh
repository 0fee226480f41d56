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
# The PC's other drives, when the job attached them, mounted as Windows 95
# has them: the floppy drives (fd0 write-protected, fd1 writable), the
# CD-ROM drive and a FAT16 hard disk (vdc) for the scenarios' drive C:.
# FAT as Windows 95 writes it: long names kept as typed beside upper-case
# 8.3 aliases (shortname=win95), Japanese aliases in code page 932, times
# in UTC; no access dates (the first Windows 95 kept none).
modprobe -a floppy ata_piix sr_mod vfat isofs nls_cp932 2>&1
udevadm settle --timeout=30
fat=noatime,shortname=win95,codepage=932,iocharset=utf8,tz=UTC
mount_drive() {  # device folder type options
  [ -b "$1" ] || return 0
  mkdir -p "$2"
  mount -t "$3" -o "$4" "$1" "$2" 2>&1 | sed "s|^|$1: |"
}
mount_drive /dev/fd0 /media/a vfat "$fat"
mount_drive /dev/fd1 /media/b vfat "$fat"
mount_drive /dev/sr0 /media/cdrom iso9660 ro
mount_drive /dev/vdc /media/c vfat "$fat"
grep " /media/" /proc/mounts
mkdir -p /job/results /job/artifacts
failed=0
# One scenario a line, optionally with its time limit in seconds.
while read -r scenario limit; do
  [ -n "$scenario" ] || continue
  name=$(basename "$scenario" .py)
  start=$(date +%s)
  timeout -k 10 "${limit:-600}" python3 "/job/$scenario" >"/job/results/$name.log" 2>&1
  rc=$?
  echo "$name $rc $(( $(date +%s) - start ))" | tee -a /job/results/summary
  [ $rc -eq 0 ] || failed=1
done </job/scenarios
exit $failed
