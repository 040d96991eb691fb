#!/usr/bin/env bash
# Runs every test: the core's unit tests natively (under the sanitizers), the
# checks of the release archive, then the end-to-end tests, which drive the
# real program under Wine on a virtual X display of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh
rtrillex_pick_wine

echo "== unit tests (native)"
rtrillex_build native
ctest --preset native

echo "== the Windows program, with the core's unit tests"
rtrillex_build windows
if [ "$RTRILLEX_PRESET" != windows ]; then
  echo "   this machine cannot run 32-bit programs: the end-to-end tests run the 64-bit build"
  rtrillex_build "$RTRILLEX_PRESET"
fi

echo "== the release archives"
bash scripts/check-release.sh

# Said last, whatever the outcome, so that nobody takes a pass of the 64-bit
# exe for one of the 32-bit exe.
the_32bit_exe_not_run() {
  [ "$RTRILLEX_PRESET" = windows ] && return
  cat >&2 <<'EOF'

########################################################################
##  THE 32-BIT rTrillex.exe (the win32 archive) WAS BUILT, NOT RUN.   ##
##  This machine cannot run 32-bit programs under Wine, so the unit   ##
##  and end-to-end tests above ran build/windows-x64/rTrillex.exe,    ##
##  the exe of the win64 archive. Run this suite where 32-bit Wine    ##
##  works to test the 32-bit exe too.                                 ##
########################################################################
EOF
}
trap 'rtrillex_stop_all; the_32bit_exe_not_run' EXIT
rtrillex_start_display
rtrillex_start_sound "$root/build/sound"

echo "== end-to-end tests of build/$RTRILLEX_PRESET/rTrillex.exe, the exe of the $RTRILLEX_ARCHIVE archive (Wine, $WINEARCH, display $DISPLAY)"
rtrillex_start_wine "$root/build/wine-$WINEARCH"
# Drive R: is an empty folder, for the test of a program in a drive's root.
mkdir -p "$root/build/e2e-drive"
ln -sfn "$root/build/e2e-drive" "$WINEPREFIX/dosdevices/r:"
ctest --preset "$RTRILLEX_PRESET"
