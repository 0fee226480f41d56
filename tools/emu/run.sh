#!/bin/bash
# Boots the emulated 32-bit PC once with a job folder shared over 9p: the
# guest runs JOB/run.sh, writes JOB/guest.log and JOB/rc, and powers off.
#   tools/emu/run.sh JOB [SECONDS [QEMU-OPTIONS...]]
# QEMU-OPTIONS add drives (floppies, a CD, more disks) to the PC.
# Exit code: the job's, or 124 when the PC did not finish in time, or 125
# when it stopped without a result (no boot, kernel fault).
# The disk is used with -snapshot (every boot starts from the clean image)
# unless KELVO_EMU_WRITABLE is set (the image builder's first boot).
set -u
job=$(cd "$1" && pwd)
limit=${2:-600}
shift 2 2>/dev/null || shift $#
image=${KELVO_EMU_IMAGE:?KELVO_EMU_IMAGE: the image folder}
rm -f "$job/rc" "$job/guest.log"
snapshot=-snapshot
[ -n "${KELVO_EMU_WRITABLE:-}" ] && snapshot=
# A blank second disk that the job may use as scratch space (the system
# disk has little room to spare); gone after the boot.
scratch=$(mktemp /var/tmp/kelvo-emu-scratch.XXXXXX)
trap 'rm -f "$scratch"' EXIT
truncate -s 8G "$scratch"
# -smap off: with it, the guest kernel faults as soon as Wine starts.
qemu-system-i386 \
  -accel tcg,thread=multi -cpu max,-smap -smp 2 -m 2048 \
  -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
  -append "console=ttyS0 root=/dev/vda rw quiet panic=-1" \
  -drive "file=$image/root.img,format=raw,if=virtio" $snapshot \
  -drive "file=$scratch,format=raw,if=virtio,snapshot=off" \
  -virtfs "local,path=$job,mount_tag=job,security_model=none" "$@" \
  -nic none -display none -serial stdio -monitor none -no-reboot </dev/null &
qemu=$!
# The guest powers off after its job; if the leftovers of the job hold up
# its shutdown, the PC is switched off 30 s after the result came (the
# result and the disk were synced before it was written).
started=$(date +%s)
status=
while kill -0 "$qemu" 2>/dev/null; do
  now=$(date +%s)
  if [ $((now - started)) -ge "$limit" ]; then
    kill "$qemu"; wait "$qemu"; status=124; break
  fi
  if [ -f "$job/rc" ] && [ $((now - $(stat -c %Y "$job/rc"))) -ge 30 ]; then
    kill "$qemu"; wait "$qemu"; status=0; break
  fi
  sleep 2
done
[ -n "$status" ] || { wait "$qemu"; status=$?; }
[ $status -eq 124 ] && { echo "emu: the PC did not finish within $limit s" >&2; exit 124; }
[ -f "$job/rc" ] || { echo "emu: the PC stopped without a result (qemu exit $status)" >&2; exit 125; }
exit "$(cat "$job/rc")"
