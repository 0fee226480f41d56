#!/bin/bash
# Builds the emulated PC's disk once per recipe: a 32-bit Debian with Wine,
# Xvfb and the Japanese fonts, booted by tools/emu/run.sh. The result goes to
# $KELVO_EMU_CACHE/image-<hash of the recipe>/ (kernel, initrd, root.img)
# and is made aside, then moved into place under a lock, so that parallel
# runs never see half an image. Prints the image folder on the last line.
# Needs root (debootstrap, chroot, binfmt_misc).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
CACHE=${KELVO_EMU_CACHE:-/var/tmp/kelvo-emu}
MIRROR=${KELVO_EMU_MIRROR:-http://deb.debian.org/debian}
SUITE=bookworm
# The recipe: this script, the guest's files and the Wine settings the
# template prefix is made with. Any change there makes a new image.
key=$(cat "$here/build-image.sh" "$here"/guest/* "$root/tools/wine-env.sh" | sha256sum | cut -c1-16)
image=$CACHE/image-$key
mkdir -p "$CACHE"

exec 9>"$CACHE/.lock"
flock 9
if [ -f "$image/ready" ]; then
  echo "$image"
  exit 0
fi

started=$(date +%s)
work=$CACHE/build-$key
rm -rf "$work"
mkdir -p "$work"
rootfs=$work/rootfs
binfmt=/proc/sys/fs/binfmt_misc
regname=kelvo-i386

# 32-bit programs run in the chroot only through qemu's user-mode emulator,
# registered for this build and removed afterwards whatever happens.
unregister() {
  [ -e "$binfmt/$regname" ] && echo -1 >"$binfmt/$regname" || true
  for m in dev/pts dev proc sys; do
    mountpoint -q "$rootfs/$m" 2>/dev/null && umount -l "$rootfs/$m" || true
  done
}
trap unregister EXIT
mountpoint -q "$binfmt" || mount -t binfmt_misc binfmt_misc "$binfmt"
[ -e "$binfmt/$regname" ] && echo -1 >"$binfmt/$regname"
# F: the emulator is opened now, so it need not exist inside the chroot.
printf '%s' ":$regname:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F" \
  >"$binfmt/register"

echo "emu image: debootstrap $SUITE i386 from $MIRROR" >&2
debootstrap --arch=i386 --variant=minbase "$SUITE" "$rootfs" "$MIRROR" >"$work/debootstrap.log" 2>&1 ||
  { tail -20 "$work/debootstrap.log" >&2; exit 1; }

mount -t proc proc "$rootfs/proc"
mount -t sysfs sys "$rootfs/sys"
mount --bind /dev "$rootfs/dev"
mount --bind /dev/pts "$rootfs/dev/pts"
in_root() { chroot "$rootfs" /usr/bin/env DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }

cat >"$rootfs/etc/apt/sources.list" <<SRC
deb $MIRROR $SUITE main
SRC
# No documentation, manual pages or foreign translations in the image.
cat >"$rootfs/etc/dpkg/dpkg.cfg.d/01-lean" <<'CFG'
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
CFG
echo "emu image: packages" >&2
in_root apt-get update -q >"$work/apt.log" 2>&1
in_root apt-get install -y -q --no-install-recommends initramfs-tools >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log" >&2; exit 1; }
# Only the drivers this PC has: a full initramfs takes many minutes under
# user-mode emulation.
echo "MODULES=list" >"$rootfs/etc/initramfs-tools/conf.d/kelvo"
printf '%s\n' virtio_pci virtio_blk ext4 >>"$rootfs/etc/initramfs-tools/modules"
# fonts-wine (a recommendation of libwine, so named here) holds Marlett, the
# font Wine draws its caption buttons with: without it they show as "0 1 r".
in_root apt-get install -y -q --no-install-recommends \
  linux-image-686 systemd-sysv udev kmod \
  wine wine32 wine32-preloader libwine fonts-wine xvfb xauth xdotool x11-utils x11-apps \
  python3 locales fonts-ipafont-gothic fonts-ipafont-mincho >>"$work/apt.log" 2>&1 ||
  { tail -20 "$work/apt.log" >&2; exit 1; }
echo "ja_JP.UTF-8 UTF-8" >"$rootfs/etc/locale.gen"
in_root locale-gen >>"$work/apt.log" 2>&1
in_root apt-get clean

echo "emu image: system files" >&2
echo kelvo-emu >"$rootfs/etc/hostname"
echo "/dev/vda / ext4 rw,noatime 0 1" >"$rootfs/etc/fstab"
install -m 755 "$here/guest/kelvo-job" "$rootfs/usr/local/sbin/kelvo-job"
install -m 644 "$here/guest/kelvo-job.service" "$rootfs/etc/systemd/system/kelvo-job.service"
in_root systemctl enable kelvo-job.service >/dev/null 2>&1
# Nothing else at boot: no login prompts, no timers.
in_root systemctl mask getty@tty1.service serial-getty@ttyS0.service \
  apt-daily.timer apt-daily-upgrade.timer dpkg-db-backup.timer e2scrub_all.timer fstrim.timer >/dev/null 2>&1 || true
mkdir -p "$rootfs/opt/kelvo/tools"
cp "$root/tools/wine-env.sh" "$rootfs/opt/kelvo/tools/"

unregister
trap - EXIT
cp "$rootfs"/boot/vmlinuz-* "$work/vmlinuz"
cp "$rootfs"/boot/initrd.img-* "$work/initrd.img"
size=$(( $(du -sm "$rootfs" | cut -f1) + 1536 ))
mkfs.ext4 -q -F -L kelvo -d "$rootfs" "$work/root.img" "${size}M"
rm -rf "$rootfs"
echo "emu image: $(( $(date +%s) - started )) s to the first boot" >&2

# First boot: the template Wine prefix is made once, inside the image.
job=$work/job
mkdir -p "$job"
cp "$here/guest/make-template.sh" "$job/run.sh"
KELVO_EMU_IMAGE=$work KELVO_EMU_WRITABLE=1 "$here/run.sh" "$job" 900 >&2 ||
  { echo "emu image: the first boot failed" >&2; cat "$job/guest.log" >&2 2>/dev/null; exit 1; }
grep -qx "template ready" "$job/guest.log" || { echo "emu image: no Wine template" >&2; cat "$job/guest.log" >&2; exit 1; }
rm -rf "$job"
touch "$work/ready"
rm -rf "$image"
mv "$work" "$image"
# Older images are of recipes nobody builds any more.
for old in "$CACHE"/image-*; do
  [ "$old" = "$image" ] || rm -rf "$old"
done
echo "emu image: built in $(( $(date +%s) - started )) s" >&2
echo "$image"
