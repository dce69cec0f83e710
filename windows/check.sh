#!/usr/bin/env bash
# Cross-builds Tarnvel.dll for 32- and 64-bit Windows, checks the 32-bit
# DLL's exports and imports, and runs the Windows test host against the
# 64-bit DLL under wine64 (the 32-bit Wine is not installable here).
# With the database builder built (make build), the host runs a second time
# with a 4-piece database in db\ beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

build() {  # arch builddir
  cmake -S . -B "$2" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DTARNVEL_WERROR=ON >/dev/null
  cmake --build "$2" -j "$jobs"
}

build i686 build/win32
build x86_64 build/win64

dll32=build/win32/Tarnvel.dll
echo "== exports of $dll32"
exports=$(i686-w64-mingw32-objdump -p "$dll32" |
  awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on{on=0}' | sort)
echo "$exports"
if [ "$exports" != "$(printf 'enginecommand\ngetmove')" ]; then
  echo "FAIL: the DLL must export exactly getmove and enginecommand, undecorated" >&2
  exit 1
fi
file "$dll32" | grep -q 'PE32 executable (DLL).*Intel 80386' || { echo "FAIL: not a 32-bit DLL" >&2; exit 1; }

echo "== imports of $dll32"
imports=$(i686-w64-mingw32-objdump -p "$dll32" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
echo "$imports"
for dll in $imports; do
  case "$dll" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
    *) echo "FAIL: $dll is not a system DLL" >&2; exit 1 ;;
  esac
done

echo "== argument sizes recorded in the module definition"
grep -E 'getmove@36|enginecommand@8' build/win32/Tarnvel.def

run_host() {  # dir args...
  local dir=$1; shift
  (cd "$dir" && WINEDEBUG=-all WINEPREFIX="$root/build/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml=" \
     /usr/lib/wine/wine64 tarnvel-windows-host.exe "$@")
}

echo "== Windows test host under wine64 (64-bit build)"
run=build/win64/run
rm -rf "$run" && mkdir -p "$run"
cp build/win64/Tarnvel.dll build/win64/tarnvel-windows-host.exe "$run/"
run_host "$run"

# The database files are the same on every platform: build the 4-piece one
# natively when the builder is there.
egdb=build/release/tarnvel-egdb
if [ -x "$egdb" ]; then
  echo "== again with the 4-piece database in db\\"
  "$egdb" build --pieces 4 --out "$run/db" >/dev/null
  run_host "$run" --expect-db
fi
echo "windows checks passed"
