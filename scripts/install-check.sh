#!/usr/bin/env bash
# Installs a Linux build into a temporary prefix, then builds the tiny host
# tests/install/host.c against each installed engine library twice, with
# pkg-config and with find_package(Tarnvel), and runs each: one move must be
# played by the engine linked. Last, the installed tarnvel plays each engine.
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

# The host prints the engine's name reply first; its version is the
# library's, in the file name, the soname (major version) and pkg-config.
check_engine() {  # library pkg-config-module name-prefix
  local library=$1 module=$2 prefix_of_name=$3
  local lib name version soname out
  lib=$(find "$prefix" -name "lib$library.so" -type l)
  [ -n "$lib" ] || { echo "FAIL: no lib$library.so installed" >&2; exit 1; }

  echo "== $library: host built with pkg-config"
  PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name "$module.pc")")
  export PKG_CONFIG_PATH
  echo "$module $(pkg-config --modversion "$module"): $(pkg-config --cflags --libs "$module")"
  # shellcheck disable=SC2046  # the flags are separate words
  cc -std=c11 -Wall -Wextra -Werror tests/install/host.c $(pkg-config --cflags --libs "$module") \
     -o "$work/host-$module"
  out=$(LD_LIBRARY_PATH=$(pkg-config --variable=libdir "$module") "$work/host-$module")
  echo "$out"
  name=${out%%:*}
  [[ $name == "$prefix_of_name"* ]] || { echo "FAIL: $library answers \"$name\"" >&2; exit 1; }
  version=${name##* v}; version=${version##* }
  soname=$(objdump -p "$lib" | awk '/SONAME/{print $2}')
  echo "version $version, soname $soname"
  if [ "$soname" != "lib$library.so.${version%%.*}" ] || [ ! -f "$(dirname "$lib")/lib$library.so.$version" ] ||
     [ "$(pkg-config --modversion "$module")" != "$version" ]; then
    echo "FAIL: lib$library.so is not installed as version $version" >&2
    exit 1
  fi

  echo "== $library: host built with find_package(Tarnvel) and Tarnvel::$library"
  cmake -S tests/install -B "$work/cmake-$library" -DCMAKE_PREFIX_PATH="$prefix" \
        -DTARNVEL_ENGINE="$library" -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
  cmake --build "$work/cmake-$library" >/dev/null
  out=$("$work/cmake-$library/host")
  echo "$out"
  [ "${out%%:*}" = "$name" ] || { echo "FAIL: Tarnvel::$library is not $name" >&2; exit 1; }
}
check_engine Tarnvel tarnvel "Tarnvel v"
check_engine Tarnvel2 tarnvel2 "Tarnvel 2"

echo "== installed tarnvel plays each installed library"
play() {  # expected-name [--engine LIB]
  local expected=$1
  shift
  printf 'quit\n' | "$prefix/bin/tarnvel" play --time 0.05 --side white "$@" >"$work/play.txt"
  grep -q "$expected" "$work/play.txt" || { cat "$work/play.txt"; echo "FAIL: tarnvel play $*" >&2; exit 1; }
  echo "tarnvel play $*: $expected"
}
play "Tarnvel v"
play "Tarnvel 2" --engine "$(find "$prefix" -name libTarnvel2.so -type l)"
echo "install check passed"
