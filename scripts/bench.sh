#!/usr/bin/env bash
# Prints the clipboard change handler's figures on large texts and a long
# history, run in the real program's windows under Wine on a virtual display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
rtrillex_build "$RTRILLEX_PRESET" clipboard_bench history_search_bench

trap rtrillex_stop_all EXIT
rtrillex_start_display
rtrillex_start_wine "$root/build/wine-$WINEARCH"
rtrillex_wine "build/$RTRILLEX_PRESET/clipboard_bench.exe"
rtrillex_wine "build/$RTRILLEX_PRESET/history_search_bench.exe"
