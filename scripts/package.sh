#!/usr/bin/env bash
# Builds the two release archives into build/package:
#   Tarnvel-VERSION-win32.zip         Tarnvel.dll, Tarnvel2.dll, their help pages
#                                      Tarnvel.htm and Tarnvel2.htm, README.txt, LICENSE
#   Tarnvel-VERSION-linux-ARCH.tar.gz  `cmake --install` of the Release build
#                                      (ARCH of this machine, e.g. x86_64)
# The zip takes the DLLs that windows/check.sh last passed (the checks run
# again when a DLL changed since), and both archives are unpacked into
# fresh directories and checked. VERSION is CMake's project version, v1.3's;
# Tarnvel 2's own version is the one its name reply gives.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out=build/package

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package: no project version in $build" >&2; exit 1; }
version2=$(sed -n 's/.*ENGINE_NAME = "Tarnvel \([0-9.]*\)".*/\1/p' src/v2/interface/engine_name.h)
[ -n "$version2" ] || { echo "package: no version in Tarnvel 2's name" >&2; exit 1; }
# The engines' name replies, the help page and README.txt carry the versions too.
for f in src/v13/interface/engine_name.h doc/Tarnvel.htm windows/README.txt; do
  grep -q "Tarnvel v$version" "$f" || { echo "FAIL: $f does not name Tarnvel v$version" >&2; exit 1; }
done
for f in doc/Tarnvel.htm windows/README.txt; do
  grep -q "Tarnvel $version2" "$f" || { echo "FAIL: $f does not name Tarnvel $version2" >&2; exit 1; }
done

echo "== validating doc/Tarnvel.htm"
tidy -errors -q doc/Tarnvel.htm
# It is opened from the engine's folder, maybe offline: nothing from outside.
if grep -Eiq '(src|href|action)=|<link|url\(|@import' doc/Tarnvel.htm; then
  echo "FAIL: doc/Tarnvel.htm refers to an external resource" >&2
  exit 1
fi

dlls=(Tarnvel.dll Tarnvel2.dll)
# DLLs older than their sources are rebuilt first, so a changed DLL is
# checked again rather than an old one shipped.
if [ -f build/win32/CMakeCache.txt ]; then
  cmake --build build/win32 -j "$(nproc)" >/dev/null
fi
if ! sha256sum --check --status build/win32/checked.sha256 2>/dev/null; then
  echo "== the DLLs are not the ones the Windows checks passed: running them"
  windows/check.sh
fi

rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

win=Tarnvel-$version-win32.zip
files=("${dlls[@]}" Tarnvel.htm Tarnvel2.htm README.txt LICENSE)
for dll in "${dlls[@]}"; do cp "build/win32/$dll" "$work/"; done
# Text files with Windows line ends, for Notepad. One help page serves both
# engines, under the name each one's help reply gives.
for f in doc/Tarnvel.htm windows/README.txt LICENSE; do
  sed 's/$/\r/' "$f" >"$work/$(basename "$f")"
done
cp "$work/Tarnvel.htm" "$work/Tarnvel2.htm"
(cd "$work" && zip -q -X "$OLDPWD/$out/$win" "${files[@]}")

linux=Tarnvel-$version-linux-$(uname -m)
cmake --install "$build" --prefix "$work/$linux" >/dev/null
tar -C "$work" -czf "$out/$linux.tar.gz" --owner=0 --group=0 "$linux"

echo "== $out/$win"
unzipped=$work/unzipped
mkdir "$unzipped"
unzip -q "$out/$win" -d "$unzipped"
unzip -l "$out/$win"
listing=$(cd "$unzipped" && find . ! -type d | sed 's|^\./||' | sort | xargs)
expected=$(printf '%s\n' "${files[@]}" | sort | xargs)
if [ "$listing" != "$expected" ]; then
  echo "FAIL: the zip must hold exactly $expected: $listing" >&2
  exit 1
fi
cmp "$unzipped/Tarnvel.htm" "$unzipped/Tarnvel2.htm"
for dll in "${dlls[@]}"; do
  cmp "$unzipped/$dll" "build/win32/$dll"
  echo "exports of the unpacked $dll:"
  windows/exports.sh "$unzipped/$dll"
done

echo "== $out/$linux.tar.gz"
untarred=$work/untarred/$linux
mkdir "$work/untarred"
tar -C "$work/untarred" -xzf "$out/$linux.tar.gz"
(cd "$work/untarred" && find . ! -type d | sort)
for f in bin/tarnvel bin/tarnvel-egdb include/tarnvel/tarnvel.h \
         lib/libTarnvel.so "lib/libTarnvel.so.$version" lib/pkgconfig/tarnvel.pc \
         lib/libTarnvel2.so "lib/libTarnvel2.so.$version2" lib/pkgconfig/tarnvel2.pc \
         lib/cmake/Tarnvel/TarnvelConfig.cmake share/doc/Tarnvel/Tarnvel.htm share/doc/Tarnvel/Tarnvel2.htm; do
  [ -e "$untarred/$f" ] || { echo "FAIL: $linux.tar.gz lacks $f" >&2; exit 1; }
done
# The unpacked tarnvel plays each unpacked library (the engine moves first).
for engine in "Tarnvel v$version:$untarred/lib/libTarnvel.so" "Tarnvel $version2:$untarred/lib/libTarnvel2.so"; do
  printf 'quit\n' | "$untarred/bin/tarnvel" play --time 0.05 --side white --engine "${engine#*:}" >"$work/play.txt"
  grep -q "${engine%%:*} plays Black" "$work/play.txt" ||
    { cat "$work/play.txt"; echo "FAIL: the unpacked ${engine#*:} is not ${engine%%:*}" >&2; exit 1; }
  head -1 "$work/play.txt"
done
echo "packages built in $out"
