#!/usr/bin/env bash
# Installs the build into a scratch root, checks the installed desktop files with each
# validator that is present (naming those that are not), and packages it when dpkg-dev is.
# Arguments: the build folder, the application id, and 1 when man pages are built.
set -euo pipefail
build=$1
id=$2
man=$3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR=$root/stage cmake --install "$build" --prefix /usr >/dev/null
share=$root/stage/usr/share
has() { command -v "$1" >/dev/null || { echo "skipped: $1 is not installed"; false; }; }

for size in 16x16 32x32 48x48 64x64 128x128 256x256; do
    test -s "$share/icons/hicolor/$size/apps/$id.png"
done
test -s "$share/icons/hicolor/scalable/apps/$id.svg"
if [ "$man" = 1 ]; then
    test -s "$share/man/man1/korvalin.1.gz" && test -s "$share/man/man1/korvalin-cli.1.gz"
    # Each command of the tool is a paragraph of its own, not one run-on line.
    for command in show convert new spectrum plot; do
        zcat "$share/man/man1/korvalin-cli.1.gz" | grep -q "^$command "
    done
fi

# The installed korvalin-cli links no widgets, and finds its drawing library where it is
# installed.
cli=$root/stage/usr/bin/korvalin-cli
! ldd "$cli" | grep -q -e Qt6Widgets -e Qt6Gui -e QCustomPlot
"$cli" plot "$share/doc/korvalin/examples/square.kvk" "$root/charts.svg" >/dev/null
grep -q '<svg' "$root/charts.svg"

# Without any display the installed window says so in one line instead of aborting.
message=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/stage/usr/bin/korvalin" 2>&1) &&
    { echo "korvalin started without a display"; exit 1; }
[ "$(wc -l <<<"$message")" = 1 ] && grep -q 'no display.*korvalin-cli' <<<"$message"

if has desktop-file-validate; then
    desktop-file-validate "$share/applications/$id.desktop"
fi
if has appstreamcli; then
    # The tree check also ties the metadata to its desktop entry.
    appstreamcli validate-tree --no-net --strict "$root/stage"
fi
if has xmllint; then
    xmllint --noout "$share/metainfo/$id.metainfo.xml" "$share/mime/packages/$id.xml" \
        "$share/icons/hicolor/scalable/apps/$id.svg"
fi
if has update-mime-database; then
    # Every type the desktop entry claims must come out of the compiled database.
    XDG_DATA_DIRS=$share update-mime-database "$share/mime" 2>&1 | { ! grep .; }
    types=$(sed -n 's/^MimeType=//p' "$share/applications/$id.desktop" | tr ';' ' ')
    for type in $types; do
        test -s "$share/mime/$type.xml"
    done
    grep -q 'application/x-korvalin-coefficients' "$share/mime/magic"
fi
if has dpkg-shlibdeps; then
    (cd "$build" && cpack -G DEB -B "$root/deb" >/dev/null)
    depends=$(dpkg-deb -f "$root"/deb/*.deb Depends)
    echo "package depends: $depends"
    grep -q 'libqt6widgets6' <<<"$depends" && grep -q 'libfftw3' <<<"$depends"
    if has lintian; then
        # Hardening flags are the package build's (scripts/package.sh), so their notes are
        # informational here; errors and warnings fail.
        lintian --fail-on error,warning "$root"/deb/*.deb
    fi
fi
echo "install and desktop files valid"
