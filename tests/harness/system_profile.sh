#!/bin/sh
# Runs a program with a given /etc/olm_profile, in a private mount namespace,
# so that the real /etc is never touched: /etc is replaced there by a
# directory of links to its real entries, plus the profile.
# Usage: system_profile.sh PROFILE ARGV0 PROGRAM [ARG ...]
# (ARGV0 is the name the program is invoked by.)
set -eu
exec unshare --mount --propagation private /bin/sh -eu -c '
profile=$1 argv0=$2 program=$3
shift 3
real=$PWD/.etc-real fake=$PWD/.etc-fake
mkdir -p "$real" "$fake"
mount --bind /etc "$real"
mount -t tmpfs tmpfs "$fake"
for entry in "$real"/* "$real"/.[!.]*; do
    [ -e "$entry" ] || [ -L "$entry" ] || continue
    ln -s "$entry" "$fake/"
done
cp "$profile" "$fake/olm_profile"
mount --bind "$fake" /etc
exec python3 -c "import os, sys; os.execv(sys.argv[1], sys.argv[2:])" "$program" "$argv0" "$@"
' system_profile "$@"
