#!/usr/bin/env bash
# Runs every test: the core's unit tests natively (under the sanitizers), the
# checks of the release archives, then the end-to-end tests, which drive the
# real program under Wine on a virtual X display of their own: both shipped
# exes where this machine runs 32-bit programs, else the 64-bit one alone.
# RTRILLEX_64BIT_ONLY=1 takes the 64-bit-only path on any machine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
. scripts/wine-env.sh

exes=(win64)
if rtrillex_runs_32bit_natively; then exes=(win32 win64); fi

echo "== unit tests (native)"
rtrillex_build native
ctest --preset native

echo "== the Windows programs, with the core's unit tests"
rtrillex_build windows
rtrillex_build windows-x64

echo "== the release archives"
bash scripts/check-release.sh

passed=()
failed=()
# Said last, whatever the outcome, so that nobody takes a pass of one exe for
# the other's.
report() {
  echo
  echo "== end-to-end tests: passed: ${passed[*]:-none}; failed: ${failed[*]:-none}"
  if [ "${exes[*]}" = win64 ]; then
    cat >&2 <<'EOF'

########################################################################
##  THE 32-BIT rTrillex.exe (the win32 archive) WAS BUILT, NOT RUN.   ##
##  This machine cannot run 32-bit programs under Wine (or            ##
##  RTRILLEX_64BIT_ONLY=1 said to act as if), so the end-to-end tests ##
##  above ran build/windows-x64/rTrillex.exe, the exe of the win64    ##
##  archive, alone. Run this suite where 32-bit Wine works to test    ##
##  the 32-bit exe too.                                               ##
########################################################################
EOF
  else
    echo "   both exes ran: build/windows/rTrillex.exe (win32) and build/windows-x64/rTrillex.exe (win64)"
  fi
}
trap 'rtrillex_stop_all; report' EXIT
rtrillex_start_display
rtrillex_start_sound "$root/build/sound"

# Each exe in a Wine prefix of its own kind, its Wine server ended before the next.
for exe in "${exes[@]}"; do
  rtrillex_use_exe "$exe"
  echo "== end-to-end tests of build/$RTRILLEX_PRESET/rTrillex.exe, the exe of the $exe archive (Wine, $WINEARCH, display $DISPLAY)"
  rtrillex_start_wine "$root/build/wine-$WINEARCH"
  # Drive R: is an empty folder, for the test of a program in a drive's root.
  mkdir -p "$root/build/e2e-drive"
  ln -sfn "$root/build/e2e-drive" "$WINEPREFIX/dosdevices/r:"
  if ctest --preset "$RTRILLEX_PRESET"; then passed+=("$exe"); else failed+=("$exe"); fi
  rtrillex_stop_wine
  # Two PCs, each with a Wine and a display of its own, in step through Syncthing.
  if bash scripts/two-pcs-test.sh "$exe"; then passed+=("$exe-two-pcs"); else failed+=("$exe-two-pcs"); fi
done
[ ${#failed[@]} -eq 0 ]
