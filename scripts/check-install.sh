#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user of the installed
# program gets: the layout, the launcher, the metainfo, the file types (by content and by
# name), the manual page against README.md, the Debian package's contents and
# dependencies (and, where they are installed, what lintian and hardening-check make of
# it), that the installed editor keeps its settings in the user's folders and writes
# nothing beside the executable, and that its window matches the launcher and shows its
# icon.
# Usage: scripts/check-install.sh [BUILD_DIR]   (ctest runs it with the label "install")
set -euo pipefail
cd "$(dirname "$0")/.."

# The editor run under Xvfb: called back by xvfb-run below, as "--gui EXE HOME FILE...".
if [ "${1:-}" = "--gui" ]; then
    shift
    exe=$1 home=$2
    shift 2
    run=("$exe")
    [ "$(id -u)" -eq 0 ] && run=(setpriv --reuid=nobody --regid=nogroup --clear-groups "$exe")  # as below
    env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_RUNTIME_DIR HOME="$home" QT_QPA_PLATFORM=xcb \
        LIBGL_ALWAYS_SOFTWARE=1 "${run[@]}" "$@" >"$home.log" 2>&1 &
    pid=$!
    win=$(timeout 30 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Torvane Anim' | head -n 1)
    sleep 1
    xprop -id "$win" WM_CLASS _NET_WM_ICON >"$home.xprop"
    xdotool windowfocus --sync "$win" key --clearmodifiers ctrl+q
    ask=$(timeout 15 xdotool search --all --sync --onlyvisible --pid "$pid" --name '^Info$' | head -n 1)
    xdotool windowfocus --sync "$ask" key alt+y
    timeout 15 tail --pid="$pid" -f /dev/null
    wait "$pid"
    exit
fi

root=$PWD
build=$(cd "${1:-build}" && pwd)
fail() { echo "check-install: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

# ---- The layout
for f in bin/torvane-anim share/applications/org.torvane.anim.desktop share/mime/packages/torvane-anim.xml \
         share/metainfo/org.torvane.anim.metainfo.xml share/man/man1/torvane-anim.1.gz \
         share/doc/torvane-anim/copyright share/doc/torvane-anim/changelog.gz \
         share/icons/hicolor/scalable/apps/torvane-anim.svg share/icons/hicolor/48x48/apps/torvane-anim.png \
         share/icons/hicolor/256x256/apps/torvane-anim.png share/torvane-anim/examples/walker.p3d \
         share/torvane-anim/examples/walker.rtm share/torvane-anim/examples/LinkData/walker.lpv; do
    [ -s "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/torvane-anim" ] || fail "bin/torvane-anim is not executable"
[ "$(ls "$prefix/bin")" = torvane-anim ] || fail "bin/ holds more than the editor: $(ls "$prefix/bin")"
[ "$(head -c 4 "$prefix/share/icons/hicolor/48x48/apps/torvane-anim.png" | tail -c 3)" = PNG ] ||
    fail "the 48x48 icon is not a PNG"

# ---- Launcher, metainfo, file types
desktop=$prefix/share/applications/org.torvane.anim.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate refused the launcher"
appstreamcli validate --no-net "$prefix/share/metainfo/org.torvane.anim.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli refused the metainfo"; }
grep -qx 'Exec=torvane-anim %F' "$desktop" || fail "the launcher does not pass files"
wmclass=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wmclass" ] || fail "the launcher names no StartupWMClass"
mkdir -p "$work/xdg/mime/packages"
cp "$prefix/share/mime/packages/torvane-anim.xml" "$work/xdg/mime/packages/"
XDG_DATA_HOME=$work/xdg update-mime-database "$work/xdg/mime" >"$work/mime.log" 2>&1 || { cat "$work/mime.log"; fail "update-mime-database failed"; }
[ ! -s "$work/mime.log" ] || { cat "$work/mime.log"; fail "update-mime-database warned"; }
# Every type the launcher claims is one the description defines.
for t in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
    grep -q "<mime-type type=\"$t\">" "$prefix/share/mime/packages/torvane-anim.xml" || fail "$t is not described"
done
mimetype() { XDG_DATA_HOME=$work/xdg XDG_DATA_DIRS=/usr/share gio info -a standard::content-type "$1" 2>/dev/null |
                 sed -n 's/.*standard::content-type: //p'; }
printf 'MLOD\1\0\0\0' >"$work/model.bin"
printf 'RTM_0101\0\0\0\0' >"$work/anim.bin"
printf 'nothing' >"$work/named.p3d"
printf 'nothing' >"$work/named.rtm"
cp "$prefix/share/torvane-anim/examples/walker.p3d" "$work/walker-copy"
for c in "model.bin model/x-p3d" "walker-copy model/x-p3d" "anim.bin application/x-rtm-animation" \
         "named.p3d model/x-p3d" "named.rtm application/x-rtm-animation"; do
    set -- $c
    [ "$(mimetype "$work/$1")" = "$2" ] || fail "$1 is $(mimetype "$work/$1"), not $2"
done

# ---- The manual page: clean for groff, and naming every command and option README lists
man=$work/torvane-anim.1
gzip -dc "$prefix/share/man/man1/torvane-anim.1.gz" >"$man" || fail "the manual page is not gzipped"
warnings=$(groff -man -ww -z "$man" 2>&1) || true
[ -z "$warnings" ] || fail "groff: $warnings"
plain=$(sed 's/\\-/-/g' "$man")
options=$(sed -n '/^## Command line/,/^## Layout/p' README.md | sed 's/xvfb-run -a//g' | grep -oE -- '(^|[^A-Za-z0-9-])--?[a-z][a-z-]*' |
          grep -oE -- '--?[a-z][a-z-]*' | sort -u)
[ -n "$options" ] || fail "no options found in README.md"
for o in $options info check frames export render new; do
    grep -qE -- "(^|[^A-Za-z0-9-])$o([^A-Za-z0-9-]|$)" <<<"$plain" || fail "the manual page does not mention $o"
done

# ---- The Debian package
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/deb/torvane-anim_*.deb)
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/torvane-anim ./usr/share/applications/org.torvane.anim.desktop ./usr/share/man/man1/torvane-anim.1.gz \
         ./usr/share/mime/packages/torvane-anim.xml ./usr/share/torvane-anim/examples/walker.rtm \
         ./usr/share/icons/hicolor/scalable/apps/torvane-anim.svg ./usr/share/doc/torvane-anim/copyright \
         ./usr/share/doc/torvane-anim/changelog.gz; do
    grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done
