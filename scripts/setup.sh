#!/usr/bin/env bash
# Installs what the build needs (Debian packages) when something is missing, then configures and
# builds into build/. Sourced by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

PACKAGES=(cmake ninja-build ccache pkg-config g++ catch2
  qt6-base-dev libsqlite3-dev zlib1g-dev libjpeg-dev libcurl4-openssl-dev libplist-dev
  nlohmann-json3-dev libcpp-httplib-dev nanopb libnanopb-dev protobuf-compiler python3-protobuf
  fonts-noto-cjk fonts-ipafont-gothic fonts-ipafont-mincho fonts-wqy-zenhei fonts-dejavu-core skkdic-extra poppler-utils
  xvfb xauth clang-format clang-tidy)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
# ZARUVEDEZ_CMAKE_ARGS adds configuration (CI: warnings as errors).
read -r -a extra <<<"${ZARUVEDEZ_CMAKE_ARGS:-}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${extra[@]}" >/dev/null
cmake --build build -j "$(nproc)"
