#!/bin/bash
# Extra INN 2.7 nnrpd daemons on 127.0.0.1 for NNTP client integration tests:
# implicit TLS, STARTTLS, AUTHINFO USER/PASS (ckpasswd), and deliberately bad certificates.
#
#   scripts/inn-tls.sh setup  [DIR]   generate CA, certificates, passwd, readers.conf and inn.conf variants
#   scripts/inn-tls.sh start  [DIR]   start the daemons (runs setup first if DIR/ca.pem is missing)
#   scripts/inn-tls.sh stop   [DIR]   stop them (by PID) and remove their /run/news/nnrpd-PORT.pid files
#   scripts/inn-tls.sh status [DIR]
# DIR defaults to $KORVEX_TLS_DIR, else /tmp/korvex-inn-tls; the tests find the
# CA there (DIR/ca.pem) and add $KORVEX_TLS_PORT_OFFSET to every port below.
# Environment: TEST_USER / TEST_PASS (default testuser / testpass),
# KORVEX_TLS_PORT_OFFSET (default 0).
#
# Run as root. nnrpd binds (port 563 via the setuid program innbind) and then switches to user news.
# innd, port 119 and everything under /etc/news are left untouched: the daemons get their TLS
# settings from DIR/inn-*.conf (INNCONF=...) and their access rules from DIR/readers-*.conf (-c).
set -euo pipefail

cmd=${1:-}
DIR=${2:-${KORVEX_TLS_DIR:-/tmp/korvex-inn-tls}}
[ -n "$cmd" ] || { echo "usage: $0 setup|start|stop|status [DIR]" >&2; exit 2; }
NNRPD=/usr/lib/news/bin/nnrpd
CKPASSWD=/usr/lib/news/bin/auth/passwd/ckpasswd
PATHRUN=/run/news
TEST_USER=${TEST_USER:-testuser}
TEST_PASS=${TEST_PASS:-testpass}
PORT_OFFSET=${KORVEX_TLS_PORT_OFFSET:-0}   # e.g. 10000 -> 10563, 11119, ...

# name         port  tls        certificate  readers file
DAEMONS="
nntps          563   implicit   server       readers-open.conf
starttls       1119  starttls   server       readers-open.conf
auth-plain     1120  starttls   server       readers-auth.conf
auth-tlsonly   1121  starttls   server       readers-auth-tlsonly.conf
nntps-auth     1563  implicit   server       readers-auth.conf
bad-selfsigned 1564  implicit   selfsigned   readers-open.conf
bad-hostname   1565  implicit   wronghost    readers-open.conf
bad-expired    1566  implicit   expired      readers-open.conf
bad-starttls   1567  starttls   selfsigned   readers-open.conf
"

