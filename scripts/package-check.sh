#!/usr/bin/env bash
# Builds the Debian package from a configured build tree, checks its dependencies and its
# desktop files, unpacks it into a scratch root and runs the installed program there.
# Usage: scripts/package-check.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cmake --build "$build" --target framewright samples
rm -f "$build"/framewright_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/framewright_*.deb)
echo "Built $deb ($(stat -c %s "$deb") bytes)"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libpng16 libavcodec fonts-noto-cjk qt6-translations-l10n; do
  if [[ "$depends" != *"$needed"* ]]; then
    echo "the package does not depend on $needed" >&2
    exit 1
  fi
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
share="$root/usr/share"
desktop-file-validate "$share/applications/com.tessaly.Framewright.desktop"
appstreamcli validate --no-net "$share/metainfo/com.tessaly.Framewright.metainfo.xml" >/dev/null
for f in framewright/docs/index.html framewright/docs/tutorial.html framewright/samples/bouncing-ball.gif \
         icons/hicolor/scalable/apps/com.tessaly.Framewright.svg icons/hicolor/48x48/apps/com.tessaly.Framewright.png; do
  [ -s "$share/$f" ] || { echo "the package lacks $f" >&2; exit 1; }
done
"$root/usr/bin/framewright" -i "$share/framewright/samples/bouncing-ball.gif" -o "$root/out.gif"
[ -s "$root/out.gif" ] || { echo "the installed program wrote nothing" >&2; exit 1; }
# FFmpeg is loaded only for AVI work: the installed program must still find it.
"$root/usr/bin/framewright" -i "$root/out.gif" -o "$root/out.avi"
"$root/usr/bin/framewright" -i "$root/out.avi" -o "$root/back.gif"
[ -s "$root/back.gif" ] || { echo "the installed program did not read back its AVI" >&2; exit 1; }
# Batch runs start without the interface libraries; only the window's module needs them.
if readelf -d "$root/usr/bin/framewright" | grep -E 'NEEDED.*libQt6(Gui|Widgets)'; then
  echo "the program itself links Qt's interface libraries; they belong to the editor module" >&2
  exit 1
fi
# The window lives in a module of its own; given a display nobody serves, the installed program
# must load it and get as far as saying so.
window=$(DISPLAY=:97531 WAYLAND_DISPLAY= QT_QPA_PLATFORM= "$root/usr/bin/framewright" 2>&1 || true)
if [[ "$window" != *"cannot open the display"* ]]; then
  echo "the installed program did not load its editor module: $window" >&2
  exit 1
fi
echo "The installed program ran from $root/usr/bin, wrote a GIF and an AVI and read the AVI back; loaded its editor module; desktop entry and metainfo are valid."
