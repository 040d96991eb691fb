#!/usr/bin/env bash
# Builds rTrillex and starts it under Wine on the current X display.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no X display (DISPLAY is not set); start one, for instance: xvfb-run -a -s '-screen 0 1280x1024x24' bash scripts/run.sh" >&2
  exit 1
fi

rtrillex_build windows rTrillex
if [ "$RTRILLEX_PRESET" != windows ]; then
  echo "run: this machine cannot run 32-bit programs; running the 64-bit build of the same sources"
  rtrillex_build "$RTRILLEX_PRESET" rTrillex
fi

rtrillex_prepare_prefix "${RTRILLEX_PREFIX:-$HOME/.local/share/rtrillex/wine-$WINEARCH}"
rtrillex_wine "build/$RTRILLEX_PRESET/rTrillex.exe"
