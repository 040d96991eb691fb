#!/usr/bin/env bash
# Prints the clipboard change handler's figures on large texts and a long
# history, run in the real program's windows under Wine on a virtual display,
# and the history search's.
#
# bash scripts/bench.sh [BASELINE]: given a commit or branch, the change
# handler's benchmark is also built on that commit's program and run right
# after this one's, in the same session, for figures before and after a change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
baseline=${1:-}

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
rtrillex_build "$RTRILLEX_PRESET" clipboard_bench history_search_bench

if [ -n "$baseline" ]; then
  # The baseline's sources with this benchmark in them, built apart.
  baseline_src=$root/build/bench-baseline
  rm -rf "$baseline_src"
  mkdir -p "$baseline_src"
  git archive "$baseline" | tar -x -C "$baseline_src"
  rm -rf "$baseline_src/bench"
  cp -r bench "$baseline_src/bench"
  (cd "$baseline_src" && rtrillex_build "$RTRILLEX_PRESET" clipboard_bench)
fi

trap rtrillex_stop_all EXIT
rtrillex_start_display
rtrillex_start_wine "$root/build/wine-$WINEARCH"
echo "== this build ($RTRILLEX_ARCHIVE)"
rtrillex_wine "build/$RTRILLEX_PRESET/clipboard_bench.exe"
rtrillex_wine "build/$RTRILLEX_PRESET/history_search_bench.exe"
if [ -n "$baseline" ]; then
  echo "== $baseline ($RTRILLEX_ARCHIVE)"
  rtrillex_wine "$baseline_src/build/$RTRILLEX_PRESET/clipboard_bench.exe"
fi
