#!/usr/bin/env bash
# The window is covered and uncovered, then resized, at the main menu: each time the
# whole picture must come back (a frame that changes little presents only the part
# it changed, so the rest of the window relies on the game repainting it whole).
#   window_repaint.sh <run folder> <output folder>
set -uo pipefail
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_require_tools
command -v display > /dev/null || e2e_skip "display (ImageMagick) is not installed"
e2e_init "$1" "$2"
e2e_start_x
e2e_start_game
e2e_wait_log "Loading: Complete"
e2e_step main_menu e2e_is_main_menu
before=$E2E_LAST_SHOT

# A grid of probe points over the whole window, away from the pulsing highlight.
probes() {
  local x y
  for y in 40 150 330 500 690; do
    for x in 60 330 640 950 1220; do echo "$x $y"; done
  done
}
# All pixels of one picture at the probe points (scaled by $3/100), as "r g b" lines.
probe_colours() {
  local fx="" x y
  while read -r x y; do
    x=$((x * $2 / 100)); y=$((y * $2 / 100))
    fx+="%[fx:int(255*p{$x,$y}.r)] %[fx:int(255*p{$x,$y}.g)] %[fx:int(255*p{$x,$y}.b)]\n"
  done < <(probes)
  convert "$1" -format "$fx" info:
}
# The shot matches the reference at all but two probe points (the menu's background
# moves a little), and no probe shows the cover's magenta.
# matches_reference <reference.png> <scale %> <shot.png>
matches_reference() {
  paste -d' ' <(probe_colours "$1" 100) <(probe_colours "$3" "$2") | awk '
    { d = ($1 > $4 ? $1 - $4 : $4 - $1) + ($2 > $5 ? $2 - $5 : $5 - $2) + ($3 > $6 ? $3 - $6 : $6 - $3)
      if (d > 90) off++
      if ($4 > 200 && $5 < 60 && $6 > 200) cover++ }
    END { exit !(off <= 2 && cover == 0) }'
}
is_covered() { [ "$(e2e_pixel "$1" 640 360)" = "255 0 255" ]; }
window_shot() { import -window "$E2E_WIN" "$1" 2> /dev/null; }

# cover_and_uncover <name> <scale %>: a magenta window over the game, then gone.
cover_and_uncover() {
  convert -size 1280x720 xc:magenta "$E2E_WORK/cover.png"
  display -geometry 1280x720+0+0 "$E2E_WORK/cover.png" &
  local cover=$!
  e2e_step "$1_covered" is_covered
  kill "$cover"
  wait "$cover" 2> /dev/null
  e2e_step "$1_uncovered" matches_reference "$before" "$2"
}

cover_and_uncover whole 100

# A smaller window: the next frames fill it whole at the new size.
xdotool windowsize "$E2E_WIN" 960 540
resized_whole() {
  window_shot "$E2E_WORK/window.png" || return 1
  [ "$(identify -format '%wx%h' "$E2E_WORK/window.png")" = 960x540 ] || return 1
  matches_reference "$before" 75 "$E2E_WORK/window.png"
}
e2e_wait "the resized window drawn whole" "$E2E_TIMEOUT" resized_whole
cp "$E2E_WORK/window.png" "$E2E_OUT/resized_window.png"
e2e_note "resized: $E2E_OUT/resized_window.png"
