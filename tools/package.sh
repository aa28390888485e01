#!/usr/bin/env bash
# Builds the client's plugin installer files (.ts3_plugin: a zip with
# package.ini at its root and the plugin under plugins/), one per platform
# whose build is at hand; and for TeamSpeak 5/6 users, who need no plugin,
# the helper alone with what it needs to run --standalone
# (vossik-lights-linux-x86_64.tar.gz, vossik-lights-windows-x64.zip).
#   package.sh OUTPUT_DIR LINUX_BUILD [WINDOWS_BUILD]
# The Linux helper carries its own Qt (see bundle_qt): it needs patchelf.
# The lists below match as patterns, and $ORIGIN is for the loader, not the shell.
# shellcheck disable=SC2016,SC2053
set -euo pipefail
shopt -s extglob

OUT="$1"
LINUX_BUILD="$2"
WINDOWS_BUILD="${3:-}"
VERSION="0.2"
SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Current clients load plugin API 26; every build makes that library too.
api26_library() {
    local build="$1" name="$2"
    if [ -f "$build/plugin/$name" ]; then echo "$build/plugin/$name"; fi
}

# The Linux helper's Qt travels with it, so it runs where no Qt 5 is
# installed. What ldd finds for the helper and the Qt plugins below is
# either bundled or left to the system; anything else stops the packaging,
# so a new dependency gets a decision instead of a broken install.
QT_PLUGINS=(platforms/libqxcb.so platforms/libqoffscreen.so platforms/libqminimal.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so)
# Qt itself and what only Qt (or Qt's xcb plugin) brings in: rarely
# installed on a desktop without Qt, or not in the version Qt was built for.
# Any Qt module counts: the helper speaks WebSocket itself today, but should
# it link Qt WebSockets one day, that library is bundled like Qt Core.
BUNDLED='@(libQt5*|libicu*|libdouble-conversion|libmd4c|libpcre2-16|libzstd|libb2|libxcb-@(icccm|image|keysyms|render-util|util|xkb|xinerama|xinput)|libxkbcommon|libxkbcommon-x11).so.*'
# The base of every desktop: the C and C++ runtimes, X11 and libxcb with its
# common extensions (every graphics driver needs them), the graphics driver's
# GL, and the font stack (fontconfig must match the system's own
# configuration and font cache), D-Bus and what these pull in.
SYSTEM='@(linux-vdso|ld-linux-x86-64|libc|libm|libdl|libpthread|librt|libresolv|libstdc++|libgcc_s|libz|libX11|libX11-xcb|libXau|libXdmcp|libXrender|libXext|libICE|libSM|libxcb|libxcb-@(randr|render|shape|shm|sync|xfixes|glx|dri2|dri3|present)|libGL|libGLX|libGLdispatch|libEGL|libOpenGL|libfontconfig|libfreetype|libharfbuzz|libgraphite2|libpng16|libbrotlicommon|libbrotlidec|libexpat|libglib-2.0|libpcre2-8|libdbus-1|libsystemd|libcap|libgcrypt|libgpg-error|liblz4|liblzma|libbsd|libmd|libuuid|libgssapi_krb5|libkrb5|libkrb5support|libk5crypto|libcom_err|libkeyutils).so.*'

# Prints "name path" for every library that the given files need.
needed_libraries() {
    env -u LD_LIBRARY_PATH ldd "$@" | awk '
        /=> not found/ { print $1, "NOT-FOUND"; next }
        /=>/ { print $1, $3; next }
        NF >= 2 && $1 ~ /^\// { n = split($1, part, "/"); print part[n], $1; next }
        NF >= 2 { print $1, "-" }' | sort -u
}

