// A scene for theme element tests: a 1280 x 720 window on the Recording back end with
// a quad to draw pictures, default settings, and documents written as UTF-16 files
// into a temporary folder and read through the real document reader.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "core/text_document.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace theme::testing {

struct ThemeScene {
  ThemeScene() {
    quad.Create();
    context.screenWidth = &width;
    context.screenHeight = &height;
    context.device = &device;
    context.quad = &quad;
    context.settings = &settings;
  }

  // Reads one element block of kind T from the document text (after its opening tag).
  template <typename T>
  std::unique_ptr<T> Parse(std::string_view block) {
    dir.WriteUtf16("block.ini", block);
    TextDocument document;
    if (!document.Load(dir.WPath("block.ini"))) return nullptr;
    auto element = std::make_unique<T>();
    element->Parse(document, &context, dir.WPath(""));
    return element;
  }

  testsupport::TempDir dir;
  platform::gfx::RecordingRenderDevice device{1280, 720};
  graphics::Quad quad{&device};
  int width = 1280;
  int height = 720;
  Settings settings;
  graphics::SceneContext context;
};

}  // namespace theme::testing
