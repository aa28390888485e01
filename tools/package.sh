#!/usr/bin/env bash
# Builds the client's plugin installer files (.ts3_plugin: a zip with
# package.ini at its root and the plugin under plugins/), one per platform
# whose build is at hand.
#   package.sh OUTPUT_DIR LINUX_BUILD [WINDOWS_BUILD]
set -euo pipefail

OUT="$1"
LINUX_BUILD="$2"
WINDOWS_BUILD="${3:-}"
VERSION="0.2"
mkdir -p "$OUT"

# Current clients load plugin API 26; every build makes that library too.
api26_library() {
    local build="$1" name="$2"
    if [ -f "$build/plugin/$name" ]; then echo "$build/plugin/$name"; fi
}

package() {
    local platform="$1" library="$2" library_name="$3" helper="$4"
    local stage
    stage="$(mktemp -d)"
    mkdir -p "$stage/plugins/Vossik_Plugin"
    cp "$library" "$stage/plugins/$library_name"
    cp "$helper" "$stage/plugins/Vossik_Plugin/"
    cat > "$stage/package.ini" <<INI
Name = Vossik colorful plugin
Type = Plugin
Author = Vossik Gaming
Version = $VERSION
Platforms = $platform
Description = "Makes the LEDs of a Vossik ZELL FX device follow your voice: one light while you speak, one while you are silent, one while others speak and one at shutdown, with a red blinking signal when you speak while muted. Install the Vossik ZELL FX driver first."
INI
    local file="$OUT/Vossik_Plugin_${VERSION}_${platform}.ts3_plugin"
    rm -f "$file"
    (cd "$stage" && zip -q -r -X "$file" package.ini plugins)
    rm -rf "$stage"
    echo "== $file"
    unzip -l "$file" | sed 's/^/   /'
}

linux_library="$(api26_library "$LINUX_BUILD" libVossik_Plugin_api26.so)"
[ -n "$linux_library" ] || linux_library="$LINUX_BUILD/plugin/libVossik_Plugin.so"
package linux_amd64 "$linux_library" libVossik_Plugin_linux_amd64.so "$LINUX_BUILD/helper/TS3_Vossik_Helper_win64"

if [ -n "$WINDOWS_BUILD" ]; then
    windows_library="$(api26_library "$WINDOWS_BUILD" Vossik_Plugin_api26.dll)"
    [ -n "$windows_library" ] || windows_library="$WINDOWS_BUILD/plugin/Vossik_Plugin.dll"
    package win64 "$windows_library" Vossik_Plugin_win64.dll "$WINDOWS_BUILD/helper/TS3_Vossik_Helper_win64.exe"
else
    echo "== no Windows build: only the Linux package (./dev windows makes the Windows build)"
fi
