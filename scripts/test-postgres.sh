#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests and the benchmarks.
#
#   scripts/test-postgres.sh start DIR [--tcp] [--durable]
#       Makes a new cluster (initdb) in a temporary folder, unless DIR already has one, and starts it, listening on
#       a Unix socket in that folder (and, with --tcp, on 127.0.0.1 at a free port). Writes into DIR:
#         uri      the address of database "socios" over the socket, for socios --database
#         tcp-uri  the same over TCP (with --tcp)
#         cluster  the cluster's folder
#       Without --durable the server does not flush to disk (fsync=off): quicker, and safe as long as the computer
#       keeps running, which is all a test needs. Commits still wait for the write-ahead log (synchronous_commit).
#   scripts/test-postgres.sh pause DIR    stops the server (pg_ctl stop -m fast) and keeps its data; start again
#   scripts/test-postgres.sh stop DIR     stops the server and removes the cluster
#
# The superuser is "socios"; every local role logs in without a password, except the members of the role
# "con_clave", who must give theirs (scram-sha-256). Run as root, the server runs as the system user "postgres",
# which Debian's package makes: PostgreSQL refuses to run as root.
set -euo pipefail

usage() {
    echo "usage: $0 start DIR [--tcp] [--durable] | pause DIR | stop DIR" >&2
    exit 2
}
fail() {
    echo "test-postgres.sh: $*" >&2
    exit 1
}

[ $# -ge 2 ] || usage
command=$1
dir=$2
shift 2
tcp=0
durable=0
for option in "$@"; do
    case $option in
    --tcp) tcp=1 ;;
    --durable) durable=1 ;;
    *) usage ;;
    esac
done

# Debian keeps the server's programs out of PATH, one folder per major version: the newest one.
bindir=""
for candidate in /usr/lib/postgresql/*/bin; do
    if [ -x "$candidate/initdb" ]; then bindir=$candidate; fi
done
if [ -z "$bindir" ] && command -v initdb >/dev/null; then bindir=$(dirname "$(command -v initdb)"); fi
[ -n "$bindir" ] || fail "PostgreSQL is not installed (initdb not found): scripts/setup.sh installs it"

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

case $command in
start)
    if [ -f "$dir/cluster" ] && [ -d "$(cat "$dir/cluster")/data" ]; then
        cluster=$(cat "$dir/cluster")
    else
        if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
            fail "the system user postgres is missing (Debian's postgresql package makes it)"
        fi
        # A short path of its own: the socket's path must fit in 107 bytes, and the server's user must reach it.
        cluster=$(mktemp -d "${TMPDIR:-/tmp}/socios-pg.XXXXXX")
        chmod 755 "$cluster"
        if [ "$(id -u)" -eq 0 ]; then chown postgres: "$cluster"; fi
        as_server "$bindir/initdb" --pgdata="$cluster/data" --username=socios --auth=trust --encoding=UTF8 \
            --locale=C.UTF-8 --no-sync --no-instructions >"$cluster/initdb.log" 2>&1 ||
            fail "initdb failed: $(cat "$cluster/initdb.log")"
        as_server tee "$cluster/data/pg_hba.conf" >/dev/null <<'EOF'
local all +con_clave scram-sha-256
local all all trust
host all +con_clave 127.0.0.1/32 scram-sha-256
host all all 127.0.0.1/32 trust
EOF
        echo "$cluster" >"$dir/cluster"
        rm -f "$dir/port"
    fi

    port=5432
    listen=""
    if [ "$tcp" -eq 1 ]; then
        if [ -f "$dir/port" ]; then
            port=$(cat "$dir/port")
        else
            # A port where nothing listens on 127.0.0.1.
            for _ in $(seq 100); do
                port=$((20000 + RANDOM % 40000))
                if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break; fi
            done
        fi
        listen=127.0.0.1
    fi
    echo "$port" >"$dir/port"
    settings=(-c "listen_addresses=$listen" -c "port=$port" -c "unix_socket_directories=$cluster"
        -c "max_connections=100" -c "log_min_messages=warning" -c "log_min_error_statement=panic")
    if [ "$durable" -eq 0 ]; then settings+=(-c fsync=off -c full_page_writes=off); fi
    # A server left running (by a run that was stopped half-way) is used as it is.
    if ! as_server "$bindir/pg_ctl" status --pgdata="$cluster/data" >/dev/null 2>&1; then
        as_server "$bindir/pg_ctl" start --pgdata="$cluster/data" --wait --silent --log="$cluster/server.log" \
            -o "$(printf "%q " "${settings[@]}")" || fail "the server did not start: $(tail -n 20 "$cluster/server.log")"
    fi

    psql=("$bindir/psql" --no-psqlrc --quiet --host="$cluster" --port="$port" --username=socios -v ON_ERROR_STOP=1)
    if [ "$("${psql[@]}" --dbname=postgres -tA -c "SELECT count(*) FROM pg_database WHERE datname = 'socios'")" = 0 ]; then
        "${psql[@]}" --dbname=postgres -c "CREATE DATABASE socios" -c "CREATE ROLE con_clave NOLOGIN"
    fi
    echo "postgresql://socios@/socios?host=$cluster&port=$port" >"$dir/uri"
    if [ "$tcp" -eq 1 ]; then echo "postgresql://socios@127.0.0.1:$port/socios" >"$dir/tcp-uri"; fi
    ;;
pause | stop)
    [ -f "$dir/cluster" ] || exit 0
    cluster=$(cat "$dir/cluster")
    if [ -f "$cluster/data/postmaster.pid" ]; then
        as_server "$bindir/pg_ctl" stop --pgdata="$cluster/data" --wait --silent --mode=fast
    fi
    if [ "$command" = stop ]; then
        rm -rf "$cluster"
        rm -f "$dir/cluster" "$dir/uri" "$dir/tcp-uri" "$dir/port"
    fi
    ;;
*)
    usage
    ;;
esac
