#!/bin/sh
# Puts "Vossik lights" into the user's application menu: the entry beside
# this script, with the helper's full path, and the icon in the user's icon
# theme folder. Run again after moving the folder; --remove takes both away.
set -eu

here="$(cd "$(dirname "$0")" && pwd)"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
entry="$data/applications/vossik-lights.desktop"
sizes="16 24 32 48"

if [ "${1:-}" = --remove ]; then
    rm -f "$entry"
    for size in $sizes; do rm -f "$data/icons/hicolor/${size}x$size/apps/vossik-lights.png"; done
    echo "removed $entry and its icons"
    exit 0
fi

# The path as one quoted argument of Exec: \ " ` $ escaped for the quoting,
# then every \ once more for the file's string, and % doubled.
quoted="$(printf '%s' "$here/TS3_Vossik_Helper_win64" |
    sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
mkdir -p "$data/applications"
sed -e "s|^Exec=.*|Exec=\"$(printf '%s' "$quoted" | sed 's/[|&\\]/\\&/g')\" --standalone|" \
    "$here/vossik-lights.desktop" > "$entry.new"
mv "$entry.new" "$entry"
for size in $sizes; do
    mkdir -p "$data/icons/hicolor/${size}x$size/apps"
    cp "$here/icons/vossik-$size.png" "$data/icons/hicolor/${size}x$size/apps/vossik-lights.png"
done
# Menus watch these folders: no cache to update (a user's own icon cache
# would hide icons that other programs add later without updating it).
echo "wrote $entry"
