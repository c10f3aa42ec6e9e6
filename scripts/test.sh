#!/usr/bin/env bash
# Set-up, build, and the whole test suite, headless: the fuzz targets (FUZZ_SECONDS each,
# default 60), the suite under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# suite itself, ending with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/fuzz.sh
scripts/sanitize.sh
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)"
