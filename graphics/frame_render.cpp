// The frame's passes and their dispatch on the game state, the stereoscopic combine
// and the device's base render state.
#include "graphics/frame_render.h"

#include <array>
#include <cmath>
#include <memory>

#include "core/settings.h"
#include "core/shell/shell_state.h"
#include "graphics/frame_internal.h"
#include "graphics/gameplay_render.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "platform/clock.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

struct FrameState {
  bool secondEye = false;
  int32_t eye = 0;
  // The two eye images of a stereoscopic frame, the size of the back buffer; made
  // again whenever that size changes (a resize or a mode switch).
  std::array<std::unique_ptr<gfx::Texture>, 2> eyeImages;
  std::array<gfx::SystemFont*, 2> fonts{};
};

FrameState& F() {
  static FrameState state;
  return state;
}

bool EnsureEyeImages(gfx::RenderDevice& device, int32_t width, int32_t height) {
  for (auto& image : F().eyeImages) {
    if (image && image->Width() == width && image->Height() == height) continue;
    image.reset();
    image = device.CreateRenderTexture(width, height);
    if (!image) return false;
  }
  return true;
}

void DrawState(shell::State state, int32_t eye) {
  switch (state) {
    case shell::State::kStartupLoading:
      RenderLoadingScreen(eye, true, 1.0f);
      break;
    case shell::State::kMenus: {
      RenderMenus(eye);
      const float fade = shell::ScreenFade.load();
      if (fade > 0.0f) RenderLoadingScreen(eye, false, fade);
      break;
    }
    case shell::State::kPlaying:
    case shell::State::kOnlineStart:
      RenderPlayBackground(eye);
      RenderGameplay(eye);
      break;
    case shell::State::kSongLoading:
      RenderSongLoadScreen(eye);
      break;
    case shell::State::kIdle:
      platform::SleepMs(100);
      break;
    case shell::State::kNoteModelView:
      RenderModelViewer();
      break;
    case shell::State::kStageView:
      RenderStageViewer();
      break;
    default:
      break;  // 5, 6, 7: an empty scene
  }
}

// The two eye images added up on the back buffer: pass 1's image shows as eye 0.
void CombineEyes(gfx::RenderDevice& device, int32_t method) {
  device.SetRenderTarget(nullptr);
  device.SetViewport(gfx::Viewport{0, 0, frame::RenderWidth(), frame::RenderHeight(), 0.0f, 1.0f});
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer | gfx::clear::kStencil, frame::kOpaqueBlack, 1.0f, 0);
  device.BeginScene();
  device.SetRenderState(gfx::RenderState::kZEnable, 0);
  device.SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  device.SetRenderState(gfx::RenderState::kLighting, 0);
  gfx::Sprite* sprite = frame::SharedSprite();
  if (sprite) {
    sprite->Begin(0);
    // The sprite starts unblended; the eyes add up.
    device.SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
    device.SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kOne));
    device.SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kOne));
    DrawStereoEye(sprite, F().eyeImages[1].get(), 0, method, frame::RenderWidth());
    DrawStereoEye(sprite, F().eyeImages[0].get(), 1, method, frame::RenderWidth());
    sprite->End();
  }
  device.SetRenderState(gfx::RenderState::kLighting, 1);
  device.SetRenderState(gfx::RenderState::kZEnable, 1);
  device.SetRenderState(gfx::RenderState::kZWriteEnable, 1);
  device.SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  device.SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  device.EndScene();
}

}  // namespace

