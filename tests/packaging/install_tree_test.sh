#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree a desktop user gets: the editor
# with everything it finds beside itself, the menu entry, the AppStream description, the project
# file's type as the desktop's MIME database sees it, and the icons at every size.
# Usage: install_tree_test.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Not /usr: any prefix must give a working tree.
prefix="$work/opt/torvana"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "install failed"; }
cd "$prefix"

# The editor, through its link, and what it copies or opens from its own folder, byte for byte
# as the build tree has them.
[ -L bin/torvana ] || fail "bin/torvana is not a link to the editor"
[ "$(readlink -f bin/torvana)" = "$prefix/lib/torvana/torvana" ] || fail "bin/torvana points to $(readlink bin/torvana)"
[ -x lib/torvana/torvana ] || fail "the editor is not executable"
for f in autorun.exe torvana_help.htm; do
  cmp -s "$build/bin/$f" "lib/torvana/$f" || fail "lib/torvana/$f differs from the build's or is missing"
done
[ -x lib/torvana/autorun.exe ] || fail "autorun.exe lost its executable mode"
# The Linux player with its own SDL, file for file as the build made it, still executable.
diff -r "$build/bin/linux-x86_64" lib/torvana/linux-x86_64 || fail "lib/torvana/linux-x86_64 differs from the build's"
[ -x lib/torvana/linux-x86_64/torvana-player ] || fail "the Linux player lost its executable mode"
# ...which carries none of the libraries that must be the running system's own.
system_owned=$(ls lib/torvana/linux-x86_64/lib | grep -E \
  '^(ld-linux|libc\.|libm\.|libstdc\+\+|libgcc_s|libGL|libEGL|libOpenGL|libdrm|libX11|libxcb\.so|libwayland-|libasound|libpulse|libdbus-1)' || true)
[ -z "$system_owned" ] || fail "the Linux player bundles system libraries: $system_owned"

# Nothing of the build's own (tests, tools, benchmarks) and nothing outside the three folders.
unexpected=$(find . -mindepth 1 -maxdepth 1 ! -name bin ! -name lib ! -name share)
[ -z "$unexpected" ] || fail "unexpected top-level entries: $unexpected"
[ "$(ls bin)" = torvana ] || fail "bin holds more than the editor: $(ls bin | tr '\n' ' ')"
for f in lib/torvana/*; do
  case "$(basename "$f")" in
    torvana | torvana-player | autorun.exe | torvana_help.htm | linux-x86_64) ;;
    *) fail "unexpected file beside the editor: $f" ;;
  esac
done

desktop=share/applications/$app_id.desktop
metainfo=share/metainfo/$app_id.metainfo.xml
mime=share/mime/packages/$app_id.xml
for f in "$desktop" "$metainfo" "$mime" share/doc/torvana/copyright share/doc/torvana/changelog.gz share/man/man1/torvana.1.gz; do
  [ -s "$f" ] || fail "$f is missing"
done
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" || { cat "$work/appstream.log"; fail "appstreamcli validate"; }
grep -qx 'Exec=torvana %f' "$desktop" || fail "the desktop entry does not start 'torvana %f'"
grep -qx 'MimeType=application/x-torvana-project;' "$desktop" || fail "the desktop entry does not take the project type"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" || fail "AppStream does not launch $app_id.desktop"
grep -q '<screenshot type="default">' "$metainfo" || fail "AppStream has no screenshot"

# The MIME database built from the installed file: *.cdrom is a Torvana project, a kind of
# text, with the project icon.
update-mime-database share/mime
grep -qx 'application/x-torvana-project:\*\.cdrom' <(cut -d: -f2- share/mime/globs2) || fail "*.cdrom is not in globs2"
grep -qx 'application/x-torvana-project text/plain' share/mime/subclasses || fail "not a subclass of text/plain"
grep -qx 'application/x-torvana-project:application-x-torvana-project' share/mime/icons || fail "no icon for the type"
grep -q '<comment>Torvana project</comment>' share/mime/application/x-torvana-project.xml || fail "comment"

# Icons: every size a PNG of that size, and the scalable drawing, for both names the files use.
icon_app=$(sed -n 's/^Icon=//p' "$desktop")
for entry in "apps/$icon_app" "mimetypes/application-x-torvana-project"; do
  for size in 16 32 48 64 128 256; do
    png="share/icons/hicolor/${size}x${size}/$entry.png"
    file -b "$png" | grep -q "^PNG image data, $size x $size, 8-bit/color RGBA" || fail "$png: $(file -b "$png" 2>&1)"
  done
  xmllint --noout "share/icons/hicolor/scalable/$entry.svg" || fail "scalable $entry"
done
echo "install tree complete"
