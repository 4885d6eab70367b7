// A menu theme on the Recording back end, for the theme tests and for the menu
// tests that check what their screens draw: a temporary run folder (the current
// directory while the harness lives) to write documents, pictures and fonts into, a
// scene context over a recording device, the asset store and the shared quad, and
// helpers that read the recorded draws and the game log.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>

#include "core/settings.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/recording_device.h"
#include "platform/gfx/sprite.h"
#include "test_support.h"
#include "theme/menu_theme.h"

namespace themetest {

// The rectangle a recorded quad covers in world space (x and y), and its depth.
struct DrawnRect {
  glm::vec2 min{0.0f};
  glm::vec2 max{0.0f};
  float z = 0.0f;
  glm::vec2 Centre() const { return (min + max) * 0.5f; }
  glm::vec2 Size() const { return max - min; }
};
DrawnRect RectOf(const platform::gfx::RecordedDraw& draw);

class RecordingTheme {
 public:
  explicit RecordingTheme(int width = 1280, int height = 720);
  ~RecordingTheme();
  RecordingTheme(const RecordingTheme&) = delete;
  RecordingTheme& operator=(const RecordingTheme&) = delete;

  // A theme document from UTF-8 text, stored as the game reads it (UTF-16LE + BOM).
  void WriteDocument(std::string_view relative, std::string_view utf8);
  // A picture of one colour (RGBA as 0xRRGGBBAA).
  void WritePicture(std::string_view relative, int width, int height, uint32_t rgba = 0xFFFFFFFFu);
  // A bitmap font folder ("<folder>/<name>/<code>.png") with a glyph for each character.
  void WriteFont(std::string_view folder, std::string_view name, std::u16string_view characters, int width = 16,
                 int height = 32);
  // Loads every font under the folder into the scene context's font list.
  bool LoadFonts(std::u16string_view folder);

  // A fresh theme of the scene context, loaded; null when Load said false.
  std::unique_ptr<theme::MenuTheme> Load(std::u16string_view folder, std::u16string_view name);
  // Draws the theme on a cleared call log and returns the draws.
  const std::vector<platform::gfx::RecordedDraw>& Render(theme::MenuTheme& theme);
  // The draws of the last Render that used a texture of that size.
  std::vector<platform::gfx::RecordedDraw> DrawsOfSize(int width, int height) const;

  std::vector<std::string> LogTexts() const { return dir.GameLogTexts(); }
  size_t CountLogLines(std::string_view prefix) const;

  void SetLanguage(int32_t index) { settings.language.index = index; }
  void SetWindowSize(int width, int height) {
    screenWidth = width;
    screenHeight = height;
  }

  testsupport::TempDir dir;
  platform::gfx::RecordingRenderDevice device;
  graphics::GameAssets assets;
  graphics::Quad quad;
  platform::gfx::Sprite sprite;
  platform::gfx::Sprite* spritePointer;
  Settings settings;
  int screenWidth;
  int screenHeight;
  graphics::SceneContext context;
};

}  // namespace themetest
