#!/usr/bin/env bash
# Whole-process benchmark: molvconv's whole conversion (read, fix-ups,
# normals, the Cal3D set written) against assimp's import alone (3DS,
# Collada, glTF) and tinyobjloader's parse alone (OBJ), at 100k and 1M
# triangles, and against the floor: `cat` copying the source and the written
# set into one file (the least any conversion has to do with those bytes);
# then the preview's frames per second (bench_preview).
#
#   bench/run.sh [BUILD_DIR]      (default build-bench; REPS=5 runs per case)
#   MOLV_EXE=OTHER/molvconv bench/run.sh   measures another build of molvconv
#
# Builds molvconv and the bench programs in BUILD_DIR (Release, benchmarks
# on), generates the inputs into a temporary folder, runs ours and the peer
# interleaved, each as its own process under /usr/bin/time, and prints the
# medians: wall time, processor time (user + system: steadier on a shared
# machine), ratios (peer / ours, above 1 means ours is faster) and peak
# resident memory.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-bench}")
reps=${REPS:-5}

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOLV_BENCH=ON -DMOLV_GUI=OFF \
        -DMOLV_TESTS=OFF >/dev/null
fi
ninja -C "$build" molvconv bench_3ds bench_dae bench_gltf bench_obj bench_peer bench_preview >/dev/null
exe=${MOLV_EXE:-$build/molvconv}  # MOLV_EXE: another build of molvconv to measure
b=$build/bench

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/out"

# name | file | peer | generator arguments. 100k and 1M triangles each:
# 3DS 5 and 50 objects of 100 x 100 quads, three vertices of its own per
# triangle; Collada 1 and 10 sheets of
# 224 x 224 quads; OBJ grids and glTF sheets of 224 and 707 quads a side.
cases=(
    "obj 100k|grid_s.obj|tinyobj|bench_obj --write @ 224"
    "obj 1M|grid_l.obj|tinyobj|bench_obj --write @ 707"
    "obj seams 100k|seams_s.obj|tinyobj|bench_obj --write @ 224 seams"
    "obj seams 1M|seams_l.obj|tinyobj|bench_obj --write @ 707 seams"
    "3ds 100k|sheets_s.3ds|assimp|bench_3ds --write @ 5 100 split"
    "3ds 1M|sheets_l.3ds|assimp|bench_3ds --write @ 50 100 split"
    "dae 100k|sheets_s.dae|assimp|bench_dae --write @ 1 224"
    "dae 1M|sheets_l.dae|assimp|bench_dae --write @ 10 224"
    "glb 100k|sheet_s.glb|assimp|bench_gltf --write @ 224"
    "glb 1M|sheet_l.glb|assimp|bench_gltf --write @ 707"
)

declare -A tris
for c in "${cases[@]}"; do
    IFS='|' read -r name file peer gen <<<"$c"
    read -r -a g <<<"$gen"
    g=("${g[@]/#@/$work/$file}")
    tris[$name]=$("$b/${g[0]}" "${g[@]:1}")
done

# Runs one process; appends "microseconds peakKB cpu-microseconds" (user +
# system) to the file named first.
measure() {
    local log=$1 t0 t1
    shift
    t0=$(date +%s%N)
    if ! /usr/bin/time -f '%M %U %S' -o "$work/rss" "$@" </dev/null >"$work/stdout" 2>"$work/stderr"; then
        echo "failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    t1=$(date +%s%N)
    tail -n 1 "$work/rss" | awk -v us="$(((t1 - t0) / 1000))" '{printf "%d %d %d\n", us, $1, ($2 + $3) * 1e6}' >>"$log"
}


for ((r = 1; r <= reps; ++r)); do
    for c in "${cases[@]}"; do
        IFS='|' read -r name file peer gen <<<"$c"
        key=${file/./_}
        # molvconv in the inputs' folder, with a configuration folder of its own.
        measure "$work/$key.ours" env -C "$work" -u USERPROFILE -u TEMP HOME="$work/home" \
            XDG_CONFIG_HOME="$work/home/.config" "$exe" --yes "$file" -o "$work/out/$key.cmf"
        measure "$work/$key.peer" "$b/bench_peer" "$peer" "$work/$file"
        got=$(cat "$work/stdout")
        if [ "$got" != "${tris[$name]}" ]; then
            echo "$peer read $got triangles of ${tris[$name]} in $file" >&2
            exit 1
        fi
        set_files=("$work/out/$key"[._]*)
        measure "$work/$key.floor" sh -c 'cat "$@" >"$0"' "$work/floor" "$work/$file" "${set_files[@]}"
        rm -f "$work/floor"
    done
done

# Median of column $2 (1: microseconds, 2: KB) of file $1.
median() { awk -v k="$2" '{print $k}' "$1" | sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

echo "molvconv whole conversion vs peer alone, medians of $reps, $(nproc) cores"
printf '%-15s %9s %7s | %8s %8s %6s | %8s %8s %6s | %8s %8s %5s | %7s %6s\n' input triangles MB "ours s" "peer s" \
    speed "ours cpu" "peer cpu" speed "ours MB" "peer MB" RSS "floor s" floor
declare -A oursT
for c in "${cases[@]}"; do
    IFS='|' read -r name file peer gen <<<"$c"
    key=${file/./_}
    ot=$(median "$work/$key.ours" 1) pt=$(median "$work/$key.peer" 1)
    om=$(median "$work/$key.ours" 2) pm=$(median "$work/$key.peer" 2)
    oc=$(median "$work/$key.ours" 3) pc=$(median "$work/$key.peer" 3)
    ft=$(median "$work/$key.floor" 1)
    oursT[$name]=$ot
    mb=$(stat -c %s "$work/$file")
    awk -v n="$name" -v t="${tris[$name]}" -v mb="$mb" -v ot="$ot" -v pt="$pt" -v om="$om" -v pm="$pm" -v p="$peer" \
        -v oc="$oc" -v pc="$pc" -v ft="$ft" \
        'BEGIN {printf "%-15s %9d %7.1f | %8.3f %8.3f %5.2fx | %8.3f %8.3f %5.2fx | %8.1f %8.1f %5.2f | %7.3f %5.1fx  (%s)\n",
                n, t, mb / 1e6, ot / 1e6, pt / 1e6, pt / ot, oc / 1e6, pc / 1e6, (oc > 0 ? pc / oc : 0), om / 1024, pm / 1024,
                om / pm, ft / 1e6, ot / ft, p}'
done
echo "speed: peer time / ours, wall and cpu (user + system) (targets: 3DS, Collada >= 3x; OBJ >= 2.5x; glTF >= 1.5x)"
echo "RSS: our peak / peer's (targets: 3DS, Collada <= 0.6; OBJ <= 0.8; glTF <= 0.8)"
echo "floor: wall time of cat copying the source and the written set into one file; our time / it (aim <= 3x)"
for f in obj "obj seams" 3ds dae glb; do
    awk -v f="$f" -v s="${oursT[$f 100k]}" -v l="${oursT[$f 1M]}" -v ts="${tris[$f 100k]}" -v tl="${tris[$f 1M]}" \
        'BEGIN {printf "growth %-10s: 1M takes %5.2fx the time of 100k for %.2fx the triangles (target <= 10.5x)\n",
                f, l / s, tl / ts}'
done
echo
"$b/bench_preview" --reps "$reps"
