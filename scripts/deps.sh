#!/usr/bin/env bash
# Installs the Debian packages the editor, its tests, its fuzz targets and its package need
# (rsvg-convert draws the icon's bitmaps; the others build and check the package).
set -euo pipefail
packages=(g++ cmake make qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
          xvfb xauth xdotool clang libclang-rt-14-dev
          librsvg2-bin dpkg-dev desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
