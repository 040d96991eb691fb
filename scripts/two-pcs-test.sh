#!/usr/bin/env bash
# Two PCs kept in step by two real Syncthing instances: PC-A and PC-B each
# run their own rTrillex.exe in a Wine prefix of their own, on an X display
# of their own (one display would give both Wines one clipboard), each with
# its own copy of the synced folder. e2e_two_pcs.exe drives each PC from
# inside its Wine; the two halves signal each other through files in a
# folder both reach through Wine's Z: drive.
#
# Usage: scripts/two-pcs-test.sh win32|win64 (after the exe's build; run by
# scripts/test.sh). Needs ../shared/tools/two-syncthings.sh beside the checkout.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/wine-env.sh
rtrillex_use_exe "${1:?win32 or win64}"

syncthings=$root/../shared/tools/two-syncthings.sh
base=$root/build/two-pcs-$RTRILLEX_ARCHIVE
driver=$root/build/$RTRILLEX_PRESET/e2e_two_pcs.exe
[ -x "$driver" ] || { echo "two-pcs: $driver is not built" >&2; exit 1; }

# Syncthing's ports: the first four free ones from 28384 on, so that a run
# beside another pair of instances does not fail on a taken port.
port_free() { ! timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0' "$1" 2>/dev/null; }
for first in $(seq 28384 10 28584); do
  if port_free "$first" && port_free $((first + 1)) && port_free $((first + 2)) && port_free $((first + 3)); then
    export GUI_PORT_A=$first GUI_PORT_B=$((first + 1)) SYNC_PORT_A=$((first + 2)) SYNC_PORT_B=$((first + 3))
    break
  fi
done

xvfbs=()
prefixes=()
stop_everything() {
  local prefix pid
  for prefix in "${prefixes[@]}"; do WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; done
  for pid in "${xvfbs[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  bash "$syncthings" down "$base/sync" >/dev/null 2>&1 || true
}
trap stop_everything EXIT
trap "exit 1" INT TERM

rm -rf "$base"
mkdir -p "$base/signals"
echo "== two PCs through two Syncthing instances: build/$RTRILLEX_PRESET/rTrillex.exe, the exe of the $RTRILLEX_ARCHIVE archive"
started=$SECONDS
bash "$syncthings" up "$base/sync" >"$base/syncthings.out" 2>"$base/syncthings.log" ||
  { cat "$base/syncthings.log" >&2; exit 1; }
grep -qx ready "$base/syncthings.out"

windows_path() { echo "Z:${1//\//\\}"; }

# start_pc a|b: its display, its prefix, and its half of the test, in the background.
start_pc() {
  local pc=$1 upper
  upper=$(echo "$pc" | tr a-z A-Z)
  rtrillex_start_display
  xvfbs+=("$RTRILLEX_XVFB_PID")
  rtrillex_start_wine "$root/build/wine-$WINEARCH-pc-$pc"
  prefixes+=("$WINEPREFIX")
  RTRILLEX_SYNCED_FOLDER=$(windows_path "$base/sync/$pc-folder") RTRILLEX_SIGNALS=$(windows_path "$base/signals") \
    bash scripts/wine-exec.sh "$driver" --gtest_filter="TwoPcs.On$upper" >"$base/pc-$pc.log" 2>&1 </dev/null &
  pids+=($!)
}

pids=()
start_pc a
start_pc b
status=0
for i in 0 1; do
  wait "${pids[$i]}" || status=1
done
sed 's/^/[PC-A] /' "$base/pc-a.log"
sed 's/^/[PC-B] /' "$base/pc-b.log"
if [ "$status" -eq 0 ]; then
  echo "== two PCs ($RTRILLEX_ARCHIVE): passed in $((SECONDS - started)) s"
else
  echo "== two PCs ($RTRILLEX_ARCHIVE): FAILED after $((SECONDS - started)) s; logs in $base"
fi
exit "$status"
