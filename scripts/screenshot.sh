#!/usr/bin/env bash
# Takes the README's picture of the main window from the real program,
# running under Wine on a virtual display of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine
cmake --preset "$RTRILLEX_PRESET" >/dev/null
cmake --build --preset "$RTRILLEX_PRESET" --target rTrillex >/dev/null

work=$(mktemp -d)
trap 'rtrillex_stop_all; rm -rf "$work"' EXIT
rtrillex_start_display 1024x768x24
rtrillex_start_wine "$root/build/wine-$WINEARCH"
cp "build/$RTRILLEX_PRESET/rTrillex.exe" "$work/"
(cd "$work" && rtrillex_wine ./rTrillex.exe >/dev/null 2>&1 &)

window=
for _ in $(seq 100); do
  window=$(xdotool search --name '^Trillex$' 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "screenshot: the main window did not appear" >&2; exit 1; }
sleep 1  # let every control paint
import -window "$window" docs/main-window.png
echo "wrote docs/main-window.png"
