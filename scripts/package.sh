#!/usr/bin/env bash
# Builds the Debian package (quartel-setup_VERSION_ARCH.deb) in a clean Release build folder,
# build-package/, from the programs alone (the tests are not built there).
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
rm -rf build-package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DQUARTEL_SKIP="bench;tools"
cmake --build build-package -j"$(nproc)" --target quartel-setup quartel-sim
(cd build-package && cpack -G DEB)
ls -l build-package/quartel-setup_*.deb
