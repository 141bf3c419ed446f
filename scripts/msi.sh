#!/usr/bin/env bash
# The Windows installer: packs molvconv.exe, README.txt and, when the folder
# holds it, molvconv-gui.exe from FOLDER into OUT.msi with msitools' wixl
# (packaging/windows/molvconv.wxs): a folder under Program Files, a
# Start-menu entry, and "Open with" for the model types when the window is
# there. With --check it then installs the package under wine in a wine
# prefix of its own (a temporary folder, removed at the end), checks the
# files, the Start-menu entry and the registry, runs the installed
# converter, uninstalls, and checks that nothing is left.
#
#   scripts/msi.sh FOLDER OUT.msi [--check]      (scripts/windows.sh calls it)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: $0 FOLDER OUT.msi [--check]" >&2; exit 2; }
stage=$(realpath "$1")
out=$(realpath -m "$2")
check=0
[ "${3:-}" = --check ] && check=1

"$root/scripts/deps.sh" wixl
version=$(sed -n 's/^project(molvconv VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
gui=no
[ -f "$stage/molvconv-gui.exe" ] && gui=yes
for f in molvconv.exe README.txt; do
    [ -f "$stage/$f" ] || { echo "msi: $stage has no $f" >&2; exit 1; }
done
rm -f "$out"
mkdir -p "$(dirname "$out")"
# wixl takes each file's Source from the folder it runs in.
(cd "$stage" && wixl -a x64 -D Version="$version" -D Gui=$gui -o "$out" "$root/packaging/windows/molvconv.wxs")
[ -s "$out" ] || { echo "msi: wixl wrote no $out" >&2; exit 1; }
echo "msi: $out (window: $gui)" >&2
[ $check = 1 ] || exit 0

"$root/scripts/deps.sh" wine wine64
tmp=$(mktemp -d)
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX"
wineboot --init 2>/dev/null
wineserver -w

fail() { echo "msi: $*" >&2; exit 1; }
dir="$WINEPREFIX/drive_c/Program Files/molvConv"
# Wine puts an all-users Start menu entry in the user's Start menu.
menus() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/molvConv' 2>/dev/null; }
exts=(.obj .3ds .dae .gltf .glb)
openWith() { wine reg query "HKLM\\Software\\Classes\\$1\\OpenWithList\\molvconv-gui.exe" >/dev/null 2>&1; }

msi="Z:${out//\//\\}"

wine msiexec /i "$msi" /qn || fail "msiexec /i failed"
wineserver -w
for f in molvconv.exe README.txt $([ $gui = yes ] && echo molvconv-gui.exe); do
    [ -f "$dir/$f" ] || fail "installed without $f"
done
menu=$(menus | head -n 1)
[ -f "$menu/molvConv README.lnk" ] || fail "no Start-menu entry"
if [ $gui = yes ]; then
    [ -f "$menu/molvConv.lnk" ] || fail "no Start-menu entry for the window"
    for e in "${exts[@]}"; do openWith "$e" || fail "no Open with for $e"; done
    wine reg query 'HKLM\Software\Classes\Applications\molvconv-gui.exe\shell\open\command' 2>/dev/null |
        grep -qF '"C:\Program Files\molvConv\molvconv-gui.exe" --open "%1"' || fail "the Open with command is not the installed window"
fi
got=$(wine "C:\\Program Files\\molvConv\\molvconv.exe" --version 2>/dev/null | tr -d '\r')
[[ "$got" == *"$version"* ]] || fail "the installed molvconv.exe printed '$got' for --version"

wine msiexec /x "$msi" /qn || fail "msiexec /x failed"
wineserver -w
[ ! -e "$dir" ] || fail "uninstalled, $dir is left: $(ls "$dir")"
[ -z "$(menus)" ] || fail "uninstalled, the Start-menu folder is left"
for e in "${exts[@]}"; do ! openWith "$e" || fail "uninstalled, Open with for $e is left"; done
! wine reg query 'HKLM\Software\Classes\Applications\molvconv-gui.exe' >/dev/null 2>&1 ||
    fail "uninstalled, the window's registry key is left"
echo "msi: installs and uninstalls cleanly under wine" >&2
