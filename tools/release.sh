#!/bin/bash
# Makes the release images of a distribution folder:
#   KELVO200.ZIP  the archive a user downloads
#   KELVO200.IMG  a 1.44 MB FAT12 floppy image, volume label KELVO
#   KELVO200.ISO  an ISO 9660 CD image (8.3 names, and Joliet for the
#                 names as they are written), volume KELVO
# each holding exactly the distribution's five files.
#   tools/release.sh DIST OUT
# Every file, directory entry and volume carries one fixed time and fixed
# identifiers, so that the same distribution always makes the same images,
# byte for byte, whenever and wherever they are made (checksums can be
# published).
set -euo pipefail
dist=$1
out=$2
FILES=(Setup.exe Klvo.exe Klvo.hlp Readme.txt Manual.txt)
# 1996-12-20 12:00:00, on an even second: FAT and ZIP keep times in
# 2-second steps, so every image holds the same time. The images are made
# in UTC, which FAT and ZIP hold as a local time of their own.
RELEASED=851083200
export TZ=UTC SOURCE_DATE_EPOCH=$RELEASED
# mtools reads no configuration of the machine or the user.
export MTOOLSRC=/dev/null MTOOLS_SKIP_CHECK=1

mkdir -p "$out"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/files"
for name in "${FILES[@]}"; do
  cp "$dist/$name" "$stage/files/$name"
  chmod 644 "$stage/files/$name"
  touch -d "@$RELEASED" "$stage/files/$name"
done
touch -d "@$RELEASED" "$stage/files"

# The archive: no extra fields (owner, exact times), the files in the
# order above.
(cd "$stage/files" && zip -q -X -D -9 "$stage/KELVO200.ZIP" "${FILES[@]}")

# The floppy: the standard 1.44 MB geometry (mkfs.fat's template for
# 1440 KiB: 512-byte sectors, 18 a track, 2 heads, media F0), a fixed
# volume serial number (after --invariant, which sets one of its own);
# mcopy -m keeps each file's time.
mkfs.fat -C -F 12 -n KELVO --invariant -i 4B454C56 "$stage/KELVO200.IMG" 1440 >/dev/null
for name in "${FILES[@]}"; do
  mcopy -m -i "$stage/KELVO200.IMG" "$stage/files/$name" "::/$name"
done

# The CD: ISO 9660 level 1 and Joliet, every date of the volume and its
# files set from SOURCE_DATE_EPOCH and the files' times.
xorriso -as mkisofs -quiet -iso-level 1 -J -V KELVO \
  -o "$stage/KELVO200.ISO" "$stage/files" 2>"$stage/xorriso.log" ||
  { cat "$stage/xorriso.log" >&2; exit 1; }

for image in KELVO200.ZIP KELVO200.IMG KELVO200.ISO; do
  mv "$stage/$image" "$out/$image"
done
