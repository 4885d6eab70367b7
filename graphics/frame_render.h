// The frame's drawing: one pass (or two for stereoscopic output) per frame, each
// handed to the screen of the game state; the device's base render state; the
// start-up loading screen, the menus and the song-load screen; the play background;
// the small overlays (average delay, version, frame rate, debug lines) and the two
// viewers. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gfx/render_device.h"
#include "platform/gfx/system_font.h"

namespace graphics {

// Draws the frame for the current game state (the shell's frame render).
void RenderFrame();
// Puts the device into the render state every renderer assumes; run after the
// device was made or reset, before the first frame on it.
void SetupProjection();
// The frame's lights: the directional sun as light 0, the specular point light as
// light 1 when asked for, and the menus' ambient light. Part of SetupProjection; a
// program that draws without the frame render calls it alone.
void SetFrameLights(platform::gfx::RenderDevice& device, bool specularHighlights);

// Game state 0 (full) and the loading screen fading out over the menus (not full).
void RenderLoadingScreen(int32_t eye, bool full, float alpha);
void RenderMenus(int32_t eye);
void RenderSongLoadScreen(int32_t eye);
// Clears the frame and draws the background layer of play (states 2 and 4).
void RenderPlayBackground(int32_t eye);

void DrawAverageDelay();
// The full-screen layer over the boards of play: average delay, the in-game menus,
// the debug lines and the frame rate (the board renderer calls it last, under the
// menu camera).
void DrawPlayOverlays();
void DrawFps();
void DrawDebugInfo();
void RenderModelViewer();
void RenderStageViewer();

// True while the second pass of a stereoscopic frame runs (animations that must
// advance once per frame skip it).
bool SecondEyePass();
// The eye index of the pass being drawn (0 or 1).
int32_t CurrentEye();

// The two bold overlay fonts of the device: 0 the 18-pixel one, 1 the 22-pixel one.
void SetOverlayFont(int index, platform::gfx::SystemFont* font);
platform::gfx::SystemFont* OverlayFont(int index);

// The play background picture (background mode 0, or the song's own image). The
// Task thread decodes it; the main thread makes the texture at its first draw.
bool LoadPlayBackgroundImage(const std::u16string& path);
void ReleasePlayBackgroundImage();
const platform::gfx::Texture* PlayBackgroundTexture();

// The texts the screens show, for tests.
std::string LoadingStepText(int32_t step, int32_t songCount);
std::string AverageDelayText(double delaySum, int32_t hitCount);
// The frame-rate counter: call once per drawn screen with the millisecond clock.
struct FpsCounter {
  int32_t frames = 0;
  uint32_t mark = 0;
  float rate = 0.0f;
  void Tick(uint32_t nowMs);
  // The number shown: halved when two passes make a frame.
  int32_t Shown(bool stereo) const { return static_cast<int32_t>(stereo ? rate / 2.0f : rate); }
};

// Frees what the frame code made on the device (eye textures, the viewer model).
void ReleaseFrameResources();
// The device is lost: the eye textures go and are made again at the next stereo frame.
void OnFrameDeviceLost();
// The device is about to be destroyed and made again (another adapter or multisampling):
// what the frame code holds on it goes while the old device still exists, and the play
// picture and the viewer model are made again on the new device at their next draw.
void OnFrameDeviceDestroyed();

}  // namespace graphics
