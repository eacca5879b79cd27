#!/bin/sh
# Times start-up and the benchmark scripts: the best of five runs each.
# Usage: bench/run.sh [binary]   (default build/olm)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
olm=${1:-$here/../build/olm}
best() {
    # best TIMES COMMAND...: the fastest of five runs, in milliseconds
    times=$1; shift
    fastest=
    for run in 1 2 3 4 5; do
        start=$(date +%s%N)
        i=0
        while [ $i -lt "$times" ]; do "$@" >/dev/null; i=$((i + 1)); done
        end=$(date +%s%N)
        ms=$(( (end - start) / 1000000 ))
        if [ -z "$fastest" ] || [ "$ms" -lt "$fastest" ]; then fastest=$ms; fi
    done
    echo "$fastest"
}
echo "start-up, 100 runs of -c ':'   $(best 100 "$olm" -c :) ms"
echo "loop.olm (10,000 passes)       $(best 1 "$olm" "$here/loop.olm") ms"
echo "programs.olm (900 programs)    $(best 1 "$olm" "$here/programs.olm") ms"
