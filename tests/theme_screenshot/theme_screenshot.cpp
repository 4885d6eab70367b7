// Draws the default theme's "menu_container" with a list of seven rows in front of it,
// the third row hovered, once per language, on the OpenGL back end, and saves each
// frame as "menu_container_<language>.png":
//   theme_screenshot <run folder> <output folder>
// The same frame is drawn first without the hover; the probes then compare the lit
// pixels in the band of each row: the hovered row must cover clearly more of them
// (it is drawn larger), a row away from it about the same. Then the play screen's
// score panel at three ranks ("game_osd_main_rank_<rows>.png"), probed for a lit star
// in each reached rank's slot and nothing past the panel, and the count-in digit,
// probed for its size; the song-load screen lit as in the game, its gold heading probed
// for its colour. Exit code 0 when every frame
// was saved and passed its probes.
#include <SDL.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

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
#include "graphics/frame_render.h"
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

// The other shared documents, to look at: the button legend with hints and key names,
// and the message box over the container. Saved as "menu_overlay_message_box.png".
int SharedDocumentsShot(gfx::RenderDevice& device, graphics::SceneContext& scene, const std::string& runFolder,
                        const std::string& outFolder) {
  const std::u16string folder = ToWide(runFolder + "themes/default/dynamic/");
  theme::MenuTheme container(&scene), overlay(&scene), message(&scene);
  if (!container.Load(folder, u"menu_container") || !overlay.Load(folder, u"menu_overlay") ||
      !message.Load(folder, u"message_box")) {
    std::fprintf(stderr, "theme_screenshot: the shared documents did not load\n");
    return 1;
  }
  const char* const hints[][3] = {{"button_green", "Select", "keyboard_green"},
                                  {"button_red", "Back", "keyboard_red"},
                                  {"button_orange", "More Info", "keyboard_orange"},
                                  {"button_start", "Play Song", "keyboard_start"},
                                  {"button_select", "", "keyboard_select"},
                                  {"button_leftright", "Change Song", "keyboard_left"}};
  const char* const keys[] = {"Enter", "Escape", "F1", "Space", "", "Left"};
  for (int i = 0; i < 6; ++i) {
    overlay.SetText(hints[i][0], ToWide(hints[i][1]));
    overlay.SetText(hints[i][2], ToWide(keys[i]));
  }
  overlay.SetText("keyboard_right", u"Right");
  std::vector<theme::MenuListEntry> rows(3);
  rows[0].text = u"A newer version of the game is available.";
  rows[1].text = u"";
  rows[2].text = u"Press Green to continue";
  message.SetListItems(rows.data(), nullptr, 3, "list_message");

  device.BeginScene();
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 0, 0, 0), 1.0f, 0);
  SetMenuStates(device);
  container.Render();
  overlay.Render();
  message.Render();
  device.EndScene();
  gfx::ImageData shot;
  const std::string out = outFolder + "menu_overlay_message_box.png";
  if (!device.ReadPixels(shot) ||
      !stbi_write_png(out.c_str(), shot.width, shot.height, 4, shot.rgba.data(), shot.width * 4)) {
    std::fprintf(stderr, "theme_screenshot: cannot write %s\n", out.c_str());
    return 1;
  }
  std::printf("theme_screenshot: wrote %s\n", out.c_str());
  return 0;
}

// Gold pixels (a lit rank star) in a small square around a point.
int GoldPixelsAround(const gfx::ImageData& image, int cx, int cy) {
  int gold = 0;
  for (int y = cy - 4; y <= cy + 4; ++y) {
    for (int x = cx - 4; x <= cx + 4; ++x) {
      if (x < 0 || y < 0 || x >= image.width || y >= image.height) continue;
      const uint8_t* p = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
      if (p[0] > 190 && p[1] > 110 && p[2] < 140 && p[0] > p[2] + 80) ++gold;
    }
  }
  return gold;
}

