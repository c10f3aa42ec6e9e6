#!/usr/bin/env bash
# Set-up, build, and start Korvalin.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): start one, for example 'Xvfb :99 & export DISPLAY=:99', or run from a desktop session."
    exit 1
fi
exec build/src/korvalin "$@"
