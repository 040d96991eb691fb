#!/usr/bin/env bash
# Prints the clipboard change handler's figures on large texts and a long
# history, run in the real program's windows under Wine on a virtual display,
# the history search's and the kept history's file's; then the copies a Linux
# program (xclip) makes, timed from the copy to rTrillex's history line beside
# a bare viewer that only reads the text; last, the kept history in the real
# program (its start, its writes, its file's size and its memory); pictures in
# the real program, and the same picture copies watched by CopyQ as a
# baseline where it is installed.
#
# bash scripts/bench.sh [BASELINE]: given a commit or branch, the change
# handler's benchmark and the timing of xclip's copies are also run on that
# commit's program, in the same session, for figures before and after a change.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
baseline=${1:-}

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
rtrillex_build "$RTRILLEX_PRESET" clipboard_bench history_search_bench history_store_bench copy_timing \
  kept_history_bench picture_bench rTrillex

if [ -n "$baseline" ]; then
  # The baseline's sources with this benchmark in them, built apart.
  baseline_src=$root/build/bench-baseline
  rm -rf "$baseline_src"
  mkdir -p "$baseline_src"
  git archive "$baseline" | tar -x -C "$baseline_src"
  mv "$baseline_src/bench" "$baseline_src/bench-of-its-own"
  cp -r bench "$baseline_src/bench"
  if ! (cd "$baseline_src" && rtrillex_build "$RTRILLEX_PRESET" clipboard_bench rTrillex); then
    # The program's interfaces changed since: its own benchmark measures it.
    echo "== $baseline does not build with this benchmark: its own benchmark is used for it"
    rm -rf "$baseline_src/bench" "$baseline_src/build"
    mv "$baseline_src/bench-of-its-own" "$baseline_src/bench"
    (cd "$baseline_src" && rtrillex_build "$RTRILLEX_PRESET" clipboard_bench rTrillex)
  fi
fi

# A path as the Windows programs see it: Wine's drive Z: is the root.
windows_path() {
  local path
  path=$(realpath "$1")
  echo "Z:${path//\//\\}"
}

# copy_timing.exe asks for each copy ("@copy NAME"); xclip makes it, and the
# moment it was started goes back as nanoseconds of the Unix clock.
time_xclip_copies() {
  local texts=$root/build/bench-texts
  mkdir -p "$texts"
  local programs=("this=$(windows_path "build/$RTRILLEX_PRESET/rTrillex.exe")")
  if [ -n "$baseline" ]; then
    programs+=("$baseline=$(windows_path "$baseline_src/build/$RTRILLEX_PRESET/rTrillex.exe")")
  fi
  coproc TIMING { rtrillex_wine "build/$RTRILLEX_PRESET/copy_timing.exe" "$(windows_path "$texts")" "${programs[@]}"; }
  local timing_pid=$TIMING_PID line started
  while IFS= read -r line <&"${TIMING[0]}"; do
    line=${line%$'\r'}
    if [[ $line == "@copy "* ]]; then
      started=$(date +%s%N)
      # xclip stays in the background, serving the copy, until the next one takes its place.
      xclip -selection clipboard -i "$texts/${line#@copy }" </dev/null >/dev/null 2>&1
      echo "$started" >&"${TIMING[1]}"
    else
      echo "$line"
    fi
  done
  wait "$timing_pid"
}

# The same picture copies watched by CopyQ instead of rTrillex. It runs as a
# Linux program beside Wine, so each copy reaches it through Wine's X11
# clipboard, which turns the bitmap into the picture it asks for: that work is
# counted as its own. Its memory is its server's resident size; its settings
# and items are kept apart under build/.
copyq_baseline() (
  local settings=$root/build/copyq-baseline
  rm -rf "$settings"
  mkdir -p -m 700 "$settings/run"
  export COPYQ_SETTINGS_PATH=$settings XDG_RUNTIME_DIR=$settings/run
  copyq --start-server >/dev/null 2>&1 &
  local tries
  for tries in $(seq 50); do copyq count >/dev/null 2>&1 && break; sleep 0.2; done
  copyq config maxitems 10000 >/dev/null
  local server
  server=$(pgrep -n -f "copyq (-s|--start-server)$")
  resident_kb() { awk '/^VmRSS/ {print $2}' "/proc/$server/status"; }
  local before expected line held
  before=$(resident_kb)
  expected=$(copyq count)
  coproc VIEWER { rtrillex_wine "build/$RTRILLEX_PRESET/picture_bench.exe" --beside-another-viewer; }
  local viewer_pid=$VIEWER_PID
  while IFS= read -r line <&"${VIEWER[0]}"; do
    line=${line%$'\r'}
    if [[ $line == "@copied "* ]]; then
      expected=$((expected + 1))
      if held=$(timeout -k 1 20 copyq eval "while (count() < $expected) sleep(10); print(Date.now())"); then
        held=${held}000000
      else
        held=-1
        expected=$(copyq count)
      fi
      echo "$held" >&"${VIEWER[1]}"
    else
      echo "$line"
    fi
  done
  wait "$viewer_pid"
  sleep 2
  echo "  memory: its server's resident size grew by $(( ($(resident_kb) - before) / 1024 )) MB"
  copyq exit >/dev/null 2>&1 || true
  while kill -0 "$server" 2>/dev/null; do sleep 0.2; done
  du -cb "$settings"/copyq/copyq_tab_*.dat | awk 'END {printf "  its items on the disk: %.1f MB\n", $1 / 1048576}'
)

trap rtrillex_stop_all EXIT
rtrillex_start_display
rtrillex_start_wine "$root/build/wine-$WINEARCH"
echo "== this build ($RTRILLEX_ARCHIVE)"
rtrillex_wine "build/$RTRILLEX_PRESET/clipboard_bench.exe"
rtrillex_wine "build/$RTRILLEX_PRESET/history_search_bench.exe"
rtrillex_wine "build/$RTRILLEX_PRESET/history_store_bench.exe"
if [ -n "$baseline" ]; then
  echo "== $baseline ($RTRILLEX_ARCHIVE)"
  rtrillex_wine "$baseline_src/build/$RTRILLEX_PRESET/clipboard_bench.exe"
fi
echo "== copies by xclip ($RTRILLEX_ARCHIVE)"
time_xclip_copies
echo "== the kept history in the real program ($RTRILLEX_ARCHIVE)"
rtrillex_wine "build/$RTRILLEX_PRESET/kept_history_bench.exe"
echo "== pictures in the real program ($RTRILLEX_ARCHIVE)"
rtrillex_wine "build/$RTRILLEX_PRESET/picture_bench.exe"
if command -v copyq >/dev/null; then
  echo "== CopyQ on the same picture copies, a baseline ($RTRILLEX_ARCHIVE)"
  copyq_baseline
else
  echo "== CopyQ is not installed: no baseline beside the pictures' figures"
fi
