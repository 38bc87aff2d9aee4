#!/usr/bin/env bash
# Builds the Debian package (Release, in build/) and prints its name:
#   scripts/package.sh      # then: sudo apt install ./build/package/torvane-anim_*.deb
# Its dependencies are worked out from the binary by dpkg-shlibdeps; the build carries the
# distribution's hardening flags (packaging/Hardening.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTORVANE_HARDENING=ON >/dev/null
cmake --build build -j"$(nproc)" --target torvane-anim torvane_examples torvane_icons torvane_docs
rm -f build/package/torvane-anim_*.deb
cpack -G DEB --config build/CPackConfig.cmake -B build/package >/dev/null
ls build/package/torvane-anim_*.deb
