#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A throw-away PostgreSQL server for the tests: scripts/pg.sh start DIR PORT | stop DIR
# Runs as the postgres user with its data in DIR; listens on 127.0.0.1 only.
set -euo pipefail
cmd=$1; dir=$2; port=${3:-55432}
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_pg() { if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi; }
case "$cmd" in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres "$dir"
    as_pg "$bin/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    as_pg "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
        -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c synchronous_commit=off" start >/dev/null
    as_pg "$bin/createdb" -h 127.0.0.1 -p "$port" -U postgres kvtest
    echo "postgresql://postgres@127.0.0.1:$port/kvtest"
    ;;
stop)
    as_pg "$bin/pg_ctl" -D "$dir/data" -m fast stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
*) echo "usage: $0 start DIR [PORT] | stop DIR" >&2; exit 2 ;;
esac
