#!/bin/bash
# Starts public-inbox's NNTP server as a second test news server beside INN,
# serving the same generated articles as one INN test group (korvex.test.mixed
# by default), under the same group name and with the same Message-IDs.
#
# Usage: scripts/public-inbox-start.sh [--reset] [BUILD_DIR | PATH_TO_KORVEX_FEED]
#   BUILD_DIR            a build directory holding tests/inn/korvex-feed
#                        (default: build-inn, then build, beside this script's repo)
#   --reset              build the inbox again from nothing
# Environment:
#   KORVEX_PI_PORT       the loopback port to listen on (default 10119)
#   KORVEX_PI_DIR        the scratch folder for the inbox (default /tmp/korvex-public-inbox)
#   KORVEX_PI_GROUP      the generated group it serves (default korvex.test.mixed)
#
# Safe to run again: with the server up and the inbox built from the articles
# the generator makes now it only checks and returns. The articles go in as
# mail files (korvex-feed --write-eml), imported into a version 1 inbox in one
# git fast-import run and indexed with public-inbox-index; the server is
# public-inbox-nntpd -W0 (one process) on 127.0.0.1:PORT, its PID in
# DIR/nntpd.pid; scripts/public-inbox-stop.sh stops it.
set -euo pipefail

PORT=${KORVEX_PI_PORT:-10119}
DIR=${KORVEX_PI_DIR:-/tmp/korvex-public-inbox}
GROUP=${KORVEX_PI_GROUP:-korvex.test.mixed}
PIDFILE=$DIR/nntpd.pid
LOG=$DIR/nntpd.log
ADDRESS=list@korvex-test.invalid
HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$HERE")
STARTED=$(date +%s%N)

say() { printf 'public-inbox-start: %s\n' "$*"; }
die() {
    printf 'public-inbox-start: ERROR: %s\n' "$*" >&2
    exit 1
}

reset=0
target=""
for arg in "$@"; do
    case "$arg" in
    --reset) reset=1 ;;
    -h | --help)
        sed -n '2,20p' "$0"
        exit 0
        ;;
    *) target=$arg ;;
    esac
done

# shellcheck source=find-feeder.sh
. "$HERE/find-feeder.sh"

install_public_inbox() {
    [ "$(dpkg-query -W -f='${Status}' public-inbox 2>/dev/null)" = "install ok installed" ] &&
        return 0
    say "installing public-inbox"
    export DEBIAN_FRONTEND=noninteractive
    local policy
    policy=$(apt-cache policy public-inbox 2>/dev/null || true)
    if [[ "$policy" != *"Candidate: "[0-9]* ]]; then
        apt-get update -q >>"$DIR/install.log" 2>&1 || die "apt-get update failed (see $DIR/install.log)"
    fi
    apt-get install -y -q --no-install-recommends public-inbox >>"$DIR/install.log" 2>&1 ||
        die "apt-get install public-inbox failed (see $DIR/install.log)"
}

# Everything public-inbox reads and writes stays in the scratch folder.
export PI_CONFIG=$DIR/config HOME=$DIR/home

# The PID of the live nntpd this script started, from the PID file; fails for a
# missing file, a gone process, a zombie or a PID now used by another program.
nntpd_pid() {
    local pid state
    [ -s "$PIDFILE" ] || return 1
    pid=$(tr -dc '0-9' <"$PIDFILE")
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
    [ "$state" != Z ] || return 1
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q "public-inbox-nntpd" || return 1
    echo "$pid"
}

# True when the server greets with 201 and GROUP answers "211 N 1 COUNT GROUP".
serves_group() {
    local count=$1
    # shellcheck disable=SC2016 # expanded by the inner shell
    timeout 3 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0 || exit 1
        read -r greeting <&3; [ "${greeting#201}" != "$greeting" ] || exit 1
        printf "GROUP %s\r\n" "$1" >&3; read -r reply <&3
        printf "QUIT\r\n" >&3
        set -- $reply "$1" "$2"
        [ "$1" = 211 ] && [ "$3" = 1 ] && [ "$4" = "$7" ] && [ "${5%$(printf "\r")}" = "$6" ]' \
        "$PORT" "$GROUP" "$count" 2>/dev/null
}

