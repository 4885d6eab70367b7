// The OpenGL 3.3 back end. Device state is kept on the CPU and applied at each draw:
// fixed GL state through a cache (only changes reach GL), the rest packed into one
// uniform block written into a ring buffer, vertices and indices streamed into ring
// buffers, except static geometry (meshes), which keeps buffers of its own filled at
// its first draw. Textures made from pixels are uploaded at their first use.
#include <epoxy/gl.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "platform/gfx/gl_functions.h"
#include "platform/gfx/gl_shaders.h"
#include "platform/gfx/state_device.h"
#include "platform/console.h"

namespace platform::gfx {

namespace {

struct alignas(16) Uniforms {
  float world[16];
  float viewProj[16];
  float matDiffuse[4], matAmbient[4], matEmissive[4], globalAmbient[4];
  float lightDiffuse[8][4], lightAmbient[8][4], lightVec[8][4], lightAtten[8][4];
  int32_t flags[4], sources[4], stage0[4], stage0b[4], stage1[4], stage1b[4];
  float tex0M[4], tex0T[4], tex1M[4], tex1T[4];
  float tfactor[4], alphaTest[4], target[4], target2[4];
};
static_assert(sizeof(Uniforms) == 928, "matches the shader's std140 block");

constexpr size_t kVertexRing = size_t(4) << 20;
constexpr size_t kIndexRing = size_t(1) << 20;
constexpr size_t kUniformRing = size_t(2) << 20;
constexpr size_t kUniformStride = 1024;  // block size rounded to the offset alignment

void Copy4(float* out, const Vec4& v) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
  out[3] = v.w;
}

uint32_t GlCompare(uint32_t f) {
  switch (CompareFunc(f)) {
    case CompareFunc::kNever: return GL_NEVER;
    case CompareFunc::kLess: return GL_LESS;
    case CompareFunc::kEqual: return GL_EQUAL;
    case CompareFunc::kLessEqual: return GL_LEQUAL;
    case CompareFunc::kGreater: return GL_GREATER;
    case CompareFunc::kNotEqual: return GL_NOTEQUAL;
    case CompareFunc::kGreaterEqual: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

uint32_t GlBlend(uint32_t f) {
  switch (BlendFactor(f)) {
    case BlendFactor::kZero: return GL_ZERO;
    case BlendFactor::kOne: return GL_ONE;
    case BlendFactor::kSrcColor: return GL_SRC_COLOR;
    case BlendFactor::kInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
    case BlendFactor::kSrcAlpha: return GL_SRC_ALPHA;
    case BlendFactor::kInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
    case BlendFactor::kDestAlpha: return GL_DST_ALPHA;
    case BlendFactor::kInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
    case BlendFactor::kDestColor: return GL_DST_COLOR;
    case BlendFactor::kInvDestColor: return GL_ONE_MINUS_DST_COLOR;
  }
  return GL_ONE;
}

uint32_t GlBlendOp(uint32_t op) {
  switch (BlendOp(op)) {
    case BlendOp::kSubtract: return GL_FUNC_SUBTRACT;
    case BlendOp::kRevSubtract: return GL_FUNC_REVERSE_SUBTRACT;
    case BlendOp::kMin: return GL_MIN;
    case BlendOp::kMax: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

uint32_t GlMode(PrimitiveType t) {
  switch (t) {
    case PrimitiveType::kPointList: return GL_POINTS;
    case PrimitiveType::kLineList: return GL_LINES;
    case PrimitiveType::kLineStrip: return GL_LINE_STRIP;
    case PrimitiveType::kTriangleList: return GL_TRIANGLES;
    case PrimitiveType::kTriangleStrip: return GL_TRIANGLE_STRIP;
    case PrimitiveType::kTriangleFan: return GL_TRIANGLE_FAN;
  }
  return GL_TRIANGLES;
}

// Buffers of static geometry that went away, to delete on the main thread at the next
// frame (a mesh may be let go on the thread that tears a level down).
std::mutex retiredMutex;
struct RetiredBuffer {
  GLuint name;
  uint32_t generation;
};
std::vector<RetiredBuffer> retiredBuffers;

// Counts the contexts the device has been attached to: a buffer made in an earlier
// one is gone with it, so its name must neither be drawn from nor deleted in the new
// one (the name may already belong to something else there).
std::atomic<uint32_t> contextGeneration{1};

// Static geometry with the device's copy in two buffers of its own, made at the
// first draw.
class GlStaticGeometry : public StaticGeometry {
 public:
  GlStaticGeometry(const void* vertices, uint32_t vertexCount, uint32_t stride, const uint32_t* indices,
                   uint32_t indexCount, bool real)
      : StaticGeometry(vertices, vertexCount, stride, indices, indexCount), real_(real) {}
  ~GlStaticGeometry() override {
    if (!real_ || !vertexBuffer) return;
    std::lock_guard<std::mutex> lock(retiredMutex);
    retiredBuffers.push_back({vertexBuffer, generation});
    retiredBuffers.push_back({indexBuffer, generation});
  }
  mutable uint32_t vertexBuffer = 0, indexBuffer = 0;
  mutable uint32_t generation = 0;  // the context the buffers were made in

 private:
  bool real_;
};

GLuint Compile(GLenum kind, const char* body) {
  std::string source = std::string("#version 330 core\n") + kFixedFunctionBlock + body;
  const char* text = source.c_str();
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char info[2048] = {};
    glGetShaderInfoLog(shader, sizeof info, nullptr, info);
    platform::ConsoleWriteLine(std::string("gfx: shader did not compile: ") + info);
  }
  return shader;
}

class GlRenderDevice : public StateDevice {
 public:
  GlRenderDevice(int width, int height, const GlFunctions& gl, bool real)
      : StateDevice(width, height), gl_(gl), real_(real) {
    if (real_) CreateObjects();
    Invalidate();
  }
  ~GlRenderDevice() override {
    // Detached, no context is current any more: there is nothing of ours to delete.
    if (real_ && attached_) DeleteObjects();
  }

  void DetachContext() override {
    if (!attached_) return;
    textures_->ForEach([&](Texture& t) { CarryOut(t); });
    if (real_) DeleteObjects();
    // Static geometry is sent again at its next draw in the new context.
    contextGeneration.fetch_add(1);
    attached_ = false;
  }

  void AttachContext() override {
    if (attached_) return;
    attached_ = true;
    if (real_) CreateObjects();
    uniformOffset_ = vertexOffset_ = indexOffset_ = 0;
    Invalidate();
  }

  BackEnd Kind() const override { return BackEnd::kOpenGL; }

  void SetTransform(TransformKind kind, const Matrix& m) override {
    StateDevice::SetTransform(kind, m);
    dirty_ = true;
  }
  void SetMaterial(const Material& m) override {
    StateDevice::SetMaterial(m);
    dirty_ = true;
  }
  void SetLight(int i, const Light& l) override {
    StateDevice::SetLight(i, l);
    dirty_ = true;
  }
  void LightEnable(int i, bool on) override {
    StateDevice::LightEnable(i, on);
    dirty_ = true;
  }
  void SetRenderState(RenderState s, uint32_t v) override {
    if (state_.render[size_t(s)] == v) return;
    StateDevice::SetRenderState(s, v);
    dirty_ = true;
  }
  void SetTextureStageState(int stage, TextureStageState s, uint32_t v) override {
    StateDevice::SetTextureStageState(stage, s, v);
    dirty_ = true;
  }
  void SetTexture(int stage, const Texture* t) override {
    StateDevice::SetTexture(stage, t);
    dirty_ = true;
  }
  void SetViewport(const Viewport& v) override {
    StateDevice::SetViewport(v);
    dirty_ = true;
  }
  // The rectangle reaches GL at the next draw or clear (ApplyFixedState, Clear).
  void SetScissorRect(const ScissorRect& r) override { StateDevice::SetScissorRect(r); }
  void SetFVF(uint32_t format) override {
    if (state_.fvf == format) return;
    StateDevice::SetFVF(format);
    dirty_ = true;
  }
  void SetRenderTarget(const Texture* target) override {
    StateDevice::SetRenderTarget(target);
    dirty_ = true;
  }
  void SetBackBufferSize(int w, int h) override {
    StateDevice::SetBackBufferSize(w, h);
    dirty_ = true;
    Invalidate();
  }
  void ResetStates() override {
    StateDevice::ResetStates();
    dirty_ = true;
  }

  void BeginScene() override {
    Invalidate();
    if (real_) DeleteRetiredBuffers();
  }
  void Preload(const Texture& t) override { Upload(const_cast<Texture&>(t)); }
  void EndScene() override {}

  void Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) override {
    ApplyTarget();
    uint32_t bits = 0;
    if (flags & clear::kTarget) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & clear::kZBuffer) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & clear::kStencil) bits |= GL_STENCIL_BUFFER_BIT;
    if (!bits) return;
    // Only the viewport's rectangle is cleared (cut to the scissor rectangle while the
    // scissor test is on); write masks are opened for the clear.
    ScissorRect area = state_.ClearArea(width_, height_);
    if (area.Empty()) return;
    GlRect r = ToGl(area);
    gl_.scissor(r.x, r.y, r.w, r.h);
    gl_.enable(GL_SCISSOR_TEST, true);
    gl_.colorMask(true, true, true, true);
    gl_.depthMask(true);
    Vec4 c = ArgbToColor(color);
    float rgba[4] = {c.r, c.g, c.b, c.a};
    gl_.clear(bits, rgba, z, int(stencil));
    // GL now holds the clear's scissor; the next draw sets its own again.
    cache_.scissor = 1;
    cache_.scissorRect = r;
    cache_.colorMask = ~0u;
    cache_.depthWrite = -1;
  }

  void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override {
    const VertexBuffer* vb = state_.stream;
    uint32_t stride = state_.streamStride;
    uint32_t count = VertexCountOf(type, primitiveCount);
    if (!vb || stride == 0 || count == 0 || (size_t(startVertex) + count) * stride > vb->Bytes()) return;
    Draw(type, count, vb->Data() + size_t(startVertex) * stride, stride, nullptr);
  }
  void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices, uint32_t stride) override {
    uint32_t count = VertexCountOf(type, primitiveCount);
    if (!vertices || count == 0) return;
    Draw(type, count, static_cast<const uint8_t*>(vertices), stride, nullptr, count);
  }
  void DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t vertexCount, uint32_t primitiveCount,
                              const uint32_t* indices, const void* vertices, uint32_t stride) override {
    uint32_t count = VertexCountOf(type, primitiveCount);
    if (!vertices || !indices || count == 0 || vertexCount == 0) return;
    for (uint32_t i = 0; i < count; ++i)
      if (indices[i] >= vertexCount) return;  // an index past the vertices: refuse the draw
    Draw(type, count, static_cast<const uint8_t*>(vertices), stride, indices, vertexCount);
  }

  std::unique_ptr<StaticGeometry> CreateStaticGeometry(const void* vertices, uint32_t vertexCount, uint32_t stride,
                                                       const uint32_t* indices, uint32_t indexCount) override {
    if (!vertices || !indices || vertexCount == 0 || indexCount == 0 || stride == 0) return nullptr;
    return std::make_unique<GlStaticGeometry>(vertices, vertexCount, stride, indices, indexCount, real_);
  }
  void DrawStaticGeometry(const StaticGeometry& g, PrimitiveType type, uint32_t firstIndex,
                          uint32_t primitiveCount) override {
    const auto* geometry = dynamic_cast<const GlStaticGeometry*>(&g);
    if (!geometry) {
      RenderDevice::DrawStaticGeometry(g, type, firstIndex, primitiveCount);
      return;
    }
    uint32_t count = VertexCountOf(type, primitiveCount);
    if (count == 0 || !g.RangeInBounds(firstIndex, count)) return;
    uint32_t format = state_.fvf;
    if (g.Stride() < VertexStride(format)) return;
    MakeResident(*geometry);
    ApplyTarget();
    ApplyFixedState();
    ApplyTextures();
    ApplyUniforms();
    ApplyFormat(format, g.Stride(), geometry->vertexBuffer);
    BindIndexBuffer(geometry->indexBuffer);
    gl_.drawElementsBaseVertex(GlMode(type), int(count), size_t(firstIndex) * 4, 0);
  }

  std::unique_ptr<Texture> CreateTexture(const ImageData& image) override {
    ImageData copy = image;
    return CreateTexture(std::move(copy));
  }
  std::unique_ptr<Texture> CreateTexture(ImageData&& image) override {
    if (image.width <= 0 || image.height <= 0 || image.rgba.size() != size_t(image.width) * image.height * 4)
      return nullptr;
    auto t = std::make_unique<Texture>(image.width, image.height, TextureKind::kStatic);
    t->PendingPixels() = std::move(image.rgba);
    t->Track(textures_);
    return t;
  }
  std::unique_ptr<Texture> CreateDynamicTexture(int w, int h) override {
    if (w <= 0 || h <= 0) return nullptr;
    auto t = std::make_unique<Texture>(w, h, TextureKind::kDynamic);
    t->Track(textures_);
    return t;
  }
  void UpdateTexture(Texture& t, const uint8_t* rgba, int w, int h) override {
    if (!rgba || w != t.Width() || h != t.Height()) return;
    Upload(t);
    if (!real_) return;
    glBindTexture(GL_TEXTURE_2D, t.GlName());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    cache_.textures[0] = cache_.textures[1] = ~0u;
    cache_.activeUnit = -1;
  }
  std::unique_ptr<Texture> CreateRenderTexture(int w, int h) override {
    if (w <= 0 || h <= 0) return nullptr;
    auto t = std::make_unique<Texture>(w, h, TextureKind::kRenderTarget);
    t->Track(textures_);
    if (!real_) {
      t->MarkUploaded();
      return t;
    }
    if (!MakeRenderTargetNames(*t, nullptr)) {
      platform::ConsoleWriteLine("gfx: render texture framebuffer incomplete");
      return nullptr;
    }
    return t;
  }

  bool ReadPixels(ImageData& out) override {
    if (!real_) return false;
    ApplyTarget();
    int w = state_.target ? state_.target->Width() : width_;
    int h = state_.target ? state_.target->Height() : height_;
    if (w <= 0 || h <= 0) return false;
    std::vector<uint8_t> rows(size_t(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    out.width = w;
    out.height = h;
    out.rgba.resize(rows.size());
    size_t rowBytes = size_t(w) * 4;
    for (int y = 0; y < h; ++y) {
      // Render textures hold their top row first; the back buffer its bottom row.
      int from = state_.target ? y : h - 1 - y;
      std::memcpy(out.rgba.data() + size_t(y) * rowBytes, rows.data() + size_t(from) * rowBytes, rowBytes);
    }
    return true;
  }

 private:
  struct GlRect {
    int x, y, w, h;
  };
  struct Cache {
    int depthTest, depthWrite, cullOn, blendOn, scissor, fill;
    uint32_t depthFunc, frontFace, blendSrc, blendDst, blendOp, colorMask;
    uint32_t framebuffer;
    GlRect viewport, scissorRect;
    float depthMin, depthMax;
    uint32_t textures[2];
    uint32_t samplers[2];
    int activeUnit;
    uint32_t format, stride;
    uint32_t arrayBuffer, indexBuffer;
  };

  void CreateObjects() {
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShaderBody);
    GLuint fs = Compile(GL_FRAGMENT_SHADER, kFragmentShaderBody);
    program_ = glCreateProgram();
    glAttachShader(program_, vs);
    glAttachShader(program_, fs);
    glLinkProgram(program_);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (!ok) platform::ConsoleWriteLine("gfx: shader program did not link");
    glDeleteShader(vs);
    glDeleteShader(fs);
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "uTexture0"), 0);
    glUniform1i(glGetUniformLocation(program_, "uTexture1"), 1);
    GLuint block = glGetUniformBlockIndex(program_, "State");
    glUniformBlockBinding(program_, block, 0);
    glGenVertexArrays(1, &vao_);
    glBindVertexArray(vao_);
    GLuint buffers[3];
    glGenBuffers(3, buffers);
    vbo_ = buffers[0];
    ebo_ = buffers[1];
    ubo_ = buffers[2];
    glBindBuffer(GL_ARRAY_BUFFER, vbo_);
    glBufferData(GL_ARRAY_BUFFER, kVertexRing, nullptr, GL_STREAM_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, kIndexRing, nullptr, GL_STREAM_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, ubo_);
    glBufferData(GL_UNIFORM_BUFFER, kUniformRing, nullptr, GL_STREAM_DRAW);
    GLint align = 256;
    glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &align);
    uniformStride_ = (kUniformStride + size_t(align) - 1) / size_t(align) * size_t(align);
  }

  // Forget what GL holds: the next draw sets everything again.
  void Invalidate() {
    std::memset(&cache_, 0xFF, sizeof cache_);
    cache_.depthMin = cache_.depthMax = -1.0f;
    dirty_ = true;
  }

  // A rectangle measured from the top of the current target, in GL's terms.
  GlRect ToGl(const ScissorRect& r) const {
    int h = state_.target ? state_.target->Height() : height_;
    // Render textures are drawn with y turned over, so their rows run from the top.
    int y = state_.target ? r.top : h - r.bottom;
    return GlRect{r.left, y, r.right - r.left, r.bottom - r.top};
  }

  GlRect ViewportRect() const {
    const Viewport& v = state_.viewport;
    int h = state_.target ? state_.target->Height() : height_;
    // Render textures are drawn with y turned over, so their rows run from the top.
    int y = state_.target ? v.y : h - v.y - v.height;
    return GlRect{v.x, y, v.width, v.height};
  }

  void ApplyTarget() {
    uint32_t fb = state_.target ? state_.target->Framebuffer() : 0;
    if (cache_.framebuffer != fb) {
      gl_.bindFramebuffer(fb);
      cache_.framebuffer = fb;
    }
    GlRect r = ViewportRect();
    if (std::memcmp(&r, &cache_.viewport, sizeof r) != 0) {
      gl_.viewport(r.x, r.y, r.w, r.h);
      cache_.viewport = r;
    }
    if (cache_.depthMin != state_.viewport.minZ || cache_.depthMax != state_.viewport.maxZ) {
      gl_.depthRange(state_.viewport.minZ, state_.viewport.maxZ);
      cache_.depthMin = state_.viewport.minZ;
      cache_.depthMax = state_.viewport.maxZ;
    }
  }

  template <typename T>
  void Set(T& cached, T value, auto&& apply) {
    if (cached != value) {
      cached = value;
      apply();
    }
  }

  void ApplyFixedState() {
    auto rs = [&](RenderState s) { return state_.render[size_t(s)]; };
    Set(cache_.depthTest, rs(RenderState::kZEnable) ? 1 : 0, [&] { gl_.enable(GL_DEPTH_TEST, cache_.depthTest); });
    Set(cache_.depthWrite, rs(RenderState::kZWriteEnable) ? 1 : 0, [&] { gl_.depthMask(cache_.depthWrite); });
    Set(cache_.depthFunc, GlCompare(rs(RenderState::kZFunc)), [&] { gl_.depthFunc(cache_.depthFunc); });
    uint32_t cull = rs(RenderState::kCullMode);
    bool cullOn = cull == uint32_t(CullMode::kClockwise) || cull == uint32_t(CullMode::kCounterClockwise);
    Set(cache_.cullOn, cullOn ? 1 : 0, [&] { gl_.enable(GL_CULL_FACE, cache_.cullOn); });
    if (cullOn) {
      // The culled winding is the back face; the y turn of render textures mirrors it.
      bool cullClockwise = cull == uint32_t(CullMode::kClockwise);
      if (state_.target) cullClockwise = !cullClockwise;
      uint32_t front = cullClockwise ? GL_CCW : GL_CW;
      Set(cache_.frontFace, front, [&] {
        gl_.frontFace(cache_.frontFace);
        gl_.cullFace(GL_BACK);
      });
    }
    Set(cache_.blendOn, rs(RenderState::kAlphaBlendEnable) ? 1 : 0, [&] { gl_.enable(GL_BLEND, cache_.blendOn); });
    if (cache_.blendOn) {
      uint32_t src = GlBlend(rs(RenderState::kSrcBlend)), dst = GlBlend(rs(RenderState::kDestBlend));
      if (cache_.blendSrc != src || cache_.blendDst != dst) {
        cache_.blendSrc = src;
        cache_.blendDst = dst;
        gl_.blendFunc(src, dst);
      }
      Set(cache_.blendOp, GlBlendOp(rs(RenderState::kBlendOp)), [&] { gl_.blendEquation(cache_.blendOp); });
    }
    uint32_t mask = rs(RenderState::kColorWriteEnable) & 0xF;
    Set(cache_.colorMask, mask, [&] { gl_.colorMask(mask & 1, mask & 2, mask & 4, mask & 8); });
    Set(cache_.fill, rs(RenderState::kFillMode) == 1 ? 1 : 0,
        [&] { gl_.polygonMode(cache_.fill ? GL_LINE : GL_FILL); });
    bool scissorOn = rs(RenderState::kScissorTestEnable) != 0;
    Set(cache_.scissor, scissorOn ? 1 : 0, [&] { gl_.enable(GL_SCISSOR_TEST, scissorOn); });
    if (scissorOn) {
      GlRect r = ToGl(state_.DrawArea(width_, height_));
      if (std::memcmp(&r, &cache_.scissorRect, sizeof r) != 0) {
        gl_.scissor(r.x, r.y, r.w, r.h);
        cache_.scissorRect = r;
      }
    }
  }

  // A render texture's colour texture with its depth-stencil and framebuffer, filled
  // from pixels when given (a render texture carried from another context).
  bool MakeRenderTargetNames(Texture& t, const uint8_t* pixels) {
    const int w = t.Width(), h = t.Height();
    // Made in the middle of a draw too (a carried render texture's first use): the
    // target the draw goes to stays bound.
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    GLuint tex = 0, fbo = 0, depth = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, w, h);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, GLuint(bound));
    t.SetGlNames(tex, fbo, depth);
    cache_.textures[0] = cache_.textures[1] = ~0u;
    cache_.activeUnit = -1;
    return complete;
  }

  // Before the context goes: the texture's pixels come back into memory (unless they
  // still wait for upload) and its names are deleted while they still mean something.
  void CarryOut(Texture& t) {
    if (!real_) {
      if (t.Uploaded() && t.Kind() != TextureKind::kRenderTarget) t.ForgetDeviceCopy({});
      return;
    }
    if (!t.GlName()) return;
    std::vector<uint8_t> pixels(size_t(t.Width()) * size_t(t.Height()) * 4);
    glBindTexture(GL_TEXTURE_2D, t.GlName());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    GLuint framebuffer = t.Framebuffer(), depth = t.DepthRenderbuffer(), name = t.GlName();
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    if (depth) glDeleteRenderbuffers(1, &depth);
    glDeleteTextures(1, &name);
    t.ForgetDeviceCopy(std::move(pixels));
  }

  void DeleteObjects() {
    DeleteRetiredBuffers();
    for (auto& [key, sampler] : samplers_) glDeleteSamplers(1, &sampler);
    samplers_.clear();
    GLuint buffers[] = {vbo_, ebo_, ubo_};
    glDeleteBuffers(3, buffers);
    glDeleteVertexArrays(1, &vao_);
    glDeleteProgram(program_);
    program_ = vao_ = vbo_ = ebo_ = ubo_ = 0;
  }

  void Upload(Texture& t) {
    if (t.Uploaded()) return;
    if (!real_) {
      t.PendingPixels().clear();
      t.PendingPixels().shrink_to_fit();
      t.MarkUploaded();
      return;
    }
    if (t.Kind() == TextureKind::kRenderTarget) {
      MakeRenderTargetNames(t, t.HasPendingPixels() ? t.PendingPixels().data() : nullptr);
      t.PendingPixels().clear();
      t.PendingPixels().shrink_to_fit();
      return;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const uint8_t* pixels = t.HasPendingPixels() ? t.PendingPixels().data() : nullptr;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.Width(), t.Height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    t.PendingPixels().clear();
    t.PendingPixels().shrink_to_fit();
    t.SetGlNames(name, t.Framebuffer(), 0);
    cache_.textures[0] = cache_.textures[1] = ~0u;
    cache_.activeUnit = -1;
  }

  uint32_t Sampler(int stage) {
    const auto& s = state_.sampler[stage];
    auto key = std::make_tuple(s[0], s[1], s[3], s[4]);
    auto it = samplers_.find(key);
    if (it != samplers_.end()) return it->second;
    GLuint name = 0;
    if (real_) {
      auto filter = [](uint32_t f) { return f == uint32_t(Filter::kLinear) ? GL_LINEAR : GL_NEAREST; };
      auto wrap = [](uint32_t a) {
        return a == uint32_t(Address::kClamp) ? GL_CLAMP_TO_EDGE : a == uint32_t(Address::kMirror) ? GL_MIRRORED_REPEAT : GL_REPEAT;
      };
      glGenSamplers(1, &name);
      glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, filter(s[size_t(SamplerState::kMinFilter)]));
      glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, filter(s[size_t(SamplerState::kMagFilter)]));
      glSamplerParameteri(name, GL_TEXTURE_WRAP_S, wrap(s[size_t(SamplerState::kAddressU)]));
      glSamplerParameteri(name, GL_TEXTURE_WRAP_T, wrap(s[size_t(SamplerState::kAddressV)]));
    } else {
      name = uint32_t(samplers_.size() + 1);
    }
    samplers_[key] = name;
    return name;
  }

  void ApplyTextures() {
    // Every upload first: an upload binds its texture on the active unit, which would
    // replace a stage already bound in this pass.
    for (int stage = 0; stage < kTextureStages; ++stage)
      if (const Texture* t = state_.textures[stage]) Upload(const_cast<Texture&>(*t));
    for (int stage = 0; stage < kTextureStages; ++stage) {
      const Texture* t = state_.textures[stage];
      uint32_t name = t ? t->GlName() : 0;
      uint32_t sampler = t ? Sampler(stage) : 0;
      if (cache_.textures[stage] != name || cache_.samplers[stage] != sampler) {
        if (cache_.activeUnit != stage) {
          gl_.activeTexture(stage);
          cache_.activeUnit = stage;
        }
        if (cache_.textures[stage] != name) gl_.bindTexture(name);
        if (cache_.samplers[stage] != sampler) gl_.bindSampler(stage, sampler);
        cache_.textures[stage] = name;
        cache_.samplers[stage] = sampler;
      }
    }
  }

  void FillUniforms(Uniforms& u) const {
    const Matrix& world = state_.transforms[size_t(TransformKind::kWorld)];
    Matrix viewProj =
        state_.transforms[size_t(TransformKind::kView)] * state_.transforms[size_t(TransformKind::kProjection)];
    std::memcpy(u.world, world.data(), sizeof u.world);
    std::memcpy(u.viewProj, viewProj.data(), sizeof u.viewProj);
    Copy4(u.matDiffuse, state_.material.diffuse);
    Copy4(u.matAmbient, state_.material.ambient);
    Copy4(u.matEmissive, state_.material.emissive);
    Copy4(u.globalAmbient, ArgbToColor(state_.render[size_t(RenderState::kAmbient)]));
    int lights = 0;
    for (int i = 0; i < kMaxLights; ++i) {
      if (!state_.lightOn[i]) continue;
      const Light& l = state_.lights[i];
      Copy4(u.lightDiffuse[lights], l.diffuse);
      Copy4(u.lightAmbient[lights], l.ambient);
      Vec3 v = l.type == LightType::kDirectional ? l.direction : l.position;
      Copy4(u.lightVec[lights], Vec4(v, float(int(l.type))));
      Copy4(u.lightAtten[lights], Vec4(l.attenuation0, l.attenuation1, l.attenuation2, l.range));
      ++lights;
    }
    uint32_t f = state_.fvf;
    auto rs = [&](RenderState s) { return state_.render[size_t(s)]; };
    bool vertexColourAllowed = rs(RenderState::kColorVertex) != 0;
    u.flags[0] = rs(RenderState::kLighting) ? 1 : 0;
    u.flags[1] = (f & fvf::kNormal) ? 1 : 0;
    u.flags[2] = (f & fvf::kDiffuse) ? 1 : 0;
    u.flags[3] = (f & fvf::kXyzRhw) ? 1 : 0;
    u.sources[0] = vertexColourAllowed ? int(rs(RenderState::kDiffuseMaterialSource)) : 0;
    u.sources[1] = vertexColourAllowed ? int(rs(RenderState::kAmbientMaterialSource)) : 0;
    u.sources[2] = vertexColourAllowed ? int(rs(RenderState::kEmissiveMaterialSource)) : 0;
    u.sources[3] = lights;
    int32_t* stages[2][2] = {{u.stage0, u.stage0b}, {u.stage1, u.stage1b}};
    float* texM[2] = {u.tex0M, u.tex1M};
    float* texT[2] = {u.tex0T, u.tex1T};
    for (int s = 0; s < kTextureStages; ++s) {
      const auto& st = state_.stage[s];
      auto get = [&](TextureStageState k) { return int32_t(st[size_t(k)]); };
      stages[s][0][0] = get(TextureStageState::kColorOp);
      stages[s][0][1] = get(TextureStageState::kColorArg1);
      stages[s][0][2] = get(TextureStageState::kColorArg2);
      stages[s][0][3] = get(TextureStageState::kAlphaOp);
      stages[s][1][0] = get(TextureStageState::kAlphaArg1);
      stages[s][1][1] = get(TextureStageState::kAlphaArg2);
      stages[s][1][2] = get(TextureStageState::kTexCoordIndex) == 1 ? 1 : 0;
      stages[s][1][3] = state_.textures[s] ? 1 : 0;
      const Matrix& m = state_.transforms[size_t(s == 0 ? TransformKind::kTexture0 : TransformKind::kTexture1)];
      bool on = get(TextureStageState::kTextureTransformFlags) == int32_t(TextureTransform::kCount2);
      Copy4(texM[s], Vec4(m.at(1, 1), m.at(1, 2), m.at(2, 1), m.at(2, 2)));
      Copy4(texT[s], Vec4(m.at(3, 1), m.at(3, 2), on ? 1.0f : 0.0f, 0.0f));
    }
    Copy4(u.tfactor, ArgbToColor(rs(RenderState::kTextureFactor)));
    Copy4(u.alphaTest, Vec4(rs(RenderState::kAlphaTestEnable) ? 1.0f : 0.0f, float(rs(RenderState::kAlphaFunc)),
                            float(rs(RenderState::kAlphaRef) & 0xFF), 0.0f));
    const Viewport& v = state_.viewport;
    Copy4(u.target, Vec4(float(v.x), float(v.y), float(std::max(v.width, 1)), float(std::max(v.height, 1))));
    Copy4(u.target2, Vec4(state_.target ? -1.0f : 1.0f, 0.0f, 0.0f, 0.0f));
  }

  void ApplyUniforms() {
    if (!dirty_) return;
    dirty_ = false;
    FillUniforms(uniforms_);
    if (uniformOffset_ + uniformStride_ > kUniformRing) {
      gl_.bufferOrphan(GL_UNIFORM_BUFFER, kUniformRing);
      uniformOffset_ = 0;
    }
    gl_.bufferSubData(GL_UNIFORM_BUFFER, uniformOffset_, sizeof uniforms_, &uniforms_);
    gl_.bindBufferRange(0, ubo_, uniformOffset_, sizeof uniforms_);
    uniformOffset_ += uniformStride_;
  }

  void DeleteRetiredBuffers() {
    std::vector<RetiredBuffer> retired;
    {
      std::lock_guard<std::mutex> lock(retiredMutex);
      retired.swap(retiredBuffers);
    }
    const uint32_t current = contextGeneration.load();
    std::vector<GLuint> names;
    for (const RetiredBuffer& r : retired)
      if (r.generation == current) names.push_back(r.name);
    if (names.empty()) return;
    glDeleteBuffers(GLsizei(names.size()), names.data());
    cache_.arrayBuffer = cache_.indexBuffer = ~0u;
  }

  // Copies the geometry into buffers of its own the first time it is drawn.
  void MakeResident(const GlStaticGeometry& g) {
    const uint32_t current = contextGeneration.load();
    if (g.vertexBuffer && g.generation == current) return;
    g.generation = current;
    if (!real_) {
      // Over the stub: names that only have to differ from the rings'.
      g.vertexBuffer = ++stubBufferNames_;
      g.indexBuffer = ++stubBufferNames_;
      return;
    }
    std::vector<uint8_t> vertices;
    std::vector<uint32_t> indices;
    JoinIdenticalVertices(g, vertices, indices);
    GLuint names[2] = {0, 0};
    glGenBuffers(2, names);
    glBindBuffer(GL_ARRAY_BUFFER, names[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size()), vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, names[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * 4), indices.data(), GL_STATIC_DRAW);
    g.vertexBuffer = names[0];
    g.indexBuffer = names[1];
    cache_.arrayBuffer = names[0];
    cache_.indexBuffer = names[1];
    cache_.format = ~0u;
  }

  // A mesh read from a file repeats a vertex at every face corner, and the driver runs
  // the vertex stage again for every index unless the same index came just before.
  // The copy sent holds each distinct vertex (byte for byte) once, with the indices
  // turned to it in their places, so every range draws the same triangles. Indices
  // past the vertices stay past them (their ranges are refused before a draw).
  static void JoinIdenticalVertices(const StaticGeometry& g, std::vector<uint8_t>& vertices,
                                    std::vector<uint32_t>& indices) {
    const size_t stride = g.Stride();
    std::unordered_map<std::string_view, uint32_t> seen;
    seen.reserve(g.VertexCount());
    vertices.reserve(size_t(g.VertexCount()) * stride);
    indices.resize(g.IndexCount());
    uint32_t joined = 0;
    for (uint32_t i = 0; i < g.IndexCount(); ++i) {
      const uint32_t from = g.Indices()[i];
      if (from >= g.VertexCount()) {
        indices[i] = ~0u;
        continue;
      }
      const char* bytes = reinterpret_cast<const char*>(g.Vertices()) + size_t(from) * stride;
      auto [it, added] = seen.try_emplace(std::string_view(bytes, stride), joined);
      if (added) {
        vertices.insert(vertices.end(), bytes, bytes + stride);
        ++joined;
      }
      indices[i] = it->second;
    }
  }

  // The element buffer is part of the vertex array's state; the attribute pointers
  // take the array buffer bound when they are set.
  void BindIndexBuffer(uint32_t name) {
    if (cache_.indexBuffer == name) return;
    gl_.bindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
    cache_.indexBuffer = name;
  }

  void ApplyFormat(uint32_t format, uint32_t stride, uint32_t buffer) {
    if (cache_.arrayBuffer != buffer) {
      gl_.bindBuffer(GL_ARRAY_BUFFER, buffer);
      cache_.arrayBuffer = buffer;
      cache_.format = ~0u;
    }
    if (cache_.format == format && cache_.stride == stride) return;
    cache_.format = format;
    cache_.stride = stride;
    size_t at = 0;
    bool screen = (format & fvf::kXyzRhw) != 0;
    gl_.vertexAttribPointer(0, screen ? 4 : 3, GL_FLOAT, false, int(stride), 0);
    gl_.enableVertexAttrib(0, true);
    at = screen ? 16 : 12;
    bool normal = (format & fvf::kNormal) != 0;
    gl_.enableVertexAttrib(1, normal);
    if (normal) {
      gl_.vertexAttribPointer(1, 3, GL_FLOAT, false, int(stride), at);
      at += 12;
    } else {
      gl_.vertexAttrib4f(1, 0, 0, 0, 0);
    }
    bool colour = (format & fvf::kDiffuse) != 0;
    gl_.enableVertexAttrib(2, colour);
    if (colour) {
      gl_.vertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, true, int(stride), at);
      at += 4;
    } else {
      gl_.vertexAttrib4f(2, 1, 1, 1, 1);
    }
    if (format & fvf::kSpecular) at += 4;
    uint32_t texCount = (format & fvf::kTexCountMask) >> 8;
    for (uint32_t t = 0; t < 2; ++t) {
      bool on = t < texCount;
      gl_.enableVertexAttrib(3 + t, on);
      if (on) gl_.vertexAttribPointer(3 + t, 2, GL_FLOAT, false, int(stride), at + t * 8);
      else gl_.vertexAttrib4f(3 + t, 0, 0, 0, 1);
    }
  }

  // vertexCount: how many vertices the data holds (for indexed draws, all of them).
  void Draw(PrimitiveType type, uint32_t count, const uint8_t* data, uint32_t stride, const uint32_t* indices,
            uint32_t vertexCount = 0) {
    uint32_t format = state_.fvf;
    if (stride == 0 || stride < VertexStride(format)) return;
    if (!indices) vertexCount = count;
    size_t bytes = size_t(vertexCount) * stride;
    if (bytes > kVertexRing || size_t(count) * 4 > kIndexRing) return;
    ApplyTarget();
    ApplyFixedState();
    ApplyTextures();
    ApplyUniforms();
    ApplyFormat(format, stride, vbo_);
    size_t at = (vertexOffset_ + stride - 1) / stride * stride;
    if (at + bytes > kVertexRing) {
      gl_.bufferOrphan(GL_ARRAY_BUFFER, kVertexRing);
      at = 0;
    }
    gl_.bufferSubData(GL_ARRAY_BUFFER, at, bytes, data);
    vertexOffset_ = at + bytes;
    int first = int(at / stride);
    if (!indices) {
      gl_.drawArrays(GlMode(type), first, int(count));
      return;
    }
    size_t indexBytes = size_t(count) * 4;
    BindIndexBuffer(ebo_);
    if (indexOffset_ + indexBytes > kIndexRing) {
      gl_.bufferOrphan(GL_ELEMENT_ARRAY_BUFFER, kIndexRing);
      indexOffset_ = 0;
    }
    gl_.bufferSubData(GL_ELEMENT_ARRAY_BUFFER, indexOffset_, indexBytes, indices);
    gl_.drawElementsBaseVertex(GlMode(type), int(count), indexOffset_, first);
    indexOffset_ += indexBytes;
  }

  const GlFunctions& gl_;
  bool real_;
  bool attached_ = true;
  std::shared_ptr<TextureRegistry> textures_ = std::make_shared<TextureRegistry>();
  GLuint program_ = 0, vao_ = 0, vbo_ = 0, ebo_ = 0, ubo_ = 0;
  size_t uniformStride_ = kUniformStride;
  size_t uniformOffset_ = 0, vertexOffset_ = 0, indexOffset_ = 0;
  bool dirty_ = true;
  uint32_t stubBufferNames_ = 1u << 20;
  Cache cache_{};
  Uniforms uniforms_{};
  std::map<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>, uint32_t> samplers_;
};

}  // namespace

std::unique_ptr<RenderDevice> CreateGlRenderDevice(int width, int height) {
  return std::make_unique<GlRenderDevice>(width, height, RealGlFunctions(), true);
}

std::unique_ptr<RenderDevice> CreateGlRenderDeviceOverStub(int width, int height) {
  return std::make_unique<GlRenderDevice>(width, height, StubGlFunctions(), false);
}

}  // namespace platform::gfx
