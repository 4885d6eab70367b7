// The boards of every player while a song is played: one eye pass of the frame
// draws each player's necks, lane sections, lines, sustains, frets, notes and
// meters in the player's own viewport, then the full-screen overlays of play.
#pragma once

#include <cstdint>
#include <functional>

#include "graphics/camera.h"
#include "graphics/game_assets.h"
#include "platform/gfx/render_device.h"

class Player;
struct NoteRecord;

namespace graphics {

class PlayerBoard;
class FontManager;

// The profile values a board is drawn with.
struct BoardOptions {
  int32_t neckAngle = 4;          // camera preset 0..9
  int32_t blindMode = 0;          // 0 off, 1..5 notes fade out as the streak grows
  bool oppositeHandGhosting = false;
  int32_t whammyFx = 0;           // ribbon style
  bool bassDrumCameraShake = true;
};

struct GameplayBoard {
  const Player* player = nullptr;
  PlayerBoard* board = nullptr;
  BoardOptions options;
};

// Everything one gameplay pass reads, gathered by the caller: the real entry fills it
// from the level, the settings and the scene; tests and benchmarks fill it directly.
struct GameplayView {
  platform::gfx::RenderDevice* device = nullptr;
  GameAssets* assets = nullptr;
  Camera* boardCamera = nullptr;
  Camera* freeLook = nullptr;
  FontManager* fonts = nullptr;    // the bitmap fonts (a remote player's name); may be null
  const GameplayBoard* boards = nullptr;
  int32_t boardCount = 0;
  double songPosition = 0.0;       // ms, what sustain ribbons scroll with
  int32_t boardDepth = 0;          // BOARDDEPTH
  int32_t stereoMethod = 0;        // STEREOSCOPICMETHOD
  int32_t remoteBoardSize = 100;   // REMOTEBOARDSIZE, percent
  float remoteBoardFactor = 1.0f;
  float menuStereoSeparation = 0.0f;
  float menuStereoAngle = 0.0f;
  bool practice = false;           // the practice neck and section sides
  bool sectionFlag = false;        // the practice menu's section is raised
  bool flipped = false;            // boards upside down, at the top of the screen
  bool blindSong = false;          // the song's blind fade is on (notes at 0.3)
  bool hitAccuracy = false;
  bool drawNoteId = false;
  // After every board: the average delay, the in-game menus, the debug and frame-rate
  // texts (drawn by their own layers; empty draws nothing).
  std::function<void()> overlays;
};

// The pose the neck-angle preset of the board being drawn wrote last.
BoardCameraPose& CurrentBoardCameraPose();

// Draws the boards of `view` for eye pass `eye`. Changes no game record.
void RenderGameplay(const GameplayView& view, int32_t eye);

// Draws the boards for eye pass `eye` (0, or 1 for the second eye of a
// stereoscopic frame) from the level's players, their boards and the settings.
void RenderGameplay(int32_t eye);

// What a note head is drawn with: a model slot and a note-table texture slot (-1:
// the model's own textures). Chosen by family, lane and the note's state.
struct NoteLook {
  int32_t model = -1;
  int32_t texture = -1;
};
NoteLook SelectNoteHead(int32_t kind, int32_t laneCount, bool lefty, const NoteRecord& note);
// The tail-table texture slot of a sustain, by the note's state.
int32_t SelectTailTexture(int32_t kind, const NoteRecord& note, bool held, bool dropped);
// Alpha factor of notes for the blind modes at a streak.
float BlindFade(int32_t blindMode, int32_t streak, bool blindSong);

}  // namespace graphics
