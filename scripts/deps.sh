#!/usr/bin/env bash
# Installs the named Debian packages that are not installed yet, through
# sudo when not root. Nothing is fetched when all are present, so reruns
# are fast; the package lists are refreshed only when something is missing.
set -euo pipefail

missing=()
if command -v dpkg-query >/dev/null 2>&1; then
    for p in "$@"; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        [[ "$status" == *"install ok installed"* ]] || missing+=("$p")
    done
else
    echo "deps: no dpkg here; make sure these are installed: $*" >&2
    exit 0
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "deps: not root and no sudo; install as root: apt-get install ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
