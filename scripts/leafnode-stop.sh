#!/bin/bash
# Stops the socat listener that scripts/leafnode-start.sh started (the PID in
# KORVEX_LEAF_DIR/socat.pid, default /tmp/korvex-leafnode): SIGTERM, then
# SIGKILL after 5 s; a zombie left for PID 1 to reap counts as gone. A leafnode
# still serving an open connection ends when its client goes. The spool stays.
# Does nothing when the listener is not running.
set -uo pipefail

DIR=${KORVEX_LEAF_DIR:-/tmp/korvex-leafnode}
PIDFILE=$DIR/socat.pid
say() { printf 'leafnode-stop: %s\n' "$*"; }

alive() {
    local state
    [ -r "/proc/$1/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
    [ "$state" != Z ]
}

pid=$(tr -dc '0-9' 2>/dev/null <"$PIDFILE")
if [ -z "$pid" ] || ! alive "$pid" || [ "$(cat "/proc/$pid/comm" 2>/dev/null)" != socat ]; then
    rm -f "$PIDFILE"
    say "leafnode's listener is not running"
    exit 0
fi

say "stopping socat $pid"
kill -TERM "$pid" 2>/dev/null
for _ in $(seq 50); do
    alive "$pid" || break
    sleep 0.1
done
if alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null
    sleep 0.2
fi
if alive "$pid"; then
    say "socat $pid did not stop"
    exit 1
fi
rm -f "$PIDFILE"
say "stopped"
