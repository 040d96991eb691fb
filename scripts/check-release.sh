#!/usr/bin/env bash
# Builds both release archives, rTrillex-<version>-win64.zip and -win32.zip,
# and checks what users get: each zip is named after resources/version.h and
# holds the expected files and nothing else, its texts open right in any
# Notepad, its exe is the very one the build made (and the tests run), and
# that exe needs nothing beyond Windows itself and stays under 2 MB (SQLite,
# which keeps the history across restarts, is built in). The
# 32-bit exe must also be large-address-aware, and every 32-bit build, with
# or without our toolchain file, must do its float arithmetic in SSE
# registers. Prints each check; exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

. scripts/wine-env.sh

version_part() { sed -n "s/^#define RTRILLEX_VERSION_$1 \([0-9]*\)$/\1/p" resources/version.h; }
version=$(version_part MAJOR).$(version_part MINOR).$(version_part PATCH)

expected_files="CHANGES.txt LICENSE.txt README-en.txt README-ja.txt rTrillex.exe"
# Windows' own DLLs, which every Windows has; msvcrt.dll is among them and is
# the C library mingw-w64's runtime calls into; crypt32.dll and bcrypt.dll
# protect the kept history's key and seal its texts; ole32.dll makes the
# Startup folder's shortcut; windowscodecs.dll (the imaging component) keeps
# copied pictures as PNG. Anything else would have to be shipped beside the
# exe.
windows_dlls="ADVAPI32.DLL BCRYPT.DLL COMCTL32.DLL CRYPT32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL SHELL32.DLL USER32.DLL WINDOWSCODECS.DLL WINMM.DLL"
size_limit=2097152

failures=0
pass() { echo "  ok    $*"; }
fail() { echo "  FAIL  $*"; failures=$((failures + 1)); }

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

# check_archive PRESET PLATFORM TRIPLE: builds PRESET's archive, which must be
# named for PLATFORM, and checks it; TRIPLE's objdump reads the exe.
check_archive() {
  local preset=$1 platform=$2 triple=$3
  local build=build/$preset
  local exe=$build/rTrillex.exe
  rtrillex_build "$preset" package
  # The archive's name as the build gave it.
  local zip
  zip=$build/$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake").zip

  echo "release archive: $zip"
  if [ "${zip##*/}" = "rTrillex-$version-$platform.zip" ]; then
    pass "named for version $version (resources/version.h) and $platform"
  else
    fail "named ${zip##*/}, not rTrillex-$version-$platform.zip"
  fi
  if [ ! -f "$zip" ]; then
    fail "the archive was not made"
    return
  fi

  local files
  files=$(cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')
  files=${files% }
  if [ "$files" = "$expected_files" ]; then
    pass "holds exactly: $files"
  else
    fail "holds: $files; expected exactly: $expected_files"
  fi

  local dir=$unpacked/$platform
  mkdir -p "$dir"
  (cd "$dir" && cmake -E tar xf "$root/$zip")
  if cmp -s "$dir/rTrillex.exe" "$exe"; then
    pass "its rTrillex.exe is $exe, byte for byte"
  else
    fail "its rTrillex.exe differs from $exe"
  fi

  # Without the byte order mark older Notepad reads the Japanese as
  # Shift_JIS; without CR it shows one long line.
  local text
  for text in README-ja.txt README-en.txt CHANGES.txt; do
    if [ "$(head -c 3 "$dir/$text" | od -An -tx1 | tr -d ' ')" != efbbbf ]; then
      fail "$text has no UTF-8 byte order mark"
    elif grep -qv $'\r$' "$dir/$text"; then
      fail "$text has line ends without CR"
    else
      pass "$text: UTF-8 with a byte order mark, CRLF line ends"
    fi
  done

  local imports foreign="" dll
  imports=$("$triple-objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
  imports=${imports% }
  for dll in $imports; do
    case " $windows_dlls " in
      *" ${dll^^} "*) ;;
      *) foreign="$foreign $dll" ;;
    esac
  done
  if [ -z "$imports" ]; then
    fail "no imported DLLs read from $exe"
  elif [ -z "$foreign" ]; then
    pass "imports only Windows DLLs: $imports"
  else
    fail "imports DLLs that are not part of Windows:$foreign"
  fi

  local size
  size=$(stat -c %s "$exe")
  if [ "$size" -lt "$size_limit" ]; then
    pass "$exe is $size bytes (under $size_limit)"
  else
    fail "$exe is $size bytes, not under $size_limit"
  fi
}

# 4 GB of address space on 64-bit Windows, not 2.
check_large_address_aware() {
  local exe=$1
  if i686-w64-mingw32-objdump -p "$exe" | sed -n '/^Characteristics/,/^$/p' | grep -q 'large address aware'; then
    pass "$exe is large-address-aware"
  else
    fail "$exe is not large-address-aware"
  fi
}

# check_sse_float_math BUILD: the float code of the 32-bit BUILD is compiled
# for SSE registers, as its compile commands say; on the x87 unit a popup
# lifetime such as 0.3 s never ends.
check_sse_float_math() {
  local build=$1 source command
  for source in src/core/clipboard_watch.cpp src/core/number_text.cpp; do
    command=$(grep -F '"command":' "$build/compile_commands.json" | grep -F -- "-c $root/$source\"" || true)
    if [ -z "$command" ]; then
      fail "$build has no compile command for $source"
    elif [[ " $command " == *" -msse2 "* && $(grep -o -- '-mfpmath=[^ ]*' <<<"$command" | tail -n 1) == -mfpmath=sse ]]; then
      pass "$build compiles $source with -msse2 -mfpmath=sse"
    else
      fail "$build compiles $source without -msse2 -mfpmath=sse"
    fi
  done
}

check_archive windows-x64 win64 x86_64-w64-mingw32
check_archive windows win32 i686-w64-mingw32
check_large_address_aware build/windows/rTrillex.exe
check_sse_float_math build/windows

# Configured as a Windows user with MinGW does: the compilers named, no
# toolchain file of ours. Configuring is enough to see the compile commands.
echo "32-bit build without the toolchain file: build/windows-plain"
cmake -S . -B build/windows-plain -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=i686-w64-mingw32-gcc-posix -DCMAKE_CXX_COMPILER=i686-w64-mingw32-g++-posix \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
check_sse_float_math build/windows-plain

[ "$failures" -eq 0 ]
