#!/usr/bin/env bash
# Installs the build under a fresh prefix as a packager would, checks the layout, and
# runs an installed program through its launcher as a user with an empty home.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

for f in bin/velorin bin/midi_scan bin/pad_probe lib/velorin/velorin lib/velorin/midi_scan \
         lib/velorin/data/languages/english.txt lib/velorin/settings/midi_profiles.ini lib/velorin/profiles/Guest.dat \
         share/applications/velorin.desktop share/doc/velorin/LICENSE; do
  [ -e "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/velorin" ] || fail "the launcher is not executable"
grep -q '^Exec=velorin$' "$prefix/share/applications/velorin.desktop" || fail "desktop entry"
# What a run of the game writes beside itself is never installed.
if find "$prefix/lib/velorin" \( -name game_log.txt -o -name config.ini -o -name vl.dat \) | grep -q .; then
  fail "run-time files were installed"
fi

# A user's first run makes their own folder: pictures linked, settings copied, the log there.
export HOME=$work/home XDG_DATA_HOME=
mkdir -p "$HOME"
: > "$work/no_instrument.txt"
out=$(VELORIN_MIDI_SCRIPT=$work/no_instrument.txt "$prefix/bin/midi_scan" < /dev/null)
[[ "$out" == "Velorin Midi Scan Tool v1.2 - NOXE"* ]] || fail "midi_scan printed: $out"
user=$HOME/.local/share/velorin
[ -L "$user/data" ] || fail "data is not linked into the user's folder"
[ -f "$user/settings/midi_profiles.ini" ] || fail "settings were not copied"
[ -f "$user/game_log.txt" ] || fail "the log was not written in the user's folder"
# A second run keeps what the user changed.
echo "mine" > "$user/settings/midi_profiles.ini"
VELORIN_MIDI_SCRIPT=$work/no_instrument.txt "$prefix/bin/midi_scan" < /dev/null > /dev/null
[ "$(cat "$user/settings/midi_profiles.ini")" = mine ] || fail "the user's settings were overwritten"
echo "install layout and launchers: ok"
