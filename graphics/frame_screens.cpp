// The start-up loading screen, the menus, the song-load screen and the play
// background, with the picture behind play.
#include <cmath>
#include <memory>
#include <mutex>

#include "core/log.h"
#include "core/settings.h"
#include "core/shell/shell.h"
#include "core/utils.h"
#include "core/version.h"
#include "graphics/frame_internal.h"
#include "graphics/frame_render.h"
#include "graphics/render_layers.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

enum class LoadingImage : int { kLogo = 0, kBackground = 1, kFrame = 2, kBar = 3 };
constexpr int32_t kSongListStep = 6;
constexpr float kBarHalfLength = 122.0f;  // the bar image is 244 pixels long
constexpr float kBarFromBottom = 45.0f;
constexpr float kTextFromBottom = 5.0f;

enum class BackgroundMode : int32_t { kImage = 0, kReactive = 1, kStage = 2, kVideo = 3 };

// The picture behind play: decoded on the Task thread, made a texture on the main
// thread at its first draw.
struct PlayPicture {
  std::mutex mutex;
  gfx::ImageData pending;
  bool hasPending = false;
  bool releaseRequested = false;
  std::unique_ptr<gfx::Texture> texture;
  // The pixels of the uploaded picture, for making it again on a new device.
  gfx::ImageData uploaded;
};

PlayPicture& Picture() {
  static PlayPicture picture;
  return picture;
}

void DrawLoadingImage(LoadingImage which, float x, float y, float scaleX, int32_t fit, float alpha,
                      float stereoOffset, int32_t eye) {
  Sprite::DrawCropped(frame::SpriteSlot(), shell::LoadingScreenTexture(int(which)), 0.0f, 0.0f, fit,
                      frame::RenderWidth(), frame::RenderHeight(), alpha, stereoOffset, eye, x, y, scaleX, 1.0f,
                      50.0f, 50.0f, 0.0f, 0.0f, 0.0f, 0.0f);
}

// Background mode after the overrides: practice shows the reactive theme, a song's
// own video or picture wins over the setting.
BackgroundMode PlayBackgroundMode(int32_t* raw) {
  int32_t mode = g_Settings.BACKGROUND;
  const SceneContext* scene = CurrentSceneContext();
  if (scene && scene->practice) mode = int32_t(BackgroundMode::kReactive);
  if (g_Settings.songVideoBackgroundOn) mode = int32_t(BackgroundMode::kVideo);
  if (g_Settings.songImageBackgroundOn) mode = int32_t(BackgroundMode::kImage);
  *raw = mode;
  return BackgroundMode(mode);
}

void DrawCentredPicture(const gfx::Texture* texture, int32_t fit) {
  gfx::Sprite* sprite = frame::SharedSprite();
  if (!sprite || !texture) return;
  const int32_t width = frame::RenderWidth(), height = frame::RenderHeight();
  const float offset = frame::Stereo() ? StereoDepthOffset(g_Settings.BOARDDEPTH, width, frame::Aspect()) : 0.0f;
  sprite->Begin(gfx::sprite_flags::kAlphaBlend);
  Sprite::DrawCropped(frame::SpriteSlot(), texture, 0.0f, 0.0f, fit, width, height, 1.0f, offset, CurrentEye(),
                      float(width / 2), float(height / 2), 1.0f, 1.0f, 50.0f, 50.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  sprite->End();
}

float ReactiveAngle(int32_t depth) {
  switch (depth) {
    case 1: return 1.2f;
    case 2: return 1.7f;
    case 3: return 2.1f;
    case 4: return 2.5f;
    default: return 0.8f;
  }
}

}  // namespace

std::string LoadingStepText(int32_t step, int32_t songCount) {
  std::string text = ToNarrow(g_Settings.language.GetString(step));
  if (step == kSongListStep && songCount >= 0) text += " " + std::to_string(songCount);
  return text;
}

void RenderLoadingScreen(int32_t eye, bool full, float alpha) {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  if (full) {
    Camera* board = frame::GetCamera(CameraId::kBoard);
    if (board) device->SetTransform(gfx::TransformKind::kView, board->GetViewMatrix());
    device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, frame::kOpaqueBlack, 1.0f, 0);
  } else {
    device->Clear(gfx::clear::kZBuffer, 0, 1.0f, 0);
  }
  const float width = float(frame::RenderWidth()), height = float(frame::RenderHeight());
  const float progress = std::fmin(std::fmax(shell::LoadProgress.load(), 0.0f), 1.0f);
  const float offset = frame::Stereo() ? width * -0.012f / frame::Aspect() : 0.0f;
  gfx::Sprite* sprite = frame::SharedSprite();
  if (sprite) {
    sprite->Begin(gfx::sprite_flags::kAlphaBlend);
    DrawLoadingImage(LoadingImage::kBackground, width / 2.0f, height / 2.0f, 1.0f, Sprite::kStretch, alpha, offset,
                     eye);
    DrawLoadingImage(LoadingImage::kLogo, width / 2.0f, height / 2.0f, 1.0f, Sprite::kKeepScale, alpha, offset, eye);
    DrawLoadingImage(LoadingImage::kFrame, width / 2.0f, height - kBarFromBottom, 1.0f, Sprite::kKeepScale, alpha,
                     offset, eye);
    // The bar grows to the right from a fixed left end.
    DrawLoadingImage(LoadingImage::kBar, width / 2.0f - kBarHalfLength + progress * kBarHalfLength,
                     height - kBarFromBottom, progress, Sprite::kKeepScale, alpha, offset, eye);
    sprite->End();
  }
  gfx::SystemFont* font = OverlayFont(1);
  const uint32_t colour = gfx::Argb(uint32_t(alpha * 255.0f) & 0xFF, 255, 255, 255);
  const int32_t step = shell::LoadStep.load();
  DrawTextAnchored(font, colour, LoadingStepText(step, Layers().SongListCount()), width / 2.0f,
                   height - kTextFromBottom, 50.0f, 100.0f);
  DrawTextAnchored(font, colour, "v" + platform::FormatNumber(kGameVersion), 10.0f, height - kTextFromBottom, 0.0f,
                   100.0f);
}

