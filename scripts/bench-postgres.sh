#!/usr/bin/env bash
# The card lookup and the writes on the member file and on a PostgreSQL server side by side, in one run of
# socios-bench (the latency family, docs/performance.md): a throwaway server that flushes to disk as a real one
# does, reached over its Unix socket and over TCP to 127.0.0.1.
#
#   scripts/bench-postgres.sh [DIR] [socios-bench options...]
#
# The server's cluster is kept in DIR (default build/bench-postgres) between runs, with the members generated into
# it; scripts/test-postgres.sh stop DIR removes it. Without options, the sizes are 1 000 and 1 000 000.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/bench-postgres
if [ $# -gt 0 ] && [[ $1 != -* ]]; then
    dir=$1
    shift
fi
options=("$@")
if [ ${#options[@]} -eq 0 ]; then options=(--sizes=1000,1000000); fi

scripts/setup.sh
scripts/build.sh >/dev/null
scripts/test-postgres.sh start "$dir" --tcp --durable
trap 'scripts/test-postgres.sh pause "$dir"' EXIT
build/bench/socios-bench --benchmark_filter=latency "--server=socket=$(cat "$dir/uri")" \
    "--server=tcp=$(cat "$dir/tcp-uri")" "${options[@]}"
