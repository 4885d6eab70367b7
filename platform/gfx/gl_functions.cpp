// The real (libepoxy) and counting-stub tables of OpenGL entry points.
#include "platform/gfx/gl_functions.h"

#include <mutex>

#include <epoxy/gl.h>

#include <atomic>

namespace platform::gfx {

namespace {

std::atomic<uint64_t> stubCalls{0};

const GlFunctions kReal = {
    [](uint32_t cap, bool on) { on ? glEnable(cap) : glDisable(cap); },
    [](bool on) { glDepthMask(on ? GL_TRUE : GL_FALSE); },
    [](uint32_t f) { glDepthFunc(f); },
    [](uint32_t m) { glCullFace(m); },
    [](uint32_t m) { glFrontFace(m); },
    [](uint32_t s, uint32_t d) { glBlendFunc(s, d); },
    [](uint32_t m) { glBlendEquation(m); },
    [](bool r, bool g, bool b, bool a) { glColorMask(r, g, b, a); },
    [](uint32_t m) { glPolygonMode(GL_FRONT_AND_BACK, m); },
    [](int x, int y, int w, int h) { glViewport(x, y, w, h); },
    [](double n, double f) { glDepthRange(n, f); },
    [](int x, int y, int w, int h) { glScissor(x, y, w, h); },
    [](uint32_t bits, const float* c, float depth, int stencil) {
      glClearColor(c[0], c[1], c[2], c[3]);
      glClearDepth(depth);
      glClearStencil(stencil);
      glClear(bits);
    },
    [](uint32_t name) { glBindFramebuffer(GL_FRAMEBUFFER, name); },
    [](int unit) { glActiveTexture(GL_TEXTURE0 + unit); },
    [](uint32_t name) { glBindTexture(GL_TEXTURE_2D, name); },
    [](int unit, uint32_t sampler) { glBindSampler(unit, sampler); },
    [](uint32_t target, uint32_t name) { glBindBuffer(target, name); },
    [](uint32_t target, size_t offset, size_t bytes, const void* data) {
      glBufferSubData(target, GLintptr(offset), GLsizeiptr(bytes), data);
    },
    [](uint32_t target, size_t bytes) { glBufferData(target, GLsizeiptr(bytes), nullptr, GL_STREAM_DRAW); },
    [](uint32_t index, uint32_t buffer, size_t offset, size_t bytes) {
      glBindBufferRange(GL_UNIFORM_BUFFER, index, buffer, GLintptr(offset), GLsizeiptr(bytes));
    },
    [](uint32_t index, int size, uint32_t type, bool normalized, int stride, size_t offset) {
      glVertexAttribPointer(index, size, type, normalized ? GL_TRUE : GL_FALSE, stride,
                            reinterpret_cast<const void*>(offset));
    },
    [](uint32_t index, bool on) { on ? glEnableVertexAttribArray(index) : glDisableVertexAttribArray(index); },
    [](uint32_t index, float x, float y, float z, float w) { glVertexAttrib4f(index, x, y, z, w); },
    [](uint32_t mode, int first, int count) { glDrawArrays(mode, first, count); },
    [](uint32_t mode, int count, size_t indexOffset, int baseVertex) {
      glDrawElementsBaseVertex(mode, count, GL_UNSIGNED_INT, reinterpret_cast<void*>(indexOffset), baseVertex);
    },
    [](uint32_t framebuffer, int width, int height) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
      glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
      glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
    },
};

std::mutex stubMutex;
StubRect lastScissor;
std::vector<StubDraw> draws;
std::atomic<bool> logDraws{false};

void LogDraw(const StubDraw& d) {
  if (!logDraws.load(std::memory_order_relaxed)) return;
  std::lock_guard<std::mutex> lock(stubMutex);
  draws.push_back(d);
}

void Count() { stubCalls.fetch_add(1, std::memory_order_relaxed); }

const GlFunctions kStub = {
    [](uint32_t, bool) { Count(); },
    [](bool) { Count(); },
    [](uint32_t) { Count(); },
    [](uint32_t) { Count(); },
    [](uint32_t) { Count(); },
    [](uint32_t, uint32_t) { Count(); },
    [](uint32_t) { Count(); },
    [](bool, bool, bool, bool) { Count(); },
    [](uint32_t) { Count(); },
    [](int, int, int, int) { Count(); },
    [](double, double) { Count(); },
    [](int x, int y, int w, int h) {
      Count();
      std::lock_guard<std::mutex> lock(stubMutex);
      lastScissor = StubRect{x, y, w, h};
    },
    [](uint32_t, const float*, float, int) { Count(); },
    [](uint32_t) { Count(); },
    [](int) { Count(); },
    [](uint32_t) { Count(); },
    [](int, uint32_t) { Count(); },
    [](uint32_t, uint32_t) { Count(); },
    [](uint32_t, size_t, size_t, const void*) { Count(); },
    [](uint32_t, size_t) { Count(); },
    [](uint32_t, uint32_t, size_t, size_t) { Count(); },
    [](uint32_t, int, uint32_t, bool, int, size_t) { Count(); },
    [](uint32_t, bool) { Count(); },
    [](uint32_t, float, float, float, float) { Count(); },
    [](uint32_t mode, int first, int count) {
      Count();
      LogDraw(StubDraw{mode, count, first, false});
    },
    [](uint32_t mode, int count, size_t, int baseVertex) {
      Count();
      LogDraw(StubDraw{mode, count, baseVertex, true});
    },
    [](uint32_t, int, int) { Count(); },
};

}  // namespace

const GlFunctions& RealGlFunctions() { return kReal; }
const GlFunctions& StubGlFunctions() { return kStub; }
uint64_t StubGlCallCount() { return stubCalls.load(std::memory_order_relaxed); }
void StubGlLogDraws(bool on) { logDraws.store(on); }
std::vector<StubDraw> StubGlTakeDraws() {
  std::lock_guard<std::mutex> lock(stubMutex);
  std::vector<StubDraw> out;
  out.swap(draws);
  return out;
}
StubRect StubGlLastScissor() {
  std::lock_guard<std::mutex> lock(stubMutex);
  return lastScissor;
}

}  // namespace platform::gfx
