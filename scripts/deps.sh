#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the demo and the benchmarks
# need. Idempotent: only missing packages are installed. When not run as root it prints
# the apt-get line to run instead.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-mixer-dev
  libpng-dev libjpeg62-turbo-dev libfreetype-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libstb-dev
  gcc-multilib g++-multilib
  clang libclang-rt-14-dev
  libepoxy-dev libhwy-dev
  fonts-dejavu-core fonts-wqy-microhei
  xvfb xauth libgl1-mesa-dri zenity
  curl dpkg-dev file
  sox libsox-fmt-base
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "deps: all ${#packages[@]} packages present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "deps: missing packages; run as root:"
  echo "  apt-get update && apt-get install -y ${missing[*]}"
  exit 1
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
