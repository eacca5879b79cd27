#!/bin/sh
# The manual page renders with man and with groff without a single warning,
# and an install into a staging directory puts the binary and the page there.
set -eu
top=$1
build=$2
warnings=$(groff -man -Tutf8 -ww "$top/doc/olm.1" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
    echo "groff warnings:"; echo "$warnings"; exit 1
fi
MANWIDTH=80 man -l "$top/doc/olm.1" 2>&1 | grep -q 'olm - a small command interpreter' || {
    echo "man -l does not render the page"; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr/local >/dev/null
test -x "$stage/usr/local/bin/olm" || { echo "olm not installed"; exit 1; }
test -f "$stage/usr/local/share/man/man1/olm.1" || { echo "olm.1 not installed"; exit 1; }
echo "manual and install ok"
