// A screen of 2,000 glyph quads in mixed states (four glyph textures, two materials,
// blending switched every 100 glyphs, a texture scroll on every tenth). Reports the
// drawing layer's own CPU time per frame (state caching, uniform and vertex packing,
// with the GL calls going to a counting stub) beside the Null back end's, and, when an
// OpenGL context can be made, the time with the real driver (glFinish each frame).
// Then a held screen of sprites whose draws join, against the same picture in draws
// that cannot join.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "graphics/image.h"
#include "platform/gfx/gl_functions.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;

// A hidden 1280x720 window with an OpenGL 3.3 core context for the driver benchmarks
// (offscreen unless SDL_VIDEODRIVER names another driver); skips the benchmark when
// none can be made.
class GlWindow {
 public:
  bool Open(benchmark::State& state) {
    if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      state.SkipWithError("no video driver for an OpenGL context");
      return false;
    }
    video_ = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    window_ = SDL_CreateWindow("bench", 0, 0, 1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    context_ = window_ ? SDL_GL_CreateContext(window_) : nullptr;
    if (!context_) state.SkipWithError("no OpenGL 3.3 context");
    return context_ != nullptr;
  }
  ~GlWindow() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

 private:
  bool video_ = false;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

constexpr int kGlyphs = 2000;

struct Scene {
  explicit Scene(gfx::RenderDevice* device) : quad(device) {
    quad.Create();
    for (int i = 0; i < 4; ++i) {
      gfx::ImageData img;
      img.width = 16 + 4 * i;
      img.height = 32;
      img.rgba.assign(size_t(img.width) * img.height * 4, uint8_t(40 * i + 60));
      textures.push_back(device->CreateTexture(img));
    }
    glyphs.resize(4);
    for (int i = 0; i < 4; ++i) {
      glyphs[i].texture = textures[i].get();
      glyphs[i].width = textures[i]->Width();
      glyphs[i].height = 32;
      glyphs[i].ResetMaterial();
    }
    plain.diffuse = {1, 1, 1, 1};
    highlight.diffuse = {1, 0.5f, 0, 1};
  }

  void Frame(gfx::RenderDevice& device) {
    device.BeginScene();
    device.SetRenderState(gfx::RenderState::kLighting, 1);
    device.SetRenderState(gfx::RenderState::kAlphaTestEnable, 1);
    device.SetRenderState(gfx::RenderState::kAlphaRef, 8);
    device.SetRenderState(gfx::RenderState::kAlphaFunc, uint32_t(gfx::CompareFunc::kGreaterEqual));
    quad.BindForDraw(&plain);
    for (int i = 0; i < kGlyphs; ++i) {
      if (i % 100 == 0) device.SetRenderState(gfx::RenderState::kAlphaBlendEnable, (i / 100) % 2);
      device.SetMaterial((i % 7) == 0 ? highlight : plain);
      graphics::Image& glyph = glyphs[size_t(i % 4)];
      glyph.transform.position = {float(i % 80) * 16.0f - 640.0f, float(i / 80) * 28.0f - 350.0f, 0.0f};
      glyph.transform.textureOffset.x = (i % 10) == 0 ? 0.5f : 0.0f;
      quad.Render3D(glyph, true, 12.0f);
    }
    device.EndScene();
  }

