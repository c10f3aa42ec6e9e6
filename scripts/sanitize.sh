#!/usr/bin/env bash
# Builds the core, window and tool tests with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ and runs them; any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVALIN_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$(nproc)" >/dev/null
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build-asan
ctest --output-on-failure -j"$(nproc)" --timeout 900 | tail -n 5
