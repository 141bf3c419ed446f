#!/usr/bin/env bash
# Builds the converter and its window and runs the converter. Without
# arguments it converts the bundled example, examples/stool.obj, into
# out/stool.cmf (with its .crf, .cfg and .csf); with arguments they go to
# molvconv as they are (see ./run.sh --help). The window is then
# build-run/molvconv-gui.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$root/scripts/deps.sh" build-essential cmake ninja-build qt6-base-dev qt6-qpa-plugins libtinygltf-dev nlohmann-json3-dev libstb-dev
cmake -S "$root" -B "$root/build-run" -G Ninja -DMOLV_TESTS=OFF >/dev/null
cmake --build "$root/build-run" --target molvconv
# The window, where Qt is there (configure leaves it out otherwise).
if grep -q '^MOLV_HAVE_GUI:INTERNAL=ON' "$root/build-run/CMakeCache.txt"; then
    cmake --build "$root/build-run" --target molvconv-gui
fi

if [ $# -eq 0 ]; then
    mkdir -p "$root/out"
    set -- --yes "$root/examples/stool.obj" -o "$root/out/stool.cmf"
fi
exec "$root/build-run/molvconv" "$@"
