#!/usr/bin/env bash
# Remakes the pictures of the user's manual (docs/images/*.png) from a generated
# demo folder, under Xvfb, so that they show the windows as they are today.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VELORIN_BUILD_DIR:-$root/build}"
"$root/scripts/install-deps.sh" imagemagick >&2
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target velorin-gendata manual_shots
# /var/tmp rather than /tmp: the folder chooser's tree then shows few other folders.
work="$(mktemp -d /var/tmp/enseignant.XXXXXX)"
trap 'rm -rf "$work"' EXIT
# A home of its own, as a teacher's: the demo data in ~/Documents/Velorin; the
# folder chooser remembers its folders there.
export HOME="$work" XDG_CONFIG_HOME="$work/.config"
"$build/tools/gendata/velorin-gendata" "$HOME/Documents/Velorin" --schools 1 --classes 3 --pupils 24 --years 3 --seed 7
xvfb-run -a -s "-screen 0 1366x800x24" env QT_QPA_PLATFORM=xcb \
  "$build/tools/shots/manual_shots" "$HOME/Documents/Velorin" "$work/shots"
# Smaller files: 256 colours are plenty for windows.
mkdir -p "$root/docs/images"
for png in "$work"/shots/*.png; do
  convert "$png" -strip -colors 256 PNG8:"$root/docs/images/$(basename "$png")"
done
ls -l "$root"/docs/images/*.png
