#!/usr/bin/env bash
# Builds the two Debian packages, quartel-setup_VERSION_ARCH.deb (the screens and the simulated line)
# and quartel-cli_VERSION_ARCH.deb (the command line, for terminals and servers), in a clean Release
# build folder, build-package/ unless another one is given, from what the packages install alone (the
# programs and their manual pages; no tests, benchmarks or tools). The package test runs this script too.
#   scripts/package.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
bash scripts/setup.sh
rm -rf "$build"
source scripts/ccache.sh
# Debian's hardening (fortify, stack protector, relro, bind-now, PIE), as a Debian package build sets it.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DQUARTEL_SKIP="bench;tools" "${CCACHE_LAUNCHER[@]}"
cmake --build "$build" -j"$(nproc)" --target quartel-package-contents
(cd "$build" && cpack -G DEB)
ls -l "$build"/quartel-setup_*.deb "$build"/quartel-cli_*.deb
