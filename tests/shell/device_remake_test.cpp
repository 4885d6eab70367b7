// A device made again (another multisampling) on the SDL back end with a real
// OpenGL context: the drawing interface and every texture it made go on into the new
// context, so the pointers the game holds stay valid and draw what they drew before.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gfx/framework.h"
#include "platform/gfx/render_device.h"

using namespace platform::gfx;

namespace {

struct ScreenVertex {
  float x, y, z, rhw, u, v;
};

// Draws the texture over the whole back buffer, unlit and unblended; a second-stage
// texture (a mask) only scales the alpha.
void DrawFullScreen(RenderDevice& d, const Texture* texture, int w, int h, const Texture* mask = nullptr) {
  d.SetRenderTarget(nullptr);
  d.SetRenderState(RenderState::kLighting, 0);
  d.SetRenderState(RenderState::kZEnable, 0);
  d.SetRenderState(RenderState::kCullMode, uint32_t(CullMode::kNone));
  d.SetRenderState(RenderState::kAlphaBlendEnable, 0);
  d.SetRenderState(RenderState::kAlphaTestEnable, 0);
  d.SetTextureStageState(0, TextureStageState::kColorOp, uint32_t(TextureOp::kSelectArg1));
  d.SetTextureStageState(0, TextureStageState::kColorArg1, uint32_t(TextureArg::kTexture));
  d.SetTextureStageState(0, TextureStageState::kAlphaOp, uint32_t(TextureOp::kSelectArg1));
  d.SetTextureStageState(0, TextureStageState::kAlphaArg1, uint32_t(TextureArg::kTexture));
  d.SetTextureStageState(1, TextureStageState::kColorOp, uint32_t(TextureOp::kSelectArg2));
  d.SetTextureStageState(1, TextureStageState::kColorArg2, uint32_t(TextureArg::kCurrent));
  d.SetTextureStageState(1, TextureStageState::kAlphaOp, uint32_t(TextureOp::kModulate));
  d.SetTextureStageState(1, TextureStageState::kAlphaArg1, uint32_t(TextureArg::kTexture));
  d.SetTextureStageState(1, TextureStageState::kAlphaArg2, uint32_t(TextureArg::kCurrent));
  d.SetTextureStageState(1, TextureStageState::kTexCoordIndex, 0);
  d.SetTexture(0, texture);
  d.SetTexture(1, mask);
  const float fw = float(w), fh = float(h);
  const ScreenVertex quad[4] = {{0, 0, 0.5f, 1, 0, 0}, {fw, 0, 0.5f, 1, 1, 0}, {0, fh, 0.5f, 1, 0, 1},
                                {fw, fh, 0.5f, 1, 1, 1}};
  d.SetFVF(fvf::kXyzRhw | fvf::kTex1);
  d.BeginScene();
  d.Clear(clear::kTarget | clear::kZBuffer, 0xFF000000u, 1.0f, 0);
  d.DrawPrimitiveUP(PrimitiveType::kTriangleStrip, 2, quad, sizeof(ScreenVertex));
  d.EndScene();
}

struct Rgb {
  int r, g, b;
};

Rgb PixelAt(RenderDevice& d, int x, int y) {
  ImageData image;
  if (!d.ReadPixels(image) || x >= image.width || y >= image.height) return Rgb{-1, -1, -1};
  const size_t i = (size_t(y) * size_t(image.width) + size_t(x)) * 4;
  return Rgb{image.rgba[i], image.rgba[i + 1], image.rgba[i + 2]};
}

bool Near(Rgb got, Rgb want) {
  return std::abs(got.r - want.r) <= 8 && std::abs(got.g - want.g) <= 8 && std::abs(got.b - want.b) <= 8;
}

// Left half one colour, right half another: a texture that lost its pixels or its
// orientation shows neither.
ImageData TwoColourImage(int w, int h) {
  ImageData image;
  image.width = w;
  image.height = h;
  image.rgba.resize(size_t(w) * size_t(h) * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &image.rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
      const bool left = x < w / 2;
      p[0] = left ? 200 : 20;
      p[1] = left ? 40 : 180;
      p[2] = y < h / 2 ? 30 : 220;
      p[3] = 255;
    }
  return image;
}

void CheckRemake() {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LP_NUM_THREADS", "0", 1);
  std::unique_ptr<Framework> fw = CreateSdlFramework();
  int destroyed = 0, created = 0;
  FrameworkCallbacks cb;
  cb.deviceCreated = [&](Device&, const BackBufferDesc&) { ++created; };
  cb.deviceDestroyed = [&] { ++destroyed; };
  fw->SetCallbacks(cb);
  ASSERT_TRUE(fw->CreateWindow(u"remake", kWindowStyleCaption, ""));
  constexpr int kW = 64, kH = 48;
  ASSERT_TRUE(fw->CreateDevice(true, kW, kH));
  RenderDevice* render = &fw->GetDevice()->Render();
  ASSERT_EQ(render->Kind(), BackEnd::kOpenGL);

  // One texture drawn before the change (uploaded), one made but never drawn (its
  // pixels still wait), one render texture drawn into.
  std::unique_ptr<Texture> drawn = render->CreateTexture(TwoColourImage(16, 16));
  std::unique_ptr<Texture> waiting = render->CreateTexture(TwoColourImage(8, 8));
  std::unique_ptr<Texture> target = render->CreateRenderTexture(kW, kH);
  ImageData blue;
  blue.width = blue.height = 4;
  blue.rgba.assign(4 * 4 * 4, 0);
  for (size_t i = 0; i < blue.rgba.size(); i += 4) blue.rgba[i + 2] = blue.rgba[i + 3] = 255;
  std::unique_ptr<Texture> mask = render->CreateTexture(blue);
  ASSERT_TRUE(drawn && waiting && target && mask);
  DrawFullScreen(*render, mask.get(), kW, kH);
  DrawFullScreen(*render, drawn.get(), kW, kH);
  const Rgb leftTop{200, 40, 30}, rightBottom{20, 180, 220};
  EXPECT_TRUE(Near(PixelAt(*render, 4, 4), leftTop));
  EXPECT_NE(drawn->GlName(), 0u);
  EXPECT_EQ(waiting->GlName(), 0u);
  render->SetRenderTarget(target.get());
  render->Clear(clear::kTarget, 0xFF3060C0u, 1.0f, 0);
  render->SetRenderTarget(nullptr);

  DeviceSettings s = fw->GetDeviceSettings();
  s.multisampleSamples = 1;  // another multisampling: the device is destroyed and made again
  ASSERT_TRUE(fw->ChangeDevice(s));
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(created, 2);
  ASSERT_NE(fw->GetDevice(), nullptr);
  EXPECT_EQ(&fw->GetDevice()->Render(), render) << "the drawing interface is the one the game holds";
  // The old context's names are gone from every texture: none is bound by mistake.
  EXPECT_EQ(drawn->GlName(), 0u);
  EXPECT_EQ(target->GlName(), 0u);
  EXPECT_FALSE(drawn->Uploaded());

  // Each one draws its own pixels again from the new context, the first with the
  // mask uploading in the same draw on the second stage (the colour stays the first
  // stage's).
  for (const Texture* t : {drawn.get(), waiting.get()}) {
    DrawFullScreen(*render, t, kW, kH, t == drawn.get() ? mask.get() : nullptr);
    EXPECT_TRUE(Near(PixelAt(*render, 4, 4), leftTop));
    const Rgb br = PixelAt(*render, kW - 4, kH - 4);
    EXPECT_TRUE(Near(br, rightBottom)) << br.r << "," << br.g << "," << br.b;
    EXPECT_NE(t->GlName(), 0u);
  }
  DrawFullScreen(*render, target.get(), kW, kH);
  const Rgb filled = PixelAt(*render, kW / 2, kH / 2);
  EXPECT_TRUE(Near(filled, Rgb{0x30, 0x60, 0xC0})) << filled.r << "," << filled.g << "," << filled.b;
  // The render texture is still a target.
  render->SetRenderTarget(target.get());
  render->Clear(clear::kTarget, 0xFF10E010u, 1.0f, 0);
  EXPECT_TRUE(Near(PixelAt(*render, 3, 3), Rgb{0x10, 0xE0, 0x10}));
  render->SetRenderTarget(nullptr);

  drawn.reset();
  waiting.reset();
  mask.reset();
  target.reset();
  fw->Shutdown();
}

}  // namespace

// In a child process of its own, as the other real-context tests: the driver keeps
// allocations past its unloading.
TEST(FrameworkSdl, ADeviceMadeAgainKeepsTheDrawingInterfaceAndItsTextures) {
  EXPECT_EXIT(
      {
        CheckRemake();
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}
