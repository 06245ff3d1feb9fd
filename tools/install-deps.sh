#!/bin/sh
# Installs what building and testing needs on Debian 12 (run as root, or with sudo available).
#   tools/install-deps.sh            the native build, its tests and the GUI
#   tools/install-deps.sh --windows  also the MinGW-w64 cross compilers and Wine
#   tools/install-deps.sh --fuzz     also clang with libFuzzer, for the fuzz harnesses
set -eu
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
PACKAGES="build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libhidapi-dev libx11-dev libxi-dev
  qt6-base-dev qt6-tools-dev libqt6opengl6-dev libgl-dev libxkbcommon-dev qt6-svg-dev
  xvfb xauth fonts-noto-cjk python3"
if [ "${1:-}" = "--windows" ]; then
  PACKAGES="$PACKAGES g++-mingw-w64-x86-64-posix wine64"
fi
if [ "${1:-}" = "--fuzz" ]; then
  PACKAGES="$PACKAGES clang libclang-rt-dev"
fi
missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -qq --no-install-recommends $missing
fi
