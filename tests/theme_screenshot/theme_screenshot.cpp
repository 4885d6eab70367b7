// Draws the default theme's "menu_container" with a list of seven rows in front of it,
// the third row hovered, once per language, on the OpenGL back end, and saves each
// frame as "menu_container_<language>.png":
//   theme_screenshot <run folder> <output folder>
// The same frame is drawn first without the hover; the probes then compare the lit
// pixels in the band of each row: the hovered row must cover clearly more of them
// (it is drawn larger), a row away from it about the same. Exit code 0 when every
// language was saved and passed its probes.
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/matrix.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sprite.h"
#include "theme/menu_theme.h"

namespace {

namespace fs = std::filesystem;
namespace gfx = platform::gfx;

constexpr int kWidth = 1280, kHeight = 720;
constexpr int kRows = 7;
constexpr int kHovered = 2;
constexpr float kLeading = 72.0f;  // must match the list below

const char* const kLanguages[] = {"english", "french", "spanish", "italian"};
const char* const kRowKeys[kRows] = {"LANG_MENU_MAIN_QUICKPLAY", "LANG_MENU_MAIN_CAREER", "LANG_MENU_MAIN_PRACTICE",
                                     "LANG_MENU_MAIN_NETWORK",   "LANG_MENU_MAIN_OPTIONS", "LANG_MENU_MAIN_EXTRAS",
                                     "LANG_MENU_MAIN_QUIT"};

// A list the way a menu screen's document writes it: centred rows, a hover that
// enlarges and tints its row, and the default theme's row highlight under the selection.
const char* const kListDocument =
    "<list><id>list_name</id><font>default</font><size>11</size><leading>72</leading><view_count>7</view_count>"
    "<justification>center</justification><screen_pos>50,50</screen_pos><list_align>middle</list_align>"
    "<colour>92,92,96</colour>\n"
    " <fx><id>list_name</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger><target>scale_x</target>"
    "<fx_type>set</fx_type><end>125</end></fx>\n"
    " <fx><id>list_name</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger><target>scale_y</target>"
    "<fx_type>set</fx_type><end>125</end></fx>\n"
    " <fx><id>list_name</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger><target>colour_b</target>"
    "<fx_type>set</fx_type><end>35</end></fx>\n"
    " <image><selector>true</selector><path>images/row_hilite.png</path><scale>95,125,100</scale>"
    "<position>0,0,3</position></image>\n"
    "</list>\n";

// The row texts of one language, read from the language file's source.
std::vector<std::u16string> RowTexts(const std::string& language) {
  std::vector<std::u16string> rows(kRows, u"?");
  std::ifstream in(std::string(VELORIN_SOURCE_DIR) + "/content/languages/" + language + ".txt");
  std::string line;
  while (std::getline(in, line)) {
    for (int i = 0; i < kRows; ++i) {
      const std::string key = std::string("\"") + kRowKeys[i] + "\" \"";
      if (line.rfind(key, 0) != 0) continue;
      const size_t end = line.rfind('"');
      if (end > key.size()) rows[static_cast<size_t>(i)] = ToWide(line.substr(key.size(), end - key.size()));
    }
  }
  return rows;
}

bool WriteUtf16(const std::string& path, const std::string& utf8) {
  const std::u16string text = ToWide(utf8);
  std::ofstream out(path, std::ios::binary);
  out.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFE));
  for (char16_t c : text) out.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
  return static_cast<bool>(out);
}

void SetMenuStates(gfx::RenderDevice& device) {
  const float aspect = static_cast<float>(kWidth) / kHeight;
  device.SetTransform(gfx::TransformKind::kView,
                      gfx::Matrix::LookAtLH({0.0f, 0.0f, -2220.0f}, {0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}));
  device.SetTransform(gfx::TransformKind::kProjection,
                      gfx::Matrix::PerspectiveFovLH(3.14159265f / 5.0f, aspect, 10.0f, 10000.0f));
  device.SetRenderState(gfx::RenderState::kZEnable, 0);
  device.SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  device.SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kCounterClockwise));
  device.SetRenderState(gfx::RenderState::kLighting, 0);
  device.SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
  device.SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  device.SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  device.SetRenderState(gfx::RenderState::kAlphaTestEnable, 1);
  device.SetRenderState(gfx::RenderState::kAlphaRef, 3);
  device.SetRenderState(gfx::RenderState::kAlphaFunc, uint32_t(gfx::CompareFunc::kGreaterEqual));
  device.SetTextureStageState(0, gfx::TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kModulate));
  device.SetTextureStageState(0, gfx::TextureStageState::kAlphaArg2, uint32_t(gfx::TextureArg::kDiffuse));
}

