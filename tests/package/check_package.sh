#!/usr/bin/env bash
# The Linux packages' helper runs on the Qt it carries: started with the
# system's Qt hidden, started by the plugin from a client whose
# LD_LIBRARY_PATH holds a broken Qt, and, from the standalone archive,
# lighting the stand-in lighting server as the stand-in TeamSpeak 6 tells.
#   check_package.sh PACKAGE_SCRIPT BUILD_DIR TS3HOST
# Exit 77 (skipped) without root, unshare, the packaging tools or the
# stand-in Remote Apps server.
set -euo pipefail
TOOLS="$(cd "$(dirname "$0")/../../tools" && pwd)"
# shellcheck source=tools/stand_in_port.sh
. "$TOOLS/stand_in_port.sh"

# Ends what the test started (pids listed in $1/pids), by pid.
end_started() {
    [ -f "$1/pids" ] || return 0
    xargs -r kill -TERM < "$1/pids" 2>/dev/null || true
    sleep 0.5
    xargs -r kill -KILL < "$1/pids" 2>/dev/null || true
}

fail() { echo "FAIL: $*" >&2; exit 1; }

# Polls the command for up to $1 seconds.
within() {
    local tenths=$(($1 * 10))
    shift
    for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
    return 1
}

# The pid of the packaged helper, when one runs.
running_helper() {
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/exe" 2>/dev/null)" = "$HELPER" ] && echo "${proc#/proc/}" && return 0
    done
    return 1
}

