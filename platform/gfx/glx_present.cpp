#include "platform/gfx/glx_present.h"

#include <epoxy/glx.h>

namespace platform::gfx {

bool GlxCanCopySubBuffer(void* x11Display) {
  auto* display = static_cast<Display*>(x11Display);
  // An EGL context on the same display has no GLX drawable to copy into.
  if (!display || !epoxy_has_glx(display)) return false;
  if (!glXGetCurrentContext() || glXGetCurrentDisplay() != display || !glXGetCurrentDrawable()) return false;
  return epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_MESA_copy_sub_buffer");
}

void GlxCopySubBuffer(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return;
  // A swap waits for a software rasterizer's threads to finish the frame before the
  // back buffer goes to the X server; the copy only flushes the commands. Without the
  // wait it could send a back buffer still being painted, and a still picture is
  // never copied again. Waiting here costs what a swap costs anyway.
  glFinish();
  glXCopySubBufferMESA(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, width, height);
}

}  // namespace platform::gfx