! grep -E '^\./usr/local|/test_|\.a$' <<<"$contents" || fail "the package holds files it should not"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6openglwidgets6 libstdc\\+\\+6 qt6-qpa-plugins; do
    grep -qE "(^|, )$d( |,|$)" <<<"$depends" || fail "the package does not depend on $d: $depends"
done
[ "$(dpkg-deb -f "$deb" Package)" = torvane-anim ] || fail "the package's name"
# The changelog's newest entry is the packaged version: a new version needs an entry.
version=$(dpkg-deb -f "$deb" Version)
changelog=$(gzip -dc "$prefix/share/doc/torvane-anim/changelog.gz")
[ "$(head -n 1 <<<"$changelog")" = "torvane-anim ($version) unstable; urgency=medium" ] ||
    fail "the changelog's newest entry is not version $version: $(head -n 1 <<<"$changelog")"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' \
    "$prefix/share/doc/torvane-anim/copyright" || fail "the copyright file is not machine-readable"
# What a distribution's reviewer runs on it. lintian's info tags are not failures;
# overrides (usr/share/lintian/overrides) say why the package keeps one.
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1 ||
        { cat "$work/lintian.log"; fail "lintian found errors or warnings"; }
else
    echo "check-install: lintian is not installed; skipped"
fi
if ! command -v hardening-check >/dev/null; then
    echo "check-install: hardening-check is not installed; skipped"
elif ! grep -q '^TORVANE_HARDENING_FLAGS:INTERNAL=.' "$build/CMakeCache.txt"; then
    echo "check-install: $build is not a hardened release build (TORVANE_HARDENING); hardening-check skipped"
