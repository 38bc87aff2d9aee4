#!/usr/bin/env bash
# Installs what is missing, builds, and opens the editor (on the demo when present).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
args=("$@")
if [ ${#args[@]} -eq 0 ] && [ -f build/examples/walker.p3d ]; then
  args=(--home build/examples build/examples/walker.p3d build/examples/walker.rtm)
fi
exec build/src/torvane-anim "${args[@]}"
