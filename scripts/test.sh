#!/usr/bin/env bash
# Runs every test: the core's unit tests natively (under the sanitizers), then
# the end-to-end tests, which drive the real program under Wine on a virtual
# X display of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine

echo "== unit tests (native)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)"
ctest --preset native

echo "== the Windows program"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)"
if [ "$RTRILLEX_PRESET" != windows ]; then
  echo "   this machine cannot run 32-bit programs: the end-to-end tests run the 64-bit build of the same sources"
  cmake --preset "$RTRILLEX_PRESET" >/dev/null
  cmake --build --preset "$RTRILLEX_PRESET" -j"$(nproc)"
fi

# A display of our own: the first free number from 90 on.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

cleanup() {
  # Only what this run started: our prefix's Wine processes and our Xvfb.
  [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
if [ ! -e "/tmp/.X11-unix/X$display" ]; then
  echo "test: Xvfb did not start on $DISPLAY" >&2
  exit 1
fi

echo "== end-to-end tests (Wine, $WINEARCH, display $DISPLAY)"
rtrillex_prepare_prefix "$root/build/wine-$WINEARCH"
wineserver -p  # one server for the whole run keeps each program start fast
# Wine's own services start with the first program; start them here, away
# from ctest's output pipes, which they would otherwise hold open.
rtrillex_wine wineboot >/dev/null 2>&1 </dev/null || true
ctest --preset "$RTRILLEX_PRESET"
