#!/usr/bin/env bash
# Installs the Debian packages Koltrep needs to build, run and test, and only those missing.
# Works as root or through sudo. Nothing else is downloaded.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libode-dev libsdl2-dev libepoxy-dev libx11-dev libxext-dev libxrender-dev libgl1-mesa-dri libegl-mesa0 libegl1 libgl1
  libpng-dev zlib1g-dev libjpeg-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fontconfig
  libmeshoptimizer-dev
  libavcodec-dev libavformat-dev libswscale-dev libavutil-dev ffmpeg
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick openbox
  gnuplot-nox
  librsvg2-bin dpkg-dev file desktop-file-utils appstream man-db groff-base
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "error: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