  graphics::Quad quad;
  std::vector<std::unique_ptr<gfx::Texture>> textures;
  std::vector<graphics::Image> glyphs;
  gfx::Material plain, highlight;
};

double MsPerFrame(gfx::RenderDevice& device, Scene& scene, int frames, bool finish) {
  auto start = std::chrono::steady_clock::now();
  for (int f = 0; f < frames; ++f) {
    scene.Frame(device);
    if (finish) glFinish();
  }
  std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  return took.count() / frames;
}

void BM_GlyphScreen(benchmark::State& state) {
  auto layer = gfx::CreateGlRenderDeviceOverStub(1280, 720);
  auto null = gfx::CreateNullRenderDevice(1280, 720);
  Scene layerScene(layer.get()), nullScene(null.get());
  double layerMs = 0, nullMs = 0;
  uint64_t calls0 = gfx::StubGlCallCount();
  int64_t frames = 0;
  for (auto _ : state) {
    layerMs += MsPerFrame(*layer, layerScene, 1, false);
    nullMs += MsPerFrame(*null, nullScene, 1, false);
    ++frames;
  }
  state.counters["layer_ms_per_frame"] = layerMs / double(frames);
  state.counters["null_ms_per_frame"] = nullMs / double(frames);
  state.counters["layer_over_null"] = nullMs > 0 ? layerMs / nullMs : 0;
  state.counters["gl_calls_per_frame"] = double(gfx::StubGlCallCount() - calls0) / double(frames);
}
BENCHMARK(BM_GlyphScreen)->Unit(benchmark::kMillisecond);

void BM_GlyphScreenDriver(benchmark::State& state) {
  GlWindow gl3;
  if (!gl3.Open(state)) return;
  {
    auto gl = gfx::CreateGlRenderDevice(1280, 720);
    auto null = gfx::CreateNullRenderDevice(1280, 720);
    Scene glScene(gl.get()), nullScene(null.get());
    double glMs = 0, nullMs = 0;
    int64_t frames = 0;
    for (auto _ : state) {
      glMs += MsPerFrame(*gl, glScene, 1, true);
      nullMs += MsPerFrame(*null, nullScene, 1, false);
      ++frames;
    }
    state.counters["driver_ms_per_frame"] = glMs / double(frames);
    state.counters["null_ms_per_frame"] = nullMs / double(frames);
    state.counters["driver_over_null"] = nullMs > 0 ? glMs / nullMs : 0;
  }
}
BENCHMARK(BM_GlyphScreenDriver)->Unit(benchmark::kMillisecond)->Iterations(20);

// A menu's text as sprites: 2,000 screen-space quads in runs of 50 on one of four
// glyph pictures, in a held frame. Runs under one state go to GL as single draws.
// The reference, in the same run, is the same picture with every sprite on the other
// of two copies of its picture than the sprite before, so that no two draws join.
struct SpriteScreen {
  explicit SpriteScreen(gfx::RenderDevice& device) {
    for (int i = 0; i < 8; ++i) {
      gfx::ImageData img;
      img.width = img.height = 16;
      img.rgba.assign(16 * 16 * 4, uint8_t(50 * (i / 2) + 40));
      textures.push_back(device.CreateTexture(img));
    }
  }
  void Frame(gfx::RenderDevice& device, bool joinable) {
    device.BeginFrameRecording();
    device.BeginScene();
    device.SetRenderState(gfx::RenderState::kLighting, 0);
    device.SetRenderState(gfx::RenderState::kZEnable, 0);
    device.SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
    device.SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
    device.SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
    device.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    for (int i = 0; i < kGlyphs; ++i) {
      const size_t picture = size_t(i / 50 % 4) * 2 + (joinable ? 0 : size_t(i % 2));
      device.SetTexture(0, textures[picture].get());
      const float x = float(i % 80) * 16.0f, y = float(i / 80) * 28.0f;
      const gfx::VertexScreenColorTex v[4] = {{x, y, 0, 1, 0xC0FFFFFF, 0, 0},
                                              {x + 12, y, 0, 1, 0xC0FFFFFF, 1, 0},
                                              {x, y + 24, 0, 1, 0xC0FFFFFF, 0, 1},
                                              {x + 12, y + 24, 0, 1, 0xC0FFFFFF, 1, 1}};
      device.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
    }
    device.EndScene();
    device.EndFrameRecording(true);
  }
  std::vector<std::unique_ptr<gfx::Texture>> textures;
};

double SpriteMs(gfx::RenderDevice& device, SpriteScreen& scene, bool joinable, bool finish) {
  auto start = std::chrono::steady_clock::now();
  scene.Frame(device, joinable);
  if (finish) glFinish();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BM_HeldSpriteRuns(benchmark::State& state) {
  auto layer = gfx::CreateGlRenderDeviceOverStub(1280, 720);
  SpriteScreen scene(*layer);
  double joinedMs = 0, apartMs = 0;
  int64_t frames = 0;
  uint32_t joinedDraws = 0, apartDraws = 0;
  for (auto _ : state) {
    joinedMs += SpriteMs(*layer, scene, true, false);
    joinedDraws = layer->LastFrameSendStats().sentDraws;
    apartMs += SpriteMs(*layer, scene, false, false);
    apartDraws = layer->LastFrameSendStats().sentDraws;
    ++frames;
  }
  state.counters["joined_ms_per_frame"] = joinedMs / double(frames);
  state.counters["apart_ms_per_frame"] = apartMs / double(frames);
  state.counters["joined_over_apart"] = apartMs > 0 ? joinedMs / apartMs : 0;
  state.counters["gl_draws_joined"] = double(joinedDraws);
  state.counters["gl_draws_apart"] = double(apartDraws);
}
BENCHMARK(BM_HeldSpriteRuns)->Unit(benchmark::kMillisecond);

void BM_HeldSpriteRunsDriver(benchmark::State& state) {
  GlWindow gl3;
  if (!gl3.Open(state)) return;
  {
    auto gl = gfx::CreateGlRenderDevice(1280, 720);
    SpriteScreen scene(*gl);
    double joinedMs = 0, apartMs = 0;
    int64_t frames = 0;
    for (auto _ : state) {
      joinedMs += SpriteMs(*gl, scene, true, true);
      apartMs += SpriteMs(*gl, scene, false, true);
      ++frames;
    }
    state.counters["joined_ms_per_frame"] = joinedMs / double(frames);
    state.counters["apart_ms_per_frame"] = apartMs / double(frames);
    state.counters["joined_over_apart"] = apartMs > 0 ? joinedMs / apartMs : 0;
  }
}
BENCHMARK(BM_HeldSpriteRunsDriver)->Unit(benchmark::kMillisecond)->Iterations(20);

// A menu standing still but for one strip near its top that slides a third of a pixel
// a frame over five full-screen layers, with 300 glyphs after it: the frame draws
// again only the strip's part. The reference, in the same run, is the same frame
// drawn whole. Into the kept back buffer, as the headless game draws; glFinish each
// frame; the main thread's processor time (with LP_NUM_THREADS=0, software OpenGL's
// rasterising included).
struct SlidingStrip {
  explicit SlidingStrip(gfx::RenderDevice& device) {
    for (int i = 0; i < 6; ++i) {
      gfx::ImageData img;
      img.width = img.height = 32;
      for (int p = 0; p < 32 * 32; ++p) {
        const uint8_t v = uint8_t((p * (i + 3)) % 200 + 30);
        img.rgba.insert(img.rgba.end(), {v, uint8_t(255 - v), uint8_t(40 * i), 200});
      }
      textures.push_back(device.CreateTexture(img));
    }
  }
  static void Quad(gfx::RenderDevice& d, float x0, float y0, float x1, float y1, uint32_t colour) {
    const gfx::VertexScreenColorTex v[4] = {{x0, y0, 0, 1, colour, 0, 0},
                                            {x1, y0, 0, 1, colour, 1, 0},
                                            {x0, y1, 0, 1, colour, 0, 1},
                                            {x1, y1, 0, 1, colour, 1, 1}};
    d.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
  }
  void Frame(gfx::RenderDevice& device, int f, bool whole) {
    device.BeginFrameRecording();
    device.BeginScene();
    device.SetRenderState(gfx::RenderState::kLighting, 0);
    device.SetRenderState(gfx::RenderState::kAlphaBlendEnable, 1);
    device.SetRenderState(gfx::RenderState::kSrcBlend, uint32_t(gfx::BlendFactor::kSrcAlpha));
    device.SetRenderState(gfx::RenderState::kDestBlend, uint32_t(gfx::BlendFactor::kInvSrcAlpha));
    device.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
    device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000u, 1.0f, 0);
    for (int i = 0; i < 5; ++i) {
      device.SetTexture(0, textures[size_t(i)].get());
      Quad(device, 0, 0, 1280, 720, 0xC0FFFFFFu);
    }
    device.SetTexture(0, textures[5].get());
    const float x = 13.0f + float(f % 60) / 3.0f;
    Quad(device, x, 60, x + 1202, 77, 0x80FFFFFFu);
    for (int i = 0; i < 300; ++i) {
      device.SetTexture(0, textures[size_t(i % 3)].get());
      const float gx = float(i % 60) * 20.0f + 20.0f, gy = float(i / 60) * 60.0f + 300.0f;
      Quad(device, gx, gy, gx + 14, gy + 22, 0xFFFFFFFFu);
    }
    device.EndScene();
    device.EndFrameRecording(whole);
  }
  std::vector<std::unique_ptr<gfx::Texture>> textures;
};

double ThreadMs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

void BM_PartialFrameDriver(benchmark::State& state) {
  // The rasteriser's work on this thread, as the game runs it (effective when this
  // benchmark is the first to make a context in the run).
  setenv("LP_NUM_THREADS", "0", 0);
  GlWindow gl3;
  if (!gl3.Open(state)) return;
  {
    auto gl = gfx::CreateGlRenderDevice(1280, 720);
    gl->SetBackBufferKept(true);
    SlidingStrip scene(*gl);
    double partialMs = 0, wholeMs = 0;
    int64_t frames = 0;
    int f = 0;
    scene.Frame(*gl, f++, true);
    for (auto _ : state) {
      double start = ThreadMs();
      for (int i = 0; i < 10; ++i) {
        scene.Frame(*gl, f++, false);
        glFinish();
      }
      partialMs += ThreadMs() - start;
      start = ThreadMs();
      for (int i = 0; i < 10; ++i) {
        scene.Frame(*gl, f++, true);
        glFinish();
      }
      wholeMs += ThreadMs() - start;
      frames += 10;
    }
    state.counters["partial_ms_per_frame"] = partialMs / double(frames);
    state.counters["whole_ms_per_frame"] = wholeMs / double(frames);
    state.counters["partial_over_whole"] = wholeMs > 0 ? partialMs / wholeMs : 0;
  }
}
BENCHMARK(BM_PartialFrameDriver)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