void RenderMenus(int32_t eye) {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  frame::SetMenuCamera(eye);
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, frame::kOpaqueBlack, 1.0f, 0);
  Layers().RenderMenus(eye);
  if (g_Settings.DEBUGMODE) DrawDebugInfo();
  if (g_Settings.DRAWFPS) DrawFps();
}

void RenderSongLoadScreen(int32_t eye) {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  frame::SetMenuCamera(eye);
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, frame::kOpaqueBlack, 1.0f, 0);
  Layers().RenderSongLoadTheme(eye);
  if (g_Settings.DRAWFPS) DrawFps();
}

void RenderPlayBackground(int32_t eye) {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  device->Clear(gfx::clear::kTarget | gfx::clear::kZBuffer | gfx::clear::kStencil, frame::kOpaqueBlack, 1.0f, 0);
  int32_t raw = 0;
  switch (PlayBackgroundMode(&raw)) {
    case BackgroundMode::kImage:
      DrawCentredPicture(PlayBackgroundTexture(), Sprite::kStretch);
      break;
    case BackgroundMode::kReactive: {
      Camera* camera = frame::GetCamera(CameraId::kFreeLook);
      if (!camera) break;
      camera->fovDivisor = 5.0f;
      frame::PlaceEyeCamera(*camera, g_Settings.STEREOSCOPICMETHOD, 0.0f, 0.0f, -2220.0f, 0.0f, 0.0f, 0.0f, 27.0f,
                            eye, ReactiveAngle(g_Settings.BOARDDEPTH));
      frame::SetPerspective(5.0f, 10000.0f, frame::Aspect());
      device->SetTransform(gfx::TransformKind::kView, camera->GetViewMatrix());
      Layers().DrawReactiveBackground(eye);
      break;
    }
    case BackgroundMode::kStage: {
      Camera* camera = frame::GetCamera(CameraId::kStage);
      if (!camera) break;
      for (int light = 0; light < 3; ++light) device->LightEnable(light, true);
      frame::SetPerspective(camera->fovDivisor, 5000.0f, frame::Aspect());
      device->SetTransform(gfx::TransformKind::kView, camera->GetViewMatrix());
      Layers().DrawStage(eye);
      break;
    }
    case BackgroundMode::kVideo:
      DrawCentredPicture(Layers().VideoBackgroundTexture(), g_Settings.VIDEOSCALING);
      break;
    default:
      break;  // modes above 3 keep the clear
  }
}

bool LoadPlayBackgroundImage(const std::u16string& path) {
  gfx::ImageData image;
  if (path.empty() || !gfx::DecodeImageFile(platform::PathToNative(path), image)) return false;
  PlayPicture& p = Picture();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.pending = std::move(image);
  p.hasPending = true;
  p.releaseRequested = false;
  return true;
}

void ReleasePlayBackgroundImage() {
  PlayPicture& p = Picture();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.pending = gfx::ImageData();
  p.hasPending = false;
  p.uploaded = gfx::ImageData();
  // The texture belongs to the main thread's device: dropped at its next draw.
  p.releaseRequested = true;
}

const gfx::Texture* PlayBackgroundTexture() {
  PlayPicture& p = Picture();
  std::lock_guard<std::mutex> lock(p.mutex);
  if (p.releaseRequested) {
    p.texture.reset();
    p.releaseRequested = false;
  }
  if (p.hasPending) {
    gfx::RenderDevice* device = frame::Device();
    if (!device) return nullptr;
    p.uploaded = p.pending;
    p.texture = device->CreateTexture(std::move(p.pending));
    p.pending = gfx::ImageData();
    p.hasPending = false;
  }
  return p.texture.get();
}

namespace frame {
// The main thread's own release (shutdown), where the device still exists.
void DropPlayPicture() {
  PlayPicture& p = Picture();
  std::lock_guard<std::mutex> lock(p.mutex);
  p.texture.reset();
  p.pending = gfx::ImageData();
  p.uploaded = gfx::ImageData();
  p.hasPending = false;
  p.releaseRequested = false;
}

void RemakePlayPicture() {
  PlayPicture& p = Picture();
  std::lock_guard<std::mutex> lock(p.mutex);
  if (!p.texture) return;  // nothing uploaded, or a newer picture still pending
  p.texture.reset();
  if (p.releaseRequested || p.hasPending) return;
  p.pending = p.uploaded;
  p.hasPending = true;
}
}  // namespace frame

}  // namespace graphics
