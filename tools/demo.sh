#!/usr/bin/env bash
# The lights following a voice-chat session through the real chain: the
# stand-in device service (or, with --openrgb, the stand-in lighting
# server), the stand-in client (ts3host) loading the plugin, and the helper
# that the plugin starts. With --teamspeak6 the session comes from the
# stand-in Remote Apps server instead, to a helper started --standalone.
#   demo.sh BUILD_DIR [--openrgb|--teamspeak6]
set -euo pipefail

BUILD_DIR="$1"
OPENRGB=0
TEAMSPEAK6=0
[ "${2:-}" = "--openrgb" ] && OPENRGB=1
[ "${2:-}" = "--teamspeak6" ] && TEAMSPEAK6=1
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# shellcheck source=tools/stand_in_port.sh
. "$HERE/stand_in_port.sh"
LIGHTSERVICE="$BUILD_DIR/tools/lightservice/lightservice"
OPENRGBSERVER="$BUILD_DIR/tools/openrgbserver/openrgbserver"
REMOTEAPPS="$BUILD_DIR/tools/remoteapps/remoteapps"
TS3HOST="$BUILD_DIR/tools/ts3host/ts3host"
PLUGIN="$BUILD_DIR/plugin/libVossik_Plugin.so"
HELPER="$BUILD_DIR/helper/TS3_Vossik_Helper_win64"

work="$(mktemp -d)"
chmod 700 "$work"
mkdir -p "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
cp "$HERE/sample/TS3_Vossik_Plugin.ini" "$work/config/"
export XDG_RUNTIME_DIR="$work/runtime"
service=""
follower=""
remote=""
helper=""
cleanup() {
    # A helper that ends shows the shutdown profile: the service is there
    # to show it until then.
    if [ -n "$helper" ]; then
        kill "$helper" 2>/dev/null || true
        wait "$helper" 2>/dev/null || true
    fi
    [ -n "$remote" ] && kill "$remote" 2>/dev/null
    [ -n "$service" ] && kill "$service" 2>/dev/null
    [ -n "$follower" ] && kill "$follower" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# TeamSpeak 5/6: the stand-in Remote Apps server plays the session to a
# helper that nobody's plugin started. The user allows the helper after a
# moment; TeamSpeak quitting at the end shows the shutdown profile.
teamspeak6_demo() {
    local log="$BUILD_DIR/demo-helper.log" port=""
    "$REMOTEAPPS" --port 0 --answer-delay 2500 --script "$HERE/demo/session.remoteapps" \
        > >(tee "$work/remoteapps.log" | sed -un 's/^[0-9]* echo /   /p') &
    remote=$!
    port="$(port_named_in "$work/remoteapps.log" "the stand-in Remote Apps server")" || exit 1
    echo "== the stand-in TeamSpeak 6 serves Remote Apps on port $port"
    printf '[teamspeak]\nremoteApps=auto\nremoteAppsPort=%s\n' "$port" >> "$work/config/TS3_Vossik_Plugin.ini"
    echo "== the helper starts on its own (--standalone; its log lines go to $log) and asks TeamSpeak for"
    echo "   permission; the user allows \"Vossik colorful plugin\" after a moment"
    "$HELPER" --standalone "$work/config/" 2> "$log" &
    helper=$!
    for _ in $(seq 600); do
        grep -q ' script done$' "$work/remoteapps.log" && break
        kill -0 "$helper" 2>/dev/null || { echo "== the helper ended: see $log"; exit 1; }
        sleep 0.1
    done
    sleep 1.5
    echo "== the helper asked $(grep -c ' auth [0-9]* key=' "$work/remoteapps.log") time(s) for permission; it waits"
    echo "   for TeamSpeak to come back, until it is ended"
}

session="$work/session.ts3"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "== the device service shows the LED in its window"
    service_args=()
    server_args=(--window)
    cp "$HERE/demo/session.ts3" "$session"
    display=1
else
    echo "== no display: the device service shows each light command as a coloured line"
    export QT_QPA_PLATFORM=offscreen
    service_args=(--no-window --terminal-view)
    server_args=()
    # Nobody could close a settings window nobody sees: leave the menu out.
    grep -v -e '^menu' -e 'Color settings' "$HERE/demo/session.ts3" > "$session"
    display=0
fi
if [ "$OPENRGB" = 1 ]; then
    # Any free port; the server names it on its first line.
    "$OPENRGBSERVER" --port 0 --protocol 4 "${server_args[@]}" > "$work/server.out" &
    service=$!
    port="$(port_named_in "$work/server.out" "the lighting server")" || exit 1
    echo "== the stand-in lighting server listens on port $port; each LED update is a line"
    printf '[device]\nlightService=openrgb\nopenrgbPort=%s\n' "$port" >> "$work/config/TS3_Vossik_Plugin.ini"
    # The first controller's updates only, and of a moving effect about
    # five a second: enough to see it move without a flood of lines.
    tail --pid="$service" -s 0.1 -n +2 -f "$work/server.out" | {
        last=-1000
        after_mode=0
        while read -r ms kind index rest; do
            if [ "$kind" = mode ]; then
                after_mode=1
                [ "$index" = 0 ] && echo "   server: $ms $kind $index $rest"
            elif [ "$kind" = leds ]; then
                if [ "$index" = 0 ] && { [ "$after_mode" = 1 ] || [ $((ms - last)) -ge 200 ]; }; then
                    c="${rest##*#}"
                    printf '   server: \e[48;2;%d;%d;%dm    \e[0m %s\n' "$((16#${c:0:2}))" "$((16#${c:2:2}))" \
                        "$((16#${c:4:2}))" "$ms $kind $index $rest"
                    last=$ms
                fi
                after_mode=0
            else
                echo "   server: $ms $kind $index $rest"
            fi
        done
    } &
    follower=$!
else
    "$LIGHTSERVICE" "${service_args[@]}" > >(sed -u 's/^/   device: /') &
    service=$!
    sleep 0.5
fi

if [ "$TEAMSPEAK6" = 1 ]; then
    teamspeak6_demo
    exit
fi

log="$BUILD_DIR/demo-client.log"
echo "== the client loads the plugin (its log lines go to $log)"
"$TS3HOST" --plugin "$PLUGIN" --helper "$HELPER" --plugins-dir "$work/plugins" --config-dir "$work/config/" \
    --script "$session" 2> "$log" | grep --line-buffered -v '^PLUGIN:' | sed -u 's/^/   /'

if [ "$display" = 1 ] && [ -S "$XDG_RUNTIME_DIR/ts3VossikPlugin" ]; then
    echo "== the settings window keeps the helper running: close it to end the demo"
    while [ -S "$XDG_RUNTIME_DIR/ts3VossikPlugin" ]; do sleep 0.3; done
fi
for _ in $(seq 30); do
    [ -S "$XDG_RUNTIME_DIR/ts3VossikPlugin" ] || break
    sleep 0.1
done
if [ -S "$XDG_RUNTIME_DIR/ts3VossikPlugin" ]; then
    echo "== the helper is still running: see $log"
    exit 1
fi
echo "== the helper ended with the client"
sleep 1