# Fails unless helper $1 is up on the offscreen platform, with its Qt, and
# every library the package holds, taken from the package.
check_maps() {
    within 10 grep -q "$FOLDER/qtplugins/platforms/libqoffscreen.so" "/proc/$1/maps" ||
        fail "helper $1 ended or loaded no platform plugin"
    local path maps
    maps="$(awk '$6 ~ /\.so/ { print $6 }' "/proc/$1/maps" | sort -u)"
    grep -qx "$FOLDER/lib/libQt5Core.so.5" <<< "$maps" || fail "helper $1 did not map the packaged Qt core"
    while read -r path; do
        if [ -e "$FOLDER/lib/${path##*/}" ] || [[ "$path" == */libQt5* || "$path" == */qt5/plugins/* ]]; then
            [[ "$path" == "$FOLDER"/* ]] || fail "helper $1 loaded $path from outside the package"
        fi
    done <<< "$maps"
}

# In a mount namespace of its own: the system's Qt libraries read as empty
# files, its plugin folder as an empty one.
hidden_qt_checks() {
    local work="$1" build="$2" ts3host="$3" qt_libs="$4"
    WORK="$work"
    trap 'end_started "$WORK"' EXIT
    FOLDER="$work/package/plugins/Vossik_Plugin"
    HELPER="$FOLDER/TS3_Vossik_Helper_win64"
    mount -t tmpfs none "$qt_libs/qt5"
    while read -r file; do mount --bind /dev/null "$file"; done \
        < <(find "$qt_libs" -maxdepth 1 -name 'libQt5*.so*' -type f)
    export QT_QPA_PLATFORM=offscreen
    # The hiding holds: the build's own helper cannot start.
    if timeout 20 "$build/helper/TS3_Vossik_Helper_win64" x y >/dev/null 2>&1; then
        fail "the build's helper started although the system's Qt is hidden"
    fi

    # With arguments it cannot use, the helper says "test" and ends.
    local output
    output="$(XDG_RUNTIME_DIR="$work/run1" timeout 20 "$HELPER" x y 2>&1)" || fail "packaged helper failed: $output"
    grep -qx test <<< "$output" || fail "packaged helper said: $output"

    # The X11 platform too, with its xcb and xkbcommon libraries.
    output="$(XDG_RUNTIME_DIR="$work/run1" QT_QPA_PLATFORM=xcb timeout 30 \
        xvfb-run -a -s '-screen 0 640x480x24' "$HELPER" x y 2>&1)" || fail "packaged helper failed on X11: $output"
    grep -qx test <<< "$output" || fail "packaged helper said on X11: $output"

    # With one it stays up until ended.
    XDG_RUNTIME_DIR="$work/run1" "$HELPER" "$work/settings" > "$work/helper.log" 2>&1 &
    local pid=$!
    echo "$pid" >> "$work/pids"
    check_maps "$pid"
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "helper ended by itself: $(cat "$work/helper.log")"
    kill -TERM "$pid"
    wait "$pid" || true

    # A broken Qt on LD_LIBRARY_PATH ends a helper started directly ...
    mkdir "$work/broken"
    printf 'not a library\n' > "$work/broken/libQt5Core.so.5"
    if LD_LIBRARY_PATH="$work/broken" timeout 20 "$HELPER" x y >/dev/null 2>&1; then
        fail "the broken libQt5Core.so.5 on LD_LIBRARY_PATH was not picked up"
    fi
    # ... but not one the plugin starts: its launcher clears the variable.
    printf 'sleep 20000\nshutdown\n' > "$work/session.ts3"
    LD_LIBRARY_PATH="$work/broken" XDG_RUNTIME_DIR="$work/run2" "$ts3host" \
        --plugin "$work/package/plugins/libVossik_Plugin_linux_amd64.so" --plugins-dir "$work/package/plugins" \
        --config-dir "$work/config" --script "$work/session.ts3" > "$work/ts3host.log" 2>&1 &
    echo "$!" >> "$work/pids"
    within 10 running_helper > /dev/null || fail "the plugin started no helper: $(cat "$work/ts3host.log")"
    pid="$(running_helper)"
    echo "$pid" >> "$work/pids"
    check_maps "$pid"
    ! tr '\0' '\n' < "/proc/$pid/environ" | grep -q '^LD_LIBRARY_PATH=' || fail "the helper got LD_LIBRARY_PATH"
    echo "PASS: packaged helper runs on its own Qt (direct start, and started by the plugin)"
    standalone_checks "$work"
}

# The colour that a word's light command has with the sample settings.
sample_colour() { sed -n "s/^$1 .*lParam=0x\([0-9a-f]*\)$/#\1/p" "$TOOLS/sample/light_commands.txt"; }

# Whether the lighting server's log $1 shows the first controller in colour
# $2, and later in $3.
shown_in_turn() {
    awk -v first=" $2x" -v then=" $3x" '$2 == "leds" && $3 == 0 {
        if (index($0, first)) seen = 1; else if (seen && index($0, then)) found = 1 } END { exit !found }' "$1"
}

# The standalone archive's helper, started as its README says on the test's
# settings folder: once the stand-in TeamSpeak 6 allows it, the sample's
# "not speaking" light, then "others speak" from the conversation.
standalone_checks() {
    local work="$1" pid
    FOLDER="$work/standalone/vossik-lights"
    HELPER="$FOLDER/TS3_Vossik_Helper_win64"
    XDG_RUNTIME_DIR="$work/run3" "$HELPER" --standalone "$work/standalone-config/" > "$work/standalone.log" 2>&1 &
    pid=$!
    echo "$pid" >> "$work/pids"
    check_maps "$pid"
    within 20 shown_in_turn "$work/lighting.out" "$(sample_colour stop)" "$(sample_colour startother)" ||
        fail "the lighting server showed no conversation: $(tail -n 5 "$work/lighting.out"); the helper said: $(cat "$work/standalone.log")"
    kill -TERM "$pid"
    wait "$pid" || true
    echo "PASS: the standalone archive's helper runs on its own Qt and follows TeamSpeak 6 onto the lighting server"
}

# Outside the namespace, on the system's Qt: the stand-in lighting server,
# and a stand-in TeamSpeak 6 that allows the app at once and has the other
# user speak; the standalone helper's settings point at both.
start_stand_ins() {
    local work="$1" lighting remote
    QT_QPA_PLATFORM=offscreen "$BUILD/tools/openrgbserver/openrgbserver" --port 0 > "$work/lighting.out" 2>&1 &
    echo "$!" >> "$work/pids"
    printf 'sleep 500\ntalk 7 1\n' > "$work/session.remoteapps"
    QT_QPA_PLATFORM=offscreen "$REMOTEAPPS" --port 0 --script "$work/session.remoteapps" > "$work/remoteapps.out" 2>&1 &
    echo "$!" >> "$work/pids"
    lighting="$(port_named_in "$work/lighting.out" "the stand-in lighting server")" || fail "no lighting server"
    remote="$(port_named_in "$work/remoteapps.out" "the stand-in Remote Apps server")" || fail "no Remote Apps server"
    { cat "$TOOLS/sample/TS3_Vossik_Plugin.ini"
        printf '[device]\nlightService=openrgb\nopenrgbPort=%s\n[teamspeak]\nremoteAppsPort=%s\n' "$lighting" "$remote"
    } > "$work/standalone-config/TS3_Vossik_Plugin.ini"
}

# The menu entry the archive's script writes names the unpacked helper by its
# full path, and its icon is where menus look.
check_menu_entry() {
    local folder="$1/standalone/vossik-lights" data="$1/data"
    XDG_DATA_HOME="$data" "$folder/install-menu-entry.sh" > /dev/null
    grep -qx "Exec=\"$folder/TS3_Vossik_Helper_win64\" --standalone" "$data/applications/vossik-lights.desktop" ||
        fail "menu entry: $(cat "$data/applications/vossik-lights.desktop")"
    cmp -s "$folder/icons/vossik-48.png" "$data/icons/hicolor/48x48/apps/vossik-lights.png" || fail "menu entry icon"
}

if [ "${1:-}" = --hidden-qt ]; then
    shift
    hidden_qt_checks "$@"
    exit 0
fi

PACKAGE_SCRIPT="$1" BUILD="$2" TS3HOST="$3"
REMOTEAPPS="$BUILD/tools/remoteapps/remoteapps"
[ -x "$REMOTEAPPS" ] || { echo "SKIP: no stand-in Remote Apps server (it is built where Qt WebSockets is)"; exit 77; }
for tool in patchelf zip unzip unshare xvfb-run; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (./dev setup installs it)"; exit 77; }
done
[ "$(id -u)" = 0 ] || { echo "SKIP: hiding the system's Qt needs root (unshare --mount)"; exit 77; }
unshare --mount true 2>/dev/null || { echo "SKIP: unshare --mount is not permitted here"; exit 77; }

WORK="$(cd "$(mktemp -d)" && pwd -P)"
trap 'end_started "$WORK"; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/run1" "$WORK/run2" "$WORK/run3" "$WORK/settings" "$WORK/config" "$WORK/standalone" "$WORK/standalone-config"
chmod 700 "$WORK/run1" "$WORK/run2" "$WORK/run3"
"$PACKAGE_SCRIPT" "$WORK/dist" "$BUILD" > "$WORK/package.log" 2>&1 || { cat "$WORK/package.log"; fail "packaging"; }
unzip -q "$WORK/dist/Vossik_Plugin_"*"_linux_amd64.ts3_plugin" -d "$WORK/package"
ARCHIVE="$WORK/dist/vossik-lights-linux-x86_64.tar.gz"
[ "$(tar -tzf "$ARCHIVE" | cut -d/ -f1 | sort -u)" = vossik-lights ] || fail "the archive holds more than vossik-lights/"
tar -xzf "$ARCHIVE" -C "$WORK/standalone"
check_menu_entry "$WORK"
start_stand_ins "$WORK"
QT_LIBS="$(dirname "$(readlink -f "$(ldd "$BUILD/helper/TS3_Vossik_Helper_win64" |
    awk '$1 == "libQt5Core.so.5" { print $3 }')")")"
unshare --mount -- bash "$0" --hidden-qt "$WORK" "$BUILD" "$TS3HOST" "$QT_LIBS"
