# Sourced by run.sh and test.sh: decides how Windows programs run on this
# machine and prepares a Wine prefix for them.
#
# rTrillex is a 32-bit program. Where this machine's kernel can run 32-bit
# Linux programs, Wine's 32-bit loader runs the real rTrillex.exe. Some
# virtual machines cannot (their kernels refuse 32-bit executables); there
# the same sources are built for 64-bit Windows and run by the 64-bit loader.

rtrillex_pick_wine() {
  if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    export RTRILLEX_WINE=/usr/lib/wine/wine RTRILLEX_PRESET=windows WINEARCH=win32
  else
    export RTRILLEX_WINE=/usr/lib/wine/wine64 RTRILLEX_PRESET=windows-x64 WINEARCH=win64
  fi
  export WINEDEBUG=-all
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
