#!/usr/bin/env bash
# The Debian packages of this build tree, made by CPack, checked by lintian,
# unpacked into a temporary folder (never installed on the machine) and run
# from there: mivctl's package alone needs no graphics, X11 or widget
# library and refuses a PDF naming the package that draws it; every program
# tells the build's version, the unpacked mivctl scans the line of the
# unpacked mivsim and, with the window's package beside it, writes a PDF;
# the manual pages render without a warning, the desktop entry, the
# AppStream metadata and the systemd unit are valid.
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

# The packages from what the build already holds: nothing is compiled again.
# They install under /usr, as scripts/package makes them, whatever prefix
# this build was configured for (the programs find their libraries from
# their own folder; only the unit names the configured bin folder).
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" \
  -D CPACK_PACKAGING_INSTALL_PREFIX=/usr \
  -D CPACK_DEBIAN_PACKAGE_MAINTAINER="mivconf test suite <mivconf-tests@example.org>" \
  >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
window=$(find "$work/package" -maxdepth 1 -name "mivconf_${version}_*.deb")
cli=$(find "$work/package" -maxdepth 1 -name "mivctl_${version}_*.deb")
[ -f "$window" ] && [ -f "$cli" ] || fail "cpack did not make mivconf and mivctl: $(ls "$work/package")"
for deb in "$window" "$cli"; do
  echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$(basename "$deb"): version is not $version"
  [ "$(dpkg-deb -f "$deb" Source)" = mivconf ] || fail "$(basename "$deb"): source is not mivconf"
done

# lintian: no error and no warning. The ldconfig calls CPack adds when the
# private library folder lies right under /usr/lib, as it does for a build
# configured for /usr/local (lib/, not lib/<multiarch>/), are this test's
# own: scripts/package's build has no such calls.
lintian --fail-on error --suppress-tags maintscript-calls-ldconfig \
  "$window" "$cli" >"$work/lintian.out" 2>&1 || {
  cat "$work/lintian.out" >&2
  fail "lintian found errors"
}
if grep -q '^[EW]: ' "$work/lintian.out"; then
  cat "$work/lintian.out" >&2
  fail "lintian warned"
fi

