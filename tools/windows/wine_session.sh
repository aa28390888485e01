#!/usr/bin/env bash
# The whole chain on Windows, under Wine in a private X server: ts3host.exe
# loads Vossik_Plugin.dll, the plugin starts the helper with ShellExecuteW,
# the helper finds lightservice.exe by a real HWND_BROADCAST, and the light
# commands arrive as posted window messages. Then, with the Linux build's
# stand-in lighting server, the same helper lights its controllers over TCP;
# and, with its stand-in Remote Apps server, a helper started --standalone
# follows TeamSpeak 5/6 over a WebSocket.
#   wine_session.sh BUILD_DIR [LINUX_BUILD_DIR]   (run inside xvfb-run)
set -euo pipefail

BUILD="$1"
LINUX_BUILD="${2:-}"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

export WINEDEBUG=-all
work="$(mktemp -d)"
# The caller's Wine prefix (./dev makes one per run); else one of this
# run's own, removed with the rest.
if [ -z "${WINEPREFIX:-}" ]; then
    export WINEPREFIX="$work/wineprefix"
    mkdir -m 700 "$WINEPREFIX"
fi
trap 'wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; rm -rf "$work"' EXIT
WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1 || true

# A configuration folder with blanks and non-ASCII letters, as Windows
# users' folders often are; the plugin hands it over with its trailing
# backslash.
config="$work/Jo Ann Müller/TS3 Client"
mkdir -p "$config"
cp "$HERE/../sample/TS3_Vossik_Plugin.ini" "$config/"
config_win="$(winepath -w "$config")\\"

wine "$BUILD/tools/lightservice/lightservice.exe" --log --no-window > "$work/service.log" 2>&1 &
service=$!
sleep 3

host() {
    mkdir -p "$work/plugins-$2"
    wine "$BUILD/tools/ts3host/ts3host.exe" --plugin "$(winepath -w "$BUILD/plugin/Vossik_Plugin.dll")" \
        --helper "$(winepath -w "$BUILD/helper/TS3_Vossik_Helper_win64.exe")" \
        --plugins-dir "$(winepath -w "$work/plugins-$2")" --config-dir "$config_win" \
        --script "$(winepath -w "$1")" --timings
}
# A Windows helper of this run's prefix: other runs on the machine have their own.
helper_running() {
    local pid
    for pid in $(pgrep -f 'TS3_Vossik_Helper_win64.exe'); do
        tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

cat > "$work/session.ts3" <<'SESSION'
sleep 3000
talk own 1
sleep 300
talk own 0
sleep 300
talk 7 1
sleep 300
talk 7 0
sleep 300
talk own 2
sleep 300
talk own 0
sleep 300
poke 7
sleep 5300
shutdown
SESSION
echo "== a voice-chat session"
host "$work/session.ts3" session > "$work/host.log" 2>&1 || true
for _ in $(seq 50); do helper_running || break; sleep 0.2; done
helper_ended=yes
helper_running && helper_ended=no

# The menu item: the settings window opens, placed at (100, 150) at its
# smallest size; while it is open the helper outlives the client.
cat > "$work/menu.ts3" <<'SESSION'
sleep 3000
menu 1
sleep 3000
shutdown
SESSION
echo "== the menu item"
host "$work/menu.ts3" menu > "$work/menu.log" 2>&1 &
menu_host=$!
geometry=""
for _ in $(seq 40); do
    window="$(xdotool search --onlyvisible --name '^Color settings$' 2>/dev/null | head -n 1 || true)"
    if [ -n "$window" ]; then geometry="$(xdotool getwindowgeometry "$window")"; break; fi
    sleep 0.25
done
wait "$menu_host" || true
sleep 1
window_kept_helper=no
helper_running && window_kept_helper=yes
sleep 1
kill "$service" 2>/dev/null || true
sleep 1
echo "== host"
cat "$work/host.log" "$work/menu.log"
echo "== device service"
cat "$work/service.log"
echo "== settings window"
echo "$geometry"
# Silent at start-up, then speaking, silent, others, silent, mute, silent,
# a poke for its 5 s and silent again: the sample settings' commands.
light() { sed -n "s/^$1 //p" "$HERE/../sample/light_commands.txt"; }
expected="$(for word in stop start stop startother stop mute stop poke stop; do light "$word"; done)"
got="$(grep -o 'wParam=0x[0-9a-f]* lParam=0x[0-9a-f]*' "$work/service.log" | head -n 9)"
failed=0
check() { if ! eval "$2"; then echo "== FAILED: $1"; failed=1; fi; }
check "the device got the expected commands" '[ "$got" = "$expected" ]'
check "the service answered DISCOVER" 'grep -q "ATTACH sent to" "$work/service.log"'
check "the helper ended with the client" '[ "$helper_ended" = yes ]'
# X shows the client area; Wine draws the frame and caption around it, so
# the window's own top-left corner (100, 150) lies a few pixels up and left.
check "the settings window stood at (100, 150), 550 x 442" \
    'echo "$geometry" | grep -Eq "Position: 10[0-8],1[5-8][0-9] " && echo "$geometry" | grep -q "Geometry: 550x44[24]"'
check "the open settings window kept the helper running" '[ "$window_kept_helper" = yes ]'
check "the helper logged into TS3_Vossik_Helper.log beside the settings" \
    'grep -q "Command server listening" "$config/TS3_Vossik_Helper.log"'

# The lighting server: a native process of this machine, reached by the
# Windows helper over TCP.
server_bin="$LINUX_BUILD/tools/openrgbserver/openrgbserver"
if [ -x "$server_bin" ]; then
    "$server_bin" --port 0 --protocol 4 > "$work/server.log" 2>&1 &
    server=$!
    port=""
    for _ in $(seq 50); do
        port="$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$work/server.log")"
        [ -n "$port" ] && break
        sleep 0.1
    done
    server_config="$work/Server User/TS3 Client"
    mkdir -p "$server_config"
    cp "$HERE/../sample/TS3_Vossik_Plugin.ini" "$server_config/"
    printf '[device]\r\nlightService=openrgb\r\nopenrgbPort=%s\r\n' "$port" >> "$server_config/TS3_Vossik_Plugin.ini"
    config_win="$(winepath -w "$server_config")\\"
    cat > "$work/server.ts3" <<'SESSION'