bundle_qt() {
    local helper="$1" folder="$2"
    local core qt_plugins name path unknown=()
    core="$(needed_libraries "$helper" | awk '$1 == "libQt5Core.so.5" { print $2 }')"
    [ -n "$core" ] || { echo "package: $helper links no libQt5Core.so.5" >&2; return 1; }
    qt_plugins="$(dirname "$(readlink -f "$core")")/qt5/plugins"
    local sources=("$helper")
    for plugin in "${QT_PLUGINS[@]}"; do
        sources+=("$qt_plugins/$plugin")
        mkdir -p "$folder/qtplugins/$(dirname "$plugin")"
        cp -L "$qt_plugins/$plugin" "$folder/qtplugins/$plugin"
    done
    mkdir -p "$folder/lib"
    while read -r name path; do
        if [[ "$path" == NOT-FOUND ]]; then
            unknown+=("$name (not found)")
        elif [[ "$name" == $BUNDLED ]]; then
            cp -L "$path" "$folder/lib/$name"
        elif [[ "$name" != $SYSTEM ]]; then
            unknown+=("$name ($path)")
        fi
    done < <(needed_libraries "${sources[@]}")
    if [ ${#unknown[@]} -gt 0 ]; then
        printf 'package: new dependencies, neither bundled nor left to the system: %s\n' "${unknown[*]}" >&2
        echo "package: add each to BUNDLED or SYSTEM in $0" >&2
        return 1
    fi
    # Only the staged copies change. Each object finds its own direct needs
    # through its run path; Qt finds its plugins through qt.conf.
    patchelf --set-rpath '$ORIGIN/lib' "$folder/$(basename "$helper")"
    for library in "$folder"/lib/*; do
        patchelf --set-rpath '$ORIGIN' "$library"
    done
    for plugin in "${QT_PLUGINS[@]}"; do
        patchelf --set-rpath '$ORIGIN/../../lib' "$folder/qtplugins/$plugin"
    done
    printf '[Paths]\nPrefix = .\nPlugins = qtplugins\n' > "$folder/qt.conf"
    # Proof before zipping: every bundled library resolves inside the folder.
    local lib_folder outside=()
    lib_folder="$(cd "$folder/lib" && pwd -P)"
    while read -r name path; do
        if [[ "$name" == $BUNDLED && "$(readlink -f "$path")" != "$lib_folder/$name" ]]; then
            outside+=("$name ($path)")
        fi
    done < <(needed_libraries "$folder/$(basename "$helper")" "$folder"/qtplugins/*/*.so)
    if [ ${#outside[@]} -gt 0 ]; then
        echo "package: the staged helper still loads these from outside its folder: ${outside[*]}" >&2
        return 1
    fi
}

package() {
    local platform="$1" library="$2" library_name="$3" helper="$4" note="${5:-}"
    local stage="$WORK/$platform"
    mkdir -p "$stage/plugins/Vossik_Plugin"
    cp "$library" "$stage/plugins/$library_name"
    cp "$helper" "$stage/plugins/Vossik_Plugin/"
    if [ "$platform" = linux_amd64 ]; then
        # The build keeps its debug information; the package need not.
        strip --strip-debug "$stage/plugins/$library_name" "$stage/plugins/Vossik_Plugin/$(basename "$helper")"
        bundle_qt "$helper" "$stage/plugins/Vossik_Plugin"
    fi
    cat > "$stage/package.ini" <<INI
Name = Vossik colorful plugin
Type = Plugin
Author = Vossik Gaming
Version = $VERSION
Platforms = $platform
Description = "Makes the LEDs of a Vossik ZELL FX device follow your voice: one light while you speak, one while you are silent, one while others speak and one at shutdown, with a red blinking signal when you speak while muted.$note"
INI
    local file="$OUT/Vossik_Plugin_${VERSION}_${platform}.ts3_plugin"
    rm -f "$file"
    (cd "$stage" && zip -q -r -X "$file" package.ini plugins)
    echo "== $file"
    unzip -l "$file" | sed 's/^/   /'
}

# The helper alone, for TeamSpeak 5/6: one folder with its Qt, its icons,
# a menu entry (made absolute by install-menu-entry.sh, as the folder may
# be unpacked anywhere) and what to do.
standalone_linux() {
    local helper="$1" stage="$WORK/standalone-linux/vossik-lights"
    local file="$OUT/vossik-lights-linux-x86_64.tar.gz"
    mkdir -p "$stage/icons"
    cp "$helper" "$stage/"
    strip --strip-debug "$stage/$(basename "$helper")"
    bundle_qt "$helper" "$stage"
    cp "$SOURCE"/helper/icons/vossik-*.png "$stage/icons/"
    cp "$SOURCE"/tools/standalone/linux/* "$stage/"
    rm -f "$file"
    tar -C "$(dirname "$stage")" --owner=0 --group=0 -czf "$file" vossik-lights
    echo "== $file"
    tar -tvzf "$file" | awk '{ print "   " $3, $6 }'
}

# The Windows helper is one file (static Qt), which a double-click starts
# standalone; the notes go beside it, with Windows line ends.
standalone_windows() {
    local helper="$1" stage="$WORK/standalone-windows"
    local file="$OUT/vossik-lights-windows-x64.zip"
    mkdir -p "$stage"
    cp "$helper" "$stage/"
    sed 's/\r*$/\r/' "$SOURCE/tools/standalone/windows/README.txt" > "$stage/README.txt"
    rm -f "$file"
    (cd "$stage" && zip -q -X "$file" "$(basename "$helper")" README.txt)
    echo "== $file"
    unzip -l "$file" | sed 's/^/   /'
}

linux_library="$(api26_library "$LINUX_BUILD" libVossik_Plugin_api26.so)"
[ -n "$linux_library" ] || linux_library="$LINUX_BUILD/plugin/libVossik_Plugin.so"
package linux_amd64 "$linux_library" libVossik_Plugin_linux_amd64.so "$LINUX_BUILD/helper/TS3_Vossik_Helper_win64" \
    " On Linux it needs an OpenRGB SDK server running, through which the helper drives any RGB device."
standalone_linux "$LINUX_BUILD/helper/TS3_Vossik_Helper_win64"

if [ -n "$WINDOWS_BUILD" ]; then
    windows_library="$(api26_library "$WINDOWS_BUILD" Vossik_Plugin_api26.dll)"
    [ -n "$windows_library" ] || windows_library="$WINDOWS_BUILD/plugin/Vossik_Plugin.dll"
    package win64 "$windows_library" Vossik_Plugin_win64.dll "$WINDOWS_BUILD/helper/TS3_Vossik_Helper_win64.exe" \
        " Install the Vossik ZELL FX driver first."
    standalone_windows "$WINDOWS_BUILD/helper/TS3_Vossik_Helper_win64.exe"
else
    echo "== no Windows build: only the Linux packages (./dev windows makes the Windows build)"
fi
