// The OpenGL stand-in: SDL makes the context, libepoxy resolves the entry points.
#include "tests/video/gl_video_device.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace videotest {

GlContext::GlContext() {
  // One hold on the video subsystem and the OpenGL library for the rest of the
  // program, so the driver is not unloaded with the last window: its own set-up
  // allocations, reachable only from its globals, would otherwise be reported by the
  // leak checker at exit as if they were ours.
  static const bool held = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 && SDL_GL_LoadLibrary(nullptr) == 0;
  (void)held;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error_ = SDL_GetError();
    return;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_Window* window = SDL_CreateWindow("video", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) {
    error_ = SDL_GetError();
    return;
  }
  window_ = window;
  context_ = SDL_GL_CreateContext(window);
  if (!context_) error_ = SDL_GetError();
}

GlContext::~GlContext() {
  if (context_) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
  if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void GlContext::Finish() { glFinish(); }

GlDynamicTexture::~GlDynamicTexture() {
  GLuint name = name_;
  glDeleteTextures(1, &name);
}

bool GlDynamicTexture::Update(const uint8_t* rgba, int pitch) {
  glBindTexture(GL_TEXTURE_2D, name_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  return glGetError() == GL_NO_ERROR;
}

std::vector<uint8_t> GlDynamicTexture::ReadBack() const {
  std::vector<uint8_t> out(size_t(width_) * size_t(height_) * 4);
  glBindTexture(GL_TEXTURE_2D, name_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
  return out;
}

std::unique_ptr<graphics::DynamicTexture> GlVideoDevice::CreateDynamicTexture(int width, int height) {
  GLuint name = 0;
  glGenTextures(1, &name);
  if (name == 0) return nullptr;
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteTextures(1, &name);
    return nullptr;
  }
  return std::make_unique<GlDynamicTexture>(name, width, height);
}

}  // namespace videotest
