#!/usr/bin/env bash
# Builds everything and runs the test suite, then builds and runs it again
# under AddressSanitizer and UndefinedBehaviorSanitizer, then runs every
# fuzz target for 30 seconds (fuzz/run.sh; MOLV_FUZZ_SECONDS changes it,
# 0 skips it); then the Windows program: cross-built, its tests run under
# wine, its output compared byte for byte with the Linux build's, the
# release zip packed (scripts/windows.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/deps.sh" build-essential cmake ninja-build pkg-config libgtest-dev libcal3d12-dev libassimp-dev \
    libtinygltf-dev nlohmann-json3-dev libstb-dev libpng-dev assimp-testmodels libtinyobjloader-dev time \
    qt6-base-dev qt6-qpa-plugins clang-14 libclang-rt-14-dev

echo "== build (the benchmarks too; bench/run.sh runs them) and test" >&2
cmake -S "$root" -B "$root/build-test" -G Ninja -DMOLV_BENCH=ON >/dev/null
cmake --build "$root/build-test"
ctest --test-dir "$root/build-test" --output-on-failure -j "$jobs"

echo "== build with clang 14 and test with AddressSanitizer + UndefinedBehaviorSanitizer" >&2
# clang here, GCC above: the whole project, tests included, builds warning-free with both.
CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$root/build-asan" -G Ninja -DMOLV_SANITIZE=ON >/dev/null
cmake --build "$root/build-asan"
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

fuzz_seconds=${MOLV_FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
    # One fixed seed: a red run can be repeated; the search itself belongs
    # to the long campaigns (fuzz/run.sh 600).
    echo "== fuzz smoke run: $fuzz_seconds s per target" >&2
    MOLV_FUZZ_SEED=${MOLV_FUZZ_SEED:-1} "$root/fuzz/run.sh" "$fuzz_seconds"
fi

echo "== Windows: cross build, tests under wine, same bytes as Linux, release zip" >&2
"$root/scripts/windows.sh"
