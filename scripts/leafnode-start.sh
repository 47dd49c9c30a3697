#!/bin/bash
# Starts leafnode as a third test news server beside INN and public-inbox,
# holding the articles of one INN test group (korvex.test.mixed by default),
# fetched from INN with fetchnews.
#
# Usage: scripts/leafnode-start.sh [--reset] [BUILD_DIR | PATH_TO_KORVEX_FEED]
#   BUILD_DIR            a build directory holding tests/inn/korvex-feed
#   --reset              empty leafnode's spool and fetch again
# Environment:
#   KORVEX_LEAF_PORT     the loopback port to listen on (default 10120)
#   KORVEX_LEAF_DIR      the scratch folder (default /tmp/korvex-leafnode)
#
# The leafnode package is never installed (it would remove inn2): it is
# downloaded and unpacked into the scratch folder, and each of its programs
# runs in a private mount namespace where the folder's etc/ and spool/ are
# bound over the paths compiled into it (/etc/news, /var/spool/news), leaving
# INN's files alone. leafnode serves one connection a process on its standard
# input and output: socat listens on 127.0.0.1:PORT and starts one for each
# connection; its PID is in DIR/socat.pid, and scripts/leafnode-stop.sh stops it.
#
# Never post to this server: the next fetchnews would post the article to INN.
#
# Safe to run again: with the server up and the spool holding the generated
# group's first and last articles it only checks and returns. Needs INN up
# with the articles loaded (scripts/inn-start.sh). leafnode keeps no article
# whose From starts with a non-ASCII letter, so it holds fewer articles than
# INN, numbered from 2.
set -euo pipefail

PORT=${KORVEX_LEAF_PORT:-10120}
DIR=${KORVEX_LEAF_DIR:-/tmp/korvex-leafnode}
GROUP=korvex.test.mixed
PIDFILE=$DIR/socat.pid
HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$HERE")
STARTED=$(date +%s%N)

say() { printf 'leafnode-start: %s\n' "$*"; }
die() {
    printf 'leafnode-start: ERROR: %s\n' "$*" >&2
    exit 1
}

reset=0
target=""
for arg in "$@"; do
    case "$arg" in
    --reset) reset=1 ;;
    -h | --help)
        sed -n '2,27p' "$0"
        exit 0
        ;;
    *) target=$arg ;;
    esac
done

# shellcheck source=find-feeder.sh
. "$HERE/find-feeder.sh"

unpack_leafnode() {
    [ -x "$DIR/root/usr/sbin/leafnode" ] && return 0
    say "downloading and unpacking leafnode (not installing it)"
    rm -rf "$DIR/deb"
    mkdir -p "$DIR/deb"
    (cd "$DIR/deb" && apt-get download leafnode >>"$DIR/setup.log" 2>&1) ||
        die "apt-get download leafnode failed (see $DIR/setup.log)"
    dpkg -x "$DIR"/deb/leafnode_*.deb "$DIR/root" || die "dpkg -x failed"
}

need_socat() {
    command -v socat >/dev/null && return 0
    say "installing socat"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends socat \
        >>"$DIR/setup.log" 2>&1 || die "apt-get install socat failed (see $DIR/setup.log)"
}

# The spool and the configuration, and the wrapper that runs a leafnode
# program with them bound over its compiled-in paths.
prepare() {
    mkdir -p "$DIR/etc/leafnode"
    local dir
    for dir in leaf.node interesting.groups out.going failed.postings message.id temp.files; do
        install -d -o news -g news -m 2775 "$DIR/spool/$dir"
    done
    # maxage 0: the generated articles are years old. The upstream is INN's reader.
    cat >"$DIR/etc/leafnode/config" <<'EOF'
server = 127.0.0.1
expire = 100000
maxage = 0
clamp_maxage = 0
initialfetch = 0
maxfetch = 100000
hostname = leafnode.korvex-test.net
EOF
    # leafnode fetches only the groups its readers asked for: this one.
    install -o news -g news -m 664 /dev/null "$DIR/spool/interesting.groups/$GROUP"
    cat >"$DIR/run-leafnode" <<EOF
#!/bin/sh
# Runs a leafnode program (\$1, a path under $DIR/root) with $DIR/etc as
# /etc/news and $DIR/spool as /var/spool/news, in a mount namespace of its own.
exec unshare -m --propagation private sh -c 'mount --bind "$DIR/etc" /etc/news && mount --bind "$DIR/spool" /var/spool/news && exec "\$0" "\$@"' "\$@"
EOF
    chmod 755 "$DIR/run-leafnode"
    printf '#!/bin/sh\nexec "%s/run-leafnode" "%s/root/usr/sbin/leafnode"\n' "$DIR" "$DIR" \
        >"$DIR/serve"
    chmod 755 "$DIR/serve"
}

