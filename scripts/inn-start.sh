#!/bin/bash
# Installs, configures and starts the INN news server that the integration
# tests and benchmarks search, and loads the generated test articles into it.
#
# Usage: scripts/inn-start.sh [--reset] [BUILD_DIR | PATH_TO_KORVEX_FEED]
#   BUILD_DIR            a build directory holding tests/inn/korvex-feed
#                        (default: build-inn, then build, beside this script's repo)
#   --reset              empty the spool and load everything again
#
# Safe to run again: with the server up and the articles loaded it only checks
# and returns. innd runs as user news, listens on 127.0.0.1:119, serves readers
# from 127.0.0.1 without authentication and takes the feed only from 127.0.0.2.
# Its PID file is /run/news/innd.pid; scripts/inn-stop.sh stops it.
set -euo pipefail

NEWSBIN=/usr/lib/news/bin
NEWSETC=/etc/news
NEWSDB=/var/lib/news
PIDFILE=/run/news/innd.pid
LOG=/tmp/korvex-inn-start.log
HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$HERE")
STARTED=$(date +%s%N)

say() { printf 'inn-start: %s\n' "$*"; }
die() {
    printf 'inn-start: ERROR: %s\n' "$*" >&2
    exit 1
}
as_news() { runuser -u news -- "$@"; }

reset=0
target=""
for arg in "$@"; do
    case "$arg" in
    --reset) reset=1 ;;
    -h | --help)
        sed -n '2,14p' "$0"
        exit 0
        ;;
    *) target=$arg ;;
    esac
done

# --- the loader -------------------------------------------------------------
# shellcheck source=find-feeder.sh
. "$HERE/find-feeder.sh"

# --- installation -------------------------------------------------------------
inn_installed() {
    [ "$(dpkg-query -W -f='${Status}' inn2 2>/dev/null)" = "install ok installed" ]
}

install_inn() {
    inn_installed && return 0
    say "installing inn2 (log: $LOG)"
    export DEBIAN_FRONTEND=noninteractive
    local own_policy=0
    if [ ! -e /usr/sbin/policy-rc.d ]; then
        # Keeps the package scripts from starting innd (or the mail server) themselves.
        printf '#!/bin/sh\nexit 101\n' >/usr/sbin/policy-rc.d
        chmod 755 /usr/sbin/policy-rc.d
        own_policy=1
    fi
    local policy
    policy=$(apt-cache policy inn2 2>/dev/null || true)
    if [[ "$policy" != *"Candidate: "[0-9]* ]]; then
        say "apt-get update"
        apt-get update -q >>"$LOG" 2>&1 || die "apt-get update failed (see $LOG)"
    fi
    # The package's configure step stops while inn.conf has no domain; it is
    # finished below once configure_inn has set one.
    apt-get install -y -q --no-install-recommends inn2 >>"$LOG" 2>&1 || true
    [ -f $NEWSETC/inn.conf ] || die "apt-get install inn2 failed (see $LOG)"
    configure_inn >/dev/null
    dpkg --configure -a >>"$LOG" 2>&1 || die "dpkg --configure -a failed (see $LOG)"
    [ $own_policy = 1 ] && rm -f /usr/sbin/policy-rc.d
    inn_installed || die "inn2 is not installed after apt-get (see $LOG)"
}

# --- configuration ------------------------------------------------------------
# Installs the text from stdin as file $1 (owned by news) when it differs;
# prints the file name when it changed.
put_file() {
    local file=$1 tmp
    tmp=$(mktemp)
    cat >"$tmp"
    if [ -f "$file" ] && cmp -s "$tmp" "$file"; then
        rm -f "$tmp"
        return 0
    fi
    install -m 644 -o news -g news "$tmp" "$file"
    rm -f "$tmp"
    echo "$file"
}

# inn.conf: each key set by replacing its first line (innd takes the first of
# duplicates) and dropping any later ones; keys not present are appended.
set_inn_conf() {
    awk -v settings="$1" '
        BEGIN {
            n = split(settings, pairs, "\n")
            for (i = 1; i <= n; i++) {
                if (pairs[i] == "") continue
                key = pairs[i]; sub(/:.*/, "", key)
                value[key] = pairs[i]; order[++keys] = key
            }
        }
        {
            key = $0
            if (match(key, /^[A-Za-z]+:/)) {
                key = substr(key, 1, RLENGTH - 1)
                if (key in value) {
                    if (!(key in done)) print value[key]
                    done[key] = 1
                    next
                }
            }
            print
        }
        END { for (i = 1; i <= keys; i++) if (!(order[i] in done)) print value[order[i]] }
    ' $NEWSETC/inn.conf
}

