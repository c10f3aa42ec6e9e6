#!/usr/bin/env bash
# Runs Korvalin's benchmarks and the NumPy peer in one go and prints each case's medians
# and the ratio peer / ours. Usage: bench/run.sh [extra Google Benchmark flags]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-release
BUILD_DIR=$build BUILD_TYPE=Release scripts/setup.sh >/dev/null
if ! /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends python3-numpy >/dev/null
fi
data=$build/bench-data
$build/bench/korvalin-bench-data "$data"
KORVALIN_BENCH_DATA="$data" $build/bench/korvalin-bench --benchmark_repetitions=7 \
    --benchmark_report_aggregates_only=true --benchmark_format=json "$@" \
    > $build/bench-ours.json 2>/dev/null
# These two slow a current NumPy; unset for the peer alone (see the machine notes).
env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE /usr/bin/python3 bench/peer/peer.py \
    "$data/r1.kvk" "$data/r2.kvk" "$data/r3.kvk" "$data/w1.kvk" "$data/w2.kvk" "$data/w3.kvk" \
    > $build/bench-peer.json
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(date -u +%Y-%m-%d)"
/usr/bin/python3 bench/compare.py $build/bench-ours.json $build/bench-peer.json \
    $build/cli/korvalin-cli "$data"
