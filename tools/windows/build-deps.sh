#!/usr/bin/env bash
# Builds the libraries the Windows program needs, static, for x86_64-w64-mingw32, from Debian's own source packages:
# qtbase (qt6-base) and libzip. Each goes once into a cache folder outside the build tree, keyed on its source
# version, the host Qt, the compiler, its options and its patches; a finished build leaves a stamp, so later runs
# (and CI on the same machine) reuse it. Nothing is downloaded from anywhere but Debian's archive.
#
#   tools/windows/build-deps.sh        prints the two install prefixes (Qt, then libzip) on its last two lines
#
# GW_WINDOWS_CACHE overrides the cache folder (default ~/.cache/gearwarden/windows); GW_JOBS the parallel jobs.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cache=${GW_WINDOWS_CACHE:-$HOME/.cache/gearwarden/windows}
jobs=${GW_JOBS:-$(nproc)}
triplet=x86_64-w64-mingw32
toolchain="$here/../../cmake/mingw-w64-x86_64.cmake"
mingwRoot=/usr/$triplet

log() { echo "[windows deps] $*" >&2; }

# The toolchain, Wine, and what fetching and unpacking a source package takes; the host Qt is Debian's own.
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)
need=""
for p in g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 dpkg-dev cmake ninja-build make \
    qt6-base-dev qt6-base-dev-tools libzip-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
done
if [ -n "$need" ]; then
    log "installing:$need"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need >/dev/null
fi

# The sources are the versions of the packages the Linux build uses, so both builds run the same library code.
qtVersion=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
zipVersion=$(dpkg-query -W -f='${source:Version}' libzip-dev)
hostQt=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
compiler=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
zlibLibrary=$mingwRoot/lib/libz.a

qtOptions=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_TESTS_BY_DEFAULT=OFF -DQT_BUILD_EXAMPLES_BY_DEFAULT=OFF
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DFEATURE_pkg_config=OFF
    # OpenGL off entirely, else the Windows platform plugin names a GL context class that no header declares.
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF
    -DFEATURE_vulkan=OFF
    # TLS through Windows' own Schannel; no OpenSSL to ship.
    -DFEATURE_schannel=ON -DFEATURE_openssl=OFF
    -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_testlib=ON -DFEATURE_jpeg=OFF
    # The bundled freetype gives the offscreen platform its fonts, so the tests run under Wine.
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_harfbuzz=ON -DFEATURE_system_harfbuzz=OFF
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_system_md4c=OFF
    # One zlib in the program: Debian's MinGW build, static, shared with libzip.
    -DFEATURE_system_zlib=ON -DZLIB_LIBRARY="$zlibLibrary" -DZLIB_INCLUDE_DIR="$mingwRoot/include"
)
zipOptions=(
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF
    -DBUILD_DOC=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF
    -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=ON
    -DZLIB_LIBRARY="$zlibLibrary" -DZLIB_INCLUDE_DIR="$mingwRoot/include"
)

recipe() { sed -n "/^$1() {/,/^}/p" "$here/build-deps.sh"; }
patchesHash() { cat "$here"/patches/"$1"-*.patch 2>/dev/null | sha256sum | cut -c1-16; }
keyOf() { printf '%s\n' "$@" | sha256sum | cut -c1-16; }
qtKey=qtbase-$(keyOf "$qtVersion" "$hostQt" "$compiler" "$(cat "$toolchain")" "${qtOptions[*]}" \
    "$(patchesHash qtbase)" "$(recipe buildQt)")
zipKey=libzip-$(keyOf "$zipVersion" "$compiler" "$(cat "$toolchain")" "${zipOptions[*]}" "$(patchesHash libzip)" \
    "$(recipe buildZip)")

