#!/bin/sh
# A fixed-time fuzz run of the front end: fails on any crash, leaked
# descriptor or hang (an input taking more than 10 seconds).
set -eu
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(dirname "$binary")/corpus-run
mkdir -p "$work"
cd "$(dirname "$binary")"
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 "$work" "$here/corpus"
