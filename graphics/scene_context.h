// The record through which players, renderers, menus and theme elements reach the
// process-wide objects (window size, device, cameras, sprite, fonts, asset store,
// settings, devices, network), and the small 2D routines of the renderer: system-font
// text placed by an anchor, cropped and fitted sprite pictures, the stereo eye
// combine and depth offset, and the 2D texture-coordinate matrix.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "graphics/bitmap_font.h"
#include "graphics/camera.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "platform/gfx/sprite.h"
#include "platform/gfx/system_font.h"

class Settings;
class Song;
class SongList;
class DemoPlayer;
class SoundPlayer;
class CtrlMain;
class TextEntry;
class GameClient;
class GameServer;

namespace graphics {

// The process-wide objects the scene context is filled from; start-up sets them
// before SceneContext::Init.
struct SceneGlobals {
  platform::gfx::RenderDevice* device = nullptr;
  Cameras* cameras = nullptr;
  platform::gfx::Sprite** sprite = nullptr;
  platform::gfx::SystemFont* systemFont = nullptr;
  GameAssets* assets = nullptr;
  Quad* quad = nullptr;
  CtrlMain* controllers = nullptr;
  SoundPlayer* sound = nullptr;
  TextEntry* textEntry = nullptr;
  GameClient* gameClient = nullptr;
  GameServer* gameServer = nullptr;
  bool* musicThreadRunning = nullptr;
  int32_t* serverState = nullptr;
  Song* songs = nullptr;  // the 26 song slots
  void* entryRecord = nullptr;
  int32_t* processWord = nullptr;
};
SceneGlobals& Globals();

struct SceneContext {
  int* screenWidth = nullptr;
  int* screenHeight = nullptr;
  platform::gfx::SystemFont* systemFont = nullptr;
  platform::gfx::RenderDevice* device = nullptr;
  std::array<Camera*, 5> cameras{};
  platform::gfx::Sprite** sprite = nullptr;
  CtrlMain* controllers = nullptr;
  SoundPlayer* sound = nullptr;
  Settings* settings = nullptr;
  TextEntry* textEntry = nullptr;
  GameClient* gameClient = nullptr;
  GameServer* gameServer = nullptr;
  bool* musicThreadRunning = nullptr;
  int32_t* serverState = nullptr;
  bool firstFlag = false;
  bool practice = false;
  bool career = false;
  bool demoPlayback = false;
  bool flip = false;  // the board is shown upside down
  FontManager fonts;
  Song* songs = nullptr;
  int32_t integerA = 0, integerB = 0;
  GameAssets* assets = nullptr;
  Quad* quad = nullptr;
  int32_t integerC = 0;
  void* entryRecord = nullptr;
  float half = 0.5f;
  int32_t* processWord = nullptr;
  int32_t integerD = 0, integerE = 0;
  std::array<DemoPlayer*, 2> recorders{};
  std::array<SongList*, 2> songLists{};
  // The eye index of the frame pass being drawn (0, or 1 for a stereoscopic frame's
  // second pass).
  int32_t eye = 0;
  // Set by the options when the screen size or mode changed; the frame update
  // takes it and moves the device to the new settings.
  bool resolutionChangeRequested = false;

  // Fills the record from the process-wide objects; flags and integers start at 0,
  // the font manager empty (start-up calls fonts.Init and fonts.LoadAll next).
  void Init(int* width, int* height, Settings* settingsRecord);
  // Frees the font list and quad.
  void Release() { fonts.Release(); }
};

// One line of system-font text whose point anchorX percent across and anchorY percent
// down its box lies at (x, y).
void DrawTextAnchored(platform::gfx::SystemFont* font, uint32_t argb, std::string_view text, float x, float y,
                      float anchorX, float anchorY);
// The box DrawTextAnchored draws the text in.
platform::gfx::Rect AnchoredTextBox(platform::gfx::SystemFont* font, std::string_view text, float x, float y,
                                    float anchorX, float anchorY);

// The sideways shift of 2D pictures in a stereo pass for the depth level.
float StereoDepthOffset(int32_t level, int32_t width, float aspect);

struct Sprite {
  enum Fit : int32_t { kKeepScale = 0, kFitHeight = 1, kStretch = 2 };
  // The sprite transform DrawCropped uses (also for tests); source w, h and the
  // adjusted position come back through the last arguments.
  static void DrawCropped(platform::gfx::Sprite** sprite, const platform::gfx::Texture* texture, float depth,
                          float rotation, int32_t fit, int32_t targetWidth, int32_t targetHeight, float alpha,
                          float stereoOffset, int32_t stereoRight, float x, float y, float scaleX, float scaleY,
                          float centreX, float centreY, float left, float top, float right, float bottom);
};

enum class StereoMethod : int32_t { kSideBySide = 1, kCyanRed = 2, kMagentaGreen = 3, kBlueYellow = 4 };
// Draws a finished eye image over the whole target with the shared sprite.
void DrawStereoEye(platform::gfx::Sprite* sprite, const platform::gfx::Texture* texture, int32_t eye,
                   int32_t method, int32_t width);
// The eye's tint (ARGB) for a method.
uint32_t StereoEyeTint(int32_t eye, int32_t method);

platform::gfx::Matrix BuildTextureMatrix2D(float x, float y, float scaleX, float scaleY, float width, float height);

}  // namespace graphics
