# Sourced by run.sh and test.sh: decides how Windows programs run on this
# machine and prepares a Wine prefix for them.
#
# rTrillex ships as a 64-bit and a 32-bit exe. Where this machine's kernel
# can run 32-bit Linux programs, Wine's 32-bit loader runs the 32-bit one.
# Many virtual machines cannot (their kernels refuse 32-bit executables);
# there the 64-bit one runs, under the 64-bit loader.

# An emulator registered for 32-bit programs (qemu-user through binfmt_misc)
# makes the 32-bit loader start, but Wine under it takes minutes per
# program and its prefix boot fails: only a kernel that runs them itself counts.
# RTRILLEX_64BIT_ONLY=1 takes this machine for one that cannot, to try that
# path anywhere.
rtrillex_runs_32bit_natively() {
  [ "${RTRILLEX_64BIT_ONLY:-0}" = 1 ] && return 1
  local handler
  for handler in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$handler" ] || continue
    grep -qx enabled "$handler" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$handler" 2>/dev/null && return 1
  done
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# rtrillex_use_exe win32|win64: Wine, build preset and prefix kind for the
# exe of that archive.
rtrillex_use_exe() {
  case $1 in
    win32) export RTRILLEX_WINE=/usr/lib/wine/wine RTRILLEX_PRESET=windows RTRILLEX_ARCHIVE=win32 WINEARCH=win32 ;;
    win64) export RTRILLEX_WINE=/usr/lib/wine/wine64 RTRILLEX_PRESET=windows-x64 RTRILLEX_ARCHIVE=win64 WINEARCH=win64 ;;
  esac
  export WINEDEBUG=-all
}

# rtrillex_pick_wine: the 32-bit exe where this machine runs it, else the 64-bit one.
rtrillex_pick_wine() {
  if rtrillex_runs_32bit_natively; then rtrillex_use_exe win32; else rtrillex_use_exe win64; fi
}

# rtrillex_build PRESET [TARGET...]: configures quietly, then builds.
rtrillex_build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  if [ $# -gt 0 ]; then
    cmake --build --preset "$preset" -j"$(nproc)" --target "$@" >/dev/null
  else
    cmake --build --preset "$preset" -j"$(nproc)"
  fi
}

# Wine takes its ANSI code page (932) from the Japanese locale; the rest of
# the build keeps the caller's.
rtrillex_wine() {
  LANG=ja_JP.UTF-8 LC_ALL= "$RTRILLEX_WINE" "$@"
}

# rtrillex_prepare_prefix DIR: a prefix of our own, booted once, with the
# settings the program needs to look right without a window manager.
rtrillex_prepare_prefix() {
  export WINEPREFIX="$1"
  if [ -f "$WINEPREFIX/.rtrillex-ready" ] && [ "$(cat "$WINEPREFIX/.rtrillex-ready")" = "$WINEARCH" ]; then
    return 0
  fi
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  rtrillex_wine wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  local reg=(rtrillex_wine reg add)
  # Without a window manager every exit would stall: let Wine draw the frames.
  "${reg[@]}" 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  # The usual Japanese interface faces, mapped to the IPA fonts.
  "${reg[@]}" 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
  "${reg[@]}" 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
  "${reg[@]}" 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  wineserver -w
  # Caption buttons are drawn with Marlett once Wine draws the frames.
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  echo "$WINEARCH" > "$WINEPREFIX/.rtrillex-ready"
}

# rtrillex_start_display: a virtual X display of our own, the first free
# number from 90 on; rtrillex_stop_all ends it and our prefix's programs.
rtrillex_start_display() {
  local display=90
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 "${1:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
  RTRILLEX_XVFB_PID=$!
  export DISPLAY=":$display"
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start on $DISPLAY" >&2
  return 1
}

# rtrillex_start_sound DIR: a sound server of the run's own, whose one
# output plays into nothing and is recorded to DIR/sound.raw (mono, 16 bits,
# 44100 Hz; RTRILLEX_SOUND_RECORDING names it). Wine's programs started
# after this play into it.
rtrillex_start_sound() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  export XDG_RUNTIME_DIR=$dir PULSE_SERVER=unix:$dir/pulse/native
  HOME=$dir pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
    --load=module-native-protocol-unix --load="module-null-sink sink_name=rtrillex rate=44100" \
    >"$dir/pulseaudio.log" 2>&1 </dev/null &
  RTRILLEX_PULSE_PID=$!
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  # An idle output stops, and its recording with it; silence keeps it going,
  # so that the recording runs in step with the clock and misses no start.
  pacat -d rtrillex --raw --format=s16le --rate=44100 --channels=1 --latency-msec=20 </dev/zero >/dev/null 2>&1 &
  RTRILLEX_SILENCE_PID=$!
  parec -d rtrillex.monitor --format=s16le --rate=44100 --channels=1 --latency-msec=10 \
    >"$dir/sound.raw" 2>/dev/null </dev/null &
  RTRILLEX_PAREC_PID=$!
  export RTRILLEX_SOUND_RECORDING=$dir/sound.raw
  # Under way once the recording grows.
  for _ in $(seq 100); do [ -s "$dir/sound.raw" ] && return 0; sleep 0.1; done
  echo "the sound server's recording did not start; see $dir/pulseaudio.log" >&2
}

rtrillex_stop_all() {
  # Only what this run started: our prefix's Wine programs, our Xvfb and our sound server.
  rtrillex_stop_wine
  local pid
  for pid in ${RTRILLEX_PAREC_PID:-} ${RTRILLEX_SILENCE_PID:-} ${RTRILLEX_PULSE_PID:-} ${RTRILLEX_XVFB_PID:-}; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}

rtrillex_stop_wine() {
  if [ -n "${WINEPREFIX:-}" ]; then wineserver -k 2>/dev/null || true; fi
}

# rtrillex_start_wine PREFIX: the prefix ready, one Wine server for the whole
# run, and Wine's own services started away from any caller's output pipes
# (ctest would otherwise wait for them to close).
rtrillex_start_wine() {
  unset WINEDLLOVERRIDES  # set below, by an earlier call for another prefix too
  rtrillex_prepare_prefix "$1"
  wineserver -p 2>/dev/null || true  # already running for this prefix is fine
  rtrillex_wine wineboot >/dev/null 2>&1 </dev/null || true
  # Wine starts its menu builder on every shortcut a program saves (the
  # Startup item's among them) to mirror it on the Linux desktop, outside the
  # prefix: kept from acting. Off for the programs started from here on only:
  # in the environment of the services the boot starts, it had a window
  # moved partly off the screen somewhere else than asked (seen with Wine 8).
  export WINEDLLOVERRIDES=winemenubuilder.exe=d
}
