#!/usr/bin/env bash
# quartel-cli installs on a server without the desktop's libraries: the built program names QtCore,
# QtNetwork, QtSerialPort and QtGui (the PDF report) as the only Qt libraries it needs, and nothing it
# loads brings the widget library or the printing support (which needs the widgets) with it.
#   test_cli_libraries.sh PROGRAM
set -euo pipefail
program=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
[ -n "$needed" ] || fail "readelf -d $program shows no NEEDED entries"
qt=$(grep '^libQt6' <<<"$needed" | sed 's/\.so.*$//' | sort | tr '\n' ' ')
[ "$qt" = "libQt6Core libQt6Gui libQt6Network libQt6SerialPort " ] \
  || fail "$program needs the Qt libraries '$qt', not QtCore, QtGui, QtNetwork and QtSerialPort alone"

# Every library the dynamic loader brings in, directly or through another one.
loaded=$(ldd "$program") || fail "ldd $program"
grep -q 'libQt6Core' <<<"$loaded" || fail "ldd $program does not list QtCore: $loaded"
for library in libQt6Widgets libQt6PrintSupport libQt6Charts libQt6OpenGLWidgets; do
  if grep -q "$library" <<<"$loaded"; then
    fail "$program loads $library: $(grep "$library" <<<"$loaded")"
  fi
done
echo "quartel-cli needs: $qt"
