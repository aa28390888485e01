#!/usr/bin/env bash
# Builds Qt 5.15 for 64-bit Windows, static, from Debian's own source
# package, once, into a cache folder outside the repository. Later runs
# find the finished build and return at once.
#   build_qt.sh CACHE_DIR
set -euo pipefail

CACHE="$1"
PREFIX="$CACHE/qt5-win64-static"
MARKER="$PREFIX/.complete"
[ -f "$MARKER" ] && { echo "== Windows Qt: cached in $PREFIX"; exit 0; }

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
cd "$SRC_DIR"
if ! ls -d qtbase-opensource-src-*/ >/dev/null 2>&1; then
    echo "== fetching Debian's qtbase source"
    apt-get source -qq qtbase-opensource-src >/dev/null
fi
SOURCE="$(ls -d "$SRC_DIR"/qtbase-opensource-src-*/ | head -n 1)"

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
