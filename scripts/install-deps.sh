#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make procps jq
  qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-charts-dev qt6-qpa-plugins
  libqt6sql6-sqlite libqt6sql6-psql postgresql qcoro-qt6-dev qtkeychain-qt6-dev libarchive-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsodium-dev libssl-dev libxcb1-dev xvfb
  wrk curl zip lld
  openssl
  samba smbclient cifs-utils
  qt6-websockets-dev dbus-daemon
  dpkg-dev file
  zlib1g-dev python3
  libqt6opengl6-dev
  sqlite3
)
# `make fuzz` alone needs clang (libFuzzer); `make test` builds with g++.
if [ "${VESK_FUZZ_DEPS:-0}" = 1 ]; then
  packages+=(clang)
fi
# bench/soak_plot.py alone needs matplotlib (the soak's memory curve).
if [ "${VESK_SOAK_DEPS:-0}" = 1 ]; then
  packages+=(python3-matplotlib)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (or install the packages above) first" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
