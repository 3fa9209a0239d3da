#!/usr/bin/env bash
# Installs the Debian packages Quartel Setup needs to build, run and test.
# Works as root or through sudo; does nothing when everything is there already.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libqt6serialport6
  qt6-charts-dev libqt6charts6 libqt6opengl6-dev
  qcoro-qt6-dev libqcoro6core0
  libgl-dev libxkbcommon-dev
  qt6-qpa-plugins fonts-dejavu-core qt6-translations-l10n
  python3 python3-pymodbus python3-serial python3-serial-asyncio
  dpkg-dev file desktop-file-utils appstream help2man lintian man-db bsdextrautils
  poppler-utils git
)

# Extra packages a script needs besides these (scripts/fuzz.sh: clang and its libFuzzer runtime).
PACKAGES+=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
