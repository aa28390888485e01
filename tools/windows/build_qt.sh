#!/usr/bin/env bash
# Builds Qt 5.15 for 64-bit Windows, static, from Debian's own source
# packages, once, into a cache folder outside the repository: qtbase, then
# the Qt WebSockets module into the same prefix. Each part has its own
# completion marker, so a cache made before the module was needed gets
# only the module (a few minutes), not the whole Qt again (about 35).
# Later runs find both and return at once.
#   build_qt.sh CACHE_DIR
set -euo pipefail

CACHE="$1"
PREFIX="$CACHE/qt5-win64-static"
MARKER="$PREFIX/.complete"
WEBSOCKETS_MARKER="$PREFIX/.complete-websockets"
[ -f "$MARKER" ] && [ -f "$WEBSOCKETS_MARKER" ] && { echo "== Windows Qt: cached in $PREFIX"; exit 0; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# apt-get source needs a deb-src entry for the suite we run.
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "== adding a deb-src entry for Debian's source packages"
    as_root tee /etc/apt/sources.list.d/vossik-deb-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi

SRC_DIR="$CACHE/src"
mkdir -p "$SRC_DIR"
# source_of PACKAGE: the unpacked folder of Debian's source package,
# fetched the first time; fails when the archive will not serve it.
source_of() {
    if ! ls -d "$SRC_DIR/$1"-*/ >/dev/null 2>&1; then
        echo "== fetching Debian's $1" >&2
        (cd "$SRC_DIR" && apt-get source -qq "$1" >"$CACHE/fetch-$1.log" 2>&1) \
            || { tail -5 "$CACHE/fetch-$1.log" >&2; return 1; }
    fi
    ls -d "$SRC_DIR/$1"-*/ | head -n 1
}

# The module, built by the cached Qt's own qmake: static like it, into the
# same prefix, where CMake's Qt5WebSocketsConfig.cmake then lies beside
# the others. Only its library (src/), no examples or tests. A source
# that cannot be fetched leaves the Qt without the module, and says so:
# the Windows build then goes without it, and the next run tries again.
build_websockets() {
    local source build
    if ! source="$(source_of qtwebsockets-opensource-src)"; then
        echo "== Qt WebSockets for Windows: Debian's source could not be fetched; the Windows Qt stays without it"
        return 0
    fi
    build="$CACHE/build-qtwebsockets-win64"
    rm -rf "$build"
    mkdir -p "$build"
    echo "== building Qt WebSockets for Windows (a few minutes; log: $CACHE/websockets.log)"
    (cd "$build" && "$PREFIX/bin/qmake" "$source" && make -j"$(nproc)" sub-src && make sub-src-install_subtargets) \
        > "$CACHE/websockets.log" 2>&1 || { tail -30 "$CACHE/websockets.log"; exit 1; }
    touch "$WEBSOCKETS_MARKER"
    rm -rf "$build"
    echo "== Qt WebSockets for Windows ready in $PREFIX"
}

if [ -f "$MARKER" ]; then
    echo "== Windows Qt: cached in $PREFIX, without Qt WebSockets"
    build_websockets
    exit 0
fi

SOURCE="$(source_of qtbase-opensource-src)" || exit 1

BUILD="$CACHE/build-qt5-win64"
rm -rf "$BUILD"
mkdir -p "$BUILD"
cd "$BUILD"
echo "== configuring Qt for Windows (static, release)"
"$SOURCE/configure" -prefix "$PREFIX" \
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
    -static -static-runtime -release -opensource -confirm-license \
    -nomake examples -nomake tests -no-opengl -no-dbus -no-icu \
    -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -no-feature-sql -no-feature-concurrent -no-feature-xml -no-feature-vulkan -no-feature-tabletevent \
    > "$CACHE/configure.log" 2>&1 || { tail -30 "$CACHE/configure.log"; exit 1; }
echo "== building Qt for Windows (about 35 minutes on two cores; log: $CACHE/make.log)"
make -j"$(nproc)" > "$CACHE/make.log" 2>&1 || { tail -30 "$CACHE/make.log"; exit 1; }
make install > "$CACHE/install.log" 2>&1 || { tail -30 "$CACHE/install.log"; exit 1; }
touch "$MARKER"
rm -rf "$BUILD"
echo "== Windows Qt ready in $PREFIX"
build_websockets
