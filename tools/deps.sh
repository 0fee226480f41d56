#!/bin/bash
# Installs what the build, the tests and the Wine harness need, when it is
# missing. Idempotent; quiet when everything is there.
set -e
PACKAGES=(
  cmake ninja-build clang libclang-rt-14-dev libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64
  wine wine64 xvfb xdotool x11-utils x11-apps imagemagick locales
  fonts-ipafont-gothic fonts-ipafont-mincho python3 python3-pefile nsis
)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi
# Wine's programs run in a Japanese locale.
locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
