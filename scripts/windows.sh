#!/usr/bin/env bash
# The Windows program: cross-builds molvconv.exe with mingw-w64 (linked
# statically, so it needs no DLLs beside it) and the test programs, runs the
# tests under wine, checks that molvconv.exe writes the same bytes as the
# Linux build for every test model, and packs the release zip
# build-win/molvconv-VERSION-windows-x64.zip (molvconv.exe, README.txt and
# the bundled example) and, beside it, the installer molvconv-VERSION-windows-x64.msi
# (scripts/msi.sh; with the tests, installed and uninstalled under wine).
#
#   scripts/windows.sh              all of it
#   scripts/windows.sh --no-tests   build and zip only
#
# Wine runs in a prefix of its own in a temporary folder, removed at the
# end; nothing of a user's own wine setup is read or changed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)
build="$root/build-win"
tests=1
for arg in "$@"; do
    case "$arg" in
        --no-tests) tests=0 ;;
        *) echo "usage: $0 [--no-tests]" >&2; exit 2 ;;
    esac
done

# googletest: its source, built with the cross compiler.
"$root/scripts/deps.sh" build-essential cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 \
    libtinygltf-dev nlohmann-json3-dev libstb-dev xvfb xauth xdotool imagemagick

stamp() { echo "== $1 ($SECONDS s)" >&2; }

stamp "cross build for Windows"
# RelWithDebInfo as the Linux build is, without the debug information
# (which only makes a static program large): the same code.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DMOLV_TESTS=$([ $tests = 1 ] && echo ON || echo OFF) >/dev/null
cmake --build "$build" -j "$jobs"

# Only the system's own DLLs may be needed.
for exe in molvconv.exe molvconv-gui.exe; do
    if x86_64-w64-mingw32-objdump -p "$build/$exe" | grep -i "DLL Name" | grep -viE \
        "(kernel32|msvcrt|user32|gdi32|comctl32|comdlg32|advapi32|shell32|ws2_32|ole32|ucrtbase|api-ms-win-.*)\.dll" >&2; then
        echo "$exe needs a DLL that Windows does not bring" >&2
        exit 1
    fi
done

if [ $tests = 1 ]; then
    tmp=$(mktemp -d)
    # A UTF-8 locale: wine names Linux files in its charset.
    export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
    cleanup() {
        wineserver -k 2>/dev/null || true
        rm -rf "$tmp"
    }
    trap cleanup EXIT

    stamp "wine prefix"
    mkdir -p "$WINEPREFIX"
    wineserver -p  # one server for all the short runs, until -k
    wineboot --init 2>/dev/null

    stamp "tests under wine"
    ctest --test-dir "$build" --output-on-failure -j "$jobs"
    # Developer mode works in drive v:, which the tests above need to be
    # missing; now map it to a folder and run the tests that need it.
    mkdir -p "$tmp/drive_v"
    ln -s "$tmp/drive_v" "$WINEPREFIX/dosdevices/v:"
    MOLV_DRIVE_V=1 MOLV_EXE="Z:$build/molvconv.exe" \
        wine "$build/test_shell.exe" --gtest_filter='DeveloperProgram.*' --gtest_brief=1 2>/dev/null
    rm "$WINEPREFIX/dosdevices/v:"

    stamp "same bytes as the Linux build"
    cmake -S "$root" -B "$root/build-test" -G Ninja >/dev/null
    cmake --build "$root/build-test" --target molvconv
    wrapper="$build/molvconv-wine"
    printf '#!/bin/sh\nexec wine "%s" "$@"\n' "$build/molvconv.exe" >"$wrapper"
    chmod +x "$wrapper"
    # Console texts differ (CR LF, Windows paths); files and statuses decide.
    diffs=$("$root/scripts/compare_outputs.sh" --windows "$root/build-test/molvconv" "$wrapper" |
        grep -v '^printed differently' || true)
    echo "$diffs"
    if echo "$diffs" | grep -v -e '^same:' -e '^$' | grep -q .; then
        echo "windows: written bytes differ from the Linux build" >&2
        exit 1
    fi
fi

stamp "release zip"
version=$(sed -n 's/^project(molvconv VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="molvconv-$version-windows-x64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage/example"
x86_64-w64-mingw32-strip -o "$stage/molvconv.exe" "$build/molvconv.exe"
x86_64-w64-mingw32-strip -o "$stage/molvconv-gui.exe" "$build/molvconv-gui.exe"
# Text files with the line ends Windows' own editors expect.
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/README.txt"
for f in stool.obj stool.mtl stool_leg.bmp stool_seat.bmp; do
    cp "$root/examples/$f" "$stage/example/"
done
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")
stamp "installer"
# From the same files, with the window when the build has one.
if [ -f "$build/molvconv-gui.exe" ] && [ ! -f "$stage/molvconv-gui.exe" ]; then
    x86_64-w64-mingw32-strip -o "$stage/molvconv-gui.exe" "$build/molvconv-gui.exe"
fi
"$root/scripts/msi.sh" "$stage" "$build/$name.msi" $([ $tests = 1 ] && echo --check)
rm -rf "$stage"

if [ $tests = 1 ]; then
    # What a user gets: unpacked, the program converts the example.
    mkdir -p "$tmp/unpacked"
    (cd "$tmp/unpacked" && cmake -E tar xf "$build/$name.zip")
    (cd "$tmp/unpacked/$name" && wine molvconv.exe --yes example\\stool.obj 2>/dev/null)
    [ -s "$tmp/unpacked/$name/example/stool.cmf" ] ||
        { echo "the unpacked molvconv.exe did not convert the example" >&2; exit 1; }
    stamp "the window"
    "$root/scripts/win32_smoke.sh" "$tmp/unpacked/$name"
fi
stamp "done: $build/$name.zip, $build/$name.msi"
