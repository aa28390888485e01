#!/usr/bin/env bash
# The lights following a scripted voice-chat session: the stand-in device
# service, the helper with a sample settings file, and a client playing the
# plugin's words into the helper's command server.
set -euo pipefail

BUILD_DIR="$1"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
LIGHTSERVICE="$BUILD_DIR/tools/lightservice/lightservice"
HELPER="$BUILD_DIR/helper/TS3_Vossik_Helper_win64"
SENDWORDS="$BUILD_DIR/tools/sendwords/sendwords"

work="$(mktemp -d)"
chmod 700 "$work"
mkdir -p "$work/runtime" "$work/settings"
chmod 700 "$work/runtime"
cp "$HERE/demo/TS3_Vossik_Plugin.ini" "$work/settings/"
export XDG_RUNTIME_DIR="$work/runtime"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

service_args=(--log)
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "(no display: the device service prints its commands instead of showing the LED)"
    export QT_QPA_PLATFORM=offscreen
fi

echo "== device service"
"$LIGHTSERVICE" "${service_args[@]}" > >(sed -u 's/^/   service: /') &
pids+=($!)
sleep 0.5

echo "== helper, settings in $work/settings/"
"$HELPER" "$work/settings/" > >(sed -u 's/^/   helper:  /') 2>&1 &
helper=$!
pids+=($helper)
for _ in $(seq 50); do
    [ -S "$XDG_RUNTIME_DIR/ts3VossikPlugin" ] && break
    sleep 0.1
done

echo "== voice-chat session"
"$SENDWORDS" --echo --script "$HERE/demo/session.txt" | sed -u 's/^/   plugin:  /'

status=0
wait "$helper" || status=$?
sleep 0.3
echo "== helper ended after shutdown, exit status $status"
sleep 0.3
