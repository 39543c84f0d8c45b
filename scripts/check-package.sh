#!/usr/bin/env bash
# Checks the Debian packages of a release build: lintian finds no error in either, and the
# programs and the Python module unpacked into one scratch root run there with the data
# installed there.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail
build_dir=${1:-build/release}
deb=$(ls -t "$build_dir"/dmmbench_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "no dmmbench_*.deb in $build_dir: run make package" >&2; exit 1; }
debs=("$deb")
# A build with the module makes its package too, of the same version.
python_deb=
if [ -d "$build_dir/python/dmmbench" ]; then
  version=$(dpkg-deb --field "$deb" Version)
  python_deb=$(ls "$build_dir"/python3-dmmbench_"${version}"_*.deb 2>/dev/null | head -n 1)
  [ -n "$python_deb" ] || { echo "no python3-dmmbench_${version}_*.deb in $build_dir" >&2; exit 1; }
  debs+=("$python_deb")
fi

# Errors fail the check; the warnings accepted are listed in the README.
: > "$build_dir/lintian.txt"
for package in "${debs[@]}"; do
  echo "== $package"
  dpkg-deb --info "$package" | sed -n '/Depends/p'
  lintian --tag-display-limit 0 "$package" 2>&1 | { grep -v "running with root privileges" || true; } | tee -a "$build_dir/lintian.txt"
done
if grep -q '^E:' "$build_dir/lintian.txt"; then
  echo "lintian reports errors" >&2
  exit 1
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for package in "${debs[@]}"; do dpkg -x "$package" "$root"; done
# A file only the unpacked data holds: a bench directory filled from it has it too, one
# filled from the source tree's data (what a build finds) does not.
marker=unpacked-package-data
touch "$root/usr/share/dmmbench/$marker"
export HOME="$root/home" XDG_DATA_HOME="$root/home/.local/share"
mkdir -p "$HOME"
"$root/usr/bin/dmmctl" --sim scan
"$root/usr/bin/dmmctl" --sim chips | grep -q VZ6401
QT_QPA_PLATFORM=offscreen "$root/usr/bin/dmmbench" --sim --screenshot "$root/shot.png" --delay-ms 500
[ -s "$root/shot.png" ] || { echo "the installed dmmbench made no picture" >&2; exit 1; }
# The bench directory was made per user from the installed data, not in the prefix.
[ -f "$XDG_DATA_HOME/dmmbench/INCLUDE/VzSel.INC" ] || { echo "no per-user bench directory" >&2; exit 1; }
[ -f "$XDG_DATA_HOME/dmmbench/$marker" ] || { echo "the programs took their data from elsewhere" >&2; exit 1; }
echo "package: lintian without errors; installed dmmctl and dmmbench run from $root"
[ -n "$python_deb" ] || exit 0

# The installed module, with Debian's Python and no display, runs the installed example.
site="$root/usr/lib/python3/dist-packages"
example="$root/usr/share/doc/python3-dmmbench/examples/noise_sweep.py"
[ -f "$example" ] || { echo "no $example" >&2; exit 1; }
run_python() {
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PYTHONPATH="$site" \
    PYTHONDONTWRITEBYTECODE=1 /usr/bin/python3 "$@"
}
where=$(cd "$root" && run_python -c 'import dmmbench; print(dmmbench.__file__)')
case "$where" in
  "$site"/dmmbench/*) ;;
  *) echo "imported dmmbench from $where, not from $site" >&2; exit 1 ;;
esac
table=$(cd "$root" && run_python "$example" --dir "$root/sweep" --points 256 --plot "$root/sweep.png")
echo "$table"
# A header and a row per AD1OSR setting, 0 to 7.
rows=$(printf '%s\n' "$table" | awk '$1 ~ /^[0-7]$/ && NF == 4' | wc -l)
{ printf '%s\n' "$table" | head -n 1 | grep -q '^AD1OSR' && [ "$rows" -eq 8 ]; } ||
  { echo "noise_sweep.py printed no table" >&2; exit 1; }
[ -f "$root/sweep/$marker" ] || { echo "the module took its data from elsewhere" >&2; exit 1; }
echo "package: installed dmmbench module imports and runs noise_sweep.py from $root"
