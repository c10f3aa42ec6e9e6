#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for FUZZ_SECONDS (default 60). Any crash, hang over 2 s for one input, leak
# or sanitizer report fails. New inputs go to build-fuzz/corpus/, seeds stay in fuzz/corpus/.
# Inputs may reach 1 MiB + 64 KiB: past a whole read chunk and past the longest line kept.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIN_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" >/dev/null
status=0
for target in coefficient_reader:coefficients waveshape_reader:waveshape settings:settings \
    mask_reader:masks capture_text:captures-text capture_wav:captures-wav \
    recording_wav:recordings-wav recording_text:recordings-text; do
    name=${target%%:*}
    seeds=${target##*:}
    work=build-fuzz/corpus/$seeds
    mkdir -p "$work"
    log=build-fuzz/fuzz_$name.log
    if build-fuzz/fuzz/fuzz_"$name" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=4096 -max_len=1114112 \
        -print_final_stats=1 -artifact_prefix=build-fuzz/ "$work" "fuzz/corpus/$seeds" >"$log" 2>&1; then
        runs=$(grep -m1 'stat::number_of_executed_units' "$log" | awk '{print $2}')
        echo "fuzz: $name: ${runs:-?} executions in ${seconds} s, no findings"
    else
        echo "fuzz: $name FAILED; the end of $log:"
        tail -n 40 "$log"
        status=1
    fi
done
exit $status
