// The OpenGL back end draws each state with a program made for it; the general
// program that reads every state from the uniform block is the reference. Over a
// table of state combinations (stages, arguments, operations, alpha test, lighting,
// texture scroll, screen-space vertices) both draw the same scene on a headless
// context and a few probe points must agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfx_fixtures.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;
using gfx::RenderState;
using gfx::TextureArg;
using gfx::TextureOp;
using gfx::TextureStageState;
constexpr int kSize = 64;
constexpr uint32_t kClearColour = 0xFF2040A0;

// Position, normal, colour and two coordinate pairs: every input the shaders read.
struct FullVertex {
  float x, y, z, nx, ny, nz;
  uint32_t color;
  float u0, v0, u1, v1;
};
constexpr uint32_t kFullFormat = gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kDiffuse | gfx::fvf::kTex2;

struct Scene {
  gfx::RenderDevice& device;
  gfx::Texture* checker;  // four colours with four alphas
  gfx::Texture* stripes;  // two colours, opaque

  void Stage(int s, TextureOp colour, TextureArg c1, TextureArg c2, TextureOp alpha, TextureArg a1, TextureArg a2) {
    device.SetTextureStageState(s, TextureStageState::kColorOp, uint32_t(colour));
    device.SetTextureStageState(s, TextureStageState::kColorArg1, uint32_t(c1));
    device.SetTextureStageState(s, TextureStageState::kColorArg2, uint32_t(c2));
    device.SetTextureStageState(s, TextureStageState::kAlphaOp, uint32_t(alpha));
    device.SetTextureStageState(s, TextureStageState::kAlphaArg1, uint32_t(a1));
    device.SetTextureStageState(s, TextureStageState::kAlphaArg2, uint32_t(a2));
  }
  void AlphaTest(gfx::CompareFunc f, uint32_t ref) {
    device.SetRenderState(RenderState::kAlphaTestEnable, 1);
    device.SetRenderState(RenderState::kAlphaFunc, uint32_t(f));
    device.SetRenderState(RenderState::kAlphaRef, ref);
  }
  void Light() {
    gfx::Light light;
    light.type = gfx::LightType::kDirectional;
    light.direction = {0.3f, -0.2f, 1.0f};
    light.diffuse = {0.9f, 0.8f, 0.7f, 1.0f};
    light.ambient = {0.1f, 0.1f, 0.2f, 1.0f};
    device.SetLight(0, light);
    device.LightEnable(0, true);
    gfx::Material m;
    m.diffuse = {0.8f, 0.5f, 0.3f, 0.9f};
    m.ambient = {0.2f, 0.3f, 0.1f, 1.0f};
    m.emissive = {0.05f, 0.1f, 0.0f, 1.0f};
    device.SetMaterial(m);
    device.SetRenderState(RenderState::kLighting, 1);
    device.SetRenderState(RenderState::kAmbient, gfx::Argb(255, 60, 40, 90));
  }
};

struct Case {
  const char* name;
  std::function<void(Scene&)> setUp;
  bool screenSpace = false;
  bool drawsSomething = true;
};

