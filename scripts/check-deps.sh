#!/usr/bin/env bash
# Fails when the build configured against a package that scripts/deps.sh does not bring
# in: every CMake package folder and GL library the configure step found must belong to a
# package reached from the list in deps.sh through Depends and Pre-Depends alone, since a
# fresh machine installs no recommended packages. Usage: scripts/check-deps.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
cache="$build/CMakeCache.txt"
[ -f "$cache" ] || { echo "check-deps: no $cache; configure first" >&2; exit 2; }
command -v apt-cache >/dev/null && command -v dpkg >/dev/null || { echo "check-deps: not a Debian system, skipped"; exit 0; }

roots=$(sed -n '/^packages=(/,/)/p' scripts/deps.sh | tr -d '()' | sed 's/packages=//' | tr -s ' \n' ' ')
reached=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
              --no-enhances $roots 2>/dev/null |
          awk '/^[^ ]/ { sub(/:.*/, "", $1); print $1; next }
               /^ *\|?(Pre)?Depends:/ { d = $2; gsub(/[<>]/, "", d); sub(/:.*/, "", d); print d }' | sort -u)

missing=0
while IFS= read -r path; do
    probe="$path"
    if [ -d "$path" ]; then
        probe=$(find "$path" -maxdepth 1 \( -name '*Config.cmake' -o -name '*-config.cmake' \) | sort | head -n 1)
        [ -n "$probe" ] || continue
    fi
    owner=$(dpkg -S "$(readlink -f "$probe")" 2>/dev/null || dpkg -S "$probe" 2>/dev/null || true)
    [ -n "$owner" ] || continue
    for pkg in $(echo "${owner%%:*}" | tr ',' ' '); do
        pkg="${pkg%%:*}"
        if ! grep -qx "$pkg" <<<"$reached"; then
            echo "check-deps: $pkg (for $path) is not reached from scripts/deps.sh"
            missing=1
        fi
    done
done < <(sed -n -e 's/^[A-Za-z0-9_]*_DIR:PATH=\(\/usr\/.*\)$/\1/p' \
                -e 's/^OPENGL_[A-Za-z0-9_]*_LIBRARY:FILEPATH=\(\/usr\/.*\)$/\1/p' "$cache" | sort -u)
[ "$missing" -eq 0 ] && echo "check-deps: every package the build configures against is installed by scripts/deps.sh"
exit "$missing"
