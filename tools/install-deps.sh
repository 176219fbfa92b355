#!/usr/bin/env bash
# Installs the Debian packages Koltrep needs to build, run and test, and only those missing.
# Works as root or through sudo. Nothing else is downloaded.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libode-dev libsdl2-dev libepoxy-dev libx11-dev libxext-dev libxrender-dev libgl1-mesa-dri libegl-mesa0 libegl1 libgl1
  libpng-dev zlib1g-dev libjpeg-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-dejavu-core fontconfig
  libmeshoptimizer-dev libimgui-dev
  libavcodec-dev libavformat-dev libswscale-dev libavutil-dev ffmpeg
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps x11-utils imagemagick openbox
  gnuplot-nox slurm-wlm munge
  librsvg2-bin dpkg-dev file desktop-file-utils appstream man-db groff-base lintian
  gettext locales
  libtomlplusplus-dev libpagmo-dev
)

# The locales the tests run the program in (English and Japanese messages); a fresh machine has
# only C, C.UTF-8 and POSIX.
locales=(en_US.UTF-8 ja_JP.UTF-8)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# locale -a spells them en_US.utf8.
missing_locales=()
for l in "${locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l%%.*}.utf8" || missing_locales+=("$l")
done
[[ ${#missing[@]} -eq 0 && ${#missing_locales[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "error: need root or sudo to install: ${missing[*]} ${missing_locales[*]}" >&2
  exit 1
fi
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing missing packages: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [[ ${#missing_locales[@]} -gt 0 ]]; then
  echo "Generating locales: ${missing_locales[*]}"
  for l in "${missing_locales[@]}"; do
    # Uncomments the line if it is there, adds it if not.
    if grep -qE "^#? *${l//./\\.} UTF-8" /etc/locale.gen; then
      "${sudo[@]}" sed -i -E "s/^# *(${l//./\\.} UTF-8)/\\1/" /etc/locale.gen
    else
      echo "$l UTF-8" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${sudo[@]}" locale-gen
fi
