// Theme documents from any bytes, through the tag reader and the element builders:
// loading never crashes or hangs, and the loaded theme survives drawing, events,
// setters, resets and stops on the Null back end.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/settings.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/file.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/sprite.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"
#include "theme/menu_theme.h"

namespace {

struct Scene {
  Scene() : device(platform::gfx::CreateNullRenderDevice(1280, 720)), assets(device.get()), quad(device.get()),
            sprite(device.get()), spritePointer(&sprite) {
    quad.Create();
    settings.MENUVIDEOBG = false;
    context.screenWidth = &width;
    context.screenHeight = &height;
    context.device = device.get();
    context.quad = &quad;
    context.assets = &assets;
    context.settings = &settings;
    context.sprite = &spritePointer;
    context.fonts.Init(device.get(), &assets);
  }
  std::unique_ptr<platform::gfx::RenderDevice> device;
  graphics::GameAssets assets;
  graphics::Quad quad;
  platform::gfx::Sprite sprite;
  platform::gfx::Sprite* spritePointer;
  Settings settings;
  int width = 1280, height = 720;
  graphics::SceneContext context;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scene* scene = [] {
    const std::string folder = fuzzsupport::ScratchFolder("themefuzz");
    SetLogFolder(platform::PathFromNative(folder + "/no-log"));
    std::freopen("/dev/null", "w", stdout);
    platform::MakeDirectories(folder + "/themes/f/dynamic");
    platform::SetCurrentDirectory(folder);
    return new Scene();
  }();
  // Documents are UTF-16: give the reader its mark so the bytes reach the builders.
  std::string bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(data), size);
  if (!platform::WriteFileAtomic(u"themes/f/dynamic/doc.ini", bytes)) return 0;

  scene->settings.language.index = size > 0 ? data[0] % 5 : 0;
  theme::MenuTheme theme(&scene->context);
  if (!theme.Load(u"themes/f/dynamic/", u"doc")) return 0;
  const std::string word(reinterpret_cast<const char*>(data), size < 12 ? size : 12);
  for (int frame = 0; frame < 3; ++frame) {
    theme.Render(nullptr);
    theme.TriggerEvent(word, "", "hover_on");
    theme.TriggerEvent("", word, "hover_off");
    theme.SetText(word, u"12345");
    theme.SetTextHighlight(0, 99, word);
    theme.SetImageTexture(nullptr, word);
  }
  theme.StopAnimations();
  theme.ResetElements();
  theme.ControlVideo(size % 7);
  theme.Render(nullptr);
  return 0;
}