# The dependencies: the window's computed ones and the platform plugins by
# name; the shell tools' without a graphics, X11 or widget library.
window_depends=$(dpkg-deb -f "$window" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6serialport6; do
  [[ $window_depends == *"$library"* ]] || fail "mivconf's Depends lacks $library: $window_depends"
done
[[ $window_depends != *qt6-qpa-plugins* ]] || fail "mivconf depends on qt6-qpa-plugins"
[[ $(dpkg-deb -f "$window" Recommends) == *qt6-wayland* ]] || fail "mivconf does not recommend qt6-wayland"
cli_depends=$(dpkg-deb -f "$cli" Depends)
for library in libqt6core6 libqt6serialport6 libqt6network6 systemd-sysusers; do
  [[ $cli_depends == *"$library"* ]] || fail "mivctl's Depends lacks $library: $cli_depends"
done
if grep -Eo 'libqt6(gui|widgets|svg|charts|opengl)6|libx11|libxcb|libgl|qt6-qpa' <<<"$cli_depends"; then
  fail "mivctl's package pulls graphics libraries: $cli_depends"
fi

# mivctl's package alone.
dpkg-deb -x "$cli" "$work/root"
mivctl=$(find "$work/root" -path '*/bin/mivctl' -type f)
[ -n "$mivctl" ] || fail "no bin/mivctl in the package"
bin=$(dirname "$mivctl")
usr=$(dirname "$bin")
for program in mivctl mivsim; do
  if ldd "$bin/$program" | grep -E 'libQt6(Gui|Widgets)|libX11|libxcb|libGL'; then
    fail "$program loads graphics libraries"
  fi
done

for program in mivctl mivsim; do
  told=$("$bin/$program" --version)
  [ "$told" = "$program $version" ] || fail "$program --version told \"$told\""
done

"$bin/mivsim" --relays 1:4,6:6 --stop-with-parent >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
# The simulator's output file is made by its redirect, which may come after
# the first look: it is waited for as the port is.
port=''
for _ in $(seq 1 100); do
  if [ -f "$work/sim.out" ]; then
    port=$(sed -n 's/^PORT //p' "$work/sim.out")
    [ -n "$port" ] && break
  fi
  sleep 0.1
done
[ -n "$port" ] || { cat "$work/sim.err" >&2; fail "the unpacked mivsim told no port"; }
"$bin/mivctl" --port "$port" scan >"$work/scan.out" 2>"$work/scan.err" ||
  { cat "$work/scan.err" >&2; fail "the unpacked mivctl scan failed"; }
for address in 1 6; do
  grep -qx "Устройство №$address в сети" "$work/scan.out" || fail "the scan did not find relay $address"
done
[ "$(wc -l <"$work/scan.out")" = 32 ] || fail "the scan did not print 32 lines"

# A PDF without the window's package: refused before anything is written,
# naming the package; with it unpacked beside, drawn.
"$bin/mivctl" --port "$port" config read 6 --save "$work/relay6.miv" >/dev/null 2>"$work/read.err" ||
  { cat "$work/read.err" >&2; fail "config read --save failed"; }
status=0
"$bin/mivctl" settings sheet "$work/relay6.miv" --type 6 --pdf "$work/sheet.pdf" >/dev/null 2>"$work/pdf.err" ||
  status=$?
[ "$status" = 3 ] || fail "a PDF without mivconf's package ended with $status, not 3"
grep -q "window's package (mivconf)" "$work/pdf.err" || fail "the refusal does not name mivconf: $(cat "$work/pdf.err")"
[ ! -e "$work/sheet.pdf" ] || fail "a PDF was written without the library that draws it"

dpkg-deb -x "$window" "$work/root"
for program in "$bin"/* "$usr"/lib/*mivconf/*.so "$usr"/lib/*/mivconf/*.so; do
  [ -f "$program" ] || continue
  if readelf -S "$program" | grep -q '\.comment'; then
    fail "$(basename "$program") keeps its .comment section"
  fi
done
told=$("$bin/mivconf" --version)
[ "$told" = "mivconf $version" ] || fail "mivconf --version told \"$told\""
"$bin/mivctl" settings sheet "$work/relay6.miv" --type 6 --pdf "$work/sheet.pdf" >/dev/null 2>"$work/pdf.err" ||
  { cat "$work/pdf.err" >&2; fail "the PDF with mivconf's package failed"; }
pdftotext "$work/sheet.pdf" - | grep -q 'Устройство: МИВ-06' || fail "the PDF lacks the relay's type"

share=$usr/share
for page in mivctl mivsim mivconf; do
  file=$share/man/man1/$page.1.gz
  [ -f "$file" ] || fail "no manual page $page.1.gz"
  MANWIDTH=80 man --warnings -l "$file" >"$work/$page.txt" 2>"$work/$page.warnings" ||
    fail "man -l $page.1.gz failed"
  [ ! -s "$work/$page.warnings" ] || { cat "$work/$page.warnings" >&2; fail "$page.1 has warnings"; }
  tail -n 1 "$work/$page.txt" | grep -Eq "mivconf $version +[0-9]{4}-[0-9]{2}-[0-9]{2}" ||
    fail "$page.1 does not tell the version and the date: $(tail -n 1 "$work/$page.txt")"
done
grep -q 'info ADDR' "$work/mivctl.txt" && grep -q 'overview \[' "$work/mivctl.txt" || fail "mivctl.1 lacks the commands"

desktop-file-validate "$share/applications/mivconf.desktop" || fail "the desktop entry is not valid"
metainfo=$(find "$share/metainfo" -name '*.metainfo.xml')
appstreamcli validate --no-net "$metainfo" || fail "the AppStream metadata is not valid"
grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream metadata lacks release $version"
[ -f "$share/icons/hicolor/scalable/apps/mivconf.svg" ] || fail "no icon"
for package in mivconf mivctl; do
  for file in copyright changelog.gz; do
    [ -f "$share/doc/$package/$file" ] || fail "no $file of $package"
  done
done
[ -f "$share/doc/mivconf/operator-manual.ru.md" ] && [ -f "$share/doc/mivconf/window-scan.png" ] ||
  fail "no operator's manual with its pictures in mivconf"
zcat "$share/doc/mivctl/changelog.gz" | grep -q '^ -- mivconf test suite <mivconf-tests@example.org>  ' ||
  fail "the changelog does not name the maintainer"

# The unit of `mivctl publish`: systemd takes it, it starts the unpacked
# mivctl with the options publish knows, as the package's system user.
unit=$usr/lib/systemd/system/mivctl-publish@.service
[ -f "$unit" ] || fail "no mivctl-publish@.service"
sed -E "s|^ExecStart=[^ ]+/mivctl |ExecStart=$bin/mivctl |" "$unit" >"$work/mivctl-publish@.service"
systemd-analyze verify --man=no "$work/mivctl-publish@test.service" >"$work/verify.out" 2>&1 ||
  { cat "$work/verify.out" >&2; fail "systemd-analyze verify refused the unit"; }
# Its exposure: under 3.0 (the threshold counts in tenths).
systemd-analyze security --offline=yes --man=no --threshold=29 "$work/mivctl-publish@test.service" \
  >"$work/security.out" 2>&1 ||
  { cat "$work/security.out" >&2; fail "systemd-analyze security scores the unit 3.0 or more"; }
grep -a 'Overall exposure' "$work/security.out"
for option in --port --line --broker --state-file; do
  grep -q -- "$option" "$unit" || fail "the unit does not give $option"
done
execstart=$(grep '^ExecStart=' "$unit")
for option in $(grep -Eo -- '--[a-z-]+' <<<"${execstart#*publish}"); do
  "$bin/mivctl" help publish | grep -q -- "$option" || fail "publish does not know the unit's $option"
done
grep -q '^u mivctl ' "$usr/lib/sysusers.d/mivctl.conf" || fail "no system user mivctl"

# The maintainer scripts as dpkg runs them, with stand-ins for systemctl
# (two lines loaded), deb-systemd-invoke and systemd-sysusers that log their
# calls: removal stops every loaded line, an upgrade restarts the lines that
# run or are enabled, a first install starts them; a purge removes the links
# of enabled lines that point at nothing, and the state folder. systemd
# looks running in a mount namespace of their own, where one is allowed.
dpkg-deb -e "$cli" "$work/control"
mkdir -p "$work/fake" "$work/etc/multi-user.target.wants"
printf '%s\n' '#!/bin/sh' 'echo "${0##*/} $*" >>"$MIV_CALLS"' \
  '[ "${0##*/} $1" != "systemctl list-units" ] ||' \
  '  printf "%s loaded active running -\n" mivctl-publish@a.service mivctl-publish@b.service' \
  >"$work/fake/stand-in"
chmod +x "$work/fake/stand-in"
for tool in systemctl deb-systemd-invoke systemd-sysusers; do ln -s stand-in "$work/fake/$tool"; done
ln -s /usr/lib/systemd/system/mivctl-publish@.service \
  "$work/etc/multi-user.target.wants/mivctl-publish@c.service"
maintainer() { # SCRIPT ARGUMENTS...: the calls it made
  : >"$work/calls"
  unshare --mount --map-root-user sh -c 'mount -t tmpfs none /run && mkdir -p /run/systemd/system &&
    mount --bind "$0" /etc/systemd/system && exec "$@"' "$work/etc" \
    env PATH="$work/fake:$PATH" MIV_CALLS="$work/calls" sh "$work/control/$1" "${@:2}"
  cat "$work/calls"
}
if unshare --mount --map-root-user true 2>/dev/null; then
  lines='mivctl-publish@a.service mivctl-publish@b.service'
  [[ $(maintainer prerm remove) == *"deb-systemd-invoke stop $lines"* ]] ||
    fail "prerm remove stops no line: $(cat "$work/calls")"
  [[ $(maintainer prerm upgrade 1.0) != *deb-systemd-invoke* ]] || fail "prerm upgrade stops the lines"
  [[ $(maintainer postinst configure 1.0) == *"deb-systemd-invoke restart $lines mivctl-publish@c.service"* ]] ||
    fail "postinst restarts no line after an upgrade: $(cat "$work/calls")"
  [[ $(maintainer postinst configure '') == *"systemd-sysusers mivctl.conf"*"deb-systemd-invoke start $lines"* ]] ||
    fail "postinst makes no user or starts no line on a first install: $(cat "$work/calls")"
else
  echo "package_runs_unpacked: no mount namespace allowed here: the scripts' service steps are not tried"
fi
target=$work/target
wants=$target/etc/systemd/system/multi-user.target.wants
mkdir -p "$wants" "$target/var/lib/mivctl"
touch "$target/etc/systemd/system/mivctl-publish@.service" # the administrator's own unit
ln -s /usr/lib/systemd/system/mivctl-publish@.service "$wants/mivctl-publish@gone.service"
ln -s /etc/systemd/system/mivctl-publish@.service "$wants/mivctl-publish@own.service"
DPKG_ROOT=$target PATH=$work/fake:$PATH MIV_CALLS=$work/calls sh "$work/control/postrm" purge
[ ! -L "$wants/mivctl-publish@gone.service" ] || fail "purge leaves the link of a line to the removed unit"
[ -L "$wants/mivctl-publish@own.service" ] || fail "purge removed the link to the administrator's unit"
[ ! -e "$target/var/lib/mivctl" ] || fail "purge leaves /var/lib/mivctl"
echo "package_runs_unpacked: passed"