// Lit (text-coloured) pixels in the band of one row: the row's height around its
// centre, across the middle of the screen.
int LitPixelsOfRow(const gfx::ImageData& image, int row) {
  const float centreUnits = (static_cast<float>(kRows - 1) / 2.0f - static_cast<float>(row)) * kLeading;
  const int centreY = static_cast<int>(std::lround(kHeight / 2.0f - centreUnits * kHeight / 1440.0f));
  const int half = static_cast<int>(kLeading * kHeight / 1440.0f / 2.0f);
  int lit = 0;
  for (int y = std::max(0, centreY - half); y < std::min(image.height, centreY + half); ++y) {
    for (int x = kWidth / 4; x < kWidth * 3 / 4; ++x) {
      const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
      if (p[0] > 200 && p[1] > 200) ++lit;
    }
  }
  return lit;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <run folder> <output folder>\n", argv[0]);
    return 2;
  }
  const std::string runFolder = fs::absolute(argv[1]).string() + "/";
  const std::string outFolder = fs::absolute(argv[2]).string() + "/";
  const std::string listFolder = outFolder + "list_theme/";
  std::error_code error;
  fs::create_directories(listFolder, error);
  fs::remove(listFolder + "images", error);
  fs::create_directory_symlink(runFolder + "themes/default/dynamic/images", listFolder + "images", error);
  if (!WriteUtf16(listFolder + "screenshot_list.ini", kListDocument)) {
    std::fprintf(stderr, "theme_screenshot: cannot write the list document\n");
    return 1;
  }
  SetLogFolder(ToWide(outFolder));
  fs::current_path(runFolder, error);  // the default theme is found from the run folder, as in the game

  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "theme_screenshot: no video: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_Window* window = SDL_CreateWindow("theme screenshot", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                                        kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!context) {
    std::fprintf(stderr, "theme_screenshot: no OpenGL 3.3 context: %s\n", SDL_GetError());
    return 1;
  }

  int failures = 0;
  {
    auto device = gfx::CreateGlRenderDevice(kWidth, kHeight);
    graphics::GameAssets assets(device.get());
    graphics::Quad quad(device.get());
    quad.Create();
    gfx::Sprite sprite(device.get());
    gfx::Sprite* spritePointer = &sprite;
    int width = kWidth, height = kHeight;
    Settings settings;
    graphics::SceneContext scene;
    scene.screenWidth = &width;
    scene.screenHeight = &height;
    scene.device = device.get();
    scene.quad = &quad;
    scene.sprite = &spritePointer;
    scene.assets = &assets;
    scene.settings = &settings;
    scene.fonts.Init(device.get(), &assets);
    if (!scene.fonts.LoadAll(ToWide(runFolder + "themes/default/dynamic/fonts/"))) {
      std::fprintf(stderr, "theme_screenshot: no fonts in the run folder (build velorin_content first)\n");
      failures = 1;
    }

    for (int language = 0; language < 4 && !failures; ++language) {
      settings.language.index = language;
      theme::MenuTheme container(&scene);
      theme::MenuTheme list(&scene);
      if (!container.Load(ToWide(runFolder + "themes/default/dynamic/"), u"menu_container") ||
          !list.Load(ToWide(listFolder), u"screenshot_list")) {
        std::fprintf(stderr, "theme_screenshot: the documents did not load\n");
        failures = 1;
        break;
      }
      std::vector<theme::MenuListEntry> rows(kRows);
      const std::vector<std::u16string> texts = RowTexts(kLanguages[language]);
      for (int i = 0; i < kRows; ++i) rows[static_cast<size_t>(i)].text = texts[static_cast<size_t>(i)];
      int32_t selected = kHovered;
      list.SetListItems(rows.data(), &selected, kRows, "list_name");

      gfx::ImageData frames[2];
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) list.TriggerEvent("list_name", std::to_string(kHovered), "hover_on");
        device->BeginScene();
        device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 0, 0, 0), 1.0f, 0);
        SetMenuStates(*device);
        container.Render();  // the shared backdrop is drawn with depth off
        device->SetRenderState(gfx::RenderState::kZEnable, 1);
        device->SetRenderState(gfx::RenderState::kZWriteEnable, 1);
        device->SetRenderState(gfx::RenderState::kZFunc, uint32_t(gfx::CompareFunc::kLessEqual));
        list.Render();  // a screen's elements with depth on: the row highlight stays behind the letters
        device->EndScene();
        if (!device->ReadPixels(frames[pass])) {
          std::fprintf(stderr, "theme_screenshot: cannot read the frame back\n");
          failures = 1;
        }
      }
      if (failures) break;

      const std::string out = outFolder + "menu_container_" + kLanguages[language] + ".png";
      const gfx::ImageData& shot = frames[1];
      if (!stbi_write_png(out.c_str(), shot.width, shot.height, 4, shot.rgba.data(), shot.width * 4)) {
        std::fprintf(stderr, "theme_screenshot: cannot write %s\n", out.c_str());
        failures = 1;
        break;
      }
      const int plainHovered = LitPixelsOfRow(frames[0], kHovered);
      const int hovered = LitPixelsOfRow(frames[1], kHovered);
      const int plainOther = LitPixelsOfRow(frames[0], kRows - 1);
      const int other = LitPixelsOfRow(frames[1], kRows - 1);
      const bool hoverGrew = plainHovered > 50 && hovered > plainHovered * 1.15;
      const bool otherSame = plainOther > 50 && std::abs(other - plainOther) <= plainOther / 20;
      std::printf("theme_screenshot: wrote %s; lit pixels of the hovered row %d -> %d, of the last row %d -> %d\n",
                  out.c_str(), plainHovered, hovered, plainOther, other);
      if (!hoverGrew || !otherSame) {
        std::fprintf(stderr, "theme_screenshot: %s: the hovered row is not drawn larger than the others\n",
                     kLanguages[language]);
        failures = 1;
      }
    }
    scene.fonts.Release();
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return failures;
}
