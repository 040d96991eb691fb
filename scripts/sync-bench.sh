#!/usr/bin/env bash
# Prints the synced folder's worker's figures (bench/sync_bench.cpp) beside
# their targets, with the exe that this machine's Wine runs (the 32-bit one
# where it can; RTRILLEX_64BIT_ONLY=1 takes the 64-bit one). For the copy from
# one PC to another, two loopback-only Syncthing instances are started first
# (../shared/tools/two-syncthings.sh) and stopped at the end, however the run
# ends; without Syncthing installed that figure is skipped and the rest run.
#
# bash scripts/sync-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
rtrillex_build "$RTRILLEX_PRESET" sync_bench

# A path as the Windows programs see it: Wine's drive Z: is the root.
windows_path() {
  local path
  path=$(realpath "$1")
  echo "Z:${path//\//\\}"
}

pair_tool=$root/../shared/tools/two-syncthings.sh
pair_dir=$root/build/sync-bench-pair
# Ports of the benchmark's own, away from those the tool takes by default
# (which the end-to-end runs may be using); any may be given in the environment.
export GUI_PORT_A=${GUI_PORT_A:-28484} GUI_PORT_B=${GUI_PORT_B:-28485}
export SYNC_PORT_A=${SYNC_PORT_A:-22201} SYNC_PORT_B=${SYNC_PORT_B:-22202}
pair_up=0

stop_everything() {
  if [ "$pair_up" = 1 ]; then bash "$pair_tool" down "$pair_dir" >/dev/null 2>&1 || true; fi
  rtrillex_stop_all
}
trap stop_everything EXIT

pair_arguments=(--pair-skipped "syncthing not installed")
if [ ! -f "$pair_tool" ]; then
  pair_arguments=(--pair-skipped "the two-Syncthing tool is not beside the repository")
elif command -v syncthing >/dev/null; then
  # Fresh folders and Syncthing homes: nothing of an earlier run is synced again.
  bash "$pair_tool" down "$pair_dir" >/dev/null 2>&1 || true
  rm -rf "$pair_dir"
  pair_up=1
  if bash "$pair_tool" up "$pair_dir" >"$root/build/sync-bench-pair.log" 2>&1; then
    pair_arguments=(--pair "$(windows_path "$pair_dir/a-folder")" "$(windows_path "$pair_dir/b-folder")")
  else
    pair_arguments=(--pair-skipped "the two Syncthing instances did not start (see build/sync-bench-pair.log)")
  fi
fi

rtrillex_start_wine "$root/build/wine-$WINEARCH"
echo "== the synced folder's worker ($RTRILLEX_ARCHIVE)"
rtrillex_wine "build/$RTRILLEX_PRESET/sync_bench.exe" "${pair_arguments[@]}"