namespace frame {

gfx::RenderDevice* Device() { return Globals().device; }
gfx::Sprite** SpriteSlot() { return Globals().sprite; }
gfx::Sprite* SharedSprite() { return Globals().sprite ? *Globals().sprite : nullptr; }
int32_t RenderWidth() { return shell::BackBufferWidth; }
int32_t RenderHeight() { return shell::BackBufferHeight; }
float Aspect() {
  return RenderHeight() > 0 ? static_cast<float>(RenderWidth()) / static_cast<float>(RenderHeight()) : 1.0f;
}
bool Stereo() { return g_Settings.STEREOSCOPICMETHOD != 0; }
Camera* GetCamera(CameraId id) { return Globals().cameras ? Globals().cameras->Get(id) : nullptr; }

void PlaceEyeCamera(Camera& camera, int32_t stereoMethod, float x, float y, float z, float yaw, float pitch,
                    float roll, float separation, int32_t eye, float angleDegrees) {
  constexpr float kRadiansPerDegree = 0.017453292f;
  camera.position = glm::vec3(x, y, z);
  camera.yaw = yaw;
  camera.pitch = pitch;
  camera.roll = roll;
  camera.stereoScale = 1.0f;
  camera.stereoReserved = 0.0f;
  if (stereoMethod == 0) {
    camera.stereoAngle = 0.0f;
    return;
  }
  const float side = eye == 0 ? -1.0f : 1.0f;
  camera.position.x = x + side * separation;
  camera.stereoAngle = side * angleDegrees * kRadiansPerDegree;
}

void SetPerspective(float divisor, float farPlane, float aspect) {
  gfx::RenderDevice* device = Device();
  if (!device || divisor == 0.0f) return;
  device->SetTransform(gfx::TransformKind::kProjection,
                       gfx::Matrix::PerspectiveFovLH(kPi / divisor, aspect, 1.0f, farPlane));
}

void SetMenuCamera(int32_t eye) {
  Camera* camera = GetCamera(CameraId::kFreeLook);
  gfx::RenderDevice* device = Device();
  if (!camera || !device) return;
  camera->fovDivisor = 5.0f;
  PlaceEyeCamera(*camera, g_Settings.STEREOSCOPICMETHOD, 0.0f, 0.0f, -2220.0f, 0.0f, 0.0f, 0.0f,
                 g_Settings.cameraValue1, eye, g_Settings.cameraValue2);
  SetPerspective(5.0f, 10000.0f, Aspect());
  device->SetTransform(gfx::TransformKind::kView, camera->GetViewMatrix());
}

}  // namespace frame

void RenderFrame() {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  const int32_t method = g_Settings.STEREOSCOPICMETHOD;
  const bool stereo = method != 0;
  const int32_t width = frame::RenderWidth(), height = frame::RenderHeight();
  if (width < 1 || height < 1) return;
  if (stereo && !EnsureEyeImages(*device, width, height)) return;
  const shell::State state = shell::CurrentState();
  SceneContext* scene = CurrentSceneContext();
  const int32_t passes = stereo ? 2 : 1;
  for (int32_t i = 0; i < passes; ++i) {
    F().eye = i;
    if (scene) scene->eye = i;
    F().secondEye = false;
    if (stereo) {
      F().secondEye = i != 0;
      device->SetRenderTarget(F().eyeImages[size_t(i)].get());
    }
    device->BeginScene();
    gfx::Viewport viewport = device->GetViewport();
    viewport.x = 0;
    viewport.y = 0;
    viewport.width = width;
    viewport.height = height;
    device->SetViewport(viewport);
    DrawState(state, i);
    device->EndScene();
  }
  if (stereo) CombineEyes(*device, method);
  F().secondEye = false;
  F().eye = 0;
  if (scene) scene->eye = 0;
}

