# shellcheck shell=bash
# Sourced by the scripts that start the stand-ins (demo.sh, the package
# check). The port a stand-in names on its first line ("listening on N") in
# file $1; fails after 5 s, saying that $2 did not start.
port_named_in() {
    local port=""
    for _ in $(seq 50); do
        port="$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$1" 2>/dev/null)"
        [ -n "$port" ] && { echo "$port"; return 0; }
        sleep 0.1
    done
    echo "== $2 did not start" >&2
    return 1
}
