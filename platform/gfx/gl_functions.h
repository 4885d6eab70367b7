// The OpenGL entry points the drawing back end calls, as a table: the real table
// goes to libepoxy; the stub table only counts calls, so that benchmarks measure the
// back end's own work (state caching, uniform and vertex packing) without a driver.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::gfx {

struct GlFunctions {
  void (*enable)(uint32_t cap, bool on);
  void (*depthMask)(bool on);
  void (*depthFunc)(uint32_t func);
  void (*cullFace)(uint32_t mode);
  void (*frontFace)(uint32_t mode);
  void (*blendFunc)(uint32_t src, uint32_t dst);
  void (*blendEquation)(uint32_t mode);
  void (*colorMask)(bool r, bool g, bool b, bool a);
  void (*polygonMode)(uint32_t mode);
  void (*viewport)(int x, int y, int w, int h);
  void (*depthRange)(double n, double f);
  void (*scissor)(int x, int y, int w, int h);
  void (*clear)(uint32_t bits, const float* rgba, float depth, int stencil);
  void (*bindFramebuffer)(uint32_t name);
  void (*activeTexture)(int unit);
  void (*bindTexture)(uint32_t name);
  void (*bindSampler)(int unit, uint32_t sampler);
  void (*bindBuffer)(uint32_t target, uint32_t name);
  void (*bufferSubData)(uint32_t target, size_t offset, size_t bytes, const void* data);
  void (*bufferOrphan)(uint32_t target, size_t bytes);
  void (*bindBufferRange)(uint32_t index, uint32_t buffer, size_t offset, size_t bytes);
  void (*vertexAttribPointer)(uint32_t index, int size, uint32_t type, bool normalized, int stride, size_t offset);
  void (*enableVertexAttrib)(uint32_t index, bool on);
  void (*vertexAttrib4f)(uint32_t index, float x, float y, float z, float w);
  void (*drawArrays)(uint32_t mode, int first, int count);
  void (*drawElementsBaseVertex)(uint32_t mode, int count, size_t indexOffset, int baseVertex);
  // Copies the framebuffer's colour, width x height from the corner, to the back buffer.
  void (*copyToBackBuffer)(uint32_t framebuffer, int width, int height);
};

const GlFunctions& RealGlFunctions();
const GlFunctions& StubGlFunctions();
// Calls made through the stub table since the process started.
uint64_t StubGlCallCount();
// The last rectangle given to the stub's scissor, as x, y, width, height.
struct StubRect {
  int x = 0, y = 0, w = 0, h = 0;
};
StubRect StubGlLastScissor();
// A draw given to the stub: its mode, how many vertices (or indices) and where the
// vertices start (drawArrays' first, drawElementsBaseVertex's base vertex).
struct StubDraw {
  uint32_t mode = 0;
  int count = 0, first = 0;
  bool indexed = false;
  bool operator==(const StubDraw&) const = default;
};
// While on, the stub keeps every draw (off at start, so benchmarks pay nothing for it).
void StubGlLogDraws(bool on);
// The draws kept since the last call, in order.
std::vector<StubDraw> StubGlTakeDraws();

}  // namespace platform::gfx
