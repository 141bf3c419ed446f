#!/usr/bin/env bash
# Drives molvconv-gui.exe under wine on a virtual X server as a user would:
# opened with a model (as Explorer's "Open with" does), File > Convert (F5),
# then a drag across the preview. Fails unless the set is written and the
# drag turns the picture. Optionally saves the turned window as a picture.
#
#   scripts/win32_smoke.sh FOLDER_WITH_molvconv-gui.exe [SCREENSHOT.png]
#
# Needs WINEPREFIX set up (scripts/windows.sh does), xvfb, xdotool and
# ImageMagick's import.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$(cd "$1" && pwd)
shot=${2:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/examples/stool.obj "$root"/examples/stool.mtl "$root"/examples/stool_*.bmp "$work/"

run() {
    local dir=$1 work=$2 shot=$3 wid="" gui
    (cd "$dir" && exec wine molvconv-gui.exe --open "Z:${work//\//\\}\\stool.obj") >/dev/null 2>&1 &
    gui=$!
    for _ in $(seq 600); do
        wid=$(xdotool search --name '^molvConv' 2>/dev/null | head -n 1 || true)
        [ -n "$wid" ] && break
        kill -0 "$gui" 2>/dev/null || { echo "win32 smoke: molvconv-gui.exe ended early" >&2; return 1; }
        sleep 0.2
    done
    [ -n "$wid" ] || { echo "win32 smoke: no window" >&2; return 1; }
    xdotool windowsize "$wid" 1000 560 windowmove "$wid" 0 0
    sleep 1
    xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || true
    xdotool key --window "$wid" F5
    for _ in $(seq 600); do
        [ -s "$work/stool.cmf" ] && [ -s "$work/stool.cfg" ] && break
        sleep 0.2
    done
    [ -s "$work/stool.cmf" ] || { echo "win32 smoke: F5 wrote no set" >&2; return 1; }
    sleep 3  # the preview is drawn once the set is read back
    import -window root "$work/before.png"
    # The preview is the right half of the window.
    xdotool mousemove 750 250 mousedown 1 mousemove 770 252 mousemove 800 256 mousemove 840 262 mouseup 1
    sleep 3
    import -window root "$work/after.png"
    [ -n "$shot" ] && cp "$work/after.png" "$shot"
    wineserver -k 2>/dev/null || true
    if cmp -s "$work/before.png" "$work/after.png"; then
        echo "win32 smoke: a drag did not turn the preview" >&2
        return 1
    fi
}
xvfb-run --auto-servernum --server-args="-screen 0 1024x600x24" \
    bash -c "$(declare -f run); run \"\$@\"" run "$dir" "$work" "$shot"
echo "win32 smoke: converted the example in the window and turned its preview" >&2
