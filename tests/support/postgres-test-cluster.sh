#!/bin/sh
# A throwaway PostgreSQL cluster for the tests, listening only on a Unix
# socket in a folder of its own under /tmp.
#   postgres-test-cluster.sh start INFOFILE PID  start it, write its socket folder into INFOFILE,
#                                                and stop it once process PID ("parent": the
#                                                caller, such as ctest) is gone
#   postgres-test-cluster.sh stop INFOFILE       stop the cluster INFOFILE names and remove it
# initdb refuses to run as root: as root the cluster belongs to the user postgres.
set -eu

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

stop_folder() {
    as_owner "$bin/pg_ctl" -D "$1/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$1"
}

case "${1:-}" in
start)
    info=$2
    watched=$3
    [ "$watched" != parent ] || watched=$PPID
    if [ -z "$bin" ]; then
        echo "no PostgreSQL server installed (Debian package postgresql)" >&2
        exit 1
    fi
    folder=$(mktemp -d /tmp/regdesk-pg.XXXXXX)
    [ "$(id -u)" -ne 0 ] || chown postgres "$folder"
    if ! as_owner "$bin/initdb" -D "$folder/data" -A trust -U regdesk -E UTF8 --locale=C.UTF-8 \
        >"$folder/initdb.log" 2>&1; then
        cat "$folder/initdb.log" >&2
        rm -rf "$folder"
        exit 1
    fi
    # Durability is no concern of a cluster that lives for one test run.
    if ! as_owner "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
        -o "-k $folder -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200" \
        start >/dev/null; then
        cat "$folder/server.log" >&2
        stop_folder "$folder"
        exit 1
    fi
    echo "$folder" >"$info"
    # Whatever ends the run (a crash, a kill, a timeout), the cluster goes with it.
    setsid sh "$self" watch "$folder" "$watched" </dev/null >/dev/null 2>&1 &
    ;;
watch)
    while kill -0 "$3" 2>/dev/null && [ -d "$2" ]; do
        sleep 1
    done
    [ ! -d "$2" ] || stop_folder "$2"
    ;;
stop)
    if [ -s "$2" ]; then
        stop_folder "$(cat "$2")"
        rm -f "$2"
    fi
    ;;
*)
    echo "usage: $0 start INFOFILE PID | stop INFOFILE" >&2
    exit 64
    ;;
esac