sleep 3000
talk own 1
sleep 500
talk own 0
sleep 500
shutdown
SESSION
    echo "== a session on the lighting server"
    host "$work/server.ts3" server > "$work/server-host.log" 2>&1 || true
    for _ in $(seq 50); do helper_running || break; sleep 0.2; done
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    echo "== lighting server"
    grep -v ' leds ' "$work/server.log" || true
    # The first LED of the first controller: silent, speaking (breathing
    # starts at full colour), silent; at the end the controller gets back
    # the mode it had before the helper came (openrgbAtExit's default).
    first_leds="$(sed -n 's/^[0-9]* leds 0 "[^"]*" [0-9]* #\([0-9a-f]\{6\}\).*/\1/p' "$work/server.log")"
    printf '%s\n' "$first_leds" | uniq | head -n 20 | sed 's/^/   led 0: #/'
    in_order() {
        printf '%s\n' "$first_leds" | awk -v want="$*" 'BEGIN { n = split(want, w, " "); i = 1 }
            i <= n && $0 == w[i] { i++ } END { exit i <= n }'
    }
    check "the Windows helper named itself to the lighting server" \
        'grep -q "client \"Vossik colorful plugin\"" "$work/server.log"'
    check "the lighting server got silent, speaking, silent" 'in_order 0000ff 00c83c 0000ff'
    check "the controller got its own mode back at the end" \
        'grep " mode 0 " "$work/server.log" | tail -n 1 | grep -q "\"Rainbow\""'
else
    echo "== no Linux build of the stand-in lighting server: its Wine session is skipped"
fi
# TeamSpeak 5/6: the native stand-in Remote Apps server plays the
# conversation to a standalone helper, which lights a device service of its
# own; once to the Linux helper and once to the Windows one, which must
# give the same lights. The helper is to have found the service before the
# conversation starts (a service found later is shown only the state of
# then), so the server starts once the service was attached to, on a port
# chosen before the helper was started; the helper keeps trying until it
# listens.
remote_bin="$LINUX_BUILD/tools/remoteapps/remoteapps"
# remote_conversation linux|windows: the light commands its device service got.
remote_conversation() {
    local kind="$1" port="" folder="$work/Remote User $1/Vossik" probe remote service helper_pid
    "$remote_bin" --port 0 > "$work/probe.log" 2>&1 &
    probe=$!
    for _ in $(seq 50); do
        port="$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$work/probe.log")"
        [ -n "$port" ] && break
        sleep 0.1
    done
    kill "$probe" 2>/dev/null || true
    wait "$probe" 2>/dev/null || true
    mkdir -p "$folder"
    # The states the conversation goes through, enabled.
    sed 's/^stateEnabled_\([5-8]\)=.*/stateEnabled_\1=1/' "$HERE/../sample/TS3_Vossik_Plugin.ini" \
        > "$folder/TS3_Vossik_Plugin.ini"
    printf '[teamspeak]\r\nremoteApps=auto\r\nremoteAppsPort=%s\r\n' "$port" >> "$folder/TS3_Vossik_Plugin.ini"
    if [ "$kind" = windows ]; then
        wine "$BUILD/tools/lightservice/lightservice.exe" --log --no-window > "$work/$kind-service.log" 2>&1 &
        service=$!
        sleep 3
        wine "$BUILD/helper/TS3_Vossik_Helper_win64.exe" --standalone "$(winepath -w "$folder")\\" \
            > "$work/$kind-helper.log" 2>&1 &
        helper_pid=""  # ended with the prefix's wineserver
    else
        mkdir -m 700 "$work/$kind-runtime"
        XDG_RUNTIME_DIR="$work/$kind-runtime" QT_QPA_PLATFORM=offscreen \
            "$LINUX_BUILD/tools/lightservice/lightservice" --log --no-window > "$work/$kind-service.log" 2>&1 &
        service=$!
        sleep 0.5
        XDG_RUNTIME_DIR="$work/$kind-runtime" QT_QPA_PLATFORM=offscreen \
            "$LINUX_BUILD/helper/TS3_Vossik_Helper_win64" --standalone "$folder/" > "$work/$kind-helper.log" 2>&1 &
        helper_pid=$!
    fi
    for _ in $(seq 100); do
        grep -q "ATTACH sent to" "$work/$kind-service.log" && break
        sleep 0.2
    done
    printf 'sleep 500\nquit\n' > "$work/quit.remoteapps"
    "$remote_bin" --port "$port" --script conversation --script "$work/quit.remoteapps" > "$work/$kind-remoteapps.log" 2>&1 &
    remote=$!
    for _ in $(seq 300); do
        grep -q ' script done$' "$work/$kind-remoteapps.log" && break
        sleep 0.1
    done
    sleep 2
    # Up to TeamSpeak's quitting: a helper that is ended shows the shutdown
    # profile once more.
    grep -o 'wParam=0x[0-9a-f]* lParam=0x[0-9a-f]*' "$work/$kind-service.log" > "$work/$kind-lights.txt" || true
    [ -z "$helper_pid" ] || { kill "$helper_pid" 2>/dev/null || true; wait "$helper_pid" 2>/dev/null || true; }
    kill "$remote" "$service" 2>/dev/null || true
    wait "$remote" 2>/dev/null || true
}
if [ ! -x "$remote_bin" ]; then
    echo "== no Linux build of the stand-in Remote Apps server: its Wine session is skipped"
