#!/usr/bin/env bash
# Installs the Debian packages Quaverly 3 needs to build, run and test.
# Idempotent: only missing packages are installed. Needs root to install.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake pkg-config g++ clang libclang-rt-14-dev
  # GUI
  qt6-base-dev qt6-svg-dev libgl-dev libxkbcommon-dev fonts-liberation2 fonts-dejavu-core
  # audio, codecs, devices, network
  libsndfile1-dev libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
  libmpg123-dev libmp3lame-dev portaudio19-dev libasound2-dev
  libhidapi-dev libudev-dev libpcap-dev libcdio-dev libcdio-paranoia-dev
  libcurl4-openssl-dev zlib1g-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  ffmpeg sox lame rubberband-cli soundstretch locales
  xvfb xauth pulseaudio pulseaudio-utils libasound2-plugins
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them as root (apt-get install ${missing[*]}) or run this script as root." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y --no-install-recommends "${missing[@]}"
