#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the script check need.
# Only packages that are missing are installed; nothing is downloaded at build time.
set -euo pipefail

packages=(
  build-essential cmake clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libyaml-cpp-dev libpng-dev
  octave gnuplot-nox fonts-freefont-otf ghostscript
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
