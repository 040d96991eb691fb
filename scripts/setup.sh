#!/usr/bin/env bash
# Installs everything the build and the tests need on Debian 12, as root,
# and fetches SQLite's sources into deps/. Safe to run again: it only
# installs and fetches what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake g++ googletest libgtest-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine wine32:i386 libxfixes3:i386 wine64 libxfixes3
  xvfb x11-utils xdotool xclip imagemagick
  pulseaudio pulseaudio-utils libpulse0 libpulse0:i386
  fonts-wine fonts-ipafont-gothic locales
  # Wine's AES-GCM (bcrypt), which the kept history's encryption uses, is GnuTLS's.
  libgnutls30 libgnutls30:i386
  # Two PCs kept in step by a real sync engine (scripts/two-pcs-test.sh).
  syncthing
)
# npm fetches SQLite's sources (below); most machines have it already.
command -v npm >/dev/null || packages+=(npm)

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
  # A mirror caught mid-sync fails one index now and then: try again, then go
  # on with the lists there are (the install says if a package is truly missing).
  for attempt in 1 2 3; do
    apt-get update -qq && break
    echo "setup: some package lists did not download (attempt $attempt of 3)" >&2
    [ "$attempt" -lt 3 ] && sleep 15
  done
  # The 32- and 64-bit halves of a library must be at one version: with one
  # architecture's security list missing they are not, so the release's own
  # archive (its latest point release) is preferred for the second try.
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    apt-get install -y -qq --no-install-recommends -t "$(. /etc/os-release && echo "$VERSION_CODENAME")" \
      "${missing[@]}" >/dev/null
fi

# Without a generated Japanese locale Wine's ANSI code page stays 1252.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  need_root locales
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi

# SQLite's amalgamation, as the npm package better-sqlite3 ships it: a pinned
# version, checked against the registry's sha512 before anything is taken
# from it. Only sqlite3.c and sqlite3.h are kept; the build reads them from
# deps/sqlite3 (CMake's RTRILLEX_SQLITE_DIR).
sqlite_package=better-sqlite3@12.9.0
sqlite_integrity=sha512-wqUv4Gm3toFpHDQmaKD4QhZm3g1DjUBI0yzS4UBl6lElUmXFYdTQmmEDpAFa5o8FiFiymURypEnfVHzILKaxqQ==
sqlite_dir=deps/sqlite3
# The stamp names the package and holds the sums of the two files taken
# from it, so that a changed pin or an edited file is fetched again.
sqlite_stamp=$sqlite_dir/.fetched

sqlite_is_current() {
  [ -f "$sqlite_stamp" ] && [ "$(head -n 1 "$sqlite_stamp")" = "$sqlite_package $sqlite_integrity" ] &&
    (cd "$sqlite_dir" && tail -n +2 .fetched | sha512sum --quiet -c - >/dev/null 2>&1)
}

# In a subshell of its own, so that its temporary folder goes whatever happens.
fetch_sqlite() (
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$sqlite_package" >/dev/null)
  tarball=$(ls "$work"/*.tgz)
  expected=$(printf '%s' "${sqlite_integrity#sha512-}" | base64 -d | od -An -v -tx1 | tr -d ' \n')
  actual=$(sha512sum "$tarball" | cut -d ' ' -f 1)
  if [ "$actual" != "$expected" ]; then
    echo "setup: $sqlite_package does not match its pinned sha512 (got $actual); nothing was taken from it" >&2
    exit 1
  fi
  tar -xzf "$tarball" -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  mkdir -p "$sqlite_dir"
  mv -f "$work/package/deps/sqlite3/sqlite3.c" "$work/package/deps/sqlite3/sqlite3.h" "$sqlite_dir/"
  # The tarball dates every file 1985: dated now, a new pin is rebuilt.
  touch "$sqlite_dir/sqlite3.c" "$sqlite_dir/sqlite3.h"
  {
    echo "$sqlite_package $sqlite_integrity"
    (cd "$sqlite_dir" && sha512sum sqlite3.c sqlite3.h)
  } > "$sqlite_stamp"
  echo "setup: SQLite $(sed -n 's/^#define SQLITE_VERSION  *"\(.*\)"$/\1/p' "$sqlite_dir/sqlite3.h") from $sqlite_package in $sqlite_dir"
)

if ! sqlite_is_current; then
  fetch_sqlite
fi
