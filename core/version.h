// The game's version: in the window title, the server banner, the network handshake
// (sent and compared as this very float), the server list and the version check.
#pragma once

constexpr float kGameVersion = 1.27f;
