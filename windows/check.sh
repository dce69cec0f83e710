#!/usr/bin/env bash
# Cross-builds both engines' DLLs (Tarnvel.dll, v1.3; Tarnvel2.dll, Tarnvel 2)
# for 32- and 64-bit Windows, checks each 32-bit DLL's exports and imports,
# and runs the Windows test host against each DLL under the matching Wine
# (32-bit: the DLLs that hosts load; 64-bit: their twins). With the database
# builder built (make build), each host runs a second time with a 4-piece
# database in db\ beside it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
dlls=(Tarnvel Tarnvel2)

build() {  # arch builddir
  cmake -S . -B "$2" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$1.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DTARNVEL_WERROR=ON >/dev/null
  cmake --build "$2" -j "$jobs"
}

rm -f build/win32/checked.sha256
build i686 build/win32
build x86_64 build/win64

for name in "${dlls[@]}"; do
  dll32=build/win32/$name.dll
  echo "== exports of $dll32"
  windows/exports.sh "$dll32"

  file "$dll32" | grep -q 'PE32 executable (DLL).*Intel 80386' || { echo "FAIL: $dll32 is not a 32-bit DLL" >&2; exit 1; }

  echo "== imports of $dll32"
  imports=$(i686-w64-mingw32-objdump -p "$dll32" | awk '/DLL Name:/{print tolower($3)}' | sort -u)
  echo "$imports"
  for dll in $imports; do
    case "$dll" in
      kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|ntdll.dll|api-ms-win-*) ;;
      *) echo "FAIL: $dll32 imports $dll, which is not a system DLL" >&2; exit 1 ;;
    esac
  done

  echo "== argument sizes recorded in the module definition of $name.dll"
  [ "$(grep -cE '^ *(getmove@36|enginecommand@8)$' "build/win32/$name.def")" -eq 2 ] ||
    { echo "FAIL: build/win32/$name.def lacks getmove@36 or enginecommand@8" >&2; exit 1; }
  grep -E 'getmove@36|enginecommand@8' "build/win32/$name.def"
done

# One prefix for both loaders. Creating it must not wait for anyone: no
# display, no standard input, and no offer to download Mono or Gecko.
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix"
  /usr/lib/wine/wine64 wineboot --init </dev/null
  /usr/lib/wine/wineserver -w
fi

# The database files are the same on every platform: build the 4-piece one
# natively when the builder is there.
egdb=build/release/tarnvel-egdb
db=build/windows-db
if [ -x "$egdb" ] && [ ! -f "$db/db4.idx" ]; then
  rm -rf "$db"
  "$egdb" build --pieces 4 --out "$db" >/dev/null
fi

# The host loads the DLL it is given by name from its own folder, as a board
# program loads an engine from its engine folder.
run_host() {  # loader builddir label
  local loader=$1 dir=$2/run name
  rm -rf "$dir" && mkdir -p "$dir"
  cp "$2/tarnvel-windows-host.exe" "$dir/"
  for name in "${dlls[@]}"; do cp "$2/$name.dll" "$dir/"; done
  for name in "${dlls[@]}"; do
    echo "== Windows test host with $name.dll under $3 ($2)"
    (cd "$dir" && "$loader" tarnvel-windows-host.exe "$name.dll" </dev/null)
  done
  [ -f "$db/db4.idx" ] || return 0
  cp -r "$db" "$dir/db"
  for name in "${dlls[@]}"; do
    echo "== again with $name.dll and the 4-piece database in db\\"
    (cd "$dir" && "$loader" tarnvel-windows-host.exe "$name.dll" --expect-db </dev/null)
  done
}

# Some kernels are built without 32-bit x86 support: there no 32-bit
# program starts, 32-bit Wine included (exit status 126). The 32-bit DLLs
# were still built and their exports, imports and argument sizes checked
# above; their run is left out, loudly, and the 64-bit twins still run.
ran32=yes
if /usr/lib/wine/wine --version >/dev/null 2>&1 || [ $? -ne 126 ]; then
  run_host /usr/lib/wine/wine build/win32 "32-bit Wine"
else
  ran32=no
  echo "== NOT RUN: the 32-bit DLLs under 32-bit Wine: this kernel ($(uname -r)) cannot execute 32-bit x86 programs"
fi
run_host /usr/lib/wine/wine64 build/win64 "wine64"
# make package ships only the DLLs these checks passed.
for name in "${dlls[@]}"; do sha256sum "build/win32/$name.dll"; done >build/win32/checked.sha256
if [ "$ran32" = yes ]; then
  echo "windows checks passed"
else
  echo "windows checks passed, except the 32-bit run, which this kernel cannot do"
fi
