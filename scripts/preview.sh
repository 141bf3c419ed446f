#!/usr/bin/env bash
# Builds molvconv, converts a copy of the bundled example in a temporary
# folder and draws the written set: docs/preview.png (the README's
# picture), or the file named as the first argument. The program runs with
# a home of its own, so no user settings are touched.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/docs/preview.png}
case "$out" in /*) ;; *) out=$PWD/$out ;; esac

"$root/scripts/deps.sh" build-essential cmake ninja-build libtinygltf-dev nlohmann-json3-dev libstb-dev
build=$root/build-run
cmake -S "$root" -B "$build" -G Ninja -DMOLV_TESTS=OFF >/dev/null
cmake --build "$build" --target molvconv

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$(dirname "$out")"
cp "$root"/examples/stool.obj "$root"/examples/stool.mtl "$root"/examples/stool_*.bmp "$work/"
start=$(date +%s%N)
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config "$build/molvconv" --yes --quiet "$work/stool.obj" --preview "$out"
echo "preview: $out (conversion and picture in $((($(date +%s%N) - start) / 1000000)) ms)" >&2
