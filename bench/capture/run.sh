#!/usr/bin/env bash
# The capture benchmark: `korvalin-cli analyse` of a 10 s, 1 MS/s, 16-bit WAV (10 M samples)
# beside the NumPy/SciPy peer doing the same steps, each as a whole process: CPU seconds
# (user + system) and peak resident memory per run, five runs each, A B A B.
# Usage: bench/capture/run.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
if ! /usr/bin/python3 -c 'import numpy, scipy' 2>/dev/null; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
        python3-numpy python3-scipy >/dev/null
fi
data=$build/bench-data
mkdir -p "$data"
[ -f "$data/capture.wav" ] || /usr/bin/python3 bench/capture/peer.py make "$data/capture.wav"
measure() {
    /usr/bin/time -f '%U %S %M' -o "$data/time.txt" "$@" >/dev/null
    awk '{printf "%.2f s CPU, %.0f MB\n", $1 + $2, $3 / 1024}' "$data/time.txt"
}
for run in 1 2 3 4 5; do
    echo "run $run korvalin-cli: $(measure "$build/cli/korvalin-cli" analyse "$data/capture.wav")"
    # These two slow a current NumPy; unset for the peer alone (see the machine notes).
    echo "run $run peer:        $(measure env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE \
        /usr/bin/python3 bench/capture/peer.py analyse "$data/capture.wav")"
done
