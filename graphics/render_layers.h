// What the frame's screens draw through code that lives above the renderer or is
// not written yet: the menus and their themes, the song list's size, the reactive
// (abstract) background, the 3D stage, the video background and the stage viewer.
// The menus, theme, stage and video code fill the entries from their own
// RegisterShellServices; an empty entry draws nothing (the frame keeps its clear).
#pragma once

#include <cstdint>
#include <functional>

namespace platform::gfx {
class Texture;
}

namespace graphics {

struct RenderLayers {
  RenderLayers() = default;
  RenderLayers(const RenderLayers&) = delete;
  RenderLayers& operator=(const RenderLayers&) = delete;

  // MenuManager::Render: the menus under the menu camera.
  std::function<void(int32_t eye)> renderMenus;
  void RenderMenus(int32_t eye) const { if (renderMenus) renderMenus(eye); }
  // The song-load menu's theme, when it has one.
  std::function<void(int32_t eye)> renderSongLoadTheme;
  void RenderSongLoadTheme(int32_t eye) const { if (renderSongLoadTheme) renderSongLoadTheme(eye); }
  // InGameMenus::Render: the pause, results and practice screens over the boards.
  std::function<void()> renderInGameMenus;
  void RenderInGameMenus() const { if (renderInGameMenus) renderInGameMenus(); }
  // Songs in the song list; -1 while no list exists.
  std::function<int32_t()> songListCount;
  int32_t SongListCount() const { return songListCount ? songListCount() : -1; }

  // Background mode 1: the reactive background's theme, drawn under the camera the
  // frame has placed; nothing while it holds no theme.
  std::function<void(int32_t eye)> drawReactiveBackground;
  void DrawReactiveBackground(int32_t eye) const { if (drawReactiveBackground) drawReactiveBackground(eye); }
  // Background mode 2: the stage under the stage camera the frame has set.
  std::function<void(int32_t eye)> drawStage;
  void DrawStage(int32_t eye) const { if (drawStage) drawStage(eye); }
  // Background mode 3: the current frame of the video background; null without one.
  std::function<const platform::gfx::Texture*()> videoBackgroundTexture;
  const platform::gfx::Texture* VideoBackgroundTexture() const {
    return videoBackgroundTexture ? videoBackgroundTexture() : nullptr;
  }
  // Game state 10 after the grey clear and the stage camera's view: first call
  // makes the stage; every call cycles its camera, updates and draws it.
  std::function<void()> stageViewerStep;
  void StageViewerStep() const { if (stageViewerStep) stageViewerStep(); }

  // Device and lifetime hooks of the stage and video code, passed on from the shell.
  std::function<void()> videoEvent;
  std::function<void()> videosDeviceLost;
  std::function<void()> videosDeviceReset;
  std::function<void()> setupStageLight;
  std::function<void()> reloadReactiveBackground;
  std::function<void()> destroyVideoBackground;
  std::function<void()> destroyStage;
  std::function<void()> destroyReactiveBackground;
};

// The process's table (filled at start-up, on the main thread).
RenderLayers& Layers();

}  // namespace graphics
