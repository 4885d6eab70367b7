// The window procedure and the device callbacks of the framework.
#include <array>
#include <cmath>
#include <memory>

#include "core/log.h"
#include "core/menu_ids.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "platform/clock.h"
#include "platform/text.h"

namespace shell {

using namespace internal;
using namespace platform::gfx;

namespace internal {
uint32_t g_lastMouseMoveTime = 0;
int g_quickMouseMoves = 0;
bool g_cursorHidden = false;
}  // namespace internal

namespace {

constexpr float kTwoPi = 6.28318530718f;

std::unique_ptr<DeviceObject> g_sprite;
std::array<std::unique_ptr<DeviceObject>, 2> g_fonts;
std::array<std::unique_ptr<RenderSurface>, 2> g_stereoTargets;
std::array<std::unique_ptr<RenderSurface>, 2> g_stereoTextures;
Device* g_device = nullptr;

float WrapAngle(float a) {
  if (a > kTwoPi) a -= kTwoPi;
  if (a < 0.0f) a += kTwoPi;
  return a;
}

void Move(Vec3& p, const Vec3& dir, float amount) {
  p.x += dir.x * amount;
  p.y += dir.y * amount;
  p.z += dir.z * amount;
}

void HandleViewKey(uint32_t vk) {
  FreeLookCamera* cam = Query(g_services.graphics.freeLookCamera, "Graphics: free-look camera", static_cast<FreeLookCamera*>(nullptr));
  NoteViewTurn* model = Query(g_services.graphics.noteViewModel, "Graphics: note-view model", static_cast<NoteViewTurn*>(nullptr));
  switch (vk) {
    case VK_PRIOR: if (cam) cam->pitch = WrapAngle(cam->pitch + 0.04f); break;
    case VK_NEXT: if (cam) cam->pitch = WrapAngle(cam->pitch - 0.04f); break;
    case VK_NUMPAD6: if (cam) cam->yaw = WrapAngle(cam->yaw + 0.04f); break;
    case VK_NUMPAD4: if (cam) cam->yaw = WrapAngle(cam->yaw - 0.04f); break;
    case VK_HOME: if (cam) Move(cam->position, cam->up, 8.0f); break;
    case VK_END: if (cam) Move(cam->position, cam->up, -8.0f); break;
    case VK_NUMPAD8: if (cam) Move(cam->position, cam->look, 8.0f); break;
    case VK_NUMPAD2: if (cam) Move(cam->position, cam->look, -8.0f); break;
    case VK_NUMPAD9: if (cam) Move(cam->position, cam->right, 8.0f); break;
    case VK_NUMPAD7: if (cam) Move(cam->position, cam->right, -8.0f); break;
    case VK_LEFT: if (model) model->angle1 += 0.1f; break;
    case VK_RIGHT: if (model) model->angle1 -= 0.1f; break;
    case VK_UP: if (model) model->angle2 += 0.1f; break;
    case VK_DOWN: if (model) model->angle2 -= 0.1f; break;
    default: break;
  }
}

void HandleDebugKey(uint32_t vk) {
  switch (vk) {
    case VK_PRIOR: case VK_NEXT: case VK_NUMPAD6: case VK_NUMPAD4: case VK_HOME: case VK_END:
    case VK_NUMPAD9: case VK_NUMPAD7: case VK_NUMPAD8: case VK_NUMPAD2: {
      BoardCamera* c = Query(g_services.graphics.boardCamera, "Graphics: board camera", static_cast<BoardCamera*>(nullptr));
      if (!c) return;
      if (vk == VK_PRIOR) c->pitch += 0.04f;
      else if (vk == VK_NEXT) c->pitch -= 0.04f;
      else if (vk == VK_NUMPAD6) c->yaw += 0.04f;
      else if (vk == VK_NUMPAD4) c->yaw -= 0.04f;
      else if (vk == VK_HOME) c->height += 5.0f;
      else if (vk == VK_END) c->height -= 5.0f;
      else if (vk == VK_NUMPAD9) c->x += 5.0f;
      else if (vk == VK_NUMPAD7) c->x -= 5.0f;
      else if (vk == VK_NUMPAD8) c->z += 5.0f;
      else c->z -= 5.0f;
      return;
    }
    case VK_ADD:
    case VK_SUBTRACT: {
      if (!g_made.sceneContext.load()) return;
      float* scale = Query(g_services.graphics.sceneScale, "Graphics: SceneContext scale", static_cast<float*>(nullptr));
      if (scale) *scale += vk == VK_ADD ? 0.01f : -0.01f;
      return;
    }
    case VK_F8:
      Invoke(g_services.menus.pushAchievement, "Menu screens: AchievementBox::Push", 0,
             std::u16string(u"Test Achievement"), std::u16string(u"A test of the achievement pop-up"));
      return;
    case VK_F9:
      Invoke(g_services.menus.pushAchievement, "Menu screens: AchievementBox::Push", 1,
             std::u16string(u"Second Test Achievement"), std::u16string(u"Another test of the pop-up"));
      return;
    case VK_F10:
      if (g_device) g_device->SetFillMode(FillMode::kSolid);
      return;
    case VK_F11:
      if (g_device) g_device->SetFillMode(FillMode::kWireframe);
      return;
    case VK_F12:
      if (g_made.menuManager.load())
        Invoke(g_services.menus.loadMenuThemes, "Menu screens: LoadMenuThemes", g_Settings.themeFolder);
      Invoke(g_services.graphics.reloadReactiveBackground, "Graphics: ReactiveBackground::Reload");
      return;
    default:
      return;
  }
}

bool ClientConnected() {
  return g_services.net.isConnected ? g_services.net.isConnected() : false;
}

}  // namespace

intptr_t MsgProc(WindowHandle, uint32_t msg, uintptr_t wParam, intptr_t, bool* noFurtherProcessing) {
  bool handled = false;
  switch (msg) {
    case WM_DEVICECHANGE:
      if (wParam == DBT_DEVNODES_CHANGED) {
        platform::SleepMs(100);
        if (g_made.ctrlMain.load()) Invoke(g_services.devices.deviceChange, "Devices: CtrlDevice::DeviceChange");
        NoteDeviceChange();
        handled = true;
      }
      break;
    case WM_APP + 1:
      Invoke(g_services.graphics.videoEvent, "Graphics: VideoTexture::Play");
      if (g_made.menuManager.load()) Invoke(g_services.menus.controlAllVideos, "Menu screens: ControlAllVideos",
                                             static_cast<int>(menu::VideoCommand::kHandleEvents));
      break;
    case WM_MOUSEMOVE: {
      const uint32_t now = platform::TimeGetTime();
      if (now - g_lastMouseMoveTime > 1000) g_quickMouseMoves = 0;
      else ++g_quickMouseMoves;
      g_lastMouseMoveTime = now;
      if (g_Settings.WINDOWED && g_cursorHidden && g_quickMouseMoves >= 4) {
        if (g_framework) g_framework->ShowCursor(true);
        g_cursorHidden = false;
      }
      break;
    }
    case WM_ACTIVATEAPP:
      if (wParam) {
        WindowActive.store(true);
        if (g_Settings.XINPUT) Invoke(g_services.devices.xinputEnable, "Devices: XInputEnable", true);
      } else {
        WindowActive.store(false);
        // An online song never pauses for focus.
        if (!ClientConnected() && CurrentState() == State::kPlaying &&
            Query(g_services.gameplay.hasLevelPlayers, "Gameplay: level players", false))
          Invoke(g_services.gameplay.requestPause, "Gameplay: Player::RequestPause");
        if (g_Settings.XINPUT) Invoke(g_services.devices.xinputEnable, "Devices: XInputEnable", false);
      }
      break;
    case WM_SYSKEYDOWN:
      if (wParam == VK_RETURN) {
        handled = true;
        ToggleFullscreen();
        if (g_made.ctrlMain.load()) Invoke(g_services.devices.clearAllEvents, "Devices: CtrlMain::ClearAllEvents");
      } else if (wParam == VK_MENU) {
        handled = true;  // the window menu never opens from the keyboard
      }
      break;
    case WM_KEYDOWN: {
      const uint32_t vk = static_cast<uint32_t>(wParam);
      Invoke(g_services.devices.textEntryOnKey, "Devices: TextEntry::OnKey", vk);
      const State state = CurrentState();
      if (state == State::kNoteModelView || state == State::kStageView) HandleViewKey(vk);
      else if (g_Settings.DEBUGMODE) HandleDebugKey(vk);
      handled = true;
      break;
    }
    default:
      break;
  }
  if (handled && noFurtherProcessing) *noFurtherProcessing = true;
  return 0;
}

bool ModifyDeviceSettings(DeviceSettings& s) {
  const int displays = g_framework ? g_framework->DisplayCount() : 0;
  int adapter = g_Settings.DISPLAYADAPTOR;
  if (adapter < 0 || (displays > 0 && adapter >= displays)) {
    Log(0, u"Display Adaptor " + platform::FormatIntW(adapter) + u" Not Found, Using Display Adaptor 0");
    adapter = 0;
  }
  s.adapter = adapter;
  DisplayMode mode;
  if (!g_framework || !g_framework->GetDisplayMode(adapter, mode)) {
    Log(0, u"ERROR:Could not get Present Parameters");
    return false;
  }
  const DeviceCaps caps = g_framework->GetDeviceCaps(adapter);
  // The mode asked for, with the framework's command-line flags already applied.
  s.refreshRate = s.windowed ? 0 : mode.refreshRate;
  s.presentInterval = g_Settings.VSYNC ? PresentInterval::kOne : PresentInterval::kImmediate;
  s.backBufferCount = g_Settings.TRIPLEBUFFER ? 2 : 1;
  Log(0, u"ModifyDeviceSettings() REZ = " + platform::FormatIntW(s.width) + u"x" + platform::FormatIntW(s.height));

  const int aa = g_Settings.ANTIALIASING;
  const int samples = (aa == 2 || aa == 4 || aa == 8) ? aa : 0;
  int levels = 0;
  if (g_framework->CheckMultiSample(adapter, samples, &levels)) {
    s.multisampleSamples = samples;
    s.multisampleQuality = levels > 0 ? levels - 1 : 0;
  }

  const bool software = !caps.hardwareTransformAndLight ||
                        caps.vertexShaderMajor * 10 + caps.vertexShaderMinor < 11 || caps.maxVertexBlendMatrices < 2;
  if (software)
    s.behaviorFlags = (s.behaviorFlags & ~(kHardwareVertexProcessing | kMixedVertexProcessing)) |
                      kSoftwareVertexProcessing;
  if (s.behaviorFlags & kHardwareVertexProcessing)
    s.behaviorFlags = (s.behaviorFlags & ~kHardwareVertexProcessing) | kMixedVertexProcessing | kMultithreaded;
  return true;
}

void OnCreateDevice(Device& device, const BackBufferDesc&) {
  g_device = &device;
  // A device made again comes with a window made again.
  *MainWindowHandle() = g_framework ? g_framework->GetWindow() : nullptr;
  if (g_services.graphics.createSprite) {
    g_sprite = g_services.graphics.createSprite(device);
    Log(0, g_sprite ? u"Sprites Loaded" : u"ERROR:Sprite Load Failed");
  } else {
    ReportMissing("Graphics: sprite");
  }
  if (g_services.graphics.createFont) {
    g_fonts[0] = g_services.graphics.createFont(device, 18, 700, u"Arial");
    g_fonts[1] = g_services.graphics.createFont(device, 22, 700, u"Arial");
  } else {
    ReportMissing("Graphics: overlay fonts");
  }
}

void OnResetDevice(Device& device, const BackBufferDesc& desc) {
  g_device = &device;
  // The renderers draw at the size the device really has, which the command line,
  // the display or the window manager may have set apart from the settings.
  if (desc.width > 0 && desc.height > 0) {
    BackBufferWidth = desc.width;
    BackBufferHeight = desc.height;
    g_Settings.renderWidth = desc.width;
    g_Settings.renderHeight = desc.height;
  }
  Invoke(g_services.graphics.setupStageLight, "Graphics: Stage::SetupLight");
  if (g_sprite) g_sprite->OnResetDevice();
  for (auto& f : g_fonts)
    if (f) f->OnResetDevice();
  Invoke(g_services.graphics.videosDeviceReset, "Graphics: VideoTexture::Reset");
  if (g_made.menuManager.load()) Invoke(g_services.menus.controlAllVideos, "Menu screens: ControlAllVideos",
                                             static_cast<int>(menu::VideoCommand::kDeviceReset));
  for (int i = 0; i < 2; ++i) {
    g_stereoTargets[i] = device.CreateRenderTarget(desc.width, desc.height, desc.multisampleSamples);
    g_stereoTextures[i] = device.CreateRenderTexture(desc.width, desc.height);
  }
  Invoke(g_services.graphics.setupProjection, "Graphics: SetupProjection");
}

void OnLostDevice() {
  if (g_sprite) g_sprite->OnLostDevice();
  for (auto& f : g_fonts)
    if (f) f->OnLostDevice();
  Invoke(g_services.graphics.videosDeviceLost, "Graphics: video device lost");
  if (g_made.menuManager.load()) Invoke(g_services.menus.controlAllVideos, "Menu screens: ControlAllVideos",
                                             static_cast<int>(menu::VideoCommand::kDeviceLost));
  for (auto& t : g_stereoTargets) t.reset();
  for (auto& t : g_stereoTextures) t.reset();
}

void OnDestroyDevice() { internal::ReleaseDeviceObjects(); }

namespace internal {
void ReleaseDeviceObjects() {
  for (auto& f : g_fonts) f.reset();
  g_sprite.reset();
  for (auto& t : g_stereoTargets) t.reset();
  for (auto& t : g_stereoTextures) t.reset();
  g_device = nullptr;
}
}  // namespace internal

DeviceObject* SharedSprite() { return g_sprite.get(); }
DeviceObject* OverlayFont(int index) { return index >= 0 && index < 2 ? g_fonts[index].get() : nullptr; }
RenderSurface* StereoRenderTarget(int index) { return index >= 0 && index < 2 ? g_stereoTargets[index].get() : nullptr; }
RenderSurface* StereoRenderTexture(int index) {
  return index >= 0 && index < 2 ? g_stereoTextures[index].get() : nullptr;
}
uint32_t BackBufferRenderTarget() { return g_device ? g_device->BackBufferFramebuffer() : 0; }

}  // namespace shell
