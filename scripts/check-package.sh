#!/usr/bin/env bash
# Checks the Debian package of a release build: lintian finds no error, and the programs
# unpacked into a scratch root run there with their installed data.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail
build_dir=${1:-build/release}
deb=$(ls -t "$build_dir"/dmmbench_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no dmmbench_*.deb in $build_dir: run make package" >&2; exit 1; }
echo "== $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p'

# Errors fail the check; the warnings accepted are listed in the README.
lintian --tag-display-limit 0 "$deb" 2>&1 | { grep -v "running with root privileges" || true; } | tee "$build_dir/lintian.txt"
if grep -q '^E:' "$build_dir/lintian.txt"; then
  echo "lintian reports errors" >&2
  exit 1
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
export HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share"
mkdir -p "$HOME"
"$root/usr/bin/dmmctl" --sim scan
"$root/usr/bin/dmmctl" --sim chips | grep -q VZ6401
QT_QPA_PLATFORM=offscreen "$root/usr/bin/dmmbench" --sim --screenshot "$root/shot.png" --delay-ms 500
[ -s "$root/shot.png" ] || { echo "the installed dmmbench made no picture" >&2; exit 1; }
# The bench directory was made per user from the installed data, not in the prefix.
[ -f "$XDG_DATA_HOME/dmmbench/INCLUDE/VzSel.INC" ] || { echo "no per-user bench directory" >&2; exit 1; }
echo "package: lintian without errors; installed dmmctl and dmmbench run from $root"
