#!/usr/bin/env bash
# Builds the benchmark (Release, in build-bench/) and runs it; arguments go to it, e.g.
#   scripts/bench.sh --runs 9 rtm
# It prints each figure next to its floor and the ratio; missed goals are marked MISSED.
# The 3D paints (groups paint3d and frames) need OpenGL: they run on the X display, or under Xvfb with
# the software renderer when there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j"$(nproc)" --target torvane-bench
bench=build-bench/bench/torvane-bench

run3d() {
  if [ -n "${DISPLAY:-}" ]; then
    QT_QPA_PLATFORM=xcb "$bench" "$@"
  else
    xvfb-run -a env QT_QPA_PLATFORM=xcb LIBGL_ALWAYS_SOFTWARE=1 "$bench" "$@"
  fi
}

options=() groups=() gl=no
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) options+=("$1" "$2"); shift 2 ;;
    -*) options+=("$1"); shift ;;
    paint3d|frames) groups+=("$1"); gl=yes; shift ;;
    *) groups+=("$1"); shift ;;
  esac
done
if [ ${#groups[@]} -eq 0 ]; then
  QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$bench" "${options[@]}" p3d rtm refresh hostile timer undo browser export autosave
  run3d "${options[@]}" paint3d frames
elif [ "$gl" = yes ]; then
  run3d "${options[@]}" "${groups[@]}"
else
  QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$bench" "${options[@]}" "${groups[@]}"
fi
