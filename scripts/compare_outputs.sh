#!/usr/bin/env bash
# Converts every model under tests/data (obj, 3ds, dae) and examples/stool.obj
# with two builds of molvconv and compares what they write, byte for byte.
#
#   scripts/compare_outputs.sh [--windows] OLD_EXE NEW_EXE
#
# Each executable writes into a temporary folder of its own, with the same
# relative layout for both; the copies of the sources and the exit statuses
# are compared too. Prints one line per file that differs or exists on one
# side only, and where the printed text differs; exits 1 on any difference
# in files or statuses, 2 on bad usage. HOME and
# XDG_CONFIG_HOME point into a temporary folder, so no user configuration
# is read or written.
#
# --windows: NEW_EXE runs on Windows (under wine). Windows keeps file names
# as UTF-16 and reads a name that is no UTF-8 (a material name in Latin-1)
# in its ANSI code page, so such a name written by OLD_EXE is compared as
# its Windows-1252 reading.
set -u

windows=0
if [ "${1:-}" = --windows ]; then
    windows=1
    shift
fi
if [ $# -ne 2 ] || [ ! -x "$1" ] || [ ! -x "$2" ]; then
    echo "usage: $0 [--windows] OLD_EXE NEW_EXE" >&2
    exit 2
fi
old=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
new=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
root=$(cd "$(dirname "$0")/.." && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

models=()
while IFS= read -r -d '' f; do
    models+=("${f#"$root"/}")
done < <(find "$root/tests/data" -type f \( -iname '*.obj' -o -iname '*.3ds' -o -iname '*.dae' \) -print0 | sort -z)
[ -f "$root/examples/stool.obj" ] && models+=("examples/stool.obj")

# Runs one executable over every model in $work/run (the same path for
# both, so paths written into files match), then moves the tree to side.
# Sources run from a copy of their folders, so a file written beside the
# source is compared too and the checkout stays untouched.
convert_all() {
    local exe=$1 side=$2 run="$work/run" rel dir name
    rm -rf "$run"
    mkdir -p "$run/home" "$run/tree/tests" "$run/tree/examples"
    cp -R "$root/tests/data" "$run/tree/tests/"
    [ -f "$root/examples/stool.obj" ] && cp -R "$root/examples/." "$run/tree/examples/"
    for rel in "${models[@]}"; do
        dir=$(dirname "$rel")
        name=$(basename "$rel")
        mkdir -p "$run/tree/out/$rel"
        # What the program printed and its exit status are compared too.
        (
            cd "$run/tree/$dir" &&
                env -u USERPROFILE -u TEMP HOME="$run/home" XDG_CONFIG_HOME="$run/home/.config" \
                    "$exe" --yes "$name" -o "$run/tree/out/$rel/${name%.*}.cmf" </dev/null \
                    >"$run/tree/out/$rel/console.txt" 2>&1
            echo "exit status $?" >"$run/tree/out/$rel/status.txt"
        )
    done
    mv "$run" "$side"
}

convert_all "$old" "$work/old"
convert_all "$new" "$work/new"

if [ "$windows" = 1 ]; then
    while IFS= read -r -d '' f; do
        name=${f##*/}
        if ! printf '%s' "$name" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1; then
            mv "$f" "${f%/*}/$(printf '%s' "$name" | iconv -f CP1252 -t UTF-8)"
        fi
    done < <(find "$work/old/tree" -depth -print0)
fi

differ=0
while IFS= read -r rel; do
    a="$work/old/tree/$rel" b="$work/new/tree/$rel"
    if [ ! -f "$a" ]; then
        echo "only new: $rel"
        differ=1
    elif [ ! -f "$b" ]; then
        echo "only old: $rel"
        differ=1
    elif [ "$(sha256sum <"$a")" != "$(sha256sum <"$b")" ]; then
        # What the program printed is shown, but only files written and exit
        # statuses decide: a new log line is not a different output.
        case "$rel" in
            */console.txt) echo "printed differently: $rel" ;;
            *) echo "differs: $rel"; differ=1 ;;
        esac
    fi
done < <( (cd "$work/old/tree" && find . -type f; cd "$work/new/tree" && find . -type f) | sed 's|^\./||' | sort -u)

files=$(cd "$work/old/tree/out" && find . -type f ! -name status.txt ! -name console.txt | wc -l)
converted=$(cd "$work/old/tree/out" && grep -rlx "exit status 0" --include=status.txt . | wc -l)
if [ "$differ" -eq 0 ]; then
    echo "same: ${#models[@]} models ($converted converted, the rest refused alike), $files written files identical"
fi
exit "$differ"
