#!/usr/bin/env bash
# Builds the benchmark (Release, in build-bench/) and runs it; arguments go to it, e.g.
#   scripts/bench.sh --runs 9 rtm
# It prints each figure next to its floor and the ratio; missed goals are marked MISSED.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target torvane-bench
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" build-bench/bench/torvane-bench "$@"