setup() {
    mkdir -p "$DIR"
    DIR=$(cd "$DIR" && pwd)
    cd "$DIR"
    umask 022
    local ec=(-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes)
    local ext='basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=serverAuth'
    printf '%s\nsubjectAltName=DNS:localhost,IP:127.0.0.1\n' "$ext" > server.ext
    printf '%s\nsubjectAltName=DNS:wrong.example.invalid\n' "$ext" > wronghost.ext

    # Test CA
    openssl req -x509 "${ec[@]}" -sha256 -days 3650 -subj "/CN=INN Test CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout ca.key -out ca.pem 2>/dev/null

    # Good server certificate: CN=localhost, SAN DNS:localhost + IP:127.0.0.1, issued by the test CA
    openssl req -new "${ec[@]}" -subj "/CN=localhost" -keyout server.key -out server.csr 2>/dev/null
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 -sha256 \
        -extfile server.ext -out server.pem 2>/dev/null

    # Bad 1: self-signed certificate for localhost/127.0.0.1 (not issued by the test CA)
    openssl req -x509 "${ec[@]}" -sha256 -days 825 -subj "/CN=localhost" \
        -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
        -keyout selfsigned.key -out selfsigned.pem 2>/dev/null

    # Bad 2: issued by the test CA, but for another host name (no localhost, no 127.0.0.1)
    openssl req -new "${ec[@]}" -subj "/CN=wrong.example.invalid" -keyout wronghost.key -out wronghost.csr 2>/dev/null
    openssl x509 -req -in wronghost.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 825 -sha256 \
        -extfile wronghost.ext -out wronghost.pem 2>/dev/null

    # Bad 3: issued by the test CA for localhost/127.0.0.1, expired (valid 2020-01-01 .. 2020-02-01)
    openssl req -new "${ec[@]}" -subj "/CN=localhost" -keyout expired.key -out expired.csr 2>/dev/null
    mkdir -p cadb; : > cadb/index.txt; openssl rand -hex 8 > cadb/serial
    cat > cadb/ca.cnf <<CNF
[ ca ]
default_ca     = testca
[ testca ]
database       = $DIR/cadb/index.txt
new_certs_dir  = $DIR/cadb
certificate    = $DIR/ca.pem
private_key    = $DIR/ca.key
serial         = $DIR/cadb/serial
default_md     = sha256
policy         = anything
unique_subject = no
[ anything ]
commonName     = supplied
CNF
    openssl ca -batch -config cadb/ca.cnf -notext -startdate 20200101000000Z -enddate 20200201000000Z \
        -extfile server.ext -in expired.csr -out expired.pem 2>/dev/null
    rm -f ./*.csr

    # Password file for "ckpasswd -f": one "user:crypt(3)-hash" per line
    {
        printf '%s:%s\n' "$TEST_USER" "$(printf '%s\n' "$TEST_PASS" | openssl passwd -5 -stdin)"
        printf '%s:%s\n' otheruser "$(printf '%s\n' otherpass | openssl passwd -5 -stdin)"
    } > passwd

    # readers.conf variants, passed to nnrpd with -c
    cat > readers-open.conf <<CONF
# Loopback clients may read (and post) without authenticating, like port 119.
auth "test-open" {
    hosts: "127.0.0.1, localhost, ::1"
    default: "<open>"
}
access "test-open" {
    users: "<open>"
    newsgroups: "*"
    access: RPA
}
CONF
    cat > readers-auth.conf <<CONF
# No default identity: until AUTHINFO USER/PASS succeeds, reading commands answer 480.
auth "test-users" {
    hosts: "127.0.0.1, localhost, ::1"
    auth: "$CKPASSWD -f $DIR/passwd"
}
access "test-users" {
    users: "*"
    newsgroups: "*"
    access: RPA
}
CONF
    cat > readers-auth-tlsonly.conf <<CONF
# As readers-auth.conf, but the auth group only exists on an encrypted connection:
# before STARTTLS, AUTHINFO USER/PASS answer 483.
auth "test-users-tls" {
    hosts: "127.0.0.1, localhost, ::1"
    require_encryption: true
    auth: "$CKPASSWD -f $DIR/passwd"
}
access "test-users-tls" {
    users: "*"
    newsgroups: "*"
    access: RPA
}
CONF

    # inn.conf variants (selected with INNCONF=...): system inn.conf + tls* keys
    local c
    for c in server selfsigned wronghost expired; do
        {
            grep -Ev '^[[:space:]]*tls' /etc/news/inn.conf
            printf 'tlscapath:   "%s"\n' "$DIR"
            printf 'tlscertfile: "%s/%s.pem"\n' "$DIR" "$c"
            printf 'tlskeyfile:  "%s/%s.key"\n' "$DIR" "$c"
        } > "inn-$c.conf"
    done

    # nnrpd runs as news: it must be able to reach DIR and read keys, readers files and passwd.
    # nnrpd refuses a world-readable private key ("580/400 Error initializing TLS").
    mkdir -p run log
    chown -R news:news "$DIR"
    chmod 755 "$DIR"
    chmod 600 ./*.key passwd
}

listening() { # PORT: is 127.0.0.1:PORT in LISTEN state? (no connection made)
    awk -v a="$(printf '0100007F:%04X' "$1")" '$2 == a && $4 == "0A" { f = 1 } END { exit !f }' /proc/net/tcp
}

alive() { # PID: running nnrpd (not a zombie)?
    [ -r "/proc/$1/status" ] && [ "$(cat "/proc/$1/comm" 2>/dev/null)" = nnrpd ] &&
        ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

running() { # are all daemons up, started from DIR?
    local name port tls cert readers pid
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        pid=$(cat "$DIR/run/$name.pid" 2>/dev/null) || return 1
        alive "$pid" && listening "$port" || return 1
    done <<< "$DAEMONS"
}

start() {
    [ -f "$DIR/ca.pem" ] || setup
    DIR=$(cd "$DIR" && pwd)
    local name port tls cert readers pid i t0=$EPOCHREALTIME
    local -a args
    if running; then echo "already running"; return 0; fi
    # nnrpd -D writes PATHRUN/nnrpd-PORT.pid and exits if it cannot.
    [ -d "$PATHRUN" ] || install -d -o news -g news -m 775 "$PATHRUN"
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        if listening "$port"; then echo "127.0.0.1:$port already in use" >&2; return 1; fi
    done <<< "$DAEMONS"
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        args=(-D -f -n -b 127.0.0.1 -p "$port" -c "$DIR/$readers")
        [ "$tls" = implicit ] && args+=(-S)
        # -f: stay in the foreground so that $! is the listening nnrpd itself.
        # All three standard fds are redirected so that no caller pipe is held open.
        INNCONF="$DIR/inn-$cert.conf" "$NNRPD" "${args[@]}" </dev/null >>"$DIR/log/$name.log" 2>&1 &
        echo $! > "$DIR/run/$name.pid"
    done <<< "$DAEMONS"
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        pid=$(cat "$DIR/run/$name.pid")
        for ((i = 0; i < 500; i++)); do
            listening "$port" && break
            alive "$pid" || break
            sleep 0.01
        done
        if ! listening "$port"; then
            echo "$name (127.0.0.1:$port) did not start; see $DIR/log/$name.log" >&2
            stop
            return 1
        fi
    done <<< "$DAEMONS"
    awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "all listening after %.0f ms\n", (b - a) * 1000 }'
}

stop() {
    local name port tls cert readers pid c i
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        pid=$(cat "$DIR/run/$name.pid" 2>/dev/null) || continue
        if alive "$pid"; then
            # Connection handlers are children of the listener; they would otherwise live on
            # until their client disconnects or clienttimeout (inn.conf) expires.
            for c in $(awk -v p="$pid" '$4 == p { print $1 }' /proc/[0-9]*/stat 2>/dev/null); do
                [ "$(cat "/proc/$c/comm" 2>/dev/null)" = nnrpd ] && kill -TERM "$c" 2>/dev/null || true
            done
            kill -TERM "$pid" 2>/dev/null || true
            # A killed daemon whose parent has gone stays a zombie until init reaps it:
            # wait for "not alive" and for the port to close, not for kill -0 to fail.
            for ((i = 0; i < 300; i++)); do
                alive "$pid" || listening "$port" || break
                sleep 0.01
            done
        fi
        rm -f "$DIR/run/$name.pid" "$PATHRUN/nnrpd-$port.pid"
    done <<< "$DAEMONS"
}

status() {
    local name port tls cert readers pid s
    while read -r name port tls cert readers; do
        [ -n "$name" ] || continue
        port=$((port + PORT_OFFSET))
        pid=$(cat "$DIR/run/$name.pid" 2>/dev/null || echo -)
        if listening "$port"; then s=listening; else s=down; fi
        printf '%-15s 127.0.0.1:%-5s %-9s %-11s %-26s pid %-7s %s\n' \
            "$name" "$port" "$tls" "$cert" "$readers" "$pid" "$s"
    done <<< "$DAEMONS"
}

[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 1; }
case "$cmd" in
    setup) setup ;;
    start) start ;;
    stop) stop ;;
    status) status ;;
    *) echo "usage: $0 setup|start|stop|status [DIR]" >&2; exit 2 ;;
esac