# Debian's source packages through a private deb-src list beside the cache, made from the system's Debian entries;
# the system's own lists and caches are left alone.
fetchSource() { # package version destination
    local apt="$cache/apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$3"
    local opts=(-o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts=/nonexistent
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o Dir::State::status=/var/lib/dpkg/status)
    if [ ! -s "$apt/sources.list" ]; then
        {
            for f in /etc/apt/sources.list.d/*.sources; do
                [ -e "$f" ] || continue
                awk 'BEGIN { RS = ""; FS = "\n" }
                     { t = u = s = c = k = ""
                       for (i = 1; i <= NF; i++) {
                           split($i, kv, ": ")
                           if (kv[1] == "Types") t = kv[2]; else if (kv[1] == "URIs") u = kv[2];
                           else if (kv[1] == "Suites") s = kv[2]; else if (kv[1] == "Components") c = kv[2];
                           else if (kv[1] == "Signed-By") k = kv[2] }
                       if (t ~ /deb/ && u ~ /debian/) {
                           n = split(s, suites, " ")
                           for (j = 1; j <= n; j++)
                               print "deb-src" (k != "" ? " [signed-by=" k "]" : "") " " u " " suites[j] " " c } }' "$f"
            done
            grep -hE '^deb [^ ]*debian' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
                sed 's/^deb /deb-src /' || true
        } | sort -u >"$apt/sources.list"
        log "deb-src list: $(tr '\n' ';' <"$apt/sources.list")"
        apt-get "${opts[@]}" update -qq
    fi
    # Lists kept from an earlier run may predate the version wanted: refreshed once before giving up.
    (cd "$3" && apt-get "${opts[@]}" source -qq "$1=$2" >/dev/null) ||
        { apt-get "${opts[@]}" update -qq && (cd "$3" && apt-get "${opts[@]}" source -qq "$1=$2" >/dev/null); }
}

applyOwnPatches() { # kind sourceTree
    local p
    for p in "$here"/patches/"$1"-*.patch; do
        [ -e "$p" ] || continue
        log "applying $(basename "$p")"
        patch -d "$2" -p1 --forward --quiet <"$p"
    done
}

buildQt() {
    local dir="$cache/$qtKey"
    if [ -e "$dir/stamp" ]; then
        return
    fi
    log "building qtbase $qtVersion for Windows in $dir (about 16 minutes on 2 cores)"
    rm -rf "$dir" && mkdir -p "$dir/src"
    fetchSource qt6-base "$qtVersion" "$dir/src"
    local tree
    tree=$(find "$dir/src" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -n1)
    log "Debian patches applied: $(wc -l <"$tree/debian/patches/series" 2>/dev/null || echo 0)"
    applyOwnPatches qtbase "$tree"
    local start=$SECONDS
    cmake -G Ninja -S "$tree" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$dir/prefix" "${qtOptions[@]}" >"$dir/configure.log" 2>&1
    cmake --build "$dir/build" -j "$jobs" >"$dir/build.log"
    cmake --install "$dir/build" >"$dir/install.log"
    # What shipping a static Qt needs: its licence texts and the list of its third-party code.
    mkdir -p "$dir/prefix/licenses"
    cp -r "$tree/LICENSES/." "$dir/prefix/licenses/" 2>/dev/null || true
    cp "$tree"/LICENSE.* "$dir/prefix/licenses/" 2>/dev/null || true
    cp "$tree/debian/copyright" "$dir/prefix/licenses/debian-copyright"
    echo "$qtVersion" >"$dir/prefix/source-version"
    rm -rf "$dir/build" "$dir/src"
    log "qtbase built in $((SECONDS - start)) s"
    echo "qtbase $qtVersion built in $((SECONDS - start)) s" >"$dir/stamp"
}

buildZip() {
    local dir="$cache/$zipKey"
    if [ -e "$dir/stamp" ]; then
        return
    fi
    log "building libzip $zipVersion for Windows in $dir"
    rm -rf "$dir" && mkdir -p "$dir/src"
    fetchSource libzip "$zipVersion" "$dir/src"
    local tree
    tree=$(find "$dir/src" -maxdepth 1 -mindepth 1 -type d -name 'libzip-*' | head -n1)
    applyOwnPatches libzip "$tree"
    local start=$SECONDS
    cmake -G Ninja -S "$tree" -B "$dir/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_INSTALL_PREFIX="$dir/prefix" "${zipOptions[@]}" >"$dir/configure.log" 2>&1
    cmake --build "$dir/build" -j "$jobs" >"$dir/build.log"
    cmake --install "$dir/build" >"$dir/install.log"
    mkdir -p "$dir/prefix/licenses"
    cp "$tree/LICENSE" "$dir/prefix/licenses/libzip-LICENSE"
    cp "$tree/debian/copyright" "$dir/prefix/licenses/debian-copyright"
    echo "$zipVersion" >"$dir/prefix/source-version"
    rm -rf "$dir/build" "$dir/src"
    log "libzip built in $((SECONDS - start)) s"
    echo "libzip $zipVersion built in $((SECONDS - start)) s" >"$dir/stamp"
}

case "${1:-all}" in
qt) buildQt ;;
libzip) buildZip ;;
all) buildZip && buildQt ;;
*) echo "usage: $0 [all|qt|libzip]" >&2; exit 2 ;;
esac
echo "$cache/$qtKey/prefix"
echo "$cache/$zipKey/prefix"
