# Helpers for driving the real game as a person would: its own X server, key presses
# through xdotool, screenshots with ImageMagick, waits on the game's log.
# Source this file, then call e2e_init <build dir> <run folder> <output folder>.
# Every wait is on a condition (a log line, a window) with a generous bound, so a busy
# machine only makes the test slower.

E2E_TIMEOUT=${E2E_TIMEOUT:-180}   # seconds any single wait may take before it is a hang
E2E_SHOT=0

e2e_fail() { echo "FAILED: $*" >&2; e2e_dump_log >&2; exit 1; }
e2e_skip() { echo "SKIPPED: $*"; exit 0; }
e2e_note() { echo "e2e: $*"; }

# Skips the whole test (a clear message, success) when a tool is missing.
e2e_require_tools() {
  local t
  for t in Xvfb xdotool import convert; do
    command -v "$t" > /dev/null || e2e_skip "$t is not installed (scripts/install-deps --test installs it)"
  done
  convert -version 2>/dev/null | grep -q ImageMagick || e2e_skip "convert is not ImageMagick's"
}

# e2e_init <run folder of the build> <output folder for the screenshots and logs>
e2e_init() {
  E2E_RUN_SRC=$1
  E2E_OUT=$2
  mkdir -p "$E2E_OUT"
  rm -f "$E2E_OUT"/*.png
  E2E_WORK=$(mktemp -d)
  trap e2e_cleanup EXIT
  # A run folder of its own: the game writes its settings, log, profiles and scores
  # beside itself. The big read-only content is linked, not copied.
  E2E_RUN=$E2E_WORK/run
  mkdir -p "$E2E_RUN"
  local entry name
  for entry in "$E2E_RUN_SRC"/*; do
    name=$(basename "$entry")
    case "$name" in
      data|themes) ln -s "$entry" "$E2E_RUN/$name" ;;
      game_log.txt) ;;
      *) cp -r "$entry" "$E2E_RUN/$name" ;;
    esac
  done
  rm -f "$E2E_RUN/settings/config.ini"
  E2E_LOG=$E2E_RUN/game_log.txt
}

# e2e_start_x [display]: a fresh X server on a free display number.
e2e_start_x() {
  local d=${1:-}
  if [ -z "$d" ]; then
    for d in $(seq 90 140); do [ -e /tmp/.X11-unix/X$d ] || [ -e /tmp/.X$d-lock ] || break; done
  fi
  Xvfb ":$d" -screen 0 1280x720x24 -nolisten tcp > "$E2E_WORK/xvfb.log" 2>&1 &
  E2E_XPID=$!
  export DISPLAY=":$d"
  e2e_wait "the X server" 60 xdpyinfo_ok
}
xdpyinfo_ok() { xdotool getdisplaygeometry > /dev/null 2>&1; }

# e2e_start_game [arguments]: the game from its run folder; waits for its window.
e2e_start_game() {
  (cd "$E2E_RUN" && exec env -u SDL_VIDEODRIVER ./velorin "$@" > "$E2E_WORK/stdout.txt" 2> "$E2E_WORK/stderr.txt") &
  E2E_GPID=$!
  e2e_wait "the game window" "$E2E_TIMEOUT" e2e_window_up
  E2E_WIN=$(xdotool search --pid "$E2E_GPID" 2>/dev/null | tail -1)
}
e2e_window_up() {
  kill -0 "$E2E_GPID" 2>/dev/null || e2e_fail "the game ended before its window showed"
  [ -n "$(xdotool search --pid "$E2E_GPID" 2>/dev/null)" ]
}

# e2e_wait <what> <seconds> <command...>: runs the command until it succeeds.
e2e_wait() {
  local what=$1 bound=$2
  shift 2
  local start=$SECONDS
  until "$@"; do
    [ $((SECONDS - start)) -lt "$bound" ] || e2e_fail "waited ${bound}s for $what"
    sleep 0.2
  done
}

# e2e_wait_log <text> [seconds]: waits for a line of the game log holding the text.
e2e_wait_log() {
  local text=$1 bound=${2:-$E2E_TIMEOUT}
  e2e_wait "log line \"$text\"" "$bound" e2e_log_has "$text"
}
e2e_log_has() {
  [ -n "${E2E_GPID:-}" ] && ! kill -0 "$E2E_GPID" 2>/dev/null && e2e_fail "the game ended (waiting for \"$1\")"
  [ -f "$E2E_LOG" ] && tr -d '\0' < "$E2E_LOG" | grep -qF -- "$1"
}
# How many log lines hold the text.
e2e_log_count() { [ -f "$E2E_LOG" ] && tr -d '\0' < "$E2E_LOG" | grep -cF -- "$1" || echo 0; }
e2e_dump_log() { [ -f "${E2E_LOG:-}" ] && { echo "---- game log (tail) ----"; tr -d '\0' < "$E2E_LOG" | tail -40; }; }

# e2e_key <key...>: presses and releases each key in the game window, held long
# enough for a frame to see it.
e2e_key() {
  local k
  for k in "$@"; do
    xdotool windowfocus --sync "$E2E_WIN" 2>/dev/null || true
    xdotool keydown "$k"
    sleep 0.15
    xdotool keyup "$k"
    sleep 0.25
  done
}

# e2e_shot <name>: a screenshot of the whole screen into the output folder; prints its path.
e2e_shot() {
  E2E_SHOT=$((E2E_SHOT + 1))
  local file
  file=$E2E_OUT/$(printf '%02d' "$E2E_SHOT")_$1.png
  import -window root "$file" || e2e_fail "screenshot $1"
  E2E_LAST_SHOT=$file
  e2e_note "screenshot $file"
}

# e2e_pixel <png> <x> <y>: prints "r g b" (0-255) of one pixel.
e2e_pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}
# e2e_region_varied <png> <x> <y> <w> <h> <min stddev %>: the region is not one flat
# colour (something is drawn there).
e2e_region_varied() {
  local sd
  sd=$(convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format "%[fx:100*standard_deviation]" info:)
  awk -v s="$sd" -v m="$6" 'BEGIN { exit !(s >= m) }'
}
# e2e_images_differ <a.png> <b.png> <min changed pixels %>: the two frames differ.
e2e_images_differ() {
  local diff
  diff=$(compare -metric AE -fuzz 8% "$1" "$2" null: 2>&1 | cut -d' ' -f1)
  local total=$((1280 * 720))
  awk -v d="$diff" -v t="$total" -v m="$3" 'BEGIN { exit !(100 * d / t >= m) }'
}

# Ends the game (SIGTERM, then SIGKILL after a minute) and waits for it.
e2e_stop_game() {
  [ -n "${E2E_GPID:-}" ] || return 0
  if kill -0 "$E2E_GPID" 2>/dev/null; then
    kill "$E2E_GPID" 2>/dev/null || true
    local start=$SECONDS
    while kill -0 "$E2E_GPID" 2>/dev/null && [ $((SECONDS - start)) -lt 60 ]; do sleep 0.2; done
    kill -9 "$E2E_GPID" 2>/dev/null || true
  fi
  wait "$E2E_GPID" 2>/dev/null
  E2E_GAME_RC=$?
  E2E_GPID=
}

e2e_cleanup() {
  e2e_stop_game
  [ -n "${E2E_XPID:-}" ] && kill "$E2E_XPID" 2>/dev/null && wait "$E2E_XPID" 2>/dev/null
  cp "$E2E_LOG" "$E2E_OUT/game_log.txt" 2>/dev/null || true
  cp "$E2E_WORK/stderr.txt" "$E2E_OUT/stderr.txt" 2>/dev/null || true
  rm -rf "$E2E_WORK"
}

# e2e_is <png> <x> <y> <colour>: the pixel is of that colour, within a wide tolerance:
# orange (a highlighted row), dark (the menus' background), black, bright (text),
# lit (a light picture, brighter than the menus' panels).
e2e_is() {
  local rgb
  rgb=$(e2e_pixel "$1" "$2" "$3") || return 1
  set -- $rgb "$4"
  case "$4" in
    orange) [ "$1" -ge 120 ] && [ "$2" -ge 70 ] && [ "$2" -le 170 ] && [ "$3" -le 90 ] && [ "$1" -gt $(($3 + 60)) ] ;;
    dark)   [ "$1" -le 70 ] && [ "$2" -le 70 ] && [ "$3" -le 90 ] ;;
    black)  [ "$1" -le 12 ] && [ "$2" -le 12 ] && [ "$3" -le 12 ] ;;
    bright) [ "$1" -ge 200 ] && [ "$2" -ge 200 ] && [ "$3" -ge 200 ] ;;
    lit)    [ $(($1 + $2 + $3)) -ge 300 ] ;;
    *) e2e_fail "unknown colour $4" ;;
  esac
}

# e2e_step <name> <check...>: takes screenshots until the check (a command given the
# screenshot's path as its last argument) holds, keeps the one that passed as the step's
# screenshot in the output folder, and fails after the bound.
e2e_step() {
  local name=$1
  shift
  local start=$SECONDS probe=$E2E_WORK/probe.png
  while :; do
    kill -0 "$E2E_GPID" 2>/dev/null || e2e_fail "the game ended before step $name"
    import -window root "$probe" 2>/dev/null && "$@" "$probe" && break
    [ $((SECONDS - start)) -lt "$E2E_TIMEOUT" ] || { cp "$probe" "$E2E_OUT/failed_$name.png"; e2e_fail "step $name: the screen never showed it (last screen: $E2E_OUT/failed_$name.png)"; }
    sleep 0.3
  done
  E2E_SHOT=$((E2E_SHOT + 1))
  E2E_LAST_SHOT=$E2E_OUT/$(printf '%02d' "$E2E_SHOT")_$name.png
  cp "$probe" "$E2E_LAST_SHOT"
  e2e_note "step $name: $E2E_LAST_SHOT"
}

# The default theme's main menu with its first row (Quickplay) highlighted.
e2e_is_main_menu() { e2e_is "$1" 400 238 orange; }
# The song-load screen: black at the side, its panel and lines in the middle.
e2e_is_song_load() { e2e_is "$1" 100 400 black && e2e_region_varied "$1" 400 380 480 140 2; }
# The board: its fret row is drawn (on the song-load screen only the "Ready" line is
# there), whatever background the settings put behind it.
e2e_is_board() { e2e_region_varied "$1" 430 567 420 60 16 && e2e_region_varied "$1" 400 500 480 200 10; }
