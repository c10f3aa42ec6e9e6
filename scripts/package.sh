#!/usr/bin/env bash
# A Debian package of Korvalin in one command, from a clean clone or after any set-up:
# installs what packaging needs, makes a hardened Release build of the two programs in
# build-package/ and writes build-package/korvalin_VERSION_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --package
cd build-package
cpack -G DEB >/dev/null
package=$(ls -t korvalin_*_amd64.deb | head -n 1)
echo "package: $(pwd)/$package"
echo "install it with: sudo apt install $(pwd)/$package"
