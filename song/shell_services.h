// The song data in the application shell's service table: the 26 song slots that
// the start-up load makes and shutdown frees, and the calibration flag the level
// load reads from the current song's information.
#pragma once

#include "core/shell/services.h"
#include "song/song.h"

namespace song {

void RegisterShellServices(shell::Services& services);

// The first of the kSongSlotCount slots while they exist, else null. The slots are
// made on the Task thread; others read them once the shell reports them made.
Song* SongSlots();
// Slot `slot` (0..kSongSlotCount-1) while the slots exist, else null.
Song* SongSlot(int slot);

}  // namespace song
