#!/usr/bin/env bash
# Builds the release archive from the 32-bit build and checks what users get:
# the zip holds the expected files and nothing else, its exe is the very one
# the tests run, and that exe needs nothing beyond Windows itself and stays
# under 1 MB. Prints each check; exits non-zero if any fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

. scripts/wine-env.sh
rtrillex_build windows package

build=build/windows
exe=$build/rTrillex.exe
# The archive's name as the build gave it, version included.
zip=$build/$(sed -n 's/^set(CPACK_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$build/CPackConfig.cmake").zip

expected_files="LICENSE.txt README-en.txt README-ja.txt rTrillex.exe"
# Windows' own DLLs, which every Windows has; msvcrt.dll is among them and is
# the C library mingw-w64's runtime calls into. Anything else would have to be
# shipped beside the exe.
windows_dlls="ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL WINMM.DLL"
size_limit=1048576

failures=0
pass() { echo "  ok    $*"; }
fail() { echo "  FAIL  $*"; failures=$((failures + 1)); }

echo "release archive: $zip"
if [ ! -f "$zip" ]; then
  fail "the archive was not made"
  exit 1
fi

files=$(cmake -E tar tf "$zip" | LC_ALL=C sort | tr '\n' ' ')
files=${files% }
if [ "$files" = "$expected_files" ]; then
  pass "holds exactly: $files"
else
  fail "holds: $files; expected exactly: $expected_files"
fi

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$root/$zip")
if cmp -s "$unpacked/rTrillex.exe" "$exe"; then
  pass "its rTrillex.exe is $exe, byte for byte"
else
  fail "its rTrillex.exe differs from $exe"
fi

imports=$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '\n' ' ')
imports=${imports% }
foreign=""
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

size=$(stat -c %s "$exe")
if [ "$size" -lt "$size_limit" ]; then
  pass "$exe is $size bytes (under $size_limit)"
else
  fail "$exe is $size bytes, not under $size_limit"
fi

[ "$failures" -eq 0 ]