// The play screen's score panel with its rank list, at the first rank and at the
// highest (six rows, the last half earned). The rank rows must stay inside the panel
// however many there are: each reached rank is a lit star in its slot, the one being
// earned grows with its value (nothing at 0), and nothing is drawn past the panel's
// right edge. Saved as "game_osd_main_rank_<n>.png".
int RankListShot(gfx::RenderDevice& device, graphics::SceneContext& scene, const std::string& runFolder,
                 const std::string& outFolder) {
  constexpr int kSlotX = 1085, kSlotStep = 22, kSlotY = 121;  // the document's list_rank, 2 units a pixel
  constexpr int kPastPanelX = 1236;  // the panel ends at about 1222
  struct Case {
    std::vector<const char16_t*> rows;
    const char* slots;  // per slot: F a full star, P a smaller one being earned, - none
  };
  const Case cases[] = {{{u"0"}, "------"},
                        {{u"100", u"37"}, "FP----"},
                        {{u"100", u"100", u"100", u"100", u"100", u"50"}, "FFFFFP"}};
  int failures = 0;
  for (const Case& c : cases) {
    theme::MenuTheme osd(&scene);
    if (!osd.Load(ToWide(runFolder + "themes/default/dynamic/"), u"game_osd_main")) {
      std::fprintf(stderr, "theme_screenshot: game_osd_main did not load\n");
      return 1;
    }
    std::vector<theme::MenuListEntry> rows(c.rows.size());
    for (size_t i = 0; i < rows.size(); ++i) rows[i].text = c.rows[i];
    int32_t selected = 0;
    osd.SetListItems(rows.data(), &selected, static_cast<int32_t>(rows.size()), "list_rank");
    osd.SetText("game_score", u"1,234,567");
    osd.SetText("game_time", u"3:07");
    osd.SetText("game_time_progress", u"100");
    device.BeginScene();
    device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 0, 0, 0), 1.0f, 0);
    SetMenuStates(device);
    device.SetRenderState(gfx::RenderState::kZEnable, 1);
    device.SetRenderState(gfx::RenderState::kZWriteEnable, 1);
    device.SetRenderState(gfx::RenderState::kZFunc, uint32_t(gfx::CompareFunc::kLessEqual));
    osd.Render();
    device.EndScene();
    gfx::ImageData shot;
    const std::string out = outFolder + "game_osd_main_rank_" + std::to_string(c.rows.size()) + ".png";
    if (!device.ReadPixels(shot) ||
        !stbi_write_png(out.c_str(), shot.width, shot.height, 4, shot.rgba.data(), shot.width * 4)) {
      std::fprintf(stderr, "theme_screenshot: cannot write %s\n", out.c_str());
      return 1;
    }
    std::printf("theme_screenshot: wrote %s; gold around the slots:", out.c_str());
    for (int slot = 0; slot < 6; ++slot) {
      const int gold = GoldPixelsAround(shot, kSlotX + slot * kSlotStep, kSlotY);
      std::printf(" %d", gold);
      const char seen = gold >= 30 ? 'F' : gold > 0 ? 'P' : '-';  // a full star covers about 45 of 81
      if (seen != c.slots[slot]) {
        std::fprintf(stderr, "\ntheme_screenshot: rank slot %d of %zu rows shows %c, wanted %c\n", slot,
                     c.rows.size(), seen, c.slots[slot]);
        failures = 1;
      }
    }
    int past = 0;  // anything drawn right of the panel, on the rank row's band
    for (int y = kSlotY - 12; y <= kSlotY + 12; ++y) {
      for (int x = kPastPanelX; x < shot.width; ++x) {
        const uint8_t* p = &shot.rgba[(static_cast<size_t>(y) * shot.width + x) * 4];
        if (p[0] + p[1] + p[2] > 150) ++past;
      }
    }
    std::printf("; past the panel %d\n", past);
    if (past > 0) {
      std::fprintf(stderr, "theme_screenshot: rank rows drawn past the score panel\n");
      failures = 1;
    }
  }
  return failures;
}

// The count-in and resume count-down of "game_osd": one digit in the middle of the
// screen, over a busy board, so it must be large. Saved as "game_osd_count_in.png"; the
// probe counts the digit's lit pixels in the screen's middle.
int CountInShot(gfx::RenderDevice& device, graphics::SceneContext& scene, const std::string& runFolder,
                const std::string& outFolder) {
  theme::MenuTheme osd(&scene);
  if (!osd.Load(ToWide(runFolder + "themes/default/dynamic/"), u"game_osd")) {
    std::fprintf(stderr, "theme_screenshot: game_osd did not load\n");
    return 1;
  }
  osd.SetText("countdown_timer", u"3");
  device.BeginScene();
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 0, 0, 0), 1.0f, 0);
  SetMenuStates(device);
  osd.Render();
  device.EndScene();
  gfx::ImageData shot;
  const std::string out = outFolder + "game_osd_count_in.png";
  if (!device.ReadPixels(shot) ||
      !stbi_write_png(out.c_str(), shot.width, shot.height, 4, shot.rgba.data(), shot.width * 4)) {
    std::fprintf(stderr, "theme_screenshot: cannot write %s\n", out.c_str());
    return 1;
  }
  int lit = 0;
  for (int y = kHeight / 2 - 120; y < kHeight / 2 + 120; ++y) {
    for (int x = kWidth / 2 - 120; x < kWidth / 2 + 120; ++x) {
      const uint8_t* p = &shot.rgba[(static_cast<size_t>(y) * shot.width + x) * 4];
      if (p[0] + p[1] + p[2] > 360) ++lit;
    }
  }
  std::printf("theme_screenshot: wrote %s; lit pixels of the digit %d\n", out.c_str(), lit);
  if (lit < 700) {  // the digit, about 55 pixels high, lights some 1400; at half that height a quarter
    std::fprintf(stderr, "theme_screenshot: the count-in digit is too small to read over the board\n");
    return 1;
  }
  return 0;
}

