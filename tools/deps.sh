#!/bin/bash
# Installs what the build, the tests and the Wine harness need, when it is
# missing. Idempotent; quiet when everything is there.
set -e
PACKAGES=(
  cmake ninja-build clang libclang-rt-14-dev libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 xvfb xdotool x11-utils x11-apps imagemagick locales
  fonts-ipafont-gothic fonts-ipafont-mincho python3 python3-pefile nsis
  libasound2   # the file and null PCM plugins of the sound scenario (wine64's own ALSA library)
  zip mtools dosfstools xorriso   # the release images (tools/release.sh) and the emulated PC's FAT disk
)
# The emulated 32-bit PC (tools/emu): installed without recommendations, so
# that nothing registers the user-mode emulator for the whole machine.
EMU_PACKAGES=(qemu-system-x86 debootstrap qemu-user-static e2fsprogs)
SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
updated=
install_missing() {  # apt-get options -- packages...
  local options=() missing=() p
  while [ "$1" != "--" ]; do options+=("$1"); shift; done
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "Installing: ${missing[*]}"
  [ -n "$updated" ] || $SUDO apt-get update -q
  updated=1
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${options[@]}" "${missing[@]}"
}
install_missing -- "${PACKAGES[@]}"
install_missing --no-install-recommends -- "${EMU_PACKAGES[@]}"
# Wine's programs run in a Japanese locale.
locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
