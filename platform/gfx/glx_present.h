// Presenting part of a window's back buffer through GLX, kept apart so that the
// X11 headers (with their macros) stay out of the rest of the back end.
#pragma once

namespace platform::gfx {

// Whether the context current on this thread is a GLX one on the given X display
// (as an SDL window reports it) that can copy a rectangle of its back buffer to
// the window (GLX_MESA_copy_sub_buffer). Such a copy leaves the back buffer as it
// is, which a swap does not promise.
bool GlxCanCopySubBuffer(void* x11Display);

// Copies the rectangle (OpenGL window coordinates, origin bottom left) of the
// current drawable's back buffer to the window. Only after GlxCanCopySubBuffer said
// yes for this context.
void GlxCopySubBuffer(int x, int y, int width, int height);

}  // namespace platform::gfx