configure_inn() {
    set_inn_conf "domain: korvex.test
pathhost: news.korvex.test
server: 127.0.0.1
bindaddress: 127.0.0.1
port: 119
artcutoff: 0
nnrpdloadlimit: 0
doinnwatch: false
maxartsize: 1000000
" | put_file $NEWSETC/inn.conf

    put_file $NEWSETC/incoming.conf <<'EOF'
# Written by korvex scripts/inn-start.sh: only the loader (which connects from
# 127.0.0.2) feeds innd; every other client gets the reader.
streaming:          true
max-connections:    0

peer korvexfeed {
  hostname:         "127.0.0.2"
}
EOF

    put_file $NEWSETC/readers.conf <<'EOF'
# Written by korvex scripts/inn-start.sh: local readers without authentication.
auth "localhost" {
    hosts: "127.0.0.1, ::1, localhost, stdin"
    default: "<localhost>"
}

access "localhost" {
    users: "<localhost>"
    newsgroups: "*"
    access: RPA
}
EOF

    put_file $NEWSETC/expire.ctl <<'EOF'
# Written by korvex scripts/inn-start.sh: the test articles never expire.
/remember/:11
*:A:never:never:never
EOF
}

# --- the server process -------------------------------------------------------
# The PID of a live innd from the PID file; fails for a missing file, a gone
# process or a zombie (which PID 1 may not have reaped yet).
innd_pid() {
    local pid state
    [ -s $PIDFILE ] || return 1
    pid=$(tr -dc '0-9' <$PIDFILE)
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
    [ "$state" != Z ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = innd ] || return 1
    echo "$pid"
}

greeting_ok() {
    # shellcheck disable=SC2016 # expanded by the inner shell
    timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/119 && read -r l <&3 && [ "${l#200}" != "$l" ]' \
        2>/dev/null
}

start_innd() {
    rm -f $PIDFILE # stale: innd would take it for a running server
    install -d -o news -g news -m 775 /run/news
    [ -f $NEWSDB/.news.daily ] || as_news touch $NEWSDB/.news.daily
    say "starting innd"
    # Detached from our output, so callers reading it through a pipe are not held.
    as_news $NEWSBIN/innd </dev/null >>/var/log/news/innd.out 2>&1 ||
        die "innd did not start (see /var/log/news/errlog)"
    for _ in $(seq 100); do
        greeting_ok && { say "innd $(innd_pid || echo '?') ready, PID file $PIDFILE"; return 0; }
        sleep 0.1
    done
    die "no 200 greeting on 127.0.0.1:119 (see /var/log/news/errlog)"
}

stop_innd() { "$HERE/inn-stop.sh" >/dev/null; }

# Empties the spool, overview, history and active file, with innd stopped.
wiped=0
wipe_spool() {
    wiped=1
    say "emptying the news spool"
    stop_innd
    as_news sh -ec "
        rm -rf /var/spool/news/articles/* /var/spool/news/overview/* $NEWSDB/history*
        cp /usr/lib/news/examples/active $NEWSDB/active
        : >$NEWSDB/active.times
        cd $NEWSDB && $NEWSBIN/makehistory && $NEWSBIN/makedbz -i -o -s 100000"
}

create_groups() {
    local name _count
    while read -r name _count; do
        grep -q "^$name " $NEWSDB/active && continue
        say "creating group $name"
        as_news $NEWSBIN/ctlinnd -s newgroup "$name" y
    done < <("$FEED" --list)
}

# Feeds every article, flushes innd's files and checks what a reader sees.
load_articles() {
    say "loading articles with $FEED"
    "$FEED" || return 1
    as_news $NEWSBIN/ctlinnd -s flush '' || return 1
    "$FEED" --check | sed 's/^/inn-start: /'
}

reload_from_empty() {
    wipe_spool
    start_innd
    create_groups
}

elapsed() { echo "$(( ($(date +%s%N) - STARTED) / 1000000 )) ms"; }

# --- main -----------------------------------------------------------------------
[ "$(id -u)" = 0 ] || die "run as root"
find_feeder
install_inn
changed=$(configure_inn)
[ -n "$changed" ] && say "configured: ${changed//$'\n'/ }"

if [ $reset = 1 ]; then
    wipe_spool
elif [ -n "$changed" ] && innd_pid >/dev/null; then
    say "configuration changed: restarting innd"
    stop_innd
fi
innd_pid >/dev/null || start_innd
greeting_ok || die "innd runs but 127.0.0.1:119 gives no 200 greeting"
create_groups

check_rc=0
"$FEED" --check >/dev/null 2>&1 || check_rc=$?
if [ $check_rc = 0 ]; then
    say "articles already loaded; ready after $(elapsed)"
    exit 0
fi
if [ $check_rc = 3 ]; then
    say "the server holds other articles than the generator makes: reloading"
    reload_from_empty
fi
if ! load_articles; then
    [ $wiped = 1 ] && die "the server does not hold the expected articles"
    say "loading did not give the expected articles: reloading from an empty spool"
    reload_from_empty
    load_articles || die "the server does not hold the expected articles"
fi
say "loaded; ready after $(elapsed)"
