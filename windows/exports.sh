#!/usr/bin/env bash
# Lists a DLL's exported names and fails unless they are exactly getmove and
# enginecommand, undecorated.
set -euo pipefail
exports=$(i686-w64-mingw32-objdump -p "$1" |
  awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF; next} on{on=0}' | sort)
echo "$exports"
if [ "$exports" != "$(printf 'enginecommand\ngetmove')" ]; then
  echo "FAIL: $1 must export exactly getmove and enginecommand, undecorated" >&2
  exit 1
fi
