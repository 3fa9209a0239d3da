#!/usr/bin/env bash
# The two Debian packages built as scripts/package.sh builds them (that very script, in a clean Release
# folder): quartel-setup (the screens, the simulated line) and quartel-cli (the command line, for
# servers). Their control data and contents, desktop entry, metainfo, copyright, changelog, manual
# pages, systemd units, lintian's verdict, and every program started from a root both packages were
# unpacked into. Installed for real only where that harms nobody: in CI, as root, in a throwaway root.
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
  fail "scripts/package.sh could not build the packages"
fi
shopt -s nullglob
all=("$scratch"/build/*.deb)
[ ${#all[@]} -eq 2 ] || fail "expected two packages, found ${#all[@]}: ${all[*]##*/}"
setup_debs=("$scratch"/build/quartel-setup_*.deb)
cli_debs=("$scratch"/build/quartel-cli_*.deb)
[ ${#setup_debs[@]} -eq 1 ] || fail "expected one quartel-setup_*.deb, found ${#setup_debs[@]}"
[ ${#cli_debs[@]} -eq 1 ] || fail "expected one quartel-cli_*.deb, found ${#cli_debs[@]}"
setup_deb=${setup_debs[0]}
cli_deb=${cli_debs[0]}
for deb in "$setup_deb" "$cli_deb"; do
  echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"
done
version=$(sed -n 's/^project(QuartelSetup VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")
[ -n "$version" ] || fail "no project version in CMakeLists.txt"

# The programs of each package, as the install rules name them (a program added there is checked here).
programs_of() {
  sed -n "s/^set(QUARTEL_PROGRAMS_$1 \(.*\))$/\1/p" "$source/packaging/CMakeLists.txt"
}
read -ra setup_programs <<<"$(programs_of setup)"
read -ra cli_programs <<<"$(programs_of cli)"
[[ " ${setup_programs[*]} " == *" quartel-setup "* && " ${setup_programs[*]} " == *" quartel-sim "* ]] \
  || fail "quartel-setup's programs are '${setup_programs[*]}'"
[ "${cli_programs[*]}" = quartel-cli ] || fail "quartel-cli's programs are '${cli_programs[*]}'"
programs=("${setup_programs[@]}" "${cli_programs[@]}")

# Control data.
field() { dpkg-deb --field "$1" "$2"; }
has_dep() { [[ ", $1," == *", $2"[\ ,]* ]]; }
for deb in "$setup_deb" "$cli_deb"; do
  [ "$(field "$deb" Version)" = "$version" ] || fail "$(basename "$deb"): Version is '$(field "$deb" Version)'"
  [ -n "$(field "$deb" Maintainer)" ] || fail "$(basename "$deb"): no Maintainer"
  [ -n "$(field "$deb" Section)" ] || fail "$(basename "$deb"): no Section"
  grep -q dialout <<<"$(dpkg-deb --info "$deb")" || fail "$(basename "$deb"): the description does not mention dialout"
  # Installed, not enabled: no maintainer script at all (none would be needed to enable a unit either).
  scripts=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -E 'preinst|postinst|prerm|postrm' || true)
  [ -z "$scripts" ] || fail "$(basename "$deb") has maintainer scripts: $scripts"
done
[ "$(field "$setup_deb" Package)" = quartel-setup ] || fail "Package is '$(field "$setup_deb" Package)'"
[ "$(field "$cli_deb" Package)" = quartel-cli ] || fail "Package is '$(field "$cli_deb" Package)'"
[ "$(field "$cli_deb" Source)" = quartel-setup ] || fail "quartel-cli's Source is '$(field "$cli_deb" Source)'"
# Computed from the libraries each package's programs link, plus what they load or run.
depends=$(field "$setup_deb" Depends)
for dep in libc6 libstdc++6 libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins qt6-translations-l10n \
  "quartel-cli (= $version)"; do
  has_dep "$depends" "$dep" || fail "quartel-setup's Depends lacks $dep: $depends"
done
cli_depends=$(field "$cli_deb" Depends)
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6network6 libqt6serialport6 git; do
  has_dep "$cli_depends" "$dep" || fail "quartel-cli's Depends lacks $dep: $cli_depends"
done
for dep in libqt6widgets6 libqt6printsupport6 libqt6charts6 quartel-setup; do
  if has_dep "$cli_depends" "$dep"; then
    fail "quartel-cli depends on $dep: $cli_depends"
  fi
done
# quartel-setup 3.2 installed /usr/bin/quartel-cli itself.
[ "$(field "$cli_deb" Breaks)" = "quartel-setup (<< 3.3)" ] || fail "quartel-cli's Breaks is '$(field "$cli_deb" Breaks)'"
[ "$(field "$cli_deb" Replaces)" = "quartel-setup (<< 3.3)" ] \
  || fail "quartel-cli's Replaces is '$(field "$cli_deb" Replaces)'"
# Each description names the programs its package installs.
for program in "${setup_programs[@]}"; do
  grep -q "$program" <<<"$(field "$setup_deb" Description)" || fail "quartel-setup's description does not name $program"
done
grep -q "quartel-cli" <<<"$(field "$cli_deb" Description)" || fail "quartel-cli's description does not name quartel-cli"
# What the command line's Depends bring in, all the way down, on this system's package lists: no
# widget library (it must install on a server without the desktop).
if command -v apt-cache >/dev/null; then
  closure=$(sed 's/([^)]*)//g; s/|/,/g; s/,/ /g' <<<"$cli_depends" | xargs apt-cache depends --recurse \
    --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances 2>/dev/null \
    | grep '^[a-z]' | sort -u)
  grep -qx libqt6core6 <<<"$closure" || fail "apt-cache does not resolve quartel-cli's Depends: $cli_depends"
  if grep -qx 'libqt6widgets6\|libqt6printsupport6' <<<"$closure"; then
    fail "quartel-cli's Depends bring in $(grep -x 'libqt6widgets6\|libqt6printsupport6' <<<"$closure" | xargs)"
  fi
fi

# Contents: exactly these files in each package, nothing else.
contents_of() { dpkg-deb --contents "$1" | awk '{print $6}' | grep -v '/$' | sort; }
expected_setup=(
  ./usr/share/applications/it.pesometra.QuartelSetup.desktop
  ./usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/quartel-setup.svg
  ./usr/share/doc/quartel-setup/copyright
  ./usr/share/doc/quartel-setup/changelog.gz
  ./usr/share/lintian/overrides/quartel-setup
)
for program in "${setup_programs[@]}"; do
  expected_setup+=("./usr/bin/$program" "./usr/share/man/man1/$program.1.gz")
done
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected_setup+=("./usr/share/icons/hicolor/${size}x${size}/apps/quartel-setup.png")
done
expected_cli=(
  ./usr/bin/quartel-cli
  ./usr/share/man/man1/quartel-cli.1.gz
  ./usr/share/metainfo/it.pesometra.QuartelCli.metainfo.xml
  ./usr/share/doc/quartel-cli/copyright
  ./usr/share/doc/quartel-cli/changelog.gz
  ./usr/share/doc/quartel-cli/examples/plant.ini
  ./lib/systemd/system/quartel-plant-backup.service
  ./lib/systemd/system/quartel-plant-backup.timer
)
if [ -f "$source/packaging/quartel-cli.lintian-overrides" ]; then
  expected_cli+=(./usr/share/lintian/overrides/quartel-cli)
fi
diff -u <(printf '%s\n' "${expected_setup[@]}" | sort) <(contents_of "$setup_deb") >&2 \
  || fail "quartel-setup's contents differ from the expected (- expected, + in the package)"
diff -u <(printf '%s\n' "${expected_cli[@]}" | sort) <(contents_of "$cli_deb") >&2 \
  || fail "quartel-cli's contents differ from the expected (- expected, + in the package)"

# Both unpacked into one scratch root, as dpkg would install them.
root="$scratch/root"
dpkg -x "$setup_deb" "$root"
dpkg -x "$cli_deb" "$root"
desktop="$root/usr/share/applications/it.pesometra.QuartelSetup.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
setup_metainfo="$root/usr/share/metainfo/it.pesometra.QuartelSetup.metainfo.xml"
cli_metainfo="$root/usr/share/metainfo/it.pesometra.QuartelCli.metainfo.xml"
for metainfo in "$setup_metainfo" "$cli_metainfo"; do
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate $(basename "$metainfo")"
done
grep -q '<component type="console-application">' "$cli_metainfo" || fail "quartel-cli's metainfo is no console-application"
for size in "${sizes[@]}"; do
  file -b "$root/usr/share/icons/hicolor/${size}x${size}/apps/quartel-setup.png" | grep -q "PNG image data, $size x $size" \
    || fail "the ${size}x${size} icon is not a ${size}x${size} PNG"
done
# Every Exec line of the menu entry starts a program of the package.
grep '^Exec=' "$desktop" | while IFS= read -r line; do
  program=${line#Exec=}
  program=${program%% *}
  [[ " ${setup_programs[*]} " == *" $program "* ]] || fail "the menu entry starts '$program', not a program of quartel-setup"
done
for program in "${programs[@]}"; do
  if readelf -S "$root/usr/bin/$program" | grep -q '\.debug_info'; then
    fail "$program is not stripped"
  fi
done
# Each metainfo provides exactly the programs its package installs.
provided() { sed -n 's|.*<binary>\(.*\)</binary>.*|\1|p' "$1" | sort | xargs; }
[ "$(provided "$setup_metainfo")" = "$(printf '%s\n' "${setup_programs[@]}" | sort | xargs)" ] \
  || fail "quartel-setup's metainfo provides '$(provided "$setup_metainfo")'"
[ "$(provided "$cli_metainfo")" = quartel-cli ] || fail "quartel-cli's metainfo provides '$(provided "$cli_metainfo")'"

# lintian: no errors, no warnings, and even with --pedantic no hardening tag (the programs are built
# with dpkg-buildflags' hardening); each override says why it is there.
for deb in "$setup_deb" "$cli_deb"; do
  log="$scratch/lintian-$(field "$deb" Package).log"
  if ! lintian --pedantic --info --fail-on error,warning "$deb" >"$log" 2>&1; then
    cat "$log" >&2
    fail "lintian $(basename "$deb")"
  fi
  if grep -q 'hardening' "$log"; then
    cat "$log" >&2
    fail "lintian reports a hardening tag for $(basename "$deb")"
  fi
done
for overrides in "$root"/usr/share/lintian/overrides/*; do
  awk '/^#/ { reason = 1; next } /^[[:space:]]*$/ { reason = 0; next } !reason { exit 1 }' "$overrides" \
    || fail "a lintian override of $(basename "$overrides") without the comment that gives its reason"
done
for package in quartel-setup quartel-cli; do
  grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$root/usr/share/doc/$package/copyright" || fail "the copyright file of $package is not machine-readable"
done
cmp -s "$root/usr/share/doc/quartel-setup/changelog.gz" "$root/usr/share/doc/quartel-cli/changelog.gz" \
  || fail "the two packages' changelogs differ"
[[ "$(zcat "$root/usr/share/doc/quartel-cli/changelog.gz")" == "quartel-setup ($version)"* ]] \
  || fail "the changelog's first entry is not version $version"
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
# quartel-cli(1): one subsection per command, each with its own options; the files of the service.
shown=$(MANWIDTH=100 man -l "$root/usr/share/man/man1/quartel-cli.1.gz" 2>&1 | col -b)
for command in scan watch backup restore report diff; do
  grep -qx "   $command" <<<"$shown" || fail "quartel-cli(1) has no subsection $command"
done
grep -q -- '--local-echo' <<<"$shown" || fail "quartel-cli(1) does not describe --local-echo"
for path in /etc/quartel/plant.ini quartel-plant-backup.timer; do
  grep -qF "$path" <<<"$shown" || fail "quartel-cli(1) does not name $path"
done
# One release date: each metainfo's is the changelog's.
changelog_date=$(date -u -d "$(zcat "$root/usr/share/doc/quartel-setup/changelog.gz" | sed -n 's/^ -- .*>  //p' | head -1)" +%F)
for metainfo in "$setup_metainfo" "$cli_metainfo"; do
  grep -q "<release version=\"$version\" date=\"$changelog_date\"" "$metainfo" \
    || fail "$(basename "$metainfo") has no release $version of the changelog's date ($changelog_date)"
done

# The nightly backup: a oneshot service for which "something changed" (1) is success, under a user of
# its own, and a timer that starts it; both valid for systemd, neither enabled by the package.
units="$root/lib/systemd/system"
service="$units/quartel-plant-backup.service"
timer="$units/quartel-plant-backup.timer"
for line in Type=oneshot \
  "ExecStart=/usr/bin/quartel-cli plant backup --plant /etc/quartel/plant.ini --history /var/lib/quartel/history" \
  SuccessExitStatus=1 DynamicUser=yes StateDirectory=quartel SupplementaryGroups=dialout \
  ConditionPathExists=/etc/quartel/plant.ini "Documentation=man:quartel-cli(1)" ProtectSystem=strict; do
  grep -qxF "$line" "$service" || fail "the service has no line '$line'"
done
for line in Persistent=true WantedBy=timers.target; do
  grep -qxF "$line" "$timer" || fail "the timer has no line '$line'"
done
grep -q '^OnCalendar=' "$timer" || fail "the timer has no OnCalendar"
if command -v systemd-analyze >/dev/null; then
  # verify looks for the ExecStart program outside the root; the unpacked one stands in for it.
  verify=$(cd "$units" && PATH="$root/usr/bin:$PATH" systemd-analyze verify --man=no \
    ./quartel-plant-backup.service ./quartel-plant-backup.timer 2>&1 | grep -v '/usr/bin/quartel-cli is not executable' || true)
  [ -z "$verify" ] || fail "systemd-analyze verify: $verify"
fi
cmp -s "$root/usr/share/doc/quartel-cli/examples/plant.ini" "$source/packaging/plant.ini" \
  || fail "the example plant file is not packaging/plant.ini"

# The unpacked programs start (no display needed for --version and --help) and say the package's version;
# the command line loads no widget library.
export QT_QPA_PLATFORM=offscreen
for program in "${programs[@]}"; do
  "$root/usr/bin/$program" --help >/dev/null || fail "$program --help failed"
  shown=$("$root/usr/bin/$program" --version) || fail "$program --version failed"
  [ "$shown" = "$program $version" ] || fail "$program --version says '$shown', not '$program $version'"
done
help=$("$root/usr/bin/quartel-setup" --help) || fail "quartel-setup --help failed"
grep -q -- '--settings-dir' <<<"$help" || fail "quartel-setup --help does not list its options: $help"
help=$("$root/usr/bin/quartel-sim" --help) || fail "quartel-sim --help failed"
grep -q -- '--fault' <<<"$help" || fail "quartel-sim --help does not list its options: $help"
help=$("$root/usr/bin/quartel-cli" backup --help) || fail "quartel-cli backup --help failed"
grep -q -- '--address' <<<"$help" || fail "quartel-cli backup --help does not list its options: $help"
bash "$source/tests/package/test_cli_libraries.sh" "$root/usr/bin/quartel-cli"

# Installed for real, with apt resolving the Depends, only in CI as root (a throwaway root): on a
# developer's machine that would replace what is installed there, and dpkg --root into a scratch folder
# runs no dependency resolution and half of dpkg's own checks. Elsewhere apt only simulates it.
if [ -n "${CI:-}" ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -q "$cli_deb" "$setup_deb" >"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log" >&2; fail "apt-get install of both packages"; }
  for program in "${programs[@]}"; do
    shown=$("/usr/bin/$program" --version) || fail "installed $program --version failed"
    [ "$shown" = "$program $version" ] || fail "installed $program --version says '$shown'"
  done
  bash "$source/tests/package/test_cli_libraries.sh" /usr/bin/quartel-cli
  [ ! -e /etc/systemd/system/timers.target.wants/quartel-plant-backup.timer ] \
    || fail "installing quartel-cli enabled the timer"
  apt-get purge -y -q quartel-setup quartel-cli >>"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log" >&2; fail "apt-get purge of both packages"; }
  [ ! -e /usr/bin/quartel-cli ] || fail "/usr/bin/quartel-cli is left after the purge"
  echo "both packages installed, started and purged"
elif command -v apt-get >/dev/null; then
  apt-get install --simulate -q "$cli_deb" "$setup_deb" >"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log" >&2; fail "apt-get cannot install both packages (simulated)"; }
fi
echo "packages checked"
