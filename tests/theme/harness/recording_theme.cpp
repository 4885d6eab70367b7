// The recording theme harness.
#include "recording_theme.h"

#include <algorithm>
#include <limits>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "core/utils.h"

namespace themetest {

namespace gfx = platform::gfx;

DrawnRect RectOf(const gfx::RecordedDraw& draw) {
  DrawnRect r;
  if (draw.vertices.empty()) return r;
  r.min = glm::vec2(std::numeric_limits<float>::max());
  r.max = glm::vec2(std::numeric_limits<float>::lowest());
  for (const gfx::DrawnVertex& v : draw.vertices) {
    r.min = glm::min(r.min, glm::vec2(v.world));
    r.max = glm::max(r.max, glm::vec2(v.world));
    r.z = v.world.z;
  }
  return r;
}

RecordingTheme::RecordingTheme(int width, int height)
    : device(width, height),
      assets(&device),
      quad(&device),
      sprite(&device),
      spritePointer(&sprite),
      screenWidth(width),
      screenHeight(height) {
  quad.Create();
  context.screenWidth = &screenWidth;
  context.screenHeight = &screenHeight;
  context.device = &device;
  context.quad = &quad;
  context.assets = &assets;
  context.settings = &settings;
  context.sprite = &spritePointer;
  context.fonts.Init(&device, &assets);
}

RecordingTheme::~RecordingTheme() { context.Release(); }

void RecordingTheme::WriteDocument(std::string_view relative, std::string_view utf8) {
  dir.WriteUtf16(relative, utf8, true);
}

void RecordingTheme::WritePicture(std::string_view relative, int width, int height, uint32_t rgba) {
  std::string rel(relative);
  const size_t slash = rel.rfind('/');
  if (slash != std::string::npos) dir.MakeDir(rel.substr(0, slash));
  std::vector<uint8_t> px(size_t(width) * size_t(height) * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = uint8_t(rgba >> 24);
    px[i + 1] = uint8_t(rgba >> 16);
    px[i + 2] = uint8_t(rgba >> 8);
    px[i + 3] = uint8_t(rgba);
  }
  stbi_write_png(dir.Path(relative).c_str(), width, height, 4, px.data(), width * 4);
}

void RecordingTheme::WriteFont(std::string_view folder, std::string_view name, std::u16string_view characters,
                               int width, int height) {
  for (char16_t c : characters) {
    WritePicture(std::string(folder) + "/" + std::string(name) + "/" + std::to_string(unsigned(c)) + ".png", width,
                 height);
  }
}

bool RecordingTheme::LoadFonts(std::u16string_view folder) { return context.fonts.LoadAll(folder); }

std::unique_ptr<theme::MenuTheme> RecordingTheme::Load(std::u16string_view folder, std::u16string_view name) {
  auto theme = std::make_unique<theme::MenuTheme>(&context);
  if (!theme->Load(folder, name)) return nullptr;
  return theme;
}

const std::vector<gfx::RecordedDraw>& RecordingTheme::Render(theme::MenuTheme& theme) {
  device.ClearLog();
  theme.Render(nullptr);
  return device.draws;
}

std::vector<gfx::RecordedDraw> RecordingTheme::DrawsOfSize(int width, int height) const {
  std::vector<gfx::RecordedDraw> out;
  for (const gfx::RecordedDraw& d : device.draws) {
    const gfx::Texture* t = d.state.textures[0];
    if (t && t->Width() == width && t->Height() == height) out.push_back(d);
  }
  return out;
}

size_t RecordingTheme::CountLogLines(std::string_view prefix) const {
  const std::vector<std::string> lines = LogTexts();
  return size_t(std::count_if(lines.begin(), lines.end(),
                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

}  // namespace themetest
