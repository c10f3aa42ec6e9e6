#!/usr/bin/env bash
# The long-recording benchmark: `korvalin-cli analyse --all-windows` of one hour at 10 kS/s,
# 4 channels, 16-bit (144 M samples, 288 MB), beside the NumPy/SciPy peer doing the same
# steps, each as a whole process: CPU seconds (user + system) and peak resident memory.
# Korvalin runs three times (with the flags' reference measured, so the file is read twice),
# the peer once (it takes minutes).
# Usage: bench/recording/run.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
if ! /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
        python3-numpy >/dev/null
fi
data=$build/bench-data
mkdir -p "$data"
[ -f "$data/recording.wav" ] || /usr/bin/python3 bench/recording/peer.py make "$data/recording.wav"
measure() {
    /usr/bin/time -f '%U %S %M' -o "$data/time.txt" "$@" >"$data/out.txt"
    awk '{printf "%.2f s CPU, %.0f MB\n", $1 + $2, $3 / 1024}' "$data/time.txt"
}
for run in 1 2 3; do
    echo "run $run korvalin-cli: $(measure "$build/cli/korvalin-cli" analyse --all-windows \
        --channel all "$data/recording.wav")"
done
echo "run 1 peer:        $(measure env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE \
    /usr/bin/python3 bench/recording/peer.py analyse "$data/recording.wav")"
