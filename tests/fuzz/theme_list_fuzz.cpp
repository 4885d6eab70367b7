// Theme documents from any bytes, read through the theme reader with its list and model
// builders, then driven the way a menu screen drives a list: rows of any count with a
// selection inside, outside or missing, row events, and drawing on the Recording back
// end. Nothing may crash, hang or read outside its rows.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/settings.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/file.h"
#include "platform/gfx/recording_device.h"
#include "platform/paths.h"
#include "tests/fuzz/scratch_folder.h"
#include "theme/menu_theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    const std::string f = fuzzsupport::ScratchFolder("themelistfuzz");
    SetLogFolder(platform::PathFromNative(f + "/no-log"));
    std::freopen("/dev/null", "w", stdout);
    return f + "/";
  }();
  std::string bytes = "\xff\xfe";  // the reader wants the byte-order mark; the rest is the input
  bytes.append(reinterpret_cast<const char*>(data), size);
  if (!platform::WriteFileAtomic(platform::PathFromNative(folder + "menu_fuzz.ini"), bytes)) return 0;

  static platform::gfx::RecordingRenderDevice device(1280, 720);
  static graphics::GameAssets assets(&device);
  static graphics::Quad quad(&device);
  static bool quadMade = quad.Create();
  (void)quadMade;
  static Settings settings;
  int width = 1280, height = 720;
  graphics::SceneContext scene;
  scene.screenWidth = &width;
  scene.screenHeight = &height;
  scene.device = &device;
  scene.quad = &quad;
  scene.assets = &assets;
  scene.settings = &settings;

  theme::MenuTheme theme(&scene);
  theme.Load(platform::PathFromNative(folder), u"menu_fuzz");
  const int32_t count = size > 0 ? data[0] % 40 : 3;
  std::vector<theme::MenuListEntry> rows(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) rows[static_cast<size_t>(i)].text = i % 3 ? u"12" : u"";
  int32_t selected = size > 1 ? static_cast<int8_t>(data[1]) : 0;
  for (const auto& list : theme.Lists()) {
    const std::string id(list->id.begin(), list->id.end());
    theme.SetListItems(rows.data(), size > 2 && data[2] % 5 == 0 ? nullptr : &selected, count, id);
    theme.TriggerEvent(id, std::to_string(selected), "hover_on");
  }
  for (int frame = 0; frame < 3; ++frame) {
    theme.Render();
    selected += 7;
  }
  device.draws.clear();
  device.log.clear();
  return 0;
}
