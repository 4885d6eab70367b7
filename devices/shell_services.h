// The audio and input devices in the application shell's service table: the sound
// player (made and loaded by the start-up load, gone at shutdown, the audio device
// closed after it), the controller manager (made with the XINPUT setting, scanned,
// polled by the Ctrl thread, rescanned on a device change, its pads enabled with the
// window), the text-entry field that sees every key press first, the Music thread's
// pump of the current song's stems, and the stem player behind every song's audio.
//
// Without a sound device the game plays silent; without controllers it runs on the
// keyboard. Each case is said once in the game log.
#pragma once

#include "core/shell/services.h"

namespace devices {

// Fills the devices entries and the song-audio entries of the song data (the song
// slots themselves come from the song data), installs the stem player as the songs'
// audio and starts the input layer. Main thread, before the shell runs.
void RegisterShellServices(shell::Services& services);

}  // namespace devices