const Case kCases[] = {
    {"vertex colour only, stages off",
     [](Scene& s) { s.Stage(0, TextureOp::kDisable, TextureArg::kTexture, TextureArg::kCurrent, TextureOp::kDisable,
                            TextureArg::kTexture, TextureArg::kCurrent); }},
    {"texture times diffuse, alpha from the texture",
     [](Scene& s) { s.Stage(0, TextureOp::kModulate, TextureArg::kTexture, TextureArg::kDiffuse, TextureOp::kSelectArg1,
                            TextureArg::kTexture, TextureArg::kCurrent); }},
    {"texture colour, diffuse alpha",
     [](Scene& s) { s.Stage(0, TextureOp::kSelectArg1, TextureArg::kTexture, TextureArg::kDiffuse, TextureOp::kSelectArg2,
                            TextureArg::kTexture, TextureArg::kDiffuse); }},
    {"texture plus factor, alpha modulated",
     [](Scene& s) {
       s.device.SetRenderState(RenderState::kTextureFactor, gfx::Argb(160, 40, 90, 10));
       s.Stage(0, TextureOp::kAdd, TextureArg::kTexture, TextureArg::kTFactor, TextureOp::kModulate,
               TextureArg::kTexture, TextureArg::kTFactor);
     }},
    {"doubled and quadrupled modulation",
     [](Scene& s) {
       s.device.SetTexture(1, s.stripes);
       s.Stage(0, TextureOp::kModulate2x, TextureArg::kTexture, TextureArg::kDiffuse, TextureOp::kModulate4x,
               TextureArg::kTexture, TextureArg::kDiffuse);
       s.Stage(1, TextureOp::kModulate4x, TextureArg::kCurrent, TextureArg::kTexture, TextureOp::kDisable,
               TextureArg::kTexture, TextureArg::kCurrent);
     }},
    {"two stages, the second on the second coordinates",
     [](Scene& s) {
       s.device.SetTexture(1, s.stripes);
       s.device.SetTextureStageState(1, TextureStageState::kTexCoordIndex, 1);
       s.Stage(0, TextureOp::kModulate, TextureArg::kTexture, TextureArg::kDiffuse, TextureOp::kSelectArg1,
               TextureArg::kDiffuse, TextureArg::kCurrent);
       s.Stage(1, TextureOp::kAdd, TextureArg::kCurrent, TextureArg::kTexture, TextureOp::kModulate,
               TextureArg::kCurrent, TextureArg::kTexture);
     }},
    {"a second stage without a texture reads white",
     [](Scene& s) {
       s.device.SetTexture(1, nullptr);
       s.Stage(1, TextureOp::kModulate, TextureArg::kCurrent, TextureArg::kTexture, TextureOp::kSelectArg2,
               TextureArg::kTexture, TextureArg::kCurrent);
     }},
    {"unknown operation and argument",
     [](Scene& s) {
       s.device.SetRenderState(RenderState::kTextureFactor, gfx::Argb(200, 10, 200, 90));
       s.device.SetTextureStageState(0, TextureStageState::kColorOp, 99);
       s.device.SetTextureStageState(0, TextureStageState::kColorArg1, 9);
       s.device.SetTextureStageState(0, TextureStageState::kAlphaOp, 0);
       s.device.SetTextureStageState(0, TextureStageState::kAlphaArg1, uint32_t(TextureArg::kTexture));
     }},
    {"alpha test keeps the upper alphas",
     [](Scene& s) { s.AlphaTest(gfx::CompareFunc::kGreater, 100); }},
    {"alpha test keeps an exact alpha",
     [](Scene& s) { s.AlphaTest(gfx::CompareFunc::kEqual, 64); }},
    {"alpha test keeps the lower alphas",
     [](Scene& s) { s.AlphaTest(gfx::CompareFunc::kLessEqual, 128); }},
    {"alpha test that lets nothing through", [](Scene& s) { s.AlphaTest(gfx::CompareFunc::kNever, 0); }, false,
     false},
    {"lit by the material",
     [](Scene& s) {
       s.Light();
       s.device.SetRenderState(RenderState::kColorVertex, 0);
     }},
    {"lit, diffuse and ambient from the vertex colour",
     [](Scene& s) {
       s.Light();
       s.device.SetRenderState(RenderState::kDiffuseMaterialSource, uint32_t(gfx::MaterialSource::kVertexColor));
       s.device.SetRenderState(RenderState::kAmbientMaterialSource, uint32_t(gfx::MaterialSource::kVertexColor));
       s.device.SetRenderState(RenderState::kEmissiveMaterialSource, uint32_t(gfx::MaterialSource::kMaterial));
     }},
    {"scrolled texture",
     [](Scene& s) {
       s.device.SetTextureStageState(0, TextureStageState::kTextureTransformFlags,
                                     uint32_t(gfx::TextureTransform::kCount2));
       gfx::Matrix scroll;
       scroll.at(3, 1) = 0.25f;
       scroll.at(3, 2) = 0.5f;
       s.device.SetTransform(gfx::TransformKind::kTexture0, scroll);
     }},
    {"screen-space vertices", [](Scene&) {}, true},
    {"screen-space vertices, stages off, alpha tested",
     [](Scene& s) {
       s.Stage(0, TextureOp::kDisable, TextureArg::kTexture, TextureArg::kCurrent, TextureOp::kDisable,
               TextureArg::kTexture, TextureArg::kCurrent);
       s.AlphaTest(gfx::CompareFunc::kGreaterEqual, 150);
     },
     true},
};

std::unique_ptr<gfx::Texture> MakeTexture(gfx::RenderDevice& device, int w, int h, const std::vector<uint32_t>& rgba) {
  gfx::ImageData image;
  image.width = w;
  image.height = h;
  for (uint32_t c : rgba)
    for (int s = 24; s >= 0; s -= 8) image.rgba.push_back(uint8_t(c >> s));
  return device.CreateTexture(image);
}

