#!/usr/bin/env bash
# Set-up and build of the window and korvalin-cli alone, then Korvalin starts; arguments
# go to it (for example a file to open).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --app
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): start one, for example 'Xvfb :99 & export DISPLAY=:99', or run from a desktop session."
    echo "run: meanwhile, here is the engine from the command line on examples/square.kvk:"
    echo
    build/cli/korvalin-cli show examples/square.kvk
    echo
    build/cli/korvalin-cli plot examples/square.kvk build/square.png >/dev/null
    echo "run: its waveform and spectrum charts are in $(pwd)/build/square.png"
    exit 0
fi
exec build/src/korvalin "$@"
