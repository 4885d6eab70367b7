// The picture or muted looping video behind a menu, stretched over the whole window
// and drawn before every other element. Backgrounds take no events and have no fxs.
// A video plays through the video texture; with menu videos switched off in the
// settings, a video background stays unloaded and an image background written after
// it in the document shows instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/image.h"
#include "graphics/video_texture.h"
#include "theme/theme_element.h"

namespace theme {

enum class BackgroundType : int32_t { kImage = 0, kVideo = 1 };

class ThemeBackground : public ThemeElement {
 public:
  ThemeBackground();
  ~ThemeBackground() override;

  bool Parse(TextDocument& document, graphics::SceneContext* owner, std::u16string_view folder) override;
  bool Render(const graphics::Transform* parent) override;
  // False (nothing drawn) when not loaded.
  bool Draw();
  // Opens the video at the full path, runs it muted; false with a log line on failure.
  bool SetupVideo(std::u16string_view fullPath);
  // One of the theme's video commands (graphics::VideoCommand numbers); false when
  // the background has no video.
  bool ControlVideo(int32_t command);

  // The sideways picture offset of a stereo pass (0 without stereo).
  float DepthOffset() const;
  // The factor of the depth offset: the board's depth level when linked, else 0.034.
  static float DepthFactor(bool boardDepthStereoLink, int32_t boardDepth);

  // Backgrounds answer no events and run no fxs.
  void TriggerFxBySubId(std::string_view, std::string_view, std::string_view) override {}
  void Reset() override {}
  void StopFx() override {}

  // What draws the video: the device texture in the video's slot, or null.
  const platform::gfx::Texture* VideoDeviceTexture() const;

  // Replaces the device the next video gets its textures from (tests); by default
  // the owner's drawing device.
  void SetVideoTextureDevice(graphics::DynamicTextureDevice* device) { videoDevice_ = device; }

  std::u16string path;
  std::u16string themeFolder;
  graphics::Image image;
  std::unique_ptr<graphics::VideoTexture> video;
  graphics::DynamicTexture* videoTexture = nullptr;  // the slot the video fills
  int32_t bgType = 0;  // BackgroundType
  bool loaded = false;
  bool boardDepthStereoLink = false;

 private:
  void Setup();
  graphics::DynamicTextureDevice* VideoDevice();

  graphics::DynamicTextureDevice* videoDevice_ = nullptr;
  std::unique_ptr<graphics::DynamicTextureDevice> ownVideoDevice_;
};

}  // namespace theme
