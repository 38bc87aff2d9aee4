#!/usr/bin/env bash
# Checks that Blender poses the glTF export of an animation as the editor does, at every
# keyframe: exports MODEL with ANIM as glb, each frame as OBJ, and has Blender (headless)
# pose the glb at each key time and compare (pose_check.py).
#   tools/gltf-blender/check.sh [--home DIR] MODEL.p3d ANIM.rtm [PLAY_TIME [TOLERANCE]]
# Needs blender and python3-numpy (apt-get install blender python3-numpy) and a built
# build/src/torvane-anim (or TORVANE_ANIM=path). Exits with 1 when a distance exceeds
# TOLERANCE (default 2e-4).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
exe="${TORVANE_ANIM:-$here/../../build/src/torvane-anim}"
home=()
if [ "${1:-}" = "--home" ]; then home=(--home "$2"); shift 2; fi
model="$1" anim="$2" play="${3:-}" tolerance="${4:-2e-4}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$exe" "${home[@]}" info "$anim" >"$work/info"
frames=$(sed -n 's/^Frames: //p' "$work/info")
[ -n "$play" ] || play=$(awk -v f="$frames" 'BEGIN { print f * 0.3 }')
"$exe" "${home[@]}" export "$model" "$anim" --play-time "$play" -o "$work/anim.glb" 2>/dev/null
# The key times as the export writes them: frame time x play time, a frame that is not
# later than the one before keyed 1 ms after it.
pairs=()
while read -r frame key; do
  "$exe" "${home[@]}" export "$model" "$anim" --frame "$frame" -o "$work/$frame.obj" 2>/dev/null
  pairs+=("$key=$work/$frame.obj")
done < <(sed -n 's/^Frame \([0-9]*\): time \([^,]*\),.*/\1 \2/p' "$work/info" |
         awk -v p="$play" '{ t = $2 * p; if (NR > 1 && t <= last) t = last + 0.001; last = t; printf "%s %.9g\n", $1, t }')
blender -b --python-exit-code 2 --python "$here/pose_check.py" -- "$work/anim.glb" "$tolerance" "${pairs[@]}" 2>/dev/null |
  grep -E '^(t=|largest)'
