#!/usr/bin/env bash
# The Debian package built as scripts/package.sh builds it (that very script, in a clean Release
# folder): its control data and contents, its desktop entry, metainfo, copyright, changelog and manual
# pages, lintian's verdict, and every program started from a root the package was unpacked into.
#   test_package.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
source=$1
scratch=$2

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch"
if ! bash "$source/scripts/package.sh" "$scratch/build" >"$scratch/package.log" 2>&1; then
  cat "$scratch/package.log" >&2
  fail "scripts/package.sh could not build the package"
fi
shopt -s nullglob
debs=("$scratch"/build/quartel-setup_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one quartel-setup_*.deb, found ${#debs[@]}"
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Control data.
info=$(dpkg-deb --info "$deb")
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = quartel-setup ] || fail "Package is '$(field Package)'"
[[ "$(field Version)" =~ ^[0-9]+\.[0-9]+ ]] || fail "Version is '$(field Version)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Section)" ] || fail "no Section"
depends=$(field Depends)
# Computed from the libraries the programs link, plus what Qt loads at run time.
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n; do
  [[ ", $depends," == *", $dep"[\ ,]* ]] || fail "Depends lacks $dep: $depends"
done
grep -q dialout <<<"$info" || fail "the description does not mention the dialout group"

# Contents: the programs with their manual pages, the menu entry, the icon at every size, the
# metainfo, the copyright and changelog; nothing else.
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
programs=(quartel-setup quartel-sim quartel-cli)
# Every program the install rules name, so that a new one is checked as soon as it is added.
for program in $(sed -n 's/^set(QUARTEL_PROGRAMS \(.*\))$/\1/p' "$source/packaging/CMakeLists.txt"); do
  [[ " ${programs[*]} " == *" $program "* ]] || programs+=("$program")
done
expected=(
  ./usr/share/applications/it.pesometra.QuartelSetup.desktop
  ./usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/quartel-setup.svg
  ./usr/share/doc/quartel-setup/copyright
  ./usr/share/doc/quartel-setup/changelog.gz
)
for program in "${programs[@]}"; do
  expected+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
done
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quartel-setup.png")
done
for path in "${expected[@]}"; do
  grep -qxF "$path" <<<"$contents" || fail "$path is not in the package"
done
while read -r path; do
  case "$path" in
    */) ;;
    ./usr/bin/* | ./usr/share/*) ;;
    *) fail "unexpected file $path" ;;
  esac
done <<<"$contents"

# Unpacked into a scratch root as dpkg would install it.
root="$scratch/root"
dpkg -x "$deb" "$root"
desktop="$root/usr/share/applications/it.pesometra.QuartelSetup.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml" \
  || fail "appstreamcli validate"
for size in "${sizes[@]}"; do
  file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/quartel-setup.png" | grep -q "PNG image data, $size x $size" \
    || fail "the ${size}x${size} icon is not a ${size}x${size} PNG"
done
# Every Exec line of the menu entry starts a program of the package.
grep '^Exec=' "$desktop" | while IFS= read -r line; do
  program=${line#Exec=}
  program=${program%% *}
  [ -x "$root/usr/bin/$program" ] || fail "the menu entry starts '$program', which is not in /usr/bin"
done
for program in "${programs[@]}"; do
  if readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info'; then
    fail "$program is not stripped"
  fi
done

# lintian: no errors, no warnings, and even with --pedantic no hardening tag (the programs are built
# with dpkg-buildflags' hardening); each override says why it is there.
if ! lintian --pedantic --info --fail-on error,warning "$deb" >"$scratch/lintian.log" 2>&1; then
  cat "$scratch/lintian.log" >&2
  fail "lintian"
fi
if grep -q 'hardening' "$scratch/lintian.log"; then
  cat "$scratch/lintian.log" >&2
  fail "lintian reports a hardening tag"
fi
overrides="$root/usr/share/lintian/overrides/quartel-setup"
if [ -f "$overrides" ]; then
  awk '/^#/ { reason = 1; next } /^[[:space:]]*$/ { reason = 0; next } !reason { exit 1 }' "$overrides" \
    || fail "a lintian override without the comment that gives its reason"
fi
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$root/usr/share/doc/quartel-setup/copyright" || fail "the copyright file is not machine-readable"
# Each manual page documents the program's own options, and shows its sections when read with man.
for program in "${programs[@]}"; do
  page=$(zcat "$root/usr/share/man/man1/$program.1.gz")
  grep -q '^\.SH SYNOPSIS\|^\.SH DESCRIPTION' <<<"$page" || fail "the manual page of $program has no body"
  grep -q 'help' <<<"$page" || fail "the manual page of $program lists no options"
  shown=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/$program.1.gz" 2>&1 | col -b)
  sections=("SEE ALSO")
  case "$program" in
    quartel-cli) sections+=(COMMANDS EXAMPLES "EXIT STATUS" FILES ENVIRONMENT) ;;
    quartel-sim) sections+=(EXAMPLES) ;;
  esac
  for section in "${sections[@]}"; do
    grep -qx "$section" <<<"$shown" || fail "man -l $program.1.gz shows no $section section"
  done
done
# quartel-cli(1): one subsection per command, each with its own options.
shown=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/quartel-cli.1.gz" 2>&1 | col -b)
for command in scan watch backup restore report diff; do
  grep -qx "   $command" <<<"$shown" || fail "quartel-cli(1) has no subsection $command"
done
grep -q -- '--local-echo' <<<"$shown" || fail "quartel-cli(1) does not describe --local-echo"
# One release date: the metainfo's is the changelog's.
changelog_date=$(date -u -d "$(zcat "$root/usr/share/doc/quartel-setup/changelog.gz" | sed -n 's/^ -- .*>  //p' | head -1)" +%F)
grep -q "date=\"$changelog_date\"" "$root/usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml" \
  || fail "the metainfo's release date is not the changelog's ($changelog_date)"
# The metainfo provides every program the package installs.
for program in "${programs[@]}"; do
  grep -q "<binary>$program</binary>" "$root/usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml" \
    || fail "the metainfo does not provide $program"
done
grep -q 'quartel-cli' <<<"$info" || fail "the description does not mention the command line tool"
"$root/usr/bin/quartel-sim" --version >/dev/null || fail "quartel-sim --version failed"

# The unpacked programs start (no display needed for --help).
export QT_QPA_PLATFORM=offscreen
for program in "${programs[@]}"; do
  "$root/usr/bin/$program" --help >/dev/null || fail "$program --help failed"
done
help=$("$root/usr/bin/quartel-setup" --help) || fail "quartel-setup --help failed"
grep -q -- '--settings-dir' <<<"$help" || fail "quartel-setup --help does not list its options: $help"
help=$("$root/usr/bin/quartel-sim" --help) || fail "quartel-sim --help failed"
grep -q -- '--fault' <<<"$help" || fail "quartel-sim --help does not list its options: $help"
help=$("$root/usr/bin/quartel-cli" backup --help) || fail "quartel-cli backup --help failed"
grep -q -- '--address' <<<"$help" || fail "quartel-cli backup --help does not list its options: $help"
echo "package checked"
