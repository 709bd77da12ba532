#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config libsqlite3-dev sqlite3 libgtest-dev googletest
  libgmock-dev libbenchmark-dev nlohmann-json3-dev qt6-base-dev libgl-dev fonts-wine
  poppler-utils xvfb xauth clang clang-format libclang-rt-14-dev desktop-file-utils groff-base binutils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