# True when the spool holds the generated group's first and last articles.
spool_holds_group() {
    local first last dir
    first=$(sed -n 's/^Message-ID: //p' "$DIR/eml/000001.eml")
    last=$(sed -n 's/^Message-ID: //p' "$(ls "$DIR"/eml/*.eml | tail -n 1)")
    dir="$DIR/spool/${GROUP//.//}"
    [ -d "$dir" ] || return 1
    grep -rqlF -- "Message-ID: $first" "$dir" && grep -rqlF -- "Message-ID: $last" "$dir"
}

fetch() {
    say "fetching $GROUP from INN (127.0.0.1:119) with fetchnews"
    rm -rf "$DIR/spool/${GROUP%%.*}" "$DIR/spool/message.id" "$DIR/spool/leaf.node"/*
    install -d -o news -g news -m 2775 "$DIR/spool/message.id"
    "$DIR/run-leafnode" "$DIR/root/usr/sbin/fetchnews" -f >>"$DIR/fetch.log" 2>&1 ||
        die "fetchnews failed (see $DIR/fetch.log)"
    # fetchnews writes the overview in the background.
    for _ in $(seq 100); do
        [ -s "$DIR/spool/${GROUP//.//}/.overview" ] && break
        sleep 0.1
    done
    spool_holds_group || die "fetchnews did not fetch $GROUP (see $DIR/fetch.log)"
}

socat_pid() {
    local pid state
    [ -s "$PIDFILE" ] || return 1
    pid=$(tr -dc '0-9' <"$PIDFILE")
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
    [ "$state" != Z ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = socat ] || return 1
    echo "$pid"
}

greeting_ok() {
    # shellcheck disable=SC2016 # expanded by the inner shell
    timeout 3 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0 && read -r l <&3 && [ "${l#200 Leafnode}" != "$l" ] &&
        printf "QUIT\r\n" >&3' "$PORT" 2>/dev/null
}

start_socat() {
    timeout 2 bash -c 'exec 3<>/dev/tcp/127.0.0.1/$0' "$PORT" 2>/dev/null &&
        die "another program listens on 127.0.0.1:$PORT; choose a port with KORVEX_LEAF_PORT"
    say "starting leafnode behind socat on 127.0.0.1:$PORT"
    # nofork: leafnode must see the TCP socket itself, else it denies access.
    setsid socat "TCP-LISTEN:$PORT,bind=127.0.0.1,reuseaddr,fork" "EXEC:$DIR/serve,nofork" \
        </dev/null >>"$DIR/socat.log" 2>&1 &
    echo $! >"$PIDFILE"
    for _ in $(seq 50); do
        greeting_ok && { say "socat $(cat "$PIDFILE") ready"; return 0; }
        sleep 0.1
    done
    die "no leafnode greeting on 127.0.0.1:$PORT (see $DIR/socat.log)"
}

elapsed() { echo "$(((($(date +%s%N) - STARTED) / 1000000))) ms"; }

# --- main -----------------------------------------------------------------------
[ "$(id -u)" = 0 ] || die "run as root"
mkdir -p "$DIR"
find_feeder
"$FEED" --check >/dev/null 2>&1 || die "INN does not hold the generated articles: run scripts/inn-start.sh first"
need_socat
unpack_leafnode
prepare
rm -rf "$DIR/eml"
mkdir -p "$DIR/eml"
"$FEED" --write-eml "$DIR/eml" "$GROUP" >/dev/null

if [ $reset = 1 ] || ! spool_holds_group; then
    fetch
fi
if socat_pid >/dev/null && greeting_ok; then
    say "$GROUP already served on 127.0.0.1:$PORT; ready after $(elapsed)"
    exit 0
fi
"$HERE/leafnode-stop.sh" >/dev/null
start_socat
say "$GROUP on 127.0.0.1:$PORT; ready after $(elapsed)"
