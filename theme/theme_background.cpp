// Background elements: an image or a muted looping video stretched over the window.
#include "theme/theme_background.h"

#include <iterator>

#include "core/log.h"
#include "core/settings.h"
#include "core/text_document.h"
#include "graphics/scene_context.h"
#include "graphics/video_render_device.h"
#include "platform/gfx/sprite.h"

namespace theme {

namespace {

// The depth factor of each board depth level.
constexpr float kBoardDepthFactors[] = {0.008f, 0.021f, 0.034f, 0.047f, 0.052f, -0.012f};
constexpr float kUnlinkedDepthFactor = 0.034f;

}  // namespace

ThemeBackground::ThemeBackground() = default;

ThemeBackground::~ThemeBackground() {
  // The video's texture goes before the device that made it.
  video.reset();
  videoTexture = nullptr;
}

bool ThemeBackground::Parse(TextDocument& document, graphics::SceneContext* ownerContext, std::u16string_view folder) {
  owner = ownerContext;
  themeFolder = std::u16string(folder);
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"background")) break;
    if (SameName(u"path", tag)) {
      path = document.NextValue();
    } else if (SameName(u"board_depth_stereo_link", tag)) {
      boardDepthStereoLink = ParseBool(document.NextValue());
    } else if (SameName(u"bg_type", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"image", v)) bgType = static_cast<int32_t>(BackgroundType::kImage);
      else if (SameName(u"video", v)) bgType = static_cast<int32_t>(BackgroundType::kVideo);
    }
  }
  Setup();
  return true;
}

void ThemeBackground::Setup() {
  const std::u16string full = JoinThemePath(themeFolder, path);
  const std::u16string fallback = JoinThemePath(kDefaultDynamicFolder, path);
  if (bgType == static_cast<int32_t>(BackgroundType::kImage)) {
    graphics::GameAssets* assets = owner ? owner->assets : nullptr;
    loaded = image.Load(assets, full);
    if (!loaded) {
      Log(0, u"Failed To Load BG Image: " + full + u" Loading Default");
      loaded = image.Load(assets, fallback);
    }
    return;
  }
  if (bgType != static_cast<int32_t>(BackgroundType::kVideo)) return;
  if (!owner || !owner->settings || !owner->settings->MENUVIDEOBG) {
    Log(0, u"Video Background Setup Skipped (Disabled)");
    loaded = false;
    return;
  }
  loaded = SetupVideo(full);
  if (!loaded) {
    Log(0, u"Failed To Load BG Video: " + full + u" Loading Default");
    loaded = SetupVideo(fallback);
  }
}

graphics::DynamicTextureDevice* ThemeBackground::VideoDevice() {
  if (videoDevice_) return videoDevice_;
  if (!ownVideoDevice_ && owner && owner->device) {
    ownVideoDevice_ = std::make_unique<graphics::RenderDeviceVideoTextures>(*owner->device);
  }
  return ownVideoDevice_.get();
}

bool ThemeBackground::SetupVideo(std::u16string_view fullPath) {
  video.reset();
  videoTexture = nullptr;
  video = std::make_unique<graphics::VideoTexture>();
  if (!video->CreateVideoTexture(VideoDevice(), true, &videoTexture, 0, 0, std::u16string(fullPath))) {
    Log(0, u"Could Not Setup Menu Video Background!");
    video.reset();
    videoTexture = nullptr;
    return false;
  }
  video->Run();
  video->SetVolume(graphics::kMutedVolume);
  return true;
}

bool ThemeBackground::ControlVideo(int32_t command) {
  if (!video) return false;
  if (command < 0 || command > static_cast<int32_t>(graphics::VideoCommand::kReset)) return true;
  const auto c = static_cast<graphics::VideoCommand>(command);
  if (c == graphics::VideoCommand::kRun) {
    video->Run();
    video->SetVolume(graphics::kMutedVolume);
    return true;
  }
  return video->Control(c, VideoDevice());
}

float ThemeBackground::DepthFactor(bool linked, int32_t boardDepth) {
  if (!linked) return kUnlinkedDepthFactor;
  if (boardDepth < 0 || boardDepth >= static_cast<int32_t>(std::size(kBoardDepthFactors))) return kBoardDepthFactors[0];
  return kBoardDepthFactors[boardDepth];
}

float ThemeBackground::DepthOffset() const {
  if (!owner || !owner->settings || owner->settings->STEREOSCOPICMETHOD == 0) return 0.0f;
  const float aspect = WindowAspect();
  if (aspect <= 0.0f) return 0.0f;
  const float width = static_cast<float>(*owner->screenWidth);
  return width * DepthFactor(boardDepthStereoLink, owner->settings->BOARDDEPTH) / aspect;
}

const platform::gfx::Texture* ThemeBackground::VideoDeviceTexture() const {
  auto* deviceTexture = dynamic_cast<const graphics::RenderDeviceVideoTexture*>(videoTexture);
  return deviceTexture ? deviceTexture->DeviceTexture() : nullptr;
}

bool ThemeBackground::Render(const graphics::Transform* parent) {
  (void)parent;  // backgrounds always fill the window
  return Draw();
}

bool ThemeBackground::Draw() {
  if (!loaded) return false;
  if (!owner || !owner->sprite || !*owner->sprite || WindowAspect() <= 0.0f) return true;
  const bool videoEnabled = owner->settings && owner->settings->MENUVIDEOBG;
  const platform::gfx::Texture* texture = nullptr;
  float right = 0.0f, bottom = 0.0f;
  if (bgType == static_cast<int32_t>(BackgroundType::kImage)) {
    texture = image.texture;
  } else if (videoEnabled && video) {
    video->Update();
    texture = VideoDeviceTexture();
    if (video->padded) {
      right = video->videoWidth;
      bottom = video->videoHeight;
    }
  }
  if (!texture) return true;
  const int w = *owner->screenWidth;
  const int h = *owner->screenHeight;
  const bool stereo = owner->settings && owner->settings->STEREOSCOPICMETHOD != 0;
  const int32_t eye = stereo && SecondEyePass() ? 1 : 0;
  platform::gfx::Sprite* sprite = *owner->sprite;
  sprite->Begin(platform::gfx::sprite_flags::kAlphaBlend);
  graphics::Sprite::DrawCropped(owner->sprite, texture, 0.0f, 0.0f, graphics::Sprite::kStretch, w, h, 1.0f,
                                DepthOffset(), eye, float(w) * 0.5f, float(h) * 0.5f, 1.0f, 1.0f, 50.0f, 50.0f,
                                0.0f, 0.0f, right, bottom);
  sprite->End();
  return true;
}

}  // namespace theme
