// Picture fixtures and the headless GL context of the drawing tests.
#include "gfx_fixtures.h"

#include <SDL.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace gfxtest {

namespace {
void Put(std::vector<uint8_t>& px, size_t i, uint32_t rgba) {
  px[i * 4 + 0] = uint8_t(rgba >> 24);
  px[i * 4 + 1] = uint8_t(rgba >> 16);
  px[i * 4 + 2] = uint8_t(rgba >> 8);
  px[i * 4 + 3] = uint8_t(rgba);
}
}  // namespace

bool WriteSplitPng(const std::string& path, int width, int height, uint32_t left, uint32_t right) {
  std::vector<uint8_t> px(size_t(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) Put(px, size_t(y) * width + x, x < width / 2 ? left : right);
  return stbi_write_png(path.c_str(), width, height, 4, px.data(), width * 4) != 0;
}

bool WritePng(const std::string& path, int width, int height, uint32_t rgba) {
  return WriteSplitPng(path, width, height, rgba, rgba);
}

GlContext::GlContext(int width, int height) {
#if defined(__SANITIZE_ADDRESS__)
  // The software GL driver keeps small allocations for the life of the process, some
  // made from its compiled shader code, which the leak checker cannot name or
  // suppress: what is allocated while a context lives is not checked for leaks.
  __lsan_disable();
#endif
  if (!std::getenv("SDL_VIDEODRIVER")) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error_ = std::string("no video: ") + SDL_GetError();
    return;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_Window* w = SDL_CreateWindow("gfx test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) {
    error_ = std::string("no window: ") + SDL_GetError();
    return;
  }
  window_ = w;
  SDL_GLContext c = SDL_GL_CreateContext(w);
  if (!c) {
    error_ = std::string("no OpenGL 3.3 context: ") + SDL_GetError();
    return;
  }
  context_ = c;
  ok_ = true;
}

GlContext::~GlContext() {
  if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
#if defined(__SANITIZE_ADDRESS__)
  __lsan_enable();
#endif
}

void Quad(platform::gfx::RenderDevice& d, float x0, float y0, float x1, float y1, float z, uint32_t colour) {
  namespace gfx = platform::gfx;
  const gfx::VertexScreenColorTex v[4] = {{x0, y0, z, 1, colour, 0, 0},
                                          {x1, y0, z, 1, colour, 1, 0},
                                          {x0, y1, z, 1, colour, 0, 1},
                                          {x1, y1, z, 1, colour, 1, 1}};
  d.SetFVF(gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse | gfx::fvf::kTex1);
  d.DrawPrimitiveUP(gfx::PrimitiveType::kTriangleStrip, 2, v, sizeof v[0]);
}

void BeginFlatScene(platform::gfx::RenderDevice& d, int width, int height, bool depthTest) {
  namespace gfx = platform::gfx;
  d.BeginScene();
  d.SetViewport(gfx::Viewport{0, 0, width, height, 0.0f, 1.0f});
  d.SetRenderState(gfx::RenderState::kCullMode, uint32_t(gfx::CullMode::kNone));
  d.SetRenderState(gfx::RenderState::kLighting, 0);
  d.SetRenderState(gfx::RenderState::kZEnable, depthTest ? 1 : 0);
}

}  // namespace gfxtest

// The headless GL driver and the sanitizer runtime it goes through keep a few small
// allocations for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libubsan.so\nleak:swrast_dri.so\nleak:libGLX_mesa.so\nleak:libgallium\nleak:libLLVM\n";
}
