#!/usr/bin/env bash
# Installs a Linux build into a temporary prefix, then builds the tiny host
# tests/install/host.c against the installed copy twice, with pkg-config and
# with find_package(Tarnvel), and runs each: one move must be played.
#   scripts/install-check.sh [BUILD_DIR]      default build/release
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
echo "== installed into a temporary prefix"
(cd "$prefix" && find . ! -type d | sort)
lib=$(find "$prefix" -name 'libTarnvel.so' -type l)
soname=$(objdump -p "$lib" | awk '/SONAME/{print $2}')
echo "soname: $soname"
[ -n "$soname" ] && [ -f "$(dirname "$lib")/$soname" ] || { echo "FAIL: no versioned library" >&2; exit 1; }

echo "== host built with pkg-config"
PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name tarnvel.pc)")
export PKG_CONFIG_PATH
echo "tarnvel $(pkg-config --modversion tarnvel): $(pkg-config --cflags --libs tarnvel)"
# shellcheck disable=SC2046  # the flags are separate words
cc -std=c11 -Wall -Wextra -Werror tests/install/host.c $(pkg-config --cflags --libs tarnvel) \
   -o "$work/host-pkgconfig"
LD_LIBRARY_PATH=$(pkg-config --variable=libdir tarnvel) "$work/host-pkgconfig"

echo "== host built with find_package(Tarnvel) and Tarnvel::Tarnvel"
cmake -S tests/install -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$work/cmake-host" >/dev/null
"$work/cmake-host/host"

echo "== installed tarnvel finds the installed library"
printf 'quit\n' | "$prefix/bin/tarnvel" play --time 0.05 --side white >"$work/play.txt"
grep -q "Tarnvel v" "$work/play.txt" || { cat "$work/play.txt"; echo "FAIL: tarnvel play" >&2; exit 1; }
echo "install check passed"
