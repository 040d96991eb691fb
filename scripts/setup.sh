#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, as root.
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake g++ googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine32:i386 libxfixes3:i386 wine64 libxfixes3
  xvfb x11-utils xdotool xclip imagemagick
  pulseaudio pulseaudio-utils libpulse0 libpulse0:i386
  fonts-wine fonts-ipafont-gothic locales
)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root (or through sudo) to install packages: ${*}" >&2
    exit 1
  fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  need_root "${missing[@]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Without a generated Japanese locale Wine's ANSI code page stays 1252.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  need_root locales
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
