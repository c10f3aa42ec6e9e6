#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages, a decimal-comma locale for
# the locale test) and configures and builds the project into build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make qt6-base-dev libfftw3-dev libqcustomplot-dev libgtest-dev libgmock-dev
    libbenchmark-dev locales fonts-dejavu-core libsndfile1-dev qt6-svg-dev clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The file-format tests prove that a decimal-comma locale does not leak into files.
if ! locale -a 2>/dev/null | grep -q -i '^de_DE\.utf-\?8$'; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "setup: could not generate de_DE.UTF-8"
fi

build_type=${BUILD_TYPE:-RelWithDebInfo}
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
