#!/usr/bin/env bash
# Builds the converter and runs it. Without arguments it converts the
# bundled example, examples/stool.obj, into out/stool.cmf (with its .crf,
# .cfg and .csf); with arguments they go to molvconv as they are
# (see ./run.sh --help).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$root/scripts/deps.sh" build-essential cmake ninja-build
cmake -S "$root" -B "$root/build-run" -G Ninja -DMOLV_TESTS=OFF >/dev/null
cmake --build "$root/build-run" --target molvconv

if [ $# -eq 0 ]; then
    mkdir -p "$root/out"
    set -- --yes "$root/examples/stool.obj" -o "$root/out/stool.cmf"
fi
exec "$root/build-run/molvconv" "$@"
