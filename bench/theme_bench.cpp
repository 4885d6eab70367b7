// The theme engine's part of a menu screen on the Null back end: a background, 20
// images with idle fxs and 20 texts of 16 characters, each with a hover fx running
// (a scale tween and a colour set), drawn every frame. Reports the CPU time per frame
// beside a reference measured in the same run: the same pictures and glyph quads
// drawn straight through the quad, without the theme (document-free placement, no
// fxs, no anchors), so the ratio is what the theme engine adds.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "core/log.h"
#include "core/settings.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sprite.h"
#include "platform/paths.h"
#include "theme/menu_theme.h"

namespace {

namespace fs = std::filesystem;
namespace gfx = platform::gfx;

constexpr int kImages = 20;
constexpr int kTexts = 20;
constexpr const char* kRowText = "Song Title 12345";

void WritePng(const fs::path& path, int w, int h) {
  fs::create_directories(path.parent_path());
  std::vector<uint8_t> px(size_t(w) * size_t(h) * 4, 0xC0);
  stbi_write_png(path.string().c_str(), w, h, 4, px.data(), w * 4);
}

void WriteUtf16(const fs::path& path, const std::string& ascii) {
  fs::create_directories(path.parent_path());
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (!f) return;
  std::fputc(0xFF, f);
  std::fputc(0xFE, f);
  for (char c : ascii) {
    std::fputc(c, f);
    std::fputc(0, f);
  }
  std::fclose(f);
}

std::string ScreenDocument() {
  std::string doc = "<background><path>bg.png</path></background>";
  for (int i = 0; i < kImages; ++i) {
    doc += "<image><id>icon</id><path>icon.png</path><position>" + std::to_string(i * 40 - 400) +
           ",300,10</position><fx><target>alpha</target><fx_type>sine</fx_type><start>60</start><end>100</end>"
           "<rate>20</rate></fx></image>";
  }
  for (int i = 0; i < kTexts; ++i) {
    doc += "<text><id>row" + std::to_string(i) + "</id><dynamic>true</dynamic><position>-300," +
           std::to_string(250 - i * 30) + ",5</position>"
           "<fx><id>row</id><sub_id_wild>true</sub_id_wild><trigger>hover_on</trigger><target>scale_x</target>"
           "<fx_type>ping_pong</fx_type><start>100</start><end>115</end><speed>60</speed></fx>"
           "<fx><id>row</id><sub_id_wild>true</sub_id_wild><trigger>hover_on</trigger><target>colour_b</target>"
           "<fx_type>set</fx_type><end>20</end></fx></text>";
  }
  return doc;
}

struct Screen {
  Screen()
      : device(gfx::CreateNullRenderDevice(1280, 720)), assets(device.get()), quad(device.get()), sprite(device.get()),
        spritePointer(&sprite) {
    folder = fs::temp_directory_path() / ("velorin_theme_bench_" + std::to_string(::getpid()));
    const fs::path dyn = folder / "themes/default/dynamic";
    WritePng(dyn / "bg.png", 64, 36);
    WritePng(dyn / "icon.png", 16, 16);
    for (int code = 32; code < 127; ++code) WritePng(dyn / "fonts/default" / (std::to_string(code) + ".png"), 16, 32);
    WriteUtf16(dyn / "screen.ini", ScreenDocument());
    oldCwd = fs::current_path();
    fs::current_path(folder);
    SetLogFolder(platform::PathFromNative((folder / "log").string()));
    SetLogEcho(false);
    quad.Create();
    context.screenWidth = &width;
    context.screenHeight = &height;
    context.device = device.get();
    context.quad = &quad;
    context.assets = &assets;
    context.settings = &settings;
    context.sprite = &spritePointer;
    context.fonts.Init(device.get(), &assets);
    context.fonts.LoadAll(u"themes/default/dynamic/fonts/");
    theme = std::make_unique<theme::MenuTheme>(&context);
    loaded = theme->Load(u"themes/default/dynamic/", u"screen");
    for (int i = 0; i < kTexts; ++i) theme->SetText("row" + std::to_string(i), ToU16(kRowText));
    theme->TriggerEvent("row", "", "hover_on");
  }
  ~Screen() {
    theme.reset();
    context.Release();
    std::error_code ec;
    fs::current_path(oldCwd, ec);
    fs::remove_all(folder, ec);
  }
  static std::u16string ToU16(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

  // The same quads without the theme: pictures and glyphs placed by hand.
  void ReferenceFrame() {
    const auto& images = theme->Images();
    graphics::Image& picture = images[0]->image;
    for (int i = 0; i < kImages; ++i) {
      picture.transform.position = {float(i * 40 - 400), 300.0f, 10.0f};
      quad.Render3D(picture, false, 0.0f);
    }
    const graphics::BitmapFont* font = context.fonts.FindFont(u"default");
    graphics::Transform t;
    for (int i = 0; i < kTexts; ++i) {
      t.position = {-300.0f, float(250 - i * 30), 5.0f};
      context.fonts.DrawText(&t, 0, 0, -1, -1, ToU16(kRowText), u"default", 10.0f);
    }
    (void)font;
  }

  std::unique_ptr<gfx::RenderDevice> device;
  graphics::GameAssets assets;
  graphics::Quad quad;
  gfx::Sprite sprite;
  gfx::Sprite* spritePointer;
  Settings settings;
  int width = 1280, height = 720;
  graphics::SceneContext context;
  std::unique_ptr<theme::MenuTheme> theme;
  fs::path folder, oldCwd;
  bool loaded = false;
};

template <typename F>
double MsPerFrame(F&& frame, int frames) {
  const auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f) frame();
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / frames;
}

void BM_ThemeScreen(benchmark::State& state) {
  Screen screen;
  if (!screen.loaded || screen.theme->Texts().size() != size_t(kTexts)) {
    state.SkipWithError("the screen's theme did not load");
    return;
  }
  double themeMs = 0.0, referenceMs = 0.0;
  for (auto _ : state) {
    themeMs = MsPerFrame([&] { screen.theme->Render(nullptr); }, 200);
    referenceMs = MsPerFrame([&] { screen.ReferenceFrame(); }, 200);
  }
  state.counters["theme_ms_per_frame"] = themeMs;
  state.counters["reference_ms_per_frame"] = referenceMs;
  state.counters["ratio"] = referenceMs > 0.0 ? themeMs / referenceMs : 0.0;
}
BENCHMARK(BM_ThemeScreen)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
