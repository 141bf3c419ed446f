#!/usr/bin/env bash
# Builds the libFuzzer targets (clang 14 with ASan + UBSan) and runs each
# for SECONDS (default 30), one after the other. Fails when any target
# finds a crash, leak, undefined behaviour, timeout or memory blow-up.
#
#   fuzz/run.sh [SECONDS] [NAME...]      e.g. fuzz/run.sh 600 obj dae
#
# NAME is a target without its "fuzz_" (all of fuzz/fuzz_*.cpp by default).
# Seeds: fuzz/seeds/NAME/ and every file under tests/ and examples/ whose
# extension the target's "// seeds:" line names (not tests/data/hostile/ or
# tests/data/cases/hostile/: those hit the limits on purpose, and a read near
# a limit takes longer under the sanitizers than a fuzz input may). Dictionary: fuzz/dict/X.dict
# for X the name and each of those extensions. The corpus grows across runs
# in build-fuzz/corpus/NAME/; findings are kept in build-fuzz/findings/ and
# each target's output in build-fuzz/logs/NAME.log. MOLV_FUZZ_SEED fixes
# libFuzzer's random seed, so that a run can be repeated.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
secs=${1:-30}
[ $# -gt 0 ] && shift
build=${MOLV_FUZZ_BUILD:-$root/build-fuzz}

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in "$root"/fuzz/fuzz_*.cpp; do
        n=$(basename "$f" .cpp)
        names+=("${n#fuzz_}")
    done
fi

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=${MOLV_FUZZ_CC:-clang-14} CXX=${MOLV_FUZZ_CXX:-clang++-14} \
    cmake -S "$root" -B "$build" -G Ninja -DMOLV_FUZZ=ON -DMOLV_TESTS=OFF "${launcher[@]}" >/dev/null
build_targets=()
for n in "${names[@]}"; do build_targets+=(--target "fuzz_$n"); done
cmake --build "$build" "${build_targets[@]}"

mkdir -p "$build/findings" "$build/logs"
failed=()
for n in "${names[@]}"; do
    src="$root/fuzz/fuzz_$n.cpp"
    exts=$(sed -n 's|^// seeds:||p' "$src" | head -n 1)
    seeds="$build/seeds/$n"
    rm -rf "$seeds"
    mkdir -p "$seeds" "$build/corpus/$n"
    [ -d "$root/fuzz/seeds/$n" ] && cp -r "$root/fuzz/seeds/$n"/. "$seeds/"
    dict="$build/logs/$n.dict"
    : >"$dict"
    [ -f "$root/fuzz/dict/$n.dict" ] && cat "$root/fuzz/dict/$n.dict" >>"$dict"
    for e in $exts; do
        while IFS= read -r -d '' f; do
            rel=${f#"$root"/}
            cp "$f" "$seeds/${rel//\//_}"
        done < <(find "$root/tests" "$root/examples" \
                      \( -path "$root/tests/data/hostile" -o -path "$root/tests/data/cases/hostile" \) -prune -o \
                      -type f -iname "*.$e" -size -1024k -print0)
        if [ "$e" != "$n" ] && [ -f "$root/fuzz/dict/$e.dict" ]; then cat "$root/fuzz/dict/$e.dict" >>"$dict"; fi
    done
    args=(-max_total_time="$secs" -timeout="${MOLV_FUZZ_TIMEOUT:-25}" -rss_limit_mb=2048
          -max_len="${MOLV_FUZZ_MAX_LEN:-65536}" -print_final_stats=1
          -artifact_prefix="$build/findings/$n-")
    [ -s "$dict" ] && args+=(-dict="$dict")
    [ -n "${MOLV_FUZZ_SEED:-}" ] && args+=(-seed="$MOLV_FUZZ_SEED")
    log="$build/logs/$n.log"
    status=0
    "$build/fuzz_$n" "${args[@]}" "$build/corpus/$n" "$seeds" >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1 || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)
    corpus=$(find "$build/corpus/$n" -type f | wc -l || true)
    if [ "$status" -ne 0 ]; then
        echo "fuzz_$n: FINDING after ${execs:-?} runs (exit $status); log $log" >&2
        grep -E '^(==[0-9]+==|==molv-fuzz==|SUMMARY|artifact_prefix|Test unit written|.*runtime error)' "$log" | head -n 20 >&2 || true
        failed+=("$n")
    else
        echo "fuzz_$n: ${execs:-?} runs in ${secs} s, ${cov:-cov: ?}, corpus $corpus inputs" >&2
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: findings in ${failed[*]} (inputs in $build/findings/)" >&2
    exit 1
fi