# A digest of the mail files (and of the way they are imported), kept beside
# the inbox so that a changed generator rebuilds it.
files_digest() {
    {
        sha256sum "$0" | cut -d' ' -f1
        cat "$DIR/eml/"*.eml
    } | sha256sum | cut -d' ' -f1
}

build_inbox() {
    say "building the inbox of $GROUP"
    rm -rf "$DIR/inbox" "$DIR/config" "$DIR/home" "$DIR/digest"
    mkdir -p "$DIR/home"
    public-inbox-init -V1 "$GROUP" "$DIR/inbox" http://korvex-test.invalid/ "$ADDRESS" \
        --ng "$GROUP" >>"$DIR/build.log" 2>&1 || die "public-inbox-init failed (see $DIR/build.log)"
    # One fast-import run for all messages, in file order (article n is file n);
    # public-inbox-mda would take about 0.45 s a message.
    perl -e '
        use strict; use warnings;
        use PublicInbox::Config; use PublicInbox::Import; use PublicInbox::Eml;
        my ($name, @files) = @ARGV;
        my $ibx = PublicInbox::Config->new->lookup_name($name) or die "no inbox $name\n";
        my $im = PublicInbox::Import->new($ibx->git, undef, undef, $ibx);
        for my $f (@files) {
            open my $fh, "<", $f or die "$f: $!\n";
            my $raw = do { local $/; <$fh> };
            $im->add(PublicInbox::Eml->new(\$raw)) or die "$f: not added (a duplicate?)\n";
        }
        $im->done;
    ' "$GROUP" "$DIR/eml/"*.eml >>"$DIR/build.log" 2>&1 || die "import failed (see $DIR/build.log)"
    public-inbox-index "$DIR/inbox" >>"$DIR/build.log" 2>&1 ||
        die "public-inbox-index failed (see $DIR/build.log)"
    echo "$1" >"$DIR/digest"
}

port_taken() { timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0' "$PORT" 2>/dev/null; }

start_nntpd() {
    port_taken && die "another program listens on 127.0.0.1:$PORT; choose a port with KORVEX_PI_PORT"
    say "starting public-inbox-nntpd on 127.0.0.1:$PORT"
    # Its own session and no terminal, detached from our output so that callers
    # reading it through a pipe are not held.
    setsid public-inbox-nntpd -W0 -l "127.0.0.1:$PORT" </dev/null >>"$LOG" 2>&1 &
    echo $! >"$PIDFILE"
    local count=$1
    for _ in $(seq 100); do
        serves_group "$count" && { say "public-inbox-nntpd $(cat "$PIDFILE") ready"; return 0; }
        nntpd_pid >/dev/null || die "public-inbox-nntpd stopped (see $LOG)"
        sleep 0.1
    done
    die "127.0.0.1:$PORT does not serve $GROUP (see $LOG)"
}

elapsed() { echo "$(((($(date +%s%N) - STARTED) / 1000000))) ms"; }

# --- main -----------------------------------------------------------------------
[ "$(id -u)" = 0 ] || die "run as root"
mkdir -p "$DIR"
find_feeder
install_public_inbox

count=$("$FEED" --list | awk -v g="$GROUP" '$1 == g { print $2 }')
[ -n "$count" ] || die "korvex-feed makes no group $GROUP"
rm -rf "$DIR/eml"
mkdir -p "$DIR/eml"
"$FEED" --write-eml "$DIR/eml" "$GROUP" >/dev/null
digest=$(files_digest)

if [ $reset = 1 ] || [ "$(cat "$DIR/digest" 2>/dev/null)" != "$digest" ]; then
    if pid=$(nntpd_pid); then "$HERE/public-inbox-stop.sh" >/dev/null; fi
    build_inbox "$digest"
elif nntpd_pid >/dev/null && serves_group "$count"; then
    say "$GROUP already served on 127.0.0.1:$PORT; ready after $(elapsed)"
    exit 0
fi
if pid=$(nntpd_pid); then
    say "public-inbox-nntpd $pid does not serve $GROUP: restarting it"
    "$HERE/public-inbox-stop.sh" >/dev/null
fi
start_nntpd "$count"
say "$count articles of $GROUP on 127.0.0.1:$PORT; ready after $(elapsed)"
