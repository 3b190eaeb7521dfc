#!/usr/bin/env bash
# Builds the Debian package with cpack, checks its file list and the dependencies computed from
# its programs, runs lintian on it (no errors), then unpacks it and starts the editor from the
# unpacked tree on a virtual X server until its main window shows.
# Usage: debian_package_test.sh BUILD_DIR SOURCE_DIR APP_ID
set -euo pipefail
build=$1 source=$2 app_id=$3
work=$(mktemp -d)
editor=
cleanup() {
  if [ -n "$editor" ]; then kill "$editor" 2>/dev/null || true; wait "$editor" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
debs=("$work"/torvana_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single torvana_*.deb"
deb=${debs[0]}

# File list.
dpkg-deb -c "$deb" | awk '{ print $6 ($7 == "->" ? " -> " $8 : "") }' >"$work/list"
expect() { grep -qxF "$1" "$work/list" || fail "the package lacks $1"; }
expect "./usr/bin/torvana -> ../lib/torvana/torvana"
expect ./usr/lib/torvana/torvana
expect ./usr/lib/torvana/autorun.exe
expect ./usr/lib/torvana/torvana_help.htm
expect ./usr/lib/torvana/linux-x86_64/torvana-player
expect ./usr/lib/torvana/linux-x86_64/lib/libdecor-0.so.0
expect "./usr/share/applications/$app_id.desktop"
expect "./usr/share/metainfo/$app_id.metainfo.xml"
expect "./usr/share/mime/packages/$app_id.xml"
expect ./usr/share/doc/torvana/copyright
expect ./usr/share/doc/torvana/changelog.gz
expect ./usr/share/man/man1/torvana.1.gz
for size in 16 32 48 64 128 256; do
  expect "./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
  expect "./usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-torvana-project.png"
done
if grep -E '_test$|/gifdump$|/torvana-make-|/torvana-screenshots$' "$work/list"; then fail "build tools in the package"; fi

# Dependencies from the programs' libraries, each with its lowest version.
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libsdl2-2.0-0 libisofs6 libburn4; do
  grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib: $depends"
done
if tr ',' '\n' <<<"$depends" | grep -v '(>= '; then fail "a dependency without a version"; fi
[ "$(dpkg-deb -f "$deb" Package)" = torvana ] || fail "package name"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian reports errors"; }
cat "$work/lintian.log"

# The unpacked editor starts, finds its libraries and shows its main window.
dpkg-deb -x "$deb" "$work/root"
mkdir -p "$work/config"
XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb "$work/root/usr/bin/torvana" >"$work/editor.log" 2>&1 &
editor=$!
for _ in $(seq 100); do
  if xwininfo -name "Torvana - Ver. 3.5" >/dev/null 2>&1; then
    echo "package ok: $(basename "$deb"), Depends: $depends"
    exit 0
  fi
  kill -0 "$editor" 2>/dev/null || { cat "$work/editor.log"; fail "the unpacked editor ended"; }
  sleep 0.2
done
cat "$work/editor.log"
fail "the unpacked editor showed no main window"
