#!/bin/sh
# Cross-builds the core, the Windows HID backend, quilletctl.exe and the tests with MinGW-w64
# (the "mingw" preset), then runs the tests and `quilletctl.exe list` under Wine in a fresh
# Wine prefix that is removed afterwards. Needs `tools/install-deps.sh --windows`.
set -eu
cd "$(dirname "$0")/.."

WINE=/usr/lib/wine/wine64
[ -x "$WINE" ] || WINE=$(command -v wine64 || command -v wine || true)
if [ -z "$WINE" ] || [ ! -x "$WINE" ]; then
  echo "windows-tests: wine64 is missing (tools/install-deps.sh --windows)" >&2
  exit 1
fi
WINESERVER=$(dirname "$WINE")/wineserver
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo true)

WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vq-wine.XXXXXX")
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT INT TERM

# Set the prefix up and keep its server running, away from the build's and ctest's output
# pipes: the helper processes that Wine's first start leaves behind would otherwise hold those
# pipes open, and ctest would wait for them for ever.
"$WINESERVER" -p </dev/null >/dev/null 2>&1
"$WINE" wineboot --init </dev/null >/dev/null 2>&1

cmake --preset mingw
cmake --build --preset mingw
# Now and then Wine fails to start a test program at all (no output, 0 s): a failed program is
# run once more. A test that fails inside a program fails both runs.
ctest --preset mingw --repeat until-pass:2

echo "== quilletctl.exe list under Wine"
"$WINE" build/mingw/bin/quilletctl.exe list
