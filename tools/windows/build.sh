#!/usr/bin/env bash
# `make windows`: the Windows program, cross-built here against the static Qt and libzip that build-deps.sh keeps in
# its cache, packed as build-windows/Gearwarden-VERSION-win64.zip. GW_WINDOWS_TARGETS names what to build besides
# the program (CI adds "all" for the tests).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${GW_WINDOWS_BUILD_DIR:-build-windows}
jobs=${GW_JOBS:-$(nproc)}
triplet=x86_64-w64-mingw32
version=$(sed -n 's/^project(Gearwarden VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

prefixes=$(tools/windows/build-deps.sh all)
qt=$(sed -n 1p <<<"$prefixes")
zip=$(sed -n 2p <<<"$prefixes")

start=$SECONDS
mkdir -p "$build"
cmake -G Ninja -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$qt;$zip" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/tools/windows/wine-test.sh" >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$jobs" --target gearwarden ${GW_WINDOWS_TARGETS:-}
echo "[windows] Gearwarden cross-built in $((SECONDS - start)) s"

# The package: one folder holding the program, the catalogue lists it starts with, a README and the licences.
name=Gearwarden-$version
stage=$build/package/$name
rm -rf "$build/package" && mkdir -p "$stage/licenses"
$triplet-strip -o "$stage/gearwarden.exe" "$build/gearwarden.exe"
for list in allgenerators.txt alleffects.txt; do
    cp "samples/$list" "$stage/"
done
qtSource=$(cat "$qt/source-version")
zipSource=$(cat "$zip/source-version")
commit=$(git rev-parse --short HEAD 2>/dev/null || echo unknown)
sed -e "s/@VERSION@/$version/g" -e "s/@QT_SOURCE@/$qtSource/g" -e "s/@LIBZIP_SOURCE@/$zipSource/g" \
    -e "s/@COMMIT@/$commit/g" tools/windows/README.txt >"$stage/README.txt"
for f in "$qt"/licenses/*; do
    case $(basename "$f") in
    debian-copyright) cp "$f" "$stage/licenses/Qt-copyright-and-third-party.txt" ;;
    LicenseRef-Qt-Commercial.txt) ;;
    *) cp "$f" "$stage/licenses/Qt-$(basename "$f" .txt).txt" ;;
    esac
done
cp "$zip/licenses/libzip-LICENSE" "$stage/licenses/libzip-LICENSE.txt"
cp /usr/share/doc/libz-mingw-w64/copyright "$stage/licenses/zlib-copyright.txt"
# The MinGW-w64 runtime linked into the program (winpthreads among it) and GCC's runtime with its exception.
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64-runtime-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright "$stage/licenses/gcc-runtime-copyright.txt"
# Windows users read these with Notepad: CR LF line ends.
for f in "$stage/README.txt" "$stage"/licenses/*.txt; do
    sed -i 's/\r$//; s/$/\r/' "$f"
done
case $stage in /*) ;; *) stage=$PWD/$stage ;; esac
out=$PWD/$build/$name-win64.zip
rm -f "$out"
(cd "$stage/.." && cmake -E tar cf "$out" --format=zip "$name")
echo "[windows] wrote $build/$name-win64.zip ($(du -h "$out" | cut -f1))"