else
    echo "== TeamSpeak 6 through Remote Apps, to a standalone Linux helper and a standalone Windows helper"
    remote_conversation linux
    remote_conversation windows
    echo "== Remote Apps server, for the Windows helper"
    cut -c1-200 "$work/windows-remoteapps.log"
    echo "== their lights (Linux, Windows)"
    paste -d'|' "$work/linux-lights.txt" "$work/windows-lights.txt" | sed 's/|/   |   /'
    # The states the conversation goes through, in order: silent, others,
    # silent, microphone muted (away ranks below it), not connected, and
    # the shutdown profile when TeamSpeak quits.
    in_order_lights() {
        local want
        want="$(for word in stop startother stop micmuted offline shutdown; do light "$word"; done | paste -sd'|')"
        awk -v want="$want" 'BEGIN { n = split(want, w, "|"); i = 1 } i <= n && $0 == w[i] { i++ }
            END { exit i <= n }' "$1"
    }
    check "the Linux helper went through the conversation's states" 'in_order_lights "$work/linux-lights.txt"'
    check "the Windows helper gave the Linux helper's lights" \
        'cmp -s "$work/linux-lights.txt" "$work/windows-lights.txt"'
    check "the Windows helper asked once" '[ "$(grep -c " auth [0-9]* key=" "$work/windows-remoteapps.log")" = 1 ]'
    check "the standalone Windows helper logged beside its settings" \
        'grep -q "Remote Apps: connected" "$work/Remote User windows/Vossik/TS3_Vossik_Helper.log"'
fi
[ "$failed" = 0 ] || exit 1
echo "== the Wine session passed"
