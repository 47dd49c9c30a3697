#!/bin/bash
# Stops the innd that scripts/inn-start.sh started: "ctlinnd shutdown", then
# waits for the PID in /run/news/innd.pid to go (a zombie left for PID 1 to
# reap counts as gone) and removes the PID file. Does nothing when innd is
# not running.
set -uo pipefail

PIDFILE=/run/news/innd.pid
say() { printf 'inn-stop: %s\n' "$*"; }

alive() {
    local state
    [ -r "/proc/$1/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
    [ "$state" != Z ]
}

pid=$(tr -dc '0-9' 2>/dev/null <"$PIDFILE")
if [ -z "$pid" ] || ! alive "$pid" || [ "$(cat "/proc/$pid/comm" 2>/dev/null)" != innd ]; then
    rm -f "$PIDFILE"
    say "innd is not running"
    exit 0
fi

say "stopping innd $pid"
runuser -u news -- /usr/lib/news/bin/ctlinnd -s -t 10 shutdown 'korvex inn-stop' ||
    say "ctlinnd shutdown failed; sending SIGTERM"
for _ in $(seq 100); do
    alive "$pid" || break
    sleep 0.1
done
if alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null
    for _ in $(seq 50); do
        alive "$pid" || break
        sleep 0.1
    done
fi
if alive "$pid"; then
    say "innd $pid did not stop"
    exit 1
fi
rm -f "$PIDFILE"
say "stopped"
