#!/usr/bin/env bash
# Starts the real molvconv-gui on a virtual X server (Xvfb, Qt's xcb
# platform), lets it convert a copy of the bundled example through the
# window, and saves a picture of the screen once "Conversion complete" is
# shown: docs/molvconv-gui.png, or the file named as the first argument.
# The program runs with a home of its own, so no user settings are touched.
# The model is copied to MOLV_SHOT_MODELS (a fresh temporary folder unless
# set); its path shows in the picture.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/docs/molvconv-gui.png}
case "$out" in /*) ;; *) out=$PWD/$out ;; esac

"$root/scripts/deps.sh" build-essential cmake ninja-build qt6-base-dev qt6-qpa-plugins libtinygltf-dev nlohmann-json3-dev libstb-dev \
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
build=$root/build-run
cmake -S "$root" -B "$build" -G Ninja -DMOLV_TESTS=OFF >/dev/null
cmake --build "$build" --target molvconv-gui

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
models=${MOLV_SHOT_MODELS:-$work/models}
mkdir -p "$models" "$work/home" "$(dirname "$out")"
cp "$root"/examples/stool.obj "$root"/examples/stool.mtl "$root"/examples/stool_*.bmp "$models/"

# Runs on the virtual display: the program converts the model named on its
# command line in its window and then asks the user to confirm
# "Conversion complete"; the picture is taken while that box is up.
shoot() {
    local exe=$1 src=$2 png=$3 home=$4 gui
    HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=xcb "$exe" "$src" &
    gui=$!
    for _ in $(seq 100); do
        # The main window and the box both carry the program's title.
        if [ "$(xwininfo -root -tree | grep -c '"molvConv V')" -ge 2 ]; then break; fi
        kill -0 "$gui" 2>/dev/null || { echo "screenshot: molvconv-gui ended early" >&2; return 1; }
        sleep 0.1
    done
    sleep 0.5  # let both windows paint
    import -window root "$png"
    kill "$gui"
    wait "$gui" 2>/dev/null || true
    [ -s "${src%.obj}.cmf" ] || { echo "screenshot: no ${src%.obj}.cmf written" >&2; return 1; }
}
xvfb-run --auto-servernum --server-args="-screen 0 900x560x24" \
    bash -c "$(declare -f shoot); shoot \"\$@\"" shoot "$build/molvconv-gui" "$models/stool.obj" "$out" "$work/home"
echo "screenshot: $out" >&2
