// The game's handler of the game messages (type 2) that the game client receives:
// lobby chat and roster, the leader's song and game type, the moves between lobby and
// player select, the start, reload and abort of an online song, and the in-play
// events of remote players. The client calls it on the main thread, once per message
// in arrival order, before the frame's game-state switch.
#pragma once

#include "game/game_services.h"

void OnNetMessage(const GameMessage& message);
// Sends the song hash list to the server (nothing offline). Always true.
bool SendSongList();
// The online restart: asks the host to reload everybody (when `notifyServer` and
// connected), then reloads here and waits in game state 4 for the start signal.
void RestartLevelOnline(bool notifyServer);
// A network abort or reload that came while the level was loading, carried out now
// that the load is done.
void ApplyDeferredFlow();

// Records the song hash list keeps at most (a server cannot make it grow without end).
constexpr int32_t kMaxNetSongHashes = 100000;