else
    mkdir "$work/debroot"
    dpkg-deb -x "$deb" "$work/debroot"
    # Control-flow protection is compiled in, but the program cannot be marked with it
    # while the C library's start files are not (Debian 12's are not), so it is not asked.
    hardening-check --nocfprotection "$work/debroot/usr/bin/torvane-anim" >"$work/hardening.log" 2>&1 ||
        { cat "$work/hardening.log"; fail "hardening-check found protections missing"; }
fi

# ---- The demo, copied as README.md says: its settings name its files relative to its
# folder, so the copy finds its own names, colours and links
demo=$work/torvane-demo
cp -r "$prefix/share/torvane-anim/examples" "$demo"
[ -s "$demo/TorvaneAnim.ini" ] || fail "the examples have no settings file"
! grep -q '=/' "$demo/TorvaneAnim.ini" || fail "the demo's settings name absolute paths: $(cat "$demo/TorvaneAnim.ini")"
"$prefix/bin/torvane-anim" --home "$demo" info "$demo/walker.p3d" | grep -q '^  body "Torso": .*pivot 0 1.5 0' ||
    fail "the copied demo does not find its names and links"

# ---- The installed editor in the user's folders
exe=$prefix/bin/torvane-anim
home=$work/home
mkdir -p "$home"
# root may write anywhere, so the editor runs as an ordinary user, to whom the installed
# folders are read-only as they are after a package install; any other user gets a
# read-only bin/.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody:nogroup "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod a-w "$prefix/bin"
fi
version=$(env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME HOME="$home" "${as_user[@]}" "$exe" --version) ||
    fail "--version failed"
grep -q "settings file: *$home/.config/torvane-anim/TorvaneAnim.ini" <<<"$version" || fail "--version says: $version"
grep -q "LinkData: *$home/.local/share/torvane-anim/LinkData" <<<"$version" || fail "--version says: $version"
grep -q "Recovery: *$home/.local/state/torvane-anim/recovery" <<<"$version" || fail "--version says: $version"
examples=$prefix/share/torvane-anim/examples
touch "$work/started"
# The icon comes from the icon theme where the prefix is among the data folders, else from
# beside the program (the empty data folder keeps an installed package's icon out).
XDG_DATA_DIRS=$prefix/share:/usr/share xvfb-run -a -s "-ac -screen 0 1280x1024x24" \
    "$root/scripts/check-install.sh" --gui "$exe" "$home" "$examples/walker.p3d" ||
    { cat "$home.log"; fail "the editor did not start and close"; }
windowMatchesLauncher() {
    grep -qxF "WM_CLASS(STRING) = \"torvane-anim\", \"$wmclass\"" "$home.xprop" ||
        fail "the window's class is not the launcher's StartupWMClass \"$wmclass\": $(grep WM_CLASS "$home.xprop")"
    grep -qE '^_NET_WM_ICON\(CARDINAL\) =[[:space:]]+Icon \([0-9]+ x [0-9]+\)' "$home.xprop" ||
        fail "the window shows no icon ($1): $(grep _NET_WM_ICON "$home.xprop")"
}
windowMatchesLauncher "icon theme"
ini=$home/.config/torvane-anim/TorvaneAnim.ini
[ -s "$ini" ] || fail "no settings in $ini"
grep -qx "LastP3d=$examples/walker.p3d" "$ini" || fail "the last model is not in $ini"
# An animation alone opens on the last model.
mkdir "$work/nodata"
XDG_DATA_DIRS=$work/nodata xvfb-run -a -s "-ac -screen 0 1280x1024x24" \
    "$root/scripts/check-install.sh" --gui "$exe" "$home" "$examples/walker.rtm" ||
    { cat "$home.log"; fail "the editor did not start and close on an animation"; }
windowMatchesLauncher "installed icon"
grep -qx "LastP3d=$examples/walker.p3d" "$ini" || fail "the animation did not open on the last model"
grep -qx "LastRTM=$examples/walker.rtm" "$ini" || fail "the animation is not in $ini"
written=$(find "$prefix" -newer "$work/started")
[ -z "$written" ] || fail "written beside the installed program: $written"
echo "check-install: layout, launcher, metainfo, file types, manual page, package, user folders and window are right"