void SetupProjection() {
  gfx::RenderDevice* device = frame::Device();
  if (!device) return;
  using gfx::RenderState;
  using gfx::TextureStageState;
  device->SetRenderState(RenderState::kLighting, 1);
  device->SetRenderState(RenderState::kZEnable, 1);
  device->SetRenderState(RenderState::kZWriteEnable, 1);
  device->SetRenderState(RenderState::kZFunc, uint32_t(gfx::CompareFunc::kLessEqual));
  device->SetRenderState(RenderState::kCullMode, uint32_t(gfx::CullMode::kCounterClockwise));
  device->SetRenderState(RenderState::kAlphaBlendEnable, 1);
  device->SetRenderState(RenderState::kBlendOp, uint32_t(gfx::BlendOp::kAdd));
  device->SetRenderState(RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  device->SetRenderState(RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  device->SetRenderState(RenderState::kAlphaTestEnable, 1);
  device->SetRenderState(RenderState::kAlphaRef, 3);
  device->SetRenderState(RenderState::kAlphaFunc, uint32_t(gfx::CompareFunc::kGreaterEqual));

  device->SetTextureStageState(0, TextureStageState::kColorOp, uint32_t(gfx::TextureOp::kModulate));
  device->SetTextureStageState(0, TextureStageState::kColorArg1, uint32_t(gfx::TextureArg::kTexture));
  device->SetTextureStageState(0, TextureStageState::kColorArg2, uint32_t(gfx::TextureArg::kCurrent));
  device->SetTextureStageState(0, TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kModulate));
  device->SetTextureStageState(0, TextureStageState::kAlphaArg1, uint32_t(gfx::TextureArg::kTexture));
  device->SetTextureStageState(0, TextureStageState::kAlphaArg2, uint32_t(gfx::TextureArg::kDiffuse));
  device->SetTextureStageState(0, TextureStageState::kTexCoordIndex, 0);
  device->SetTextureStageState(1, TextureStageState::kColorOp, uint32_t(gfx::TextureOp::kSelectArg2));
  device->SetTextureStageState(1, TextureStageState::kColorArg2, uint32_t(gfx::TextureArg::kCurrent));
  device->SetTextureStageState(1, TextureStageState::kAlphaOp, uint32_t(gfx::TextureOp::kModulate));
  device->SetTextureStageState(1, TextureStageState::kAlphaArg1, uint32_t(gfx::TextureArg::kTexture));
  device->SetTextureStageState(1, TextureStageState::kAlphaArg2, uint32_t(gfx::TextureArg::kCurrent));
  device->SetTextureStageState(1, TextureStageState::kTexCoordIndex, 1);

  // The OpenGL device filters linearly with mipmaps at best; that stands in for
  // anisotropic minification.
  if (g_Settings.TEXTUREFILTERING) {
    device->SetSamplerState(0, gfx::SamplerState::kMinFilter, uint32_t(gfx::Filter::kLinear));
    device->SetSamplerState(0, gfx::SamplerState::kMagFilter, uint32_t(gfx::Filter::kLinear));
    device->SetSamplerState(0, gfx::SamplerState::kMipFilter, uint32_t(gfx::Filter::kLinear));
  }

  Camera* board = frame::GetCamera(CameraId::kBoard);
  const float divisor = board && board->fovDivisor != 0.0f ? board->fovDivisor : 5.0f;
  frame::SetPerspective(divisor, 5000.0f, frame::Aspect());

  SetFrameLights(*device, g_Settings.SPECULARHIGHLIGHTS);
}

bool SecondEyePass() { return F().secondEye; }
int32_t CurrentEye() { return F().eye; }

void SetOverlayFont(int index, gfx::SystemFont* font) {
  if (index >= 0 && index < 2) F().fonts[size_t(index)] = font;
}
gfx::SystemFont* OverlayFont(int index) { return index >= 0 && index < 2 ? F().fonts[size_t(index)] : nullptr; }

void OnFrameDeviceLost() {
  for (auto& image : F().eyeImages) image.reset();
}

void OnFrameDeviceDestroyed() {
  for (auto& image : F().eyeImages) image.reset();
  frame::RemakePlayPicture();
  frame::RemakeViewerModel();
}

void ReleaseFrameResources() {
  for (auto& image : F().eyeImages) image.reset();
  frame::ReleaseViewerModel();
}

}  // namespace graphics
