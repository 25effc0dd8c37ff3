#!/usr/bin/env bash
# Takes the pictures of the README under an X server of its own:
#   docs/bird-control.png  "Bird Control" with fog, shortly after start
#   docs/smart-follow.png  "Smart Follow" without fog: the flock, its shadows, the trees
# Usage: tools/take_screenshots.sh [path/to/avifold]   (default: build/app/avifold)
# Needs Xvfb, xdotool, xwd (x11-apps) and ImageMagick's convert.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
app=$(realpath "${1:-build/app/avifold}")

work=$(mktemp -d)
fdfile="$work/display"
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$fdfile" 2>/dev/null &
server=$!
program=""
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

for _ in $(seq 1 200); do
  [ -s "$fdfile" ] && break
  sleep 0.05
done
export DISPLAY=":$(head -n1 "$fdfile")"

# The program reads data/ under its working directory.
ln -s "$root/data" "$work/data"
(cd "$work" && exec "$app" >/dev/null) &
program=$!

window=""
for _ in $(seq 1 400); do
  window=$(xdotool search --onlyvisible --name '^Avifold$' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { echo "no Avifold window" >&2; exit 1; }

# The window's place on the root window (without a window manager, (-1, -1)).
read -r left top width height < <(xwininfo -id "$window" | awk '
  /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
  /Width/ {w = $2} /Height/ {h = $2} END {print x, y, w, h}')

# Saves the window's picture, cut from the root window.
shoot() {
  xwd -root -silent | convert xwd:- -crop "${width}x${height}+$((left))+$((top))" +repage \
    -page "${width}x${height}+0+0" -background black -flatten "$1"
  echo "wrote $1"
}

# Picks a menu entry: the menu opens with its top-left corner at the pointer, each
# entry 25 pixels high below a 2-pixel border; a submenu opens beside its entry.
menu_x=200
menu_y=150
entry_y() { echo $((menu_y + 2 + 25 * ($1 - 1) + 12)); }
choose() {
  xdotool mousemove "$menu_x" "$menu_y" click 3
  sleep 0.5
  xdotool mousemove $((menu_x + 40)) "$(entry_y "$1")"
  sleep 0.3
  if [ $# -gt 1 ]; then
    # The View submenu sits to the right of the main menu, level with its entry 1.
    xdotool mousemove $((menu_x + 200)) "$(entry_y "$2")"
    sleep 0.3
  fi
  xdotool click 1
  sleep 0.3
  xdotool mousemove 1000 760
}

mkdir -p docs
sleep 3
shoot docs/bird-control.png

choose 1 2   # View > Smart Follow
choose 3     # + Fog: fog off
sleep 6
shoot docs/smart-follow.png
