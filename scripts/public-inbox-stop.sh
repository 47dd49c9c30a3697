#!/bin/bash
# Stops the public-inbox-nntpd that scripts/public-inbox-start.sh started: the
# PID in KORVEX_PI_DIR/nntpd.pid (default /tmp/korvex-public-inbox) gets
# SIGTERM, then SIGKILL if it has not gone within 5 s (a zombie left for PID 1
# to reap counts as gone), and the PID file is removed. The inbox stays, so the
# next start serves it at once. Does nothing when the server is not running.
set -uo pipefail

DIR=${KORVEX_PI_DIR:-/tmp/korvex-public-inbox}
PIDFILE=$DIR/nntpd.pid
say() { printf 'public-inbox-stop: %s\n' "$*"; }

alive() {
    local state
    [ -r "/proc/$1/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
    [ "$state" != Z ]
}

pid=$(tr -dc '0-9' 2>/dev/null <"$PIDFILE")
if [ -z "$pid" ] || ! alive "$pid" ||
    ! tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q public-inbox-nntpd; then
    rm -f "$PIDFILE"
    say "public-inbox-nntpd is not running"
    exit 0
fi

say "stopping public-inbox-nntpd $pid"
kill -TERM "$pid" 2>/dev/null
for _ in $(seq 50); do
    alive "$pid" || break
    sleep 0.1
done
if alive "$pid"; then
    say "sending SIGKILL"
    kill -KILL "$pid" 2>/dev/null
    for _ in $(seq 20); do
        alive "$pid" || break
        sleep 0.1
    done
fi
if alive "$pid"; then
    say "public-inbox-nntpd $pid did not stop"
    exit 1
fi
rm -f "$PIDFILE"
say "stopped"
