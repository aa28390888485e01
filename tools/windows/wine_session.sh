#!/usr/bin/env bash
# The whole chain on Windows, under Wine in a private X server: ts3host.exe
# loads Vossik_Plugin.dll, the plugin starts the helper with ShellExecuteW,
# the helper finds lightservice.exe by a real HWND_BROADCAST, and the light
# commands arrive as posted window messages.
#   wine_session.sh BUILD_DIR   (run inside xvfb-run)
set -euo pipefail

BUILD="$1"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.cache/vossik/wineprefix}"
work="$(mktemp -d)"
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineboot -i >/dev/null 2>&1 || true

# A configuration folder with blanks and non-ASCII letters, as Windows
# users' folders often are; the plugin hands it over with its trailing
# backslash.
config="$work/Jo Ann Müller/TS3 Client"
mkdir -p "$config" "$work/plugins"
cp "$HERE/../demo/TS3_Vossik_Plugin.ini" "$config/"
config_win="$(winepath -w "$config")\\"

wine "$BUILD/tools/lightservice/lightservice.exe" --log --no-window > "$work/service.log" 2>&1 &
service=$!
sleep 3

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
menu 1
sleep 2000
shutdown
SESSION

wine "$BUILD/tools/ts3host/ts3host.exe" --plugin "$(winepath -w "$BUILD/plugin/Vossik_Plugin.dll")" \
    --helper "$(winepath -w "$BUILD/helper/TS3_Vossik_Helper_win64.exe")" \
    --plugins-dir "$(winepath -w "$work/plugins")" --config-dir "$config_win" \
    --script "$(winepath -w "$work/session.ts3")" --timings > "$work/host.log" 2>&1 || true
sleep 2
kill "$service" 2>/dev/null || true
sleep 1
echo "== host"
cat "$work/host.log"
echo "== device service"
cat "$work/service.log"
# Silent at start-up, then speaking, silent, others, silent, mute, silent,
# and the shutdown profile: the sample settings' commands.
expected="wParam=0x020301 lParam=0x0028a0
wParam=0x010102 lParam=0x00c83c
wParam=0x020301 lParam=0x0028a0
wParam=0x010403 lParam=0xff8c00
wParam=0x020301 lParam=0x0028a0
wParam=0x010203 lParam=0xff0000
wParam=0x020301 lParam=0x0028a0"
got="$(grep -o 'wParam=0x[0-9a-f]* lParam=0x[0-9a-f]*' "$work/service.log" | head -n 7)"
if [ "$got" != "$expected" ] || ! grep -q 'ATTACH sent to' "$work/service.log"; then
    echo "== FAILED: the device did not get the expected commands"
    exit 1
fi
echo "== the Wine session passed"