// The scene of one case drawn by a fresh device, read back.
gfx::ImageData Draw(gfx::RenderDevice& device, const Case& c) {
  device.BeginScene();
  auto checker = MakeTexture(device, 2, 2, {0xFF000040u, 0x00FF0080u, 0x0000FFC0u, 0xFFFFFFFFu});
  auto stripes = MakeTexture(device, 2, 1, {0x4080C0FFu, 0xC06020FFu});
  device.SetTransform(gfx::TransformKind::kProjection, gfx::Matrix::OrthoOffCenterLH(-1, 1, -1, 1, 0, 1));
  device.SetRenderState(RenderState::kCullMode, uint32_t(gfx::CullMode::kNone));
  device.SetRenderState(RenderState::kLighting, 0);
  device.SetRenderState(RenderState::kAlphaBlendEnable, 1);
  device.SetRenderState(RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
  device.SetRenderState(RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
  device.SetTexture(0, checker.get());
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, kClearColour, 1.0f, 0);
  Scene scene{device, checker.get(), stripes.get()};
  c.setUp(scene);
  const uint32_t corners[4] = {0xC0FF4020u, 0x8020FF40u, 0xFF4020FFu, 0x60FFFF80u};
  if (c.screenSpace) {
    const float e = float(kSize);
    const gfx::VertexScreenColorTex v[4] = {{0, e, 0.5f, 1, corners[0], 0, 1},
                                            {0, 0, 0.5f, 1, corners[1], 0, 0},
                                            {e, e, 0.5f, 1, corners[2], 1, 1},
                                            {e, 0, 0.5f, 1, corners[3], 1, 0}};
    device.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    device.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
  } else {
    // A slanted normal per corner, so that lighting varies across the square.
    const FullVertex v[4] = {{-1, -1, 0.5f, -0.4f, -0.3f, -1, corners[0], 0, 1, 1, 0},
                             {-1, 1, 0.5f, -0.2f, 0.4f, -1, corners[1], 0, 0, 0, 0},
                             {1, -1, 0.5f, 0.5f, -0.1f, -1, corners[2], 1, 1, 1, 1},
                             {1, 1, 0.5f, 0.1f, 0.3f, -1, corners[3], 1, 0, 0, 1}};
    device.SetFVF(kFullFormat);
    device.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
  }
  gfx::ImageData img;
  EXPECT_TRUE(device.ReadPixels(img)) << c.name;
  device.EndScene();
  return img;
}

TEST(GlProgramTest, ProgramsMadeForTheStateDrawWhatTheGeneralProgramDraws) {
  gfxtest::GlContext context(kSize, kSize);
  if (!context.Ok()) GTEST_SKIP() << "no OpenGL context could be made: " << context.Error();
  // Inside every quarter of the 2 x 2 texture, and at the middle and near the corners,
  // where the vertex colours and normals differ most.
  const int probes[][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}, {32, 32}, {3, 3}, {60, 60}, {5, 58}};
  for (const Case& c : kCases) {
    auto general = gfx::CreateGlRenderDeviceGeneral(kSize, kSize);
    const gfx::ImageData want = Draw(*general, c);
    general.reset();
    auto specialised = gfx::CreateGlRenderDevice(kSize, kSize);
    const gfx::ImageData got = Draw(*specialised, c);
    specialised.reset();
    ASSERT_EQ(want.rgba.size(), size_t(kSize) * kSize * 4) << c.name;
    ASSERT_EQ(got.rgba.size(), want.rgba.size()) << c.name;
    int drawn = 0;
    for (const auto& p : probes) {
      const size_t at = (size_t(p[1]) * kSize + size_t(p[0])) * 4;
      for (int ch = 0; ch < 3; ++ch)
        EXPECT_NEAR(got.rgba[at + ch], want.rgba[at + ch], 2)
            << c.name << ": channel " << ch << " at " << p[0] << "," << p[1];
      const uint32_t clearRgb[3] = {(kClearColour >> 16) & 0xFF, (kClearColour >> 8) & 0xFF, kClearColour & 0xFF};
      for (int ch = 0; ch < 3; ++ch)
        if (std::abs(int(want.rgba[at + ch]) - int(clearRgb[ch])) > 3) {
          ++drawn;
          break;
        }
    }
    // The reference itself must show the case: a scene that drew nothing would
    // agree with any program.
    if (c.drawsSomething) EXPECT_GT(drawn, 0) << c.name << ": the general program drew nothing";
    else EXPECT_EQ(drawn, 0) << c.name << ": something passed an alpha test that lets nothing through";
  }
}

}  // namespace
