#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; with --bench also those of the
# benchmarks. Idempotent: asks apt only for what dpkg does not already report as installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev
  # Qt Charts' CMake package looks for Qt6OpenGL's, which the Debian package does not pull in.
  qt6-charts-dev libqt6opengl6-dev
  qt6-tools-dev qt6-l10n-tools
  libgtest-dev
  libjpeg62-turbo-dev libpng-dev
  libcfitsio-dev nlohmann-json3-dev
  fonts-ipaexfont-gothic fonts-dejavu-core
  qt6-translations-l10n
  desktop-file-utils appstream
  clang libclang-rt-14-dev
  libcli11-dev python3-jsonschema
)
if [ "${1:-}" = "--bench" ]; then
  packages+=(libbenchmark-dev libfftw3-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
