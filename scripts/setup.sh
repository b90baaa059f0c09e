#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: when everything is present it only checks and returns.
#   scripts/setup.sh [--windows]   (--windows: also the cross compiler and Wine)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libtinyobjloader-dev zlib1g-dev nlohmann-json3-dev
  clang-format locales
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-svg-dev qt6-qpa-plugins
  libgl-dev libgl1-mesa-dri libglx-mesa0 xvfb xauth
  clang libfuzzer-14-dev libclang-rt-14-dev desktop-file-utils libxml2-utils dpkg-dev
  xdg-utils libfile-mimeinfo-perl shared-mime-info x11-utils libglib2.0-bin
)

# The Windows step of CI (scripts/windows-test.sh) cross-builds with MinGW-w64 and runs the
# result under Wine; only it asks for these.
if [[ "${1:-}" == "--windows" ]]; then
  packages+=(g++-mingw-w64-x86-64-posix googletest libz-mingw-w64-dev wine wine64)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A locale whose decimal point is a comma, so the tests can check that text files keep ".".
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "setup: generating the de_DE.UTF-8 locale"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
