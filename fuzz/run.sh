#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*.cpp) with clang under AddressSanitizer
# and UndefinedBehaviorSanitizer, then runs each one for SECONDS seconds,
# starting from its committed seed corpus.
#
#   fuzz/run.sh [SECONDS] [TARGET...]      default: 60 seconds, every target
#
# Needs clang++ and libFuzzer (Debian: clang, libclang-rt-14-dev). Objects,
# binaries, the grown corpora and any crash inputs go under build/fuzz (or
# $FUZZ_BUILD_DIR). Exits non-zero when a target fails.
set -euo pipefail

seconds=${1:-60}
shift || true
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_BUILD_DIR:-$root/build/fuzz}
jobs=${JOBS:-2}
cxx=${CXX_FUZZ:-clang++}

common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all
        -Wall -Wextra -Werror -I"$root/include" -I"$root/src" -I"$root/fuzz")

mkdir -p "$out/obj" "$out/bin" "$out/corpus" "$out/artifacts"

# Engine objects, instrumented for coverage. An object is rebuilt when any
# engine source or header is newer than it (coarse, but never stale). The
# targets drive v1.3, so Tarnvel 2's own sources (src/v2) are left out.
newest_source=$(find "$root/src" "$root/include" -type f -printf '%T@\n' | sort -n | tail -1)
export cxx newest_source
objects=()
sources=()
while IFS= read -r src; do
    rel=${src#"$root/src/"}
    obj="$out/obj/${rel//\//_}.o"
    sources+=("$src")
    objects+=("$obj")
done < <(find "$root/src" -path "$root/src/v2" -prune -o -name '*.cpp' -print | sort)
for i in "${!sources[@]}"; do printf '%s\0%s\0' "${sources[$i]}" "${objects[$i]}"; done |
    COMMON="${common[*]}" xargs -0 -n 2 -P "$jobs" bash -c '
        src=$0 obj=$1
        if [ -f "$obj" ] && [ "$(stat -c %Y "$obj")" -ge "${newest_source%.*}" ]; then exit 0; fi
        echo "compile ${src##*/src/}"
        $cxx $COMMON -fsanitize=fuzzer-no-link -c "$src" -o "$obj"'

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for f in "$root"/fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

status=0
summary=()
for t in "${targets[@]}"; do
    # serve_request drives the host's own request handler, with its page.
    host=()
    if [ "$t" = serve_request ]; then
        cmake -DDIR="$root/tools/tarnvel/web" -DOUT="$out/web_assets.cpp" -P "$root/cmake/embed_web.cmake"
        host=(-I"$root/tools/tarnvel" '-DTARNVEL_INSTALLED_LIBRARY_DIR="../lib"' "$out/web_assets.cpp")
        for f in serve_api serve_state engine_turn engine_library engine_report game game_tree move_verdicts pdn_io board_view; do
            host+=("$root/tools/tarnvel/$f.cpp")
        done
    fi
    echo "link $t"
    "$cxx" "${common[@]}" -fsanitize=fuzzer "$root/fuzz/$t.cpp" "${host[@]}" "${objects[@]}" -o "$out/bin/$t"
    mkdir -p "$out/corpus/$t"
    # Compressed files need room for several blocks; texts and boards less.
    max_len=4096
    [ "$t" = compressed_blocks ] && max_len=16384
    options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$out/artifacts/$t-"
             -max_len="$max_len" -timeout=10 -rss_limit_mb=2048)
    [ -f "$root/fuzz/$t.dict" ] && options+=(-dict="$root/fuzz/$t.dict")
    log="$out/$t.log"
    echo "run $t for ${seconds}s (log: $log)"
    if "$out/bin/$t" "${options[@]}" "$out/corpus/$t" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
        tail -40 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    summary+=("$(printf '%-18s %-7s %s executions' "$t" "$result" "${runs:-?}")")
done

printf '%s\n' "${summary[@]}"
exit $status
