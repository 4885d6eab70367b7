#!/usr/bin/env bash
# The X server goes away under the running game (a person's session ends): the game
# must end without std::terminate's abort ("terminate called without an active
# exception"), which is what a thread left running at exit() causes.
#   x_server_gone.sh <run folder> <output folder>
set -uo pipefail
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_require_tools
e2e_init "$1" "$2"
e2e_start_x
# Xlib ends the process with exit() from inside the event loop, so whatever the display
# driver and the session bus still hold is never freed; a sanitizer build would report
# that as a leak and abort, which is not what this test judges.
if [ -n "${ASAN_OPTIONS:-}" ]; then export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"; fi
e2e_start_game
e2e_wait_log "Loading: Complete"
e2e_step main_menu e2e_is_main_menu
kill "$E2E_XPID"
wait "$E2E_XPID" 2>/dev/null
E2E_XPID=
start=$SECONDS
while kill -0 "$E2E_GPID" 2>/dev/null; do
  [ $((SECONDS - start)) -lt "$E2E_TIMEOUT" ] || e2e_fail "the game did not end after its X server went away"
  sleep 0.2
done
wait "$E2E_GPID"
rc=$?
E2E_GPID=
e2e_note "the game ended with status $rc"
if grep -q "terminate called" "$E2E_WORK/stderr.txt"; then e2e_fail "std::terminate at exit: $(grep terminate "$E2E_WORK/stderr.txt")"; fi
[ "$rc" -lt 128 ] || e2e_fail "the game ended by signal $((rc - 128))"
e2e_note "the game ended cleanly"
