#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; with --bench also those of the
# benchmarks, with --fuzz clang, its libFuzzer and lld (make fuzz, the sanitizer builds), with
# --package Debian's package checker (make package). Idempotent: asks apt only for what dpkg does not
# already report as installed, and makes the German locale the tests of number reading switch
# to only when it is missing.
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
  locales
  libcli11-dev python3-jsonschema
)
for option in "$@"; do
  case "$option" in
    --bench) packages+=(libbenchmark-dev libfftw3-dev) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev lld) ;;
    --package) packages+=(lintian) ;;
    *) echo "install-deps: unknown option $option (known: --bench, --fuzz, --package)" >&2; exit 2 ;;
  esac
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

# A comma-decimal locale (de_DE.UTF-8) for the tests that read numbers under the desktop's
# locale. Where it cannot be made the tests say so and skip; the set-up goes on.
make_test_locale() {
  locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8' && return 0
  echo "install-deps: generating the de_DE.UTF-8 locale" >&2
  if grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    $sudo sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  fi
  $sudo locale-gen >/dev/null || echo "install-deps: could not generate de_DE.UTF-8" >&2
}

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
make_test_locale || true
