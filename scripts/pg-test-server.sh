#!/usr/bin/env bash
# Throwaway PostgreSQL server for the test suite.
#
#   pg-test-server.sh start DIR   initialises a cluster in DIR/data and starts it on 127.0.0.1
#                                 with the first free port from 55432 upward (trust
#                                 authentication, fsync off, unix socket inside DIR), then writes
#                                 DIR/connection.txt with the connection string to use.
#   pg-test-server.sh stop DIR    stops the server (or both servers of a pair) and removes DIR.
#
# A primary with a streaming standby, for tests of failing over:
#   pg-test-server.sh start-pair DIR    starts a primary in DIR/primary and a standby copied from
#                                       it (pg_basebackup -R) in DIR/standby, each as start does,
#                                       with DIR/primary/port and DIR/standby/port. Commits on the
#                                       primary wait until the standby has them (synchronous
#                                       replication). DIR/connection.txt names both hosts,
#                                       primary first.
#   pg-test-server.sh stop-primary DIR  stops the primary at once, as a crash would.
#   pg-test-server.sh promote DIR       makes the standby a primary that accepts writes.
#
# All are idempotent where that makes sense: start and start-pair first stop and wipe what an
# earlier run left in DIR, stop on a missing DIR does nothing. DIR is only ever wiped when it carries this script's marker
# file (or is empty), so a wrong argument cannot delete somebody's data. As root the cluster is
# run by the "postgres" user. Environment: PG_BIN (default /usr/lib/postgresql/15/bin),
# PG_TEST_PORT_FIRST (default 55432), PG_TEST_PORT_TRIES (default 100).
# in_member sets DIR in a subshell on purpose: the caller's DIR stays the pair's.
# shellcheck disable=SC2030,SC2031
set -euo pipefail

PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}
PORT_FIRST=${PG_TEST_PORT_FIRST:-55432}
PORT_TRIES=${PG_TEST_PORT_TRIES:-100}
MARKER=.pg-test-server
SERVER_USER=postgres

die() {
    echo "pg-test-server: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 start|stop|start-pair|stop-primary|promote DIR" >&2
    exit 2
}

[[ $# -eq 2 ]] || usage
ACTION=$1
DIR=$2
[[ -n "$DIR" ]] || usage

# Runs a command as the server's owner: the postgres user when we are root, ourselves otherwise.
as_owner() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u "$SERVER_USER" -- "$@"
    else
        "$@"
    fi
}

# Absolute path without requiring it to exist (realpath -m).
DIR=$(realpath -m -- "$DIR")
case "$DIR" in
    / | /bin | /boot | /dev | /etc | /home | /lib | /proc | /root | /sys | /tmp | /usr | /var | /work)
        die "refusing to use $DIR as a server directory" ;;
esac
CONNECTION_FILE="$DIR/connection.txt"
# The server's own files live in DIR, or, where the postgres user cannot reach DIR (a checkout
# below /root, say), in a directory of /tmp whose name DIR/serverdir holds.
set_paths() {
    SERVER_ROOT=$DIR
    if [[ -f "$DIR/serverdir" ]]; then
        SERVER_ROOT=$(cat -- "$DIR/serverdir")
        [[ "$SERVER_ROOT" == /tmp/res00011-pgtest.* ]] || die "$DIR/serverdir names $SERVER_ROOT; not using it"
    fi
    DATA="$SERVER_ROOT/data"
    SOCKET_DIR="$SERVER_ROOT/socket"
    LOG="$SERVER_ROOT/server.log"
}
set_paths

owned_by_us() {
    [[ -f "$DIR/$MARKER" ]] || [[ -z "$(ls -A -- "$DIR" 2>/dev/null)" ]]
}

# PID of the postmaster recorded in DIR, if that process still exists.
recorded_pid() {
    local pid
    [[ -f "$DATA/postmaster.pid" ]] || return 1
    pid=$(head -n 1 -- "$DATA/postmaster.pid" 2>/dev/null || true)
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    # Only a postgres process counts: after a reboot the number may belong to something else.
    [[ "$(cat "/proc/$pid/comm" 2>/dev/null || true)" == postgres* ]] || return 1
    echo "$pid"
}

stop_server() {
    local pid i
    [[ -d "$DATA" ]] || return 0
    if pid=$(recorded_pid); then
        as_owner "$PG_BIN/pg_ctl" stop -D "$DATA" -m fast -w -t 30 >/dev/null 2>&1 \
            || as_owner "$PG_BIN/pg_ctl" stop -D "$DATA" -m immediate -w -t 30 >/dev/null 2>&1 \
            || true
        for i in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            if [[ $i -eq 30 ]]; then kill -KILL "$pid" 2>/dev/null || true; fi
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            die "server process $pid in $DIR does not stop"
        fi
    fi
}

