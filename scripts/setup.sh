#!/usr/bin/env bash
# Installs the Debian packages that are missing (with root rights: as root, or through
# sudo) and configures and builds into build/.
#   scripts/setup.sh        everything: the programs, tests, benchmarks, man pages, and what
#                           the tests use (a decimal-comma locale, the desktop validators)
#   scripts/setup.sh --app  only what the window and korvalin-cli need to build and run
#   scripts/setup.sh --package
#                           what a Debian package needs: a hardened Release build of the two
#                           programs and their man pages into build-package/
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-all}
case $mode in
all | --app | --package) ;;
*) echo "usage: scripts/setup.sh [--app | --package]" >&2; exit 2 ;;
esac

app_packages=(cmake g++ make qt6-base-dev qt6-svg-dev qt6-wayland libfftw3-dev
    libqcustomplot-dev libsndfile1-dev fonts-dejavu-core)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev locales clang libclang-rt-14-dev
    help2man desktop-file-utils appstream libxml2-utils shared-mime-info dpkg-dev file lintian)
# CPack's DEB generator needs file and dpkg-shlibdeps; the man pages need help2man.
package_packages=(dpkg-dev file help2man)
packages=("${app_packages[@]}")
case $mode in
all) packages+=("${test_packages[@]}") ;;
--package) packages+=("${package_packages[@]}") ;;
esac

# Root rights: root itself, or sudo that works (a password may be asked on a terminal).
as_root=()
root_rights() {
    if [ "$(id -u)" -eq 0 ]; then
        return 0
    fi
    command -v sudo >/dev/null || return 1
    if sudo -n true 2>/dev/null || { [ -t 0 ] && sudo -v; }; then
        as_root=(sudo)
        return 0
    fi
    return 1
}

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    if ! root_rights; then
        echo "setup: missing Debian packages and no root rights (neither root nor sudo): as root, run 'apt-get install ${missing[*]}', then run this again." >&2
        exit 1
    fi
    echo "setup: installing ${missing[*]}"
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
fi

build_dir=${BUILD_DIR:-build}
options=(-DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}")
if [ "$mode" = --package ]; then
    # Debian's hardening: checked buffer functions and a read-only relocation table that
    # is bound at start-up.
    build_dir=${BUILD_DIR:-build-package}
    options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DKORVALIN_BENCHMARKS=OFF
        "-DCMAKE_CXX_FLAGS=-D_FORTIFY_SOURCE=2"
        "-DCMAKE_EXE_LINKER_FLAGS=-Wl,-z,relro,-z,now"
        "-DCMAKE_MODULE_LINKER_FLAGS=-Wl,-z,relro,-z,now")
elif [ "$mode" = --app ]; then
    # Without tests and benchmarks the build is the two programs (and their man pages
    # where help2man is present, so that an install finds them).
    options+=(-DBUILD_TESTING=OFF -DKORVALIN_BENCHMARKS=OFF)
else
    options+=(-DBUILD_TESTING=ON -DKORVALIN_BENCHMARKS=ON)
    # The file-format tests prove that a decimal-comma locale does not leak into files.
    if ! locale -a 2>/dev/null | grep -q -i '^de_DE\.utf-\?8$'; then
        if root_rights; then
            "${as_root[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8 ||
                echo "setup: could not generate de_DE.UTF-8"
        else
            echo "setup: no root rights to generate the de_DE.UTF-8 locale; its test will skip"
        fi
    fi
fi
cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
