// A menu screen of three lists of 20 rows, every row hovered, with its fxs running:
// the theme's CPU time per frame on the Null back end (the budget is 1 ms), beside the
// same 60 row texts drawn straight through the font manager without the theme (the
// reference: what any drawing of those letters costs), and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/render_device.h"
#include "theme/menu_theme.h"

namespace {

namespace fs = std::filesystem;
namespace gfx = platform::gfx;

constexpr int kLists = 3;
constexpr int kRows = 20;
const char* const kListIds[kLists] = {"list_name", "list_value", "list_description"};

std::string ListBlock(const std::string& id, int column) {
  const std::string x = std::to_string(20 + column * 30);
  return "<list><id>" + id + "</id><font>default</font><size>8</size><leading>60</leading><view_count>20</view_count>"
         "<screen_pos>" + x + ",10</screen_pos>"
         "<fx><id>" + id + "</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger>"
         "<target>scale_x</target><fx_type>set</fx_type><end>115</end></fx>"
         "<fx><id>" + id + "</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger>"
         "<target>colour_b</target><fx_type>ping_pong</fx_type><start>100</start><end>20</end><speed>200</speed></fx>"
         "<fx><id>" + id + "</id><inherit_sub_id>true</inherit_sub_id><trigger>hover_on</trigger>"
         "<target>alpha</target><fx_type>sine</fx_type><start>70</start><end>100</end><rate>20</rate></fx>"
         "<fx><target>position_x</target><fx_type>ping_pong</fx_type><start>-10</start><end>10</end><speed>20</speed></fx>"
         "<image><selector>true</selector><path>images/row_hilite.png</path><scale>60,120,100</scale></image>"
         "<image><scrollbar>true</scrollbar><path>images/scroll_thumb.png</path><position>500,0,0</position></image>"
         "</list>\n";
}

void WriteUtf16(const std::string& path, const std::string& utf8) {
  const std::u16string text = ToWide(utf8);
  std::ofstream out(path, std::ios::binary);
  out.put(static_cast<char>(0xFF)).put(static_cast<char>(0xFE));
  for (char16_t c : text) out.put(static_cast<char>(c & 0xFF)).put(static_cast<char>(c >> 8));
}

struct Screen {
  Screen() : device(gfx::CreateNullRenderDevice(1280, 720)), assets(device.get()), quad(device.get()) {
    quad.Create();
    scene.screenWidth = &width;
    scene.screenHeight = &height;
    scene.device = device.get();
    scene.quad = &quad;
    scene.assets = &assets;
    scene.settings = &settings;
    scene.fonts.Init(device.get(), &assets);
    const std::string run = VELORIN_RUN_DIR;
    fontsLoaded = scene.fonts.LoadAll(ToWide(run + "/themes/default/dynamic/fonts/"));
    folder = fs::temp_directory_path().string() + "/velorin_theme_bench/";
    fs::create_directories(folder);
    std::error_code error;
    fs::remove(folder + "images", error);
    fs::create_directory_symlink(run + "/themes/default/dynamic/images", folder + "images", error);
    SetLogFolder(ToWide(folder));
    SetLogEcho(false);
    std::string document;
    for (int l = 0; l < kLists; ++l) document += ListBlock(kListIds[l], l);
    WriteUtf16(folder + "bench_screen.ini", document);
    theme = std::make_unique<theme::MenuTheme>(&scene);
    theme->Load(ToWide(folder), u"bench_screen");
    for (int l = 0; l < kLists; ++l) {
      rows[l].resize(kRows);
      for (int i = 0; i < kRows; ++i) rows[l][i].text = ToWide(std::string(kListIds[l]) + " row " + std::to_string(i));
      theme->SetListItems(rows[l].data(), &selected, kRows, kListIds[l]);
      for (int i = 0; i < kRows; ++i) theme->TriggerEvent(kListIds[l], std::to_string(i), "hover_on");
    }
  }
  ~Screen() { scene.fonts.Release(); }

  void ThemeFrame() {
    device->BeginScene();
    theme->Render();
    device->EndScene();
  }

  // The same letters, placed where the rows stand, without the theme.
  void PlainFrame() {
    device->BeginScene();
    graphics::Transform t;
    for (int l = 0; l < kLists; ++l) {
      for (int i = 0; i < kRows; ++i) {
        t.position = {-900.0f + 760.0f * l, 576.0f - 60.0f * i, 0.0f};
        scene.fonts.DrawText(&t, 0, 0, -1, -1, rows[l][i].text, u"default", 8.0f);
      }
    }
    device->EndScene();
  }

  std::unique_ptr<gfx::RenderDevice> device;
  graphics::GameAssets assets;
  graphics::Quad quad;
  int width = 1280, height = 720;
  Settings settings;
  graphics::SceneContext scene;
  bool fontsLoaded = false;
  std::string folder;
  std::unique_ptr<theme::MenuTheme> theme;
  std::vector<theme::MenuListEntry> rows[kLists];
  int32_t selected = 5;
};

template <typename F>
double MsOf(F&& frame) {
  const auto start = std::chrono::steady_clock::now();
  frame();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BM_ThreeHoveredLists(benchmark::State& state) {
  Screen screen;
  if (!screen.fontsLoaded) {
    state.SkipWithError("no bitmap fonts in the run folder: build velorin_content first");
    return;
  }
  for (int i = 0; i < 20; ++i) screen.ThemeFrame();  // warm up
  double themeMs = 0, plainMs = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    themeMs += MsOf([&] { screen.ThemeFrame(); });
    plainMs += MsOf([&] { screen.PlainFrame(); });
    ++frames;
  }
  state.counters["theme_ms_per_frame"] = themeMs / double(frames);
  state.counters["plain_text_ms_per_frame"] = plainMs / double(frames);
  state.counters["theme_over_plain"] = plainMs > 0 ? themeMs / plainMs : 0;
  state.counters["budget_ms"] = 1.0;
}
BENCHMARK(BM_ThreeHoveredLists)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
