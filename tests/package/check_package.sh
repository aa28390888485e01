#!/usr/bin/env bash
# The Linux package's helper runs on the Qt it carries: started with the
# system's Qt hidden, and started by the plugin from a client whose
# LD_LIBRARY_PATH holds a broken Qt.
#   check_package.sh PACKAGE_SCRIPT BUILD_DIR TS3HOST
# Exit 77 (skipped) without root, unshare or the packaging tools.
set -euo pipefail

# Ends what the test started (pids listed in $1/pids), by pid.
end_started() {
    [ -f "$1/pids" ] || return 0
    xargs -r kill -TERM < "$1/pids" 2>/dev/null || true
    sleep 0.5
    xargs -r kill -KILL < "$1/pids" 2>/dev/null || true
}

fail() { echo "FAIL: $*" >&2; exit 1; }

# Polls the command for up to 10 s.
within_10s() {
    for _ in $(seq 100); do "$@" && return 0; sleep 0.1; done
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
    within_10s grep -q "$FOLDER/qtplugins/platforms/libqoffscreen.so" "/proc/$1/maps" ||
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
    if timeout 20 "$build/helper/TS3_Vossik_Helper_win64" >/dev/null 2>&1; then
        fail "the build's helper started although the system's Qt is hidden"
    fi

    # Without a settings folder the helper says "test" and ends.
    local output
    output="$(XDG_RUNTIME_DIR="$work/run1" timeout 20 "$HELPER" 2>&1)" || fail "packaged helper failed: $output"
    grep -qx test <<< "$output" || fail "packaged helper said: $output"

    # The X11 platform too, with its xcb and xkbcommon libraries.
    output="$(XDG_RUNTIME_DIR="$work/run1" QT_QPA_PLATFORM=xcb timeout 30 \
        xvfb-run -a -s '-screen 0 640x480x24' "$HELPER" 2>&1)" || fail "packaged helper failed on X11: $output"
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
    if LD_LIBRARY_PATH="$work/broken" timeout 20 "$HELPER" >/dev/null 2>&1; then
        fail "the broken libQt5Core.so.5 on LD_LIBRARY_PATH was not picked up"
    fi
    # ... but not one the plugin starts: its launcher clears the variable.
    printf 'sleep 20000\nshutdown\n' > "$work/session.ts3"
    LD_LIBRARY_PATH="$work/broken" XDG_RUNTIME_DIR="$work/run2" "$ts3host" \
        --plugin "$work/package/plugins/libVossik_Plugin_linux_amd64.so" --plugins-dir "$work/package/plugins" \
        --config-dir "$work/config" --script "$work/session.ts3" > "$work/ts3host.log" 2>&1 &
    echo "$!" >> "$work/pids"
    within_10s running_helper > /dev/null || fail "the plugin started no helper: $(cat "$work/ts3host.log")"
    pid="$(running_helper)"
    echo "$pid" >> "$work/pids"
    check_maps "$pid"
    ! tr '\0' '\n' < "/proc/$pid/environ" | grep -q '^LD_LIBRARY_PATH=' || fail "the helper got LD_LIBRARY_PATH"
    echo "PASS: packaged helper runs on its own Qt (direct start, and started by the plugin)"
}

if [ "${1:-}" = --hidden-qt ]; then
    shift
    hidden_qt_checks "$@"
    exit 0
fi

PACKAGE_SCRIPT="$1" BUILD="$2" TS3HOST="$3"
for tool in patchelf zip unzip unshare xvfb-run; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (./dev setup installs it)"; exit 77; }
done
[ "$(id -u)" = 0 ] || { echo "SKIP: hiding the system's Qt needs root (unshare --mount)"; exit 77; }
unshare --mount true 2>/dev/null || { echo "SKIP: unshare --mount is not permitted here"; exit 77; }

WORK="$(cd "$(mktemp -d)" && pwd -P)"
trap 'end_started "$WORK"; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/run1" "$WORK/run2" "$WORK/settings" "$WORK/config"
chmod 700 "$WORK/run1" "$WORK/run2"
"$PACKAGE_SCRIPT" "$WORK/dist" "$BUILD" > "$WORK/package.log" 2>&1 || { cat "$WORK/package.log"; fail "packaging"; }
unzip -q "$WORK/dist/Vossik_Plugin_"*"_linux_amd64.ts3_plugin" -d "$WORK/package"
QT_LIBS="$(dirname "$(readlink -f "$(ldd "$BUILD/helper/TS3_Vossik_Helper_win64" |
    awk '$1 == "libQt5Core.so.5" { print $3 }')")")"
unshare --mount -- bash "$0" --hidden-qt "$WORK" "$BUILD" "$TS3HOST" "$QT_LIBS"
