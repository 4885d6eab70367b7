#!/usr/bin/env bash
# A song played to its end by a person on the keyboard, and the way back:
# main menu -> song select -> the song -> player select -> join on the keyboard ->
# the song-load screen -> the song played (the green fret held, a strum on each run of
# notes) -> its end with the pass art and the hint of the song-end keys -> Confirm:
# song select -> Back: the main menu. The run folder's default profile is a player's
# own (not the guest), so the result is stored: its score file must hold it after.
#   played_song.sh <run folder> <output folder> <velorin_e2e_fixture>
set -uo pipefail
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_require_tools
fixture=$3
[ -x "$fixture" ] || e2e_fail "the fixture tool $fixture is missing"
e2e_init "$1" "$2"

# The player's profile, made the default one, and a short song beside the demo songs.
profile=Ada
"$fixture" profile "$E2E_RUN/profiles/$profile.dat" "$profile" || e2e_fail "writing the profile"
printf 'DEFAULTPROFILE = "profiles/%s.dat"\n' "$profile" > "$E2E_RUN/settings/config.ini"
song_dir=$E2E_RUN/music/a_short_rehearsal
"$fixture" song "$song_dir" || e2e_fail "writing the short song"
rm -f "$E2E_RUN"/music/*/vl.dat

e2e_start_x
e2e_start_game
e2e_wait_log "Loading: Complete"
songs=$(find "$E2E_RUN/music" -mindepth 1 -maxdepth 1 -type d | wc -l)
e2e_wait_log "Gathered $songs Songs"

first_song()   { e2e_is "$1" 180 374 orange && e2e_is "$1" 400 238 dark; }
# A free box shows its join prompt on a highlight in its middle.
player_select(){ e2e_is "$1" 570 374 orange; }
# Joined: the lone free box in the middle gives way to the player's box on the left
# and a free one on the right, whose join prompt is lit; the middle is background.
joined_box()   { e2e_is "$1" 890 374 orange && ! e2e_is "$1" 570 374 orange && e2e_is "$1" 640 416 dark; }

e2e_step main_menu e2e_is_main_menu
e2e_key 1
e2e_wait_log "Keyboard Detected Successfully"
e2e_key 1
e2e_step song_select first_song
e2e_key 1
e2e_step player_select player_select
e2e_key 1
e2e_step joined joined_box
e2e_key 1 1
e2e_shot ready
e2e_key 1
e2e_wait_log "Load Complete"
e2e_step song_load e2e_is_song_load

# Confirm starts the song: its clock starts with the frame that reads the press. One
# xdotool process plays the whole song from its own timeline (confirm, the green fret
# held, a strum on the centre of each run), so starting programs on a loaded machine
# does not shift the presses; each run of notes is about a second wide, which absorbs
# the lag of a loaded X server and game.
scores_saved=$(e2e_log_count "$song_dir/vl.dat")
play=$E2E_WORK/play.xdo
{
  echo "keydown 1"; echo "sleep 0.15"; echo "keyup 1"
  echo "sleep 1.85"; echo "keydown 1"                          # at 2 s
  echo "sleep 1.96"; echo "keydown Return"; echo "sleep 0.08"; echo "keyup Return"   # 4 s
  for run in 2 3 4; do
    echo "sleep 2.42"; echo "keydown Return"; echo "sleep 0.08"; echo "keyup Return" # +2.5 s
  done
  echo "sleep 1.0"; echo "keyup 1"
} > "$play"
xdotool windowfocus --sync "$E2E_WIN" 2>/dev/null || true
xdotool - < "$play" &
player=$!
e2e_step board e2e_is_board
wait "$player" || e2e_fail "xdotool could not play the song"
e2e_shot played

# The song's end: the result is stored (the score file written again) and the pass
# art stands over the board: the orange top of its panel and its dark face where the
# bright lit ring of the background was.
saved_again() { e2e_log_has "" && [ "$(e2e_log_count "$song_dir/vl.dat")" -gt "$scores_saved" ]; }
e2e_wait "the song's result saved" "$E2E_TIMEOUT" saved_again
passed() { e2e_is "$1" 640 249 orange && e2e_is "$1" 700 249 orange && e2e_is "$1" 440 340 dark && e2e_is "$1" 840 300 dark; }
e2e_step song_passed passed
[ "$(e2e_log_count "Creating Board:")" -eq 1 ] || e2e_fail "the song was built more than once"

# The score file holds the player's result: alone (1 player), on the guitar (2).
scores=$("$fixture" scores "$song_dir") || e2e_fail "the song's score file cannot be read"
e2e_note "stored results: $scores"
result=$(printf '%s\n' "$scores" | grep "^$profile,1,") || e2e_fail "no result of $profile in the score file"
IFS=, read -r _ _ score _ percent _ instrument <<< "$result"
[ "$instrument" -eq 2 ] || e2e_fail "the result is not the guitar's: $result"
[ "$score" -ge 0 ] && [ "$percent" -ge 0 ] && [ "$percent" -le 100 ] || e2e_fail "a result out of range: $result"
e2e_note "the strums hit $((score / 25)) of the 4 runs"

# The end screen ignores presses for two seconds from the end. The pass art was drawn,
# so the end is behind us: once two seconds more have gone by, the lock is over however
# slow the machine. Confirm then leaves the song for song select.
sleep 2.5
e2e_key 1
e2e_step song_select_again first_song
grep -q '^count = 1' "$song_dir/song.ini" || e2e_fail "the song's play count was not raised to 1"
[ "$(e2e_log_count "Creating Board:")" -eq 1 ] || e2e_fail "Confirm started the song again"
# Back (the red fret, 2 on the keyboard) from song select reaches the main menu.
e2e_key 2
e2e_step main_menu_again e2e_is_main_menu
e2e_note "the played song passed"
