#!/usr/bin/env bash
# The Debian package of this build tree, made by CPack, unpacked into a
# temporary folder (never installed on the machine) and run from there:
# every program tells the build's version, the unpacked mivctl scans the line
# of the unpacked mivsim, the manual pages render without a warning and the
# desktop entry is valid.
#
#   package-runs-unpacked.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
work=$(mktemp -d)
sim=''
cleanup() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "package_runs_unpacked: $*" >&2
  exit 1
}

# The package from what the build already holds: nothing is compiled again.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" \
  -D CPACK_DEBIAN_PACKAGE_MAINTAINER="mivconf test suite <mivconf-tests@localhost>" \
  >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
debs=("$work"/package/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no .deb"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"

# The control fields: the version of the build, the computed dependencies.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6serialport6 libqt6network6 qt6-qpa-plugins; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done

dpkg-deb -x "$deb" "$work/root"
mivctl=$(find "$work/root" -path '*/bin/mivctl' -type f)
[ -n "$mivctl" ] || fail "no bin/mivctl in the package"
bin=$(dirname "$mivctl")
share=$(dirname "$bin")/share

for program in mivctl mivsim mivconf; do
  told=$("$bin/$program" --version)
  [ "$told" = "$program $version" ] || fail "$program --version told \"$told\""
done

"$bin/mivsim" --relays 1:4,6:6 --stop-with-parent >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
port=''
for _ in $(seq 1 100); do
  port=$(sed -n 's/^PORT //p' "$work/sim.out")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/sim.err" >&2; fail "the unpacked mivsim told no port"; }
"$bin/mivctl" --port "$port" scan >"$work/scan.out" 2>"$work/scan.err" ||
  { cat "$work/scan.err" >&2; fail "the unpacked mivctl scan failed"; }
for address in 1 6; do
  grep -qx "Устройство №$address в сети" "$work/scan.out" || fail "the scan did not find relay $address"
done
[ "$(wc -l <"$work/scan.out")" = 32 ] || fail "the scan did not print 32 lines"

for page in mivctl mivsim; do
  file=$share/man/man1/$page.1
  [ -f "$file" ] || fail "no manual page $page.1"
  MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.warnings" ||
    fail "man -l $page.1 failed"
  [ ! -s "$work/$page.warnings" ] || { cat "$work/$page.warnings" >&2; fail "$page.1 has warnings"; }
  grep -q "$version" "$work/$page.txt" || fail "$page.1 does not tell the version"
done
grep -q 'info ADDR' "$work/mivctl.txt" && grep -q 'overview \[' "$work/mivctl.txt" || fail "mivctl.1 lacks the commands"

desktop-file-validate "$share/applications/mivconf.desktop" || fail "the desktop entry is not valid"
[ -f "$share/icons/hicolor/scalable/apps/mivconf.svg" ] || fail "no icon"
[ -f "$share/doc/mivconf/copyright" ] || fail "no copyright file"
echo "package_runs_unpacked: passed"