// The song-load screen as the game draws it, with the menus' light on: a text is lit
// as a surface (its colour is its diffuse and its emissive colour), so a document's
// colour must be the one that comes out lit. The heading is the theme's gold: its
// inked pixels must read gold (red full, green well below it, blue low), not cream.
// Saved as "menu_songload_lit.png".
int LitTextShot(gfx::RenderDevice& device, graphics::SceneContext& scene, const std::string& runFolder,
                const std::string& outFolder) {
  theme::MenuTheme songLoad(&scene);
  if (!songLoad.Load(ToWide(runFolder + "themes/default/dynamic/"), u"menu_songload")) {
    std::fprintf(stderr, "theme_screenshot: menu_songload did not load\n");
    return 1;
  }
  device.BeginScene();
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, gfx::Argb(255, 0, 0, 0), 1.0f, 0);
  SetMenuStates(device);
  graphics::SetFrameLights(device, false);
  device.SetRenderState(gfx::RenderState::kLighting, 1);
  songLoad.Render();
  device.EndScene();
  device.SetRenderState(gfx::RenderState::kLighting, 0);
  device.LightEnable(0, false);
  gfx::ImageData shot;
  const std::string out = outFolder + "menu_songload_lit.png";
  if (!device.ReadPixels(shot) ||
      !stbi_write_png(out.c_str(), shot.width, shot.height, 4, shot.rgba.data(), shot.width * 4)) {
    std::fprintf(stderr, "theme_screenshot: cannot write %s\n", out.c_str());
    return 1;
  }
  // The heading stands at 9% from the top, centred; its inked pixels are the bright
  // ones on the black.
  double r = 0, g = 0, b = 0;
  int inked = 0;
  for (int y = kHeight * 9 / 100 - 14; y <= kHeight * 9 / 100 + 14; ++y) {
    for (int x = kWidth / 2 - 80; x <= kWidth / 2 + 80; ++x) {
      const uint8_t* p = &shot.rgba[(static_cast<size_t>(y) * shot.width + x) * 4];
      if (p[0] < 200) continue;
      r += p[0], g += p[1], b += p[2];
      ++inked;
    }
  }
  if (inked < 40) {
    std::fprintf(stderr, "theme_screenshot: the song-load heading is not drawn (%d pixels)\n", inked);
    return 1;
  }
  r /= inked, g /= inked, b /= inked;
  std::printf("theme_screenshot: wrote %s; heading %d pixels, mean colour %.0f,%.0f,%.0f\n", out.c_str(), inked, r,
              g, b);
  if (g > 235 || g < 165 || b > 150 || r - b < 100) {
    std::fprintf(stderr, "theme_screenshot: the gold heading is drawn %.0f,%.0f,%.0f, not gold\n", r, g, b);
    return 1;
  }
  return 0;
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

#if defined(__SANITIZE_ADDRESS__)
  // The software GL driver keeps small allocations for the life of the process that
  // the leak checker cannot name; the theme code itself is leak-checked by its tests.
  __lsan_disable();
#endif
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
    if (!failures) failures = SharedDocumentsShot(*device, scene, runFolder, outFolder);
    if (!failures) failures = RankListShot(*device, scene, runFolder, outFolder);
    if (!failures) failures = CountInShot(*device, scene, runFolder, outFolder);
    if (!failures) failures = LitTextShot(*device, scene, runFolder, outFolder);
    scene.fonts.Release();
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
#if defined(__SANITIZE_ADDRESS__)
  __lsan_enable();
#endif
  return failures;
}