wipe_dir() {
    if [[ "$SERVER_ROOT" != "$DIR" && -d "$SERVER_ROOT" ]]; then
        rm -rf -- "$SERVER_ROOT"
    fi
    if [[ -e "$DIR" ]]; then
        owned_by_us || die "$DIR exists and was not made by this script (no $MARKER file); not touching it"
        rm -rf -- "$DIR"
    fi
}

port_in_use() {
    # Something answers on the port (any protocol) or a server of ours already claims it.
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

check_binaries() {
    [[ -x "$PG_BIN/initdb" && -x "$PG_BIN/pg_ctl" ]] || die "PostgreSQL binaries not found in $PG_BIN"
    if [[ $(id -u) -eq 0 ]]; then
        id "$SERVER_USER" >/dev/null 2>&1 || die "user $SERVER_USER does not exist"
    fi
}

# Makes DIR afresh (after stopping and wiping a server of ours left there) with its marker and a
# place for the server's files that the owner can write to.
prepare_dir() {
    if [[ -e "$DIR" ]]; then
        owned_by_us || die "$DIR exists and was not made by this script (no $MARKER file); not touching it"
        stop_members
        stop_server
        wipe_dir
    fi
    mkdir -p -- "$DIR"
    touch -- "$DIR/$MARKER"
    set_paths
    if [[ $(id -u) -eq 0 ]]; then
        chown -R "$SERVER_USER" -- "$DIR"
        if ! as_owner test -w "$DIR"; then
            mktemp -d /tmp/res00011-pgtest.XXXXXX >"$DIR/serverdir"
            set_paths
            chown "$SERVER_USER" -- "$SERVER_ROOT"
            as_owner test -w "$SERVER_ROOT" || die "user $SERVER_USER cannot write to $SERVER_ROOT"
        fi
    fi
    as_owner mkdir -p -- "$SOCKET_DIR"
}

init_cluster() {
    if ! as_owner "$PG_BIN/initdb" -D "$DATA" -U postgres --auth=trust --no-sync -E UTF8 --no-locale \
        >"$DIR/initdb.log" 2>&1; then
        cat "$DIR/initdb.log" >&2
        die "initdb failed in $DATA"
    fi
    cat >>"$DATA/postgresql.conf" <<EOF

# Throwaway test server: loopback only, speed over durability.
listen_addresses = '127.0.0.1'
unix_socket_directories = '$SOCKET_DIR'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 50
EOF
}

# Starts the cluster in DATA on the first free port, waits until it answers and writes DIR/port
# and DIR/connection.txt.
launch() {
    local port tries=0 started=0
    port=$PORT_FIRST
    while [[ $tries -lt $PORT_TRIES ]]; do
        tries=$((tries + 1))
        if port_in_use "$port"; then
            port=$((port + 1))
            continue
        fi
        : >"$LOG"
        [[ $(id -u) -ne 0 ]] || chown "$SERVER_USER" -- "$LOG"
        if as_owner "$PG_BIN/pg_ctl" start -D "$DATA" -l "$LOG" -w -t 60 -o "-p $port" >/dev/null 2>&1; then
            started=1
            break
        fi
        # Another process may have taken the port since the check: try the next one.
        if grep -q -i -E 'could not (bind|create listen socket)|address already in use' "$LOG"; then
            stop_server
            port=$((port + 1))
            continue
        fi
        tail -n 30 "$LOG" >&2 || true
        stop_server
        die "the server in $DIR failed to start (log: $LOG)"
    done
    [[ $started -eq 1 ]] || die "no free port in $PORT_FIRST..$((PORT_FIRST + PORT_TRIES - 1))"

    local i ready=0
    for i in $(seq 1 300); do
        if "$PG_BIN/pg_isready" -q -h 127.0.0.1 -p "$port" -U postgres -d postgres; then
            ready=1
            break
        fi
        sleep 0.1
    done
    if [[ $ready -ne 1 ]]; then
        tail -n 30 "$LOG" >&2 || true
        stop_server
        die "the server in $DIR on port $port did not become ready"
    fi

    echo "$port" >"$DIR/port"
    printf 'Provider=PostgreSQL;Data Source=127.0.0.1;Port=%s;Initial Catalog=postgres;User ID=postgres;Password=\n' \
        "$port" >"$CONNECTION_FILE.tmp"
    mv -f -- "$CONNECTION_FILE.tmp" "$CONNECTION_FILE"
    echo "pg-test-server: PostgreSQL ready on 127.0.0.1:$port ($DIR)"
}

start() {
    check_binaries
    prepare_dir
    init_cluster
    launch
}

stop() {
    if [[ ! -e "$DIR" ]]; then
        return 0
    fi
    owned_by_us || die "$DIR exists and was not made by this script (no $MARKER file); not touching it"
    stop_members
    stop_server
    wipe_dir
    echo "pg-test-server: stopped ($DIR)"
}

# Runs a function of this script with DIR (and the paths below it) set to a member of a pair.
in_member() {
    local member=$1
    shift
    (
        DIR=$member
        set_paths
        "$@"
    )
}

# Stops and removes the servers of a pair in DIR, the standby first.
stop_members() {
    local member
    for member in standby primary; do
        if [[ -e "$DIR/$member" ]]; then in_member "$DIR/$member" stop >/dev/null; fi
    done
}

sql_on() {
    local port=$1
    shift
    "$PG_BIN/psql" -X -q -t -A -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres "$@"
}

start_standby() {
    local primary_port=$1
    prepare_dir
    if ! as_owner "$PG_BIN/pg_basebackup" -h 127.0.0.1 -p "$primary_port" -U postgres -D "$DATA" -R \
        -X stream -c fast --no-sync >"$DIR/basebackup.log" 2>&1; then
        cat "$DIR/basebackup.log" >&2
        die "pg_basebackup from port $primary_port into $DATA failed"
    fi
    # The copy carries the primary's settings; its socket is its own.
    echo "unix_socket_directories = '$SOCKET_DIR'" >>"$DATA/postgresql.conf"
    launch
}

start_pair() {
    check_binaries
    [[ -x "$PG_BIN/pg_basebackup" && -x "$PG_BIN/psql" ]] || die "pg_basebackup or psql not found in $PG_BIN"
    if [[ -e "$DIR" ]]; then
        owned_by_us || die "$DIR exists and was not made by this script (no $MARKER file); not touching it"
        stop_members
        stop_server
        wipe_dir
    fi
    mkdir -p -- "$DIR"
    touch -- "$DIR/$MARKER"
    in_member "$DIR/primary" start >/dev/null
    local primary_port standby_port i synced=0
    primary_port=$(cat -- "$DIR/primary/port")
    in_member "$DIR/standby" start_standby "$primary_port" >/dev/null
    standby_port=$(cat -- "$DIR/standby/port")
    # Only now that the standby streams: a commit that waited for a standby not yet there would
    # wait for ever.
    sql_on "$primary_port" -c "ALTER SYSTEM SET synchronous_standby_names = '*'" \
        -c "ALTER SYSTEM SET synchronous_commit = 'on'" -c "SELECT pg_reload_conf()" >/dev/null \
        || die "cannot make the primary on port $primary_port wait for its standby"
    for i in $(seq 1 300); do
        if [[ "$(sql_on "$primary_port" -c "SELECT count(*) FROM pg_stat_replication WHERE sync_state = 'sync'" \
            2>/dev/null || true)" == 1 ]]; then
            synced=1
            break
        fi
        sleep 0.1
    done
    [[ $synced -eq 1 ]] || die "the standby on port $standby_port does not replicate synchronously"
    printf 'Provider=PostgreSQL;Data Source=127.0.0.1,127.0.0.1;Port=%s,%s;Initial Catalog=postgres;User ID=postgres;Password=\n' \
        "$primary_port" "$standby_port" >"$CONNECTION_FILE.tmp"
    mv -f -- "$CONNECTION_FILE.tmp" "$CONNECTION_FILE"
    echo "pg-test-server: primary on 127.0.0.1:$primary_port, synchronous standby on 127.0.0.1:$standby_port ($DIR)"
}

# The pair in DIR, made by start-pair.
require_pair() {
    [[ -f "$DIR/$MARKER" && -d "$DIR/primary" && -d "$DIR/standby" ]] || die "$DIR holds no pair made by start-pair"
}

crash_member() {
    recorded_pid >/dev/null || die "no server runs in $DIR"
    as_owner "$PG_BIN/pg_ctl" stop -D "$DATA" -m immediate -w -t 30 >/dev/null || die "the server in $DIR does not stop"
}

promote_member() {
    recorded_pid >/dev/null || die "no server runs in $DIR"
    as_owner "$PG_BIN/pg_ctl" promote -D "$DATA" -w -t 30 >/dev/null || die "the server in $DIR was not promoted"
}

case "$ACTION" in
    start) start ;;
    stop) stop ;;
    start-pair) start_pair ;;
    stop-primary)
        require_pair
        in_member "$DIR/primary" crash_member
        echo "pg-test-server: primary stopped at once ($DIR)"
        ;;
    promote)
        require_pair
        in_member "$DIR/standby" promote_member
        echo "pg-test-server: standby promoted ($DIR)"
        ;;
    *) usage ;;
esac
