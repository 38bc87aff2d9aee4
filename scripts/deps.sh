#!/usr/bin/env bash
# Installs the Debian packages the editor, its tests, its fuzz targets and its package need
# (rsvg-convert draws the icon's bitmaps; dpkg-dev and the checkers build and check the package:
# lintian and devscripts' hardening-check judge it as a distribution would, xprop reads the
# window's class and icon; tinygltf writes glTF files and Node.js runs the validator the
# tests check them with).
set -euo pipefail
packages=(g++ cmake make qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
          xvfb xauth xdotool openbox clang libclang-rt-14-dev libtinygltf-dev nodejs
          librsvg2-bin dpkg-dev desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base
          lintian devscripts x11-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Debian's nodejs comes without npm; other builds of it bring their own.
command -v npm >/dev/null || dpkg-query -W -f='${Status}' npm 2>/dev/null | grep -q "install ok installed" || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# The Khronos glTF validator the tests check exported files with, from the npm registry
# into the project's own folder (versions fixed by its lockfile).
validator="$(dirname "$0")/../tools/gltf-validator"
if [ ! -f "$validator/node_modules/gltf-validator/package.json" ]; then
  (cd "$validator" && npm ci --no-audit --no-fund --silent)
fi
