#!/usr/bin/env bash
# The main road of the real game, driven by key presses as a person would play it:
# main menu -> song select -> a demo song -> player select -> join on the keyboard ->
# the song-load screen -> the song starting with its board on screen. A screenshot of
# each step goes into the output folder; each step waits for the screen (probe points)
# and the game's log to show it.
#   main_road.sh <run folder> <output folder>
set -uo pipefail
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_require_tools
e2e_init "$1" "$2"
e2e_start_x
e2e_start_game
e2e_wait_log "Loading: Complete"
e2e_wait_log "Gathered 3 Songs"

# The keys of the default keyboard layout: 1 green (confirm), the arrows move.
# Song select on its first song, whose album cover (generated, with a light disc at
# its centre) is drawn in the album-art box at the top right.
first_song()   { e2e_is "$1" 180 374 orange && e2e_is "$1" 400 238 dark && e2e_is "$1" 1165 187 lit; }
third_song()   { e2e_is "$1" 180 420 orange && e2e_is "$1" 180 374 dark && e2e_is "$1" 1165 187 lit; }
# A free box shows only its join prompt on a highlight inside the box; once joined, the
# box lists its instruments (the demo song's favourite, Guitar, lit in its third row)
# and a new free box stands to the right. The highlights stay inside their boxes: the
# gap between the two boxes is the dark background.
player_select(){ e2e_is "$1" 570 374 orange; }
joined_box()   { e2e_is "$1" 260 416 orange && e2e_is "$1" 890 374 orange && ! e2e_is "$1" 570 374 orange && e2e_is "$1" 640 416 dark; }

e2e_step main_menu e2e_is_main_menu
e2e_key 1
e2e_wait_log "Keyboard Detected Successfully"
e2e_key 1
e2e_step song_select first_song
e2e_key Down Down
e2e_step demo_song third_song
e2e_key 1
e2e_step player_select player_select
e2e_key 1
e2e_step joined joined_box
# Instrument, then skill: the box is ready.
e2e_key 1 1
sleep 0.5
e2e_shot ready
e2e_key 1
e2e_wait_log "Loading Song"
e2e_wait_log "Creating Board:0"
e2e_wait_log "Load Complete"
e2e_step song_load e2e_is_song_load
e2e_key 1
e2e_step board e2e_is_board
first=$E2E_LAST_SHOT
# The notes travel: a later frame of the board differs from the first.
moved() { e2e_images_differ "$first" "$1" 0.5 && e2e_is_board "$1"; }
e2e_step board_moving moved
[ "$(e2e_log_count "Creating Board:")" -eq 1 ] || e2e_fail "one board expected"
e2e_note "main road passed"
