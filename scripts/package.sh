#!/usr/bin/env bash
# Builds the two release archives into build/package:
#   Tarnvel-VERSION-win32.zip         Tarnvel.dll, Tarnvel.htm, README.txt, LICENSE
#   Tarnvel-VERSION-linux-ARCH.tar.gz  `cmake --install` of the Release build
#                                      (ARCH of this machine, e.g. x86_64)
# The zip takes the DLL that windows/check.sh last passed (the checks run
# again when the DLL changed since), and both archives are unpacked into
# fresh directories and checked. VERSION is CMake's project version.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out=build/package

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package: no project version in $build" >&2; exit 1; }
# The engine's name reply and the help page carry the version too.
for f in src/v13/interface/engine_name.h doc/Tarnvel.htm windows/README.txt; do
  grep -q "Tarnvel v$version" "$f" || { echo "FAIL: $f does not name Tarnvel v$version" >&2; exit 1; }
done

echo "== validating doc/Tarnvel.htm"
tidy -errors -q doc/Tarnvel.htm
# It is opened from the engine's folder, maybe offline: nothing from outside.
if grep -Eiq '(src|href|action)=|<link|url\(|@import' doc/Tarnvel.htm; then
  echo "FAIL: doc/Tarnvel.htm refers to an external resource" >&2
  exit 1
fi

dll=build/win32/Tarnvel.dll
if ! sha256sum --check --status build/win32/checked.sha256 2>/dev/null; then
  echo "== $dll is not the one the Windows checks passed: running them"
  windows/check.sh
fi

rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

win=Tarnvel-$version-win32.zip
cp "$dll" "$work/"
# Text files with Windows line ends, for Notepad.
for f in doc/Tarnvel.htm windows/README.txt LICENSE; do
  sed 's/$/\r/' "$f" >"$work/$(basename "$f")"
done
(cd "$work" && zip -q -X "$OLDPWD/$out/$win" Tarnvel.dll Tarnvel.htm README.txt LICENSE)

linux=Tarnvel-$version-linux-$(uname -m)
cmake --install "$build" --prefix "$work/$linux" >/dev/null
tar -C "$work" -czf "$out/$linux.tar.gz" --owner=0 --group=0 "$linux"

echo "== $out/$win"
mkdir "$work/unzipped"
unzip -q "$out/$win" -d "$work/unzipped"
unzip -l "$out/$win"
listing=$(cd "$work/unzipped" && find . ! -type d | sed 's|^\./||' | sort | xargs)
if [ "$listing" != "LICENSE README.txt Tarnvel.dll Tarnvel.htm" ]; then
  echo "FAIL: the zip must hold exactly Tarnvel.dll, Tarnvel.htm, README.txt, LICENSE: $listing" >&2
  exit 1
fi
cmp "$work/unzipped/Tarnvel.dll" "$dll"
echo "exports of the unpacked Tarnvel.dll:"
windows/exports.sh "$work/unzipped/Tarnvel.dll"

echo "== $out/$linux.tar.gz"
mkdir "$work/untarred"
tar -C "$work/untarred" -xzf "$out/$linux.tar.gz"
(cd "$work/untarred" && find . ! -type d | sort)
for f in bin/tarnvel bin/tarnvel-egdb include/tarnvel/tarnvel.h lib/libTarnvel.so \
         lib/pkgconfig/tarnvel.pc lib/cmake/Tarnvel/TarnvelConfig.cmake share/doc/Tarnvel/Tarnvel.htm; do
  [ -e "$work/untarred/$linux/$f" ] || { echo "FAIL: $linux.tar.gz lacks $f" >&2; exit 1; }
done
"$work/untarred/$linux/bin/tarnvel" command name
echo "packages built in $out"
