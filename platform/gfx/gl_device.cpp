// The OpenGL 3.3 back end. Device state is kept on the CPU and applied at each draw:
// fixed GL state through a cache (only changes reach GL), the rest packed into one
// uniform block written into a ring buffer, vertices and indices streamed into ring
// buffers, except static geometry (meshes), which keeps buffers of its own filled at
// its first draw. Textures made from pixels are uploaded at their first use.
//
// A frame the framework brackets (BeginFrameRecording .. EndFrameRecording) is kept
// as packets: each clear and draw with the state in force and a copy of its vertices
// (or, for static geometry, which geometry and which range), folded into one digest.
// When the digest equals the last drawn frame's, the frame would paint the same
// picture again and nothing of it goes to GL; otherwise the packets are played to GL
// in order. On software OpenGL a menu that stands still then costs its per-frame
// logic only. Played packets in a row that see the same state (sprites of one
// texture, say) go as one indexed triangle list, and a draw under the state of the
// draw before sends no new uniforms; either way GL gets the same triangles in the
// same order, so the picture does not change.
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <type_traits>
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
// The least margin (pixels) an underlay grows by beyond the part a frame asked for.
constexpr int kUnderlayMargin = 32;
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

class GlStaticGeometry;
// A held frame that draws the geometry is sent to GL before the geometry goes.
void GeometryReleasing(const GlStaticGeometry* geometry);

// Tells static geometries apart for as long as the process runs: one made where a
// freed one lived gets a new serial, so a frame drawing it is not taken for the
// frame before.
std::atomic<uint64_t> nextGeometrySerial{1};

// Static geometry with the device's copy in two buffers of its own, made at the
// first draw. Its vertices and indices do not change after it is made.
class GlStaticGeometry : public StaticGeometry {
 public:
  GlStaticGeometry(const void* vertices, uint32_t vertexCount, uint32_t stride, const uint32_t* indices,
                   uint32_t indexCount, bool real)
      : StaticGeometry(vertices, vertexCount, stride, indices, indexCount),
        serial(nextGeometrySerial.fetch_add(1)),
        real_(real) {}
  ~GlStaticGeometry() override {
    GeometryReleasing(this);
    if (!real_ || !vertexBuffer) return;
    std::lock_guard<std::mutex> lock(retiredMutex);
    retiredBuffers.push_back({vertexBuffer, generation});
    retiredBuffers.push_back({indexBuffer, generation});
  }
  mutable uint32_t vertexBuffer = 0, indexBuffer = 0;
  mutable uint32_t generation = 0;  // the context the buffers were made in
  const uint64_t serial;

 private:
  bool real_;
};

GLuint Compile(GLenum kind, const std::string& text) {
  const char* source = text.c_str();
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char info[2048] = {};
    glGetShaderInfoLog(shader, sizeof info, nullptr, info);
    platform::ConsoleWriteLine(std::string("gfx: shader did not compile: ") + info);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

// A program of the two shader texts, or 0 when either does not compile or they do
// not link.
GLuint LinkProgram(const std::string& vertexText, const std::string& fragmentText) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, vertexText), fs = Compile(GL_FRAGMENT_SHADER, fragmentText);
  GLuint program = 0;
  if (vs && fs) {
    program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
      glDeleteProgram(program);
      program = 0;
    }
  }
  if (vs) glDeleteShader(vs);
  if (fs) glDeleteShader(fs);
  return program;
}

// A 64-bit digest of a frame's packets: words folded in with a multiply and rotate
// (a change detector, not a cryptographic hash).
class Digest {
 public:
  void Bytes(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (n >= 8) {
      uint64_t w;
      std::memcpy(&w, p, 8);
      Word(w);
      p += 8;
      n -= 8;
    }
    uint64_t tail = n;
    for (size_t i = 0; i < n; ++i) tail = (tail << 8) | p[i];
    Word(tail ^ 0xA5A5A5A5A5A5A5A5ull);
  }
  void Word(uint64_t w) {
    h_ ^= w * 0x9E3779B97F4A7C15ull;
    h_ = ((h_ << 31) | (h_ >> 33)) * 0xC2B2AE3D27D4EB4Full;
  }
  template <typename T>
  void Value(const T& v) {
    static_assert(std::is_trivially_copyable_v<T>);
    Bytes(&v, sizeof v);
  }
  uint64_t Value() const { return h_; }
  void Reset() { h_ = 0x84222325CBF29CE4ull; }

 private:
  uint64_t h_ = 0x84222325CBF29CE4ull;
};

class GlRenderDevice;
// The device recording a frame on this thread (textures are deleted on other
// threads too, and those never hold a frame's draws).
thread_local GlRenderDevice* t_recording = nullptr;

class GlRenderDevice : public StateDevice {
 public:
  GlRenderDevice(int width, int height, const GlFunctions& gl, bool real, bool specialise = true)
      : StateDevice(width, height), gl_(gl), real_(real), specialise_(specialise) {
    havePicture_ = !real_;
    if (real_) CreateObjects();
    Invalidate();
  }
  ~GlRenderDevice() override {
    if (t_recording == this) t_recording = nullptr;
    // Detached, no context is current any more: there is nothing of ours to delete.
    if (real_ && attached_) {
      DropPicture();
      DeleteObjects();
    }
  }

  void DetachContext() override {
    if (!attached_) return;
    // A frame still held cannot be drawn into a context that is going.
    if (recording_) {
      if (t_recording == this) t_recording = nullptr;
      recording_ = false;
      committed_ = false;
      packetCount_ = 0;
      stateCount_ = 0;
      plainValid_ = false;
    }
    textures_->ForEach([&](Texture& t) { CarryOut(t); });
    if (real_) {
      DropPicture();
      DeleteObjects();
    }
    ForgetLastFrame();
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
    // The new context's back buffer holds nothing yet: the picture is made again and
    // the first frame is drawn whole.
    ForgetLastFrame();
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
    lastDrawnValid_ = false;  // a new back buffer holds no picture yet
    if (real_ && pictureChecked_) {
      DropPicture();
      pictureChecked_ = false;  // made again at the new size by the next frame
    }
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
    if (!(flags & (clear::kTarget | clear::kZBuffer | clear::kStencil))) return;
    WroteTarget();
    if (recording_) {
      Packet& p = Record(PacketKind::kClear);
      p.flags = flags;
      p.color = color;
      p.z = z;
      p.stencil = stencil;
      digest_.Value(flags);
      digest_.Value(color);
      digest_.Value(z);
      digest_.Value(stencil);
      if (!committed_) return;
    }
    ClearNow(flags, color, z, stencil);
  }

  void BeginFrameRecording() override {
    if (recording_) EndFrameRecording(false);
    if (real_ && !pictureChecked_) MakePicture();
    recording_ = true;
    committed_ = false;
    packetCount_ = 0;
    stateCount_ = 0;
    plainValid_ = false;
    frameBytes_.clear();
    frameIndices_.clear();
    written_.clear();
    recordedDraws_ = sentDraws_ = 0;
    t_recording = this;
    Record(PacketKind::kFrameClear);
    digest_.Value(width_);
    digest_.Value(height_);
  }

  bool EndFrameRecording(bool force) override {
    if (!recording_) {
      lastDamage_ = GlRect{0, 0, width_, height_};  // drawn as it came: any of it may be new
      return true;
    }
    if (t_recording == this) t_recording = nullptr;
    CloseLastPacket();
    Digest frame;
    for (size_t i = 0; i < packetCount_; ++i) frame.Word(packets_[i].digest);
    const uint64_t digest = frame.Value();
    const bool drawn = force || committed_ || !lastDrawnValid_ || digest != lastDrawnDigest_;
    double sendMs = 0.0;
    if (drawn) {
      GlRect damage{0, 0, width_, height_};
      size_t head = 0;
      const bool partial = !force && !committed_ && lastDrawnValid_ && havePicture_ && Damage(damage, head);
      size_t from = 0;
      if (partial) {
        damage_ = damage;
        damageOn_ = true;
        from = FromUnderlay(head);
      }
      const auto sendStart = std::chrono::steady_clock::now();
      Commit(from);
      sendMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sendStart).count();
      damageOn_ = false;
      lastDamage_ = partial ? damage : GlRect{0, 0, width_, height_};
      if (havePicture_ && pictureFbo_) gl_.copyToBackBuffer(pictureFbo_, width_, height_);
      Invalidate();
    }
    lastStats_ = FrameSendStats{recordedDraws_, sentDraws_, sendMs};
    recording_ = false;
    committed_ = false;
    // This frame is the one compared with next.
    std::swap(packets_, lastPackets_);
    std::swap(states_, lastStates_);
    stateCount_ = 0;
    plainValid_ = false;
    std::swap(frameBytes_, lastFrameBytes_);
    lastPacketCount_ = packetCount_;
    packetCount_ = 0;
    lastDrawnDigest_ = digest;
    lastDrawnValid_ = true;
    return drawn;
  }

  FrameSendStats LastFrameSendStats() const override { return lastStats_; }

  // Nothing on screen is known any more: the kept picture is made again by the next
  // frame, which is drawn whole.
  void ForgetLastFrame() {
    underlayValid_ = false;
    pictureChecked_ = false;
    havePicture_ = !real_;
    lastDrawnValid_ = false;
    lastDrawnDigest_ = 0;
    lastPacketCount_ = 0;
    lastFrameBytes_.clear();
  }

  bool LastDrawnArea(int& x, int& y, int& width, int& height) const override {
    if (!lastDrawnValid_) return false;
    x = lastDamage_.x;
    y = lastDamage_.y;
    width = lastDamage_.w;
    height = lastDamage_.h;
    return true;
  }

  void SetBackBufferKept(bool kept) override {
    if (kept == backBufferKept_) return;
    backBufferKept_ = kept;
    if (real_ && pictureChecked_) DropPicture();
    pictureChecked_ = false;
    lastDrawnValid_ = false;
  }

  // A texture or static geometry is going away while the frame is held: what uses it
  // is drawn now.
  void OnTextureReleasing(const Texture* t) {
    if (recording_ && !committed_ && HeldFrameUses(t)) Commit();
  }
  void OnGeometryReleasing(const GlStaticGeometry* g) {
    if (recording_ && !committed_ && HeldFrameUses(g)) Commit();
  }

 private:
  void ClearNow(uint32_t flags, uint32_t color, float z, uint32_t stencil) {
    ApplyTarget();
    uint32_t bits = 0;
    if (flags & clear::kTarget) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & clear::kZBuffer) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & clear::kStencil) bits |= GL_STENCIL_BUFFER_BIT;
    if (!bits) return;
    // Only the viewport's rectangle is cleared (cut to the scissor rectangle while the
    // scissor test is on, and to the damaged part while only that is drawn again);
    // write masks are opened for the clear.
    ScissorRect area = state_.ClearArea(width_, height_);
    if (area.Empty()) return;
    GlRect r = ToGl(area);
    if (damageOn_ && !state_.target) r = Intersect(r, damage_);
    if (r.w <= 0 || r.h <= 0) return;
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

 public:
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
    WroteTarget();
    if (recording_) {
      // The geometry's content is fixed once made, so which geometry and which range
      // stand for the vertices.
      ++recordedDraws_;
      Packet& p = Record(PacketKind::kStatic);
      p.geometry = geometry;
      p.type = type;
      p.count = count;
      p.indexAt = firstIndex;
      digest_.Value(geometry->serial);
      digest_.Value(type);
      digest_.Value(firstIndex);
      digest_.Value(count);
      if (!committed_) return;
    }
    DrawStaticNow(*geometry, type, firstIndex, count);
  }

  void DrawStaticNow(const GlStaticGeometry& g, PrimitiveType type, uint32_t firstIndex, uint32_t count) {
    const uint32_t format = state_.fvf;
    const GlStaticGeometry* geometry = &g;
    MakeResident(*geometry);
    ApplyTarget();
    ApplyFixedState();
    ApplyTextures();
    ApplyUniforms();
    ApplyFormat(format, g.Stride(), geometry->vertexBuffer);
    BindIndexBuffer(geometry->indexBuffer);
    ++sentDraws_;
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
  std::unique_ptr<Texture> CreateSharedTexture(std::shared_ptr<const ImageData> image) override {
    if (!image || image->width <= 0 || image->height <= 0 ||
        image->rgba.size() != size_t(image->width) * image->height * 4)
      return nullptr;
    auto t = std::make_unique<Texture>(image->width, image->height, TextureKind::kStatic);
    t->SharePendingPixels(std::move(image));
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
    // Draws held from earlier in the frame show the pixels the texture had then.
    if (recording_ && !committed_ && HeldFrameUses(&t)) Commit();
    t.ContentChanged();
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
    // The pixels asked for are those of the draws made so far.
    if (recording_ && !committed_) Commit();
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
    uint32_t program;
  };

  // The state that picks the shaders' paths, as the uniform block gives it, with
  // what the shaders cannot tell apart made equal (an unused argument, the stages
  // after a disabled one, the alpha function of an alpha test that is off), so that
  // states drawing alike share one program.
  using ProgramKey = std::array<int32_t, 24>;
  static ProgramKey KeyOf(const Uniforms& u) {
    ProgramKey k{};
    const bool lit = u.flags[0] != 0 && u.flags[3] == 0;
    k[0] = lit ? 1 : 0;
    k[1] = lit && u.flags[1] != 0 ? 1 : 0;
    k[2] = u.flags[2] != 0 ? 1 : 0;
    k[3] = u.flags[3] != 0 ? 1 : 0;
    for (int i = 0; i < 3; ++i) k[4 + i] = lit && u.sources[i] == 1 ? 1 : 0;
    auto op = [](int32_t o) { return o >= 2 && o <= 7 ? o : 2; };  // any other op takes argument 1
    auto arg = [](int32_t a) { return a >= 0 && a <= 2 ? a : 3; };  // any other argument is the factor
    const int32_t* stages[2][2] = {{u.stage0, u.stage0b}, {u.stage1, u.stage1b}};
    const float* texT[2] = {u.tex0T, u.tex1T};
    for (int s = 0; s < 2; ++s) {
      int32_t* out = &k[size_t(7 + s * 8)];
      const int32_t* a = stages[s][0];
      const int32_t* b = stages[s][1];
      out[0] = 1;  // disabled, and so is every stage after it
      if (a[0] == 1) break;
      out[0] = op(a[0]);
      out[1] = out[0] == 3 ? 0 : arg(a[1]);
      out[2] = out[0] == 2 ? 0 : arg(a[2]);
      out[3] = a[3] == 1 ? 1 : op(a[3]);
      out[4] = out[3] == 1 || out[3] == 3 ? 0 : arg(b[0]);
      out[5] = out[3] == 1 || out[3] == 2 ? 0 : arg(b[1]);
      out[6] = b[3] != 0 ? 1 : 0;
      out[7] = texT[s][2] != 0.0f ? 1 : 0;
    }
    if (u.alphaTest[0] != 0.0f) {
      k[23] = 1;
      const float f = u.alphaTest[1];
      k[22] = f >= 1.0f && f <= 7.0f ? int32_t(f + 0.5f) : 0;  // any other function lets all through
    }
    return k;
  }

  // The prelude that writes a key's state into the shaders as constants; what the key
  // leaves open is still read from the uniform block.
  static std::string PreludeOf(const ProgramKey& k) {
    auto iv = [&](size_t at, const char* z, const char* w) {
      std::string s = "ivec4(" + std::to_string(k[at]) + ", " + std::to_string(k[at + 1]) + ", ";
      s += z ? std::string(z) : std::to_string(k[at + 2]);
      s += ", ";
      s += w ? std::string(w) : std::to_string(k[at + 3]);
      return s + ")";
    };
    auto b = [](int32_t v) { return std::string(v ? "true" : "false"); };
    std::string p = "\n";
    p += "#define kFlags " + iv(0, nullptr, nullptr) + "\n";
    p += "#define kSources ivec4(" + std::to_string(k[4]) + ", " + std::to_string(k[5]) + ", " + std::to_string(k[6]) +
         ", uSources.w)\n";
    const char* coords[2] = {"uStage0b.z", "uStage1b.z"};
    for (int s = 0; s < 2; ++s) {
      const size_t at = size_t(7 + s * 8);
      const std::string n = std::to_string(s);
      p += "#define kStage" + n + " " + iv(at, nullptr, nullptr) + "\n";
      p += "#define kStage" + n + "b ivec4(" + std::to_string(k[at + 4]) + ", " + std::to_string(k[at + 5]) + ", " +
           coords[s] + ", " + std::to_string(k[at + 6]) + ")\n";
      p += "#define kTex" + n + "On " + b(k[at + 7]) + "\n";
    }
    p += "#define kAlphaOn " + b(k[23]) + "\n";
    p += "#define kAlphaFunc " + std::to_string(k[22]) + "\n";
    return p;
  }

  GLuint MakeProgram(const std::string& prelude) {
    const std::string head = std::string("#version 330 core\n") + kFixedFunctionBlock + prelude;
    const GLuint program = LinkProgram(head + kVertexShaderBody, head + kFragmentShaderBody);
    if (!program) {
      platform::ConsoleWriteLine("gfx: shader program did not link");
      return 0;
    }
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uTexture0"), 0);
    glUniform1i(glGetUniformLocation(program, "uTexture1"), 1);
    glUniformBlockBinding(program, glGetUniformBlockIndex(program, "State"), 0);
    cache_.program = program;
    return program;
  }

  // The program for the state in uniforms_: its own, made at its first use and kept
  // with the context, or the general one where that cannot be made.
  GLuint ProgramFor(const Uniforms& u) {
    if (!specialise_) return program_;
    const ProgramKey key = KeyOf(u);
    if (haveLastKey_ && key == lastKey_) return lastProgram_;
    auto it = programs_.find(key);
    if (it == programs_.end()) {
      GLuint made = MakeProgram(PreludeOf(key));
      it = programs_.emplace(key, made ? made : program_).first;
    }
    lastKey_ = key;
    lastProgram_ = it->second;
    haveLastKey_ = true;
    return it->second;
  }

  void CreateObjects() {
    program_ = MakeProgram(kGeneralPrelude);
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
    uint32_t fb = state_.target ? state_.target->Framebuffer() : pictureFbo_;
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
    // While only the damaged part of the picture is drawn again, every draw into the
    // picture stays inside it, and inside its own scissor rectangle as well.
    const bool scissorOn = rs(RenderState::kScissorTestEnable) != 0;
    const bool clip = damageOn_ && !state_.target;
    const bool on = scissorOn || clip;
    Set(cache_.scissor, on ? 1 : 0, [&] { gl_.enable(GL_SCISSOR_TEST, on); });
    if (on) {
      GlRect r = ToGl(state_.DrawArea(width_, height_));
      if (clip) r = Intersect(r, damage_);
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
    PixelVector pixels(size_t(t.Width()) * size_t(t.Height()) * 4);
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
    for (auto& [key, program] : programs_)
      if (program != program_) glDeleteProgram(program);
    programs_.clear();
    haveLastKey_ = false;
    glDeleteProgram(program_);
    if (underlayProgram_) glDeleteProgram(underlayProgram_);
    underlayProgram_ = 0;
    underlayProgramTried_ = false;
    program_ = vao_ = vbo_ = ebo_ = ubo_ = 0;
  }

  void Upload(Texture& t) {
    if (t.Uploaded()) return;
    if (!real_) {
      t.DropPendingPixels();
      t.MarkUploaded();
      return;
    }
    if (t.Kind() == TextureKind::kRenderTarget) {
      MakeRenderTargetNames(t, t.PendingData());
      t.DropPendingPixels();
      return;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const uint8_t* pixels = t.PendingData();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.Width(), t.Height(), 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    t.DropPendingPixels();
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
    if (real_) {
      const GLuint program = ProgramFor(uniforms_);
      if (cache_.program != program) {
        glUseProgram(program);
        cache_.program = program;
      }
    }
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
    WroteTarget();
    if (recording_) {
      ++recordedDraws_;
      Packet& p = Record(PacketKind::kDraw);
      p.type = type;
      p.count = count;
      p.stride = stride;
      p.vertexCount = vertexCount;
      p.dataAt = frameBytes_.size();
      p.dataBytes = bytes;
      frameBytes_.insert(frameBytes_.end(), data, data + bytes);
      p.indexed = indices != nullptr;
      p.indexAt = frameIndices_.size();
      if (indices) frameIndices_.insert(frameIndices_.end(), indices, indices + count);
      digest_.Value(type);
      digest_.Value(count);
      digest_.Value(stride);
      digest_.Value(vertexCount);
      digest_.Bytes(data, bytes);
      digest_.Value(p.indexed);
      if (indices) digest_.Bytes(indices, size_t(count) * 4);
      if (!committed_) return;
    }
    DrawNow(type, count, data, stride, indices, vertexCount);
  }

  void DrawNow(PrimitiveType type, uint32_t count, const uint8_t* data, uint32_t stride, const uint32_t* indices,
               uint32_t vertexCount) {
    const uint32_t format = state_.fvf;
    const size_t bytes = size_t(vertexCount) * stride;
    ApplyTarget();
    ApplyFixedState();
    ApplyTextures();
    ApplyUniforms();
    ApplyFormat(format, stride, vbo_);
    ++sentDraws_;
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

  // ---- frame recording ----
  enum class PacketKind : uint8_t { kFrameClear, kClear, kDraw, kStatic };
  struct Packet {
    PacketKind kind = PacketKind::kDraw;
    uint32_t stateAt = 0;  // the device state it was recorded under, in its frame's states
    uint32_t flags = 0, color = 0, stencil = 0;  // a clear's
    float z = 1.0f;
    PrimitiveType type = PrimitiveType::kTriangleList;  // a draw's
    uint32_t count = 0, stride = 0, vertexCount = 0;
    size_t dataAt = 0, dataBytes = 0, indexAt = 0;
    bool indexed = false;
    // A static geometry draw's (its first index in indexAt). Only held frames' packets
    // are followed to it: the geometry can be gone by the next frame.
    const GlStaticGeometry* geometry = nullptr;
    uint64_t digest = 0;  // of everything above that shapes the picture
    uint64_t stateDigest = 0;  // of the device state alone (draws only)
    // The part of the picture it can touch, worked out at most once per frame: a
    // partial frame asks for it of every packet it plays, twice.
    enum class Reach : uint8_t { kUnknown, kBounded, kUnbounded };
    mutable Reach reach = Reach::kUnknown;
    mutable GlRect rect{0, 0, 0, 0};
  };

  // A frame's packets share their device states: a run of draws under one state (the
  // usual case: a text's glyphs, a list's rows) holds it once, not once per draw.
  uint32_t InternState() {
    if (stateCount_ > 0 && std::memcmp(&states_[stateCount_ - 1], &state_, sizeof state_) == 0)
      return uint32_t(stateCount_ - 1);
    if (stateCount_ == states_.size()) states_.push_back(state_);
    else states_[stateCount_] = state_;
    return uint32_t(stateCount_++);
  }

  static GlRect Intersect(const GlRect& a, const GlRect& b) {
    const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
    const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
    return GlRect{x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0)};
  }
  static GlRect Union(const GlRect& a, const GlRect& b) {
    if (a.w <= 0 || a.h <= 0) return b;
    if (b.w <= 0 || b.h <= 0) return a;
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return GlRect{x0, y0, x1 - x0, y1 - y0};
  }

  // The part of the back buffer (GL's corner at the bottom left) a packet can touch:
  // its viewport, narrowed to its vertices' bounds where they can be worked out.
  // False when it draws into a render texture.
  bool PacketRect(const Packet& p, const std::vector<DeviceState>& states, const std::vector<uint8_t>& bytes,
                  GlRect& out) const {
    if (p.reach == Packet::Reach::kUnknown) {
      const bool bounded = ReachOf(p, states[p.stateAt], bytes, p.rect);
      p.reach = bounded ? Packet::Reach::kBounded : Packet::Reach::kUnbounded;
    }
    out = p.rect;
    return p.reach == Packet::Reach::kBounded;
  }
  bool ReachOf(const Packet& p, const DeviceState& st, const std::vector<uint8_t>& bytes, GlRect& out) const {
    if (p.kind == PacketKind::kFrameClear) {
      out = GlRect{0, 0, width_, height_};
      return true;
    }
    if (st.target) return false;
    const Viewport& v = st.viewport;
    GlRect view = Intersect(GlRect{v.x, height_ - v.y - v.height, v.width, v.height}, GlRect{0, 0, width_, height_});
    if (st.render[size_t(RenderState::kScissorTestEnable)]) {
      const ScissorRect& c = st.scissor;
      view = Intersect(view, GlRect{c.left, height_ - c.bottom, std::max(0, c.right - c.left), std::max(0, c.bottom - c.top)});
    }
    out = view;
    if (p.kind != PacketKind::kDraw || p.dataBytes == 0 || p.stride < 12) return true;
    const bool screen = (st.fvf & fvf::kXyzRhw) != 0;
    const Matrix toClip = st.transforms[size_t(TransformKind::kWorld)] * st.transforms[size_t(TransformKind::kView)] *
                          st.transforms[size_t(TransformKind::kProjection)];
    float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
    const uint8_t* data = bytes.data() + p.dataAt;
    for (uint32_t i = 0; i < p.vertexCount; ++i) {
      float xyz[3];
      std::memcpy(xyz, data + size_t(i) * p.stride, sizeof xyz);
      float sx, sy;  // pixels from the viewport's top-left corner
      if (screen) {
        sx = xyz[0] - float(v.x);
        sy = xyz[1] - float(v.y);
      } else {
        const Vec4 c = Transform(Vec4(xyz[0], xyz[1], xyz[2], 1.0f), toClip);
        if (!(c.w > 1e-5f)) return true;  // reaches behind the eye: the whole viewport
        sx = (c.x / c.w * 0.5f + 0.5f) * float(v.width);
        sy = (0.5f - c.y / c.w * 0.5f) * float(v.height);
      }
      if (!std::isfinite(sx) || !std::isfinite(sy)) return true;
      x0 = std::min(x0, sx);
      x1 = std::max(x1, sx);
      y0 = std::min(y0, sy);
      y1 = std::max(y1, sy);
    }
    // A pixel of slack on every side for rounding and wide lines.
    const float left = float(v.x) + x0 - 2.0f, right = float(v.x) + x1 + 2.0f;
    const float top = float(v.y) + y0 - 2.0f, bottom = float(v.y) + y1 + 2.0f;
    if (!(right > left) || !(bottom > top) || left < -1e6f || right > 1e6f || top < -1e6f || bottom > 1e6f) return true;
    const GlRect bounds{int(std::floor(left)), height_ - int(std::ceil(bottom)), int(std::ceil(right) - std::floor(left)),
                        int(std::ceil(bottom) - std::floor(top))};
    out = Intersect(view, bounds);
    return true;
  }

  // Where this frame's picture can differ from the last drawn one: the packets
  // between the longest run alike at the start and the longest alike at the end, in
  // both frames. False when that is most of the picture or cannot be bounded.
  bool Damage(GlRect& out, size_t& headOut) const {
    const size_t n = packetCount_, m = lastPacketCount_;
    size_t head = 0;
    while (head < n && head < m && packets_[head].digest == lastPackets_[head].digest) ++head;
    size_t tail = 0;
    while (tail < n - head && tail < m - head && packets_[n - 1 - tail].digest == lastPackets_[m - 1 - tail].digest)
      ++tail;
    GlRect damage{0, 0, 0, 0};
    for (size_t i = head; i < n - tail; ++i) {
      GlRect r;
      if (!PacketRect(packets_[i], states_, frameBytes_, r)) return false;
      damage = Union(damage, r);
    }
    for (size_t i = head; i < m - tail; ++i) {
      GlRect r;
      if (!PacketRect(lastPackets_[i], lastStates_, lastFrameBytes_, r)) return false;
      damage = Union(damage, r);
    }
    damage = Intersect(damage, GlRect{0, 0, width_, height_});
    if (int64_t(damage.w) * damage.h * 2 > int64_t(width_) * height_) return false;
    out = damage;
    headOut = head;
    return true;
  }

  // ---- the underlay ----
  // While a small part of a still picture animates, the packets before the first one
  // that changes (the background's layers, mostly) paint the damaged part the same
  // way every frame. The underlay keeps what they painted (colour, depth, stencil)
  // over the area the later packets can reach, so a frame copies that back and plays
  // only the later packets. It is known by the digests of the packets it holds.

  static bool Contains(const GlRect& outer, const GlRect& inner) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.w <= outer.x + outer.w &&
           inner.y + inner.h <= outer.y + outer.h;
  }

  // The underlay holds this frame's first packets (and no more than the unchanged ones).
  bool UnderlayHoldsHead(size_t head) const {
    if (!underlayValid_ || underlayDigests_.size() > head) return false;
    for (size_t i = 0; i < underlayDigests_.size(); ++i)
      if (packets_[i].digest != underlayDigests_[i]) return false;
    return true;
  }

  // Whether a packet from `first` on reads or writes the picture's depth: a draw into
  // it with the depth test on, or a clear. Where none does, what the damaged part
  // holds there is never looked at this frame (a later frame takes it from the
  // underlay or clears it again before it reads it). No draw tests the stencil.
  bool PictureDepthUsedFrom(size_t first) const {
    for (size_t i = first; i < packetCount_; ++i) {
      const Packet& p = packets_[i];
      if (states_[p.stateAt].target) continue;
      if (p.kind == PacketKind::kClear || p.kind == PacketKind::kFrameClear) return true;
      if (states_[p.stateAt].render[size_t(RenderState::kZEnable)] != 0) return true;
    }
    return false;
  }

  // The underlay's colour (and depth where the packets after it use depth) over the
  // damaged part of the picture. Into a picture of our own, whose buffers have the
  // underlay's formats, a framebuffer copy is a plain copy of memory. Into the kept
  // back buffer it is not: on a software driver it costs a good deal per call however
  // small the part, so there a draw in the frame's own pass paints it (where its
  // program could be made).
  bool BringBackUnderlay(size_t first) {
    if (!underlayProgram_ || pictureFbo_ != 0) return CopyPicture(underlayFbo_, pictureFbo_, damage_);
    PaintUnderlay(damage_, PictureDepthUsedFrom(first));
    return true;
  }

  void PaintUnderlay(const GlRect& r, bool depth) {
    glBindFramebuffer(GL_FRAMEBUFFER, pictureFbo_);
    glViewport(0, 0, width_, height_);
    glEnable(GL_SCISSOR_TEST);
    glScissor(r.x, r.y, r.w, r.h);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (depth) {
      glEnable(GL_DEPTH_TEST);  // and passing always: the test is what lets depth be written
      glDepthFunc(GL_ALWAYS);
      glDepthMask(GL_TRUE);
    } else {
      glDisable(GL_DEPTH_TEST);
    }
    glUseProgram(underlayProgram_);
    glUniform1i(glGetUniformLocation(underlayProgram_, "uWriteDepth"), depth ? 1 : 0);
    for (int i = 0; i < 2; ++i) {
      glActiveTexture(GLenum(GL_TEXTURE0 + i));
      glBindTexture(GL_TEXTURE_2D, underlayTextures_[i]);
      glBindSampler(GLuint(i), 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vao_);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    Invalidate();
  }

  // One triangle over the whole picture; each pixel takes the underlay's own.
  GLuint MakeUnderlayProgram() {
    static const char* const kVertex =
        "#version 330 core\n"
        "void main() {\n"
        "  vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID >> 1) * 4 - 1));\n"
        "  gl_Position = vec4(p, 0.0, 1.0);\n"
        "}\n";
    static const char* const kFragment =
        "#version 330 core\n"
        "uniform sampler2D uColour;\n"
        "uniform sampler2D uDepth;\n"
        "uniform int uWriteDepth;\n"
        "out vec4 colour;\n"
        "void main() {\n"
        "  ivec2 at = ivec2(gl_FragCoord.xy);\n"
        "  colour = texelFetch(uColour, at, 0);\n"
        "  gl_FragDepth = uWriteDepth != 0 ? texelFetch(uDepth, at, 0).r : gl_FragCoord.z;\n"
        "}\n";
    const GLuint program = LinkProgram(kVertex, kFragment);
    if (!program) {
      platform::ConsoleWriteLine("gfx: the underlay's program could not be made; copying it instead");
      return 0;
    }
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uColour"), 0);
    glUniform1i(glGetUniformLocation(program, "uDepth"), 1);
    glUseProgram(0);
    return program;
  }

  // False when GL refused the copy.
  bool CopyPicture(GLuint from, GLuint to, const GlRect& r) {
    while (glGetError() != GL_NO_ERROR) {
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
    glDisable(GL_SCISSOR_TEST);  // the copy is cut by the scissor too
    glBlitFramebuffer(r.x, r.y, r.x + r.w, r.y + r.h, r.x, r.y, r.x + r.w, r.y + r.h,
                      GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, GL_NEAREST);
    const bool ok = glGetError() == GL_NO_ERROR;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    Invalidate();
    return ok;
  }

  // A framebuffer of the device's size with a colour and a depth-stencil buffer of
  // its own, left bound; true when GL takes it as complete.
  bool MakeTarget(GLuint (&buffers)[2], GLuint& fbo) {
    glGenRenderbuffers(2, buffers);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width_, height_);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width_, height_);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, buffers[1]);
    return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  }

  // The underlay's colour and depth-stencil are textures, so that a frame can paint
  // them back with a draw of its own (see PaintUnderlay).
  bool MakeUnderlay() {
    if (underlayFbo_) return true;
    if (underlayRefused_) return false;
    glGenTextures(2, underlayTextures_);
    const GLenum formats[2][3] = {{GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE},
                                  {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8}};
    for (int i = 0; i < 2; ++i) {
      glBindTexture(GL_TEXTURE_2D, underlayTextures_[i]);
      glTexImage2D(GL_TEXTURE_2D, 0, GLint(formats[i][0]), width_, height_, 0, formats[i][1], formats[i][2], nullptr);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    glGenFramebuffers(1, &underlayFbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, underlayFbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, underlayTextures_[0], 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D, underlayTextures_[1], 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (complete && !underlayProgramTried_) {
      underlayProgramTried_ = true;
      underlayProgram_ = MakeUnderlayProgram();
    }
    Invalidate();
    if (!complete) DropUnderlay();
    return complete;
  }

  void DropUnderlay() {
    if (underlayFbo_) glDeleteFramebuffers(1, &underlayFbo_);
    if (underlayTextures_[0]) glDeleteTextures(2, underlayTextures_);
    underlayFbo_ = 0;
    underlayTextures_[0] = underlayTextures_[1] = 0;
    underlayValid_ = false;
    underlayDigests_.clear();
  }

  // The first packet a partial frame has to play: after the underlay's, copied into
  // the damaged part, where one holds this frame's first packets or can be made for
  // them; 0 where not.
  size_t FromUnderlay(size_t head) {
    if (!real_ || underlayRefused_) return 0;
    const bool holdsHead = UnderlayHoldsHead(head);
    if (holdsHead && Contains(underlayRect_, damage_)) {
      if (BringBackUnderlay(underlayDigests_.size())) return underlayDigests_.size();
      RefuseUnderlay();
      return 0;
    }
    // Worth keeping once it holds a draw besides the frame's clear, and only for
    // packets that draw into the picture alone.
    if (head < 2) return 0;
    for (size_t i = 0; i < head; ++i)
      if (states_[packets_[i].stateAt].target) return 0;
    // An animation moves its damaged part about: the underlay grows to every part it
    // was asked for while it holds the same packets, up to half the picture. It takes
    // a margin of the damaged part's own size beyond that, so that something gliding
    // across the screen has it made again every few dozen frames, not at every one
    // (each making plays all the first packets over the whole area); where the whole
    // would be too large, it starts again round the damaged part.
    GlRect reach = damage_;
    if (holdsHead) {
      const int mx = std::max(damage_.w, kUnderlayMargin), my = std::max(damage_.h, kUnderlayMargin);
      const int margins[4][2] = {{mx, my}, {mx, 0}, {0, my}, {0, 0}};  // round about, else along one axis
      for (const auto& m : margins) {
        const GlRect need = Intersect(GlRect{damage_.x - m[0], damage_.y - m[1], damage_.w + 2 * m[0], damage_.h + 2 * m[1]},
                                      GlRect{0, 0, width_, height_});
        const GlRect grown = Union(underlayRect_, need);
        if (HalfThePictureAtMost(grown)) {
          reach = grown;
          break;
        }
        if (HalfThePictureAtMost(need)) {
          reach = need;
          break;
        }
      }
    }
    if (!MakeUnderlay()) return 0;
    // The first packets are played into the underlay over that area, then copied.
    const GlRect damage = damage_;
    const DeviceState live = state_;
    std::swap(pictureFbo_, underlayFbo_);
    damage_ = reach;
    Invalidate();
    Play(0, head);
    std::swap(pictureFbo_, underlayFbo_);
    damage_ = damage;
    state_ = live;
    dirty_ = true;
    Invalidate();
    underlayDigests_.resize(head);
    for (size_t i = 0; i < head; ++i) underlayDigests_[i] = packets_[i].digest;
    underlayRect_ = reach;
    underlayValid_ = true;
    if (BringBackUnderlay(head)) return head;
    RefuseUnderlay();
    return 0;
  }

  bool HalfThePictureAtMost(const GlRect& r) const {
    return int64_t(r.w) * r.h * 2 <= int64_t(width_) * height_;
  }

  // A picture GL cannot copy into from the underlay (the back buffer's depth and
  // stencil of other sizes, say): frames play all their packets again, as before.
  void RefuseUnderlay() {
    platform::ConsoleWriteLine("gfx: the picture cannot be copied from a kept underlay; drawing in full");
    DropUnderlay();
    underlayRefused_ = true;
  }

  // The picture the frames are drawn into and copied from to the back buffer, so that
  // a frame can draw again only the part that changed. Not made where the back
  // buffer is multisampled (the picture would lose the samples).
  void MakePicture() {
    pictureChecked_ = true;
    havePicture_ = backBufferKept_;  // the back buffer is the picture
    if (backBufferKept_) return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    if (samples > 1 || width_ <= 0 || height_ <= 0) return;
    havePicture_ = MakeTarget(pictureBuffers_, pictureFbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!havePicture_) DropPicture();
    Invalidate();
  }

  void DropPicture() {
    DropUnderlay();
    if (pictureFbo_) glDeleteFramebuffers(1, &pictureFbo_);
    if (pictureBuffers_[0]) glDeleteRenderbuffers(2, pictureBuffers_);
    pictureFbo_ = 0;
    pictureBuffers_[0] = pictureBuffers_[1] = 0;
    havePicture_ = !real_;
  }

  // What a texture contributes to the digest: which texture, and for pixels that
  // change, which pixels. A render texture drawn into earlier in this frame holds
  // what this frame's own (digested) packets put there.
  void DigestTexture(const Texture* t) {
    if (!t) {
      digest_.Word(0);
      return;
    }
    digest_.Word(t->Serial());
    uint64_t version = 0;
    if (t->Kind() == TextureKind::kDynamic) version = t->ContentVersion();
    if (t->Kind() == TextureKind::kRenderTarget)
      version = std::find(written_.begin(), written_.end(), t) != written_.end() ? ~0ull : t->ContentVersion();
    digest_.Word(version);
  }

  // Everything of the state that shapes a draw but its textures (whose pixels can
  // change under the same pointer), digested anew only when the state's bytes differ
  // from those it was last digested for: a run of draws under one state costs a
  // compare each, not a digest.
  uint64_t PlainStateDigest(uint32_t at) {
    if (plainValid_ && plainAt_ == at) return plainDigest_;
    const DeviceState& st = states_[at];
    Digest d;
    for (const Matrix& m : st.transforms) d.Bytes(m.data(), 16 * sizeof(float));
    const Material& mat = st.material;
    d.Value(mat.diffuse);
    d.Value(mat.ambient);
    d.Value(mat.specular);
    d.Value(mat.emissive);
    d.Value(mat.power);
    for (int i = 0; i < kMaxLights; ++i) {
      d.Value(st.lightOn[i]);
      if (!st.lightOn[i]) continue;
      const Light& l = st.lights[i];
      d.Value(l.type);
      d.Value(l.diffuse);
      d.Value(l.specular);
      d.Value(l.ambient);
      d.Value(l.position);
      d.Value(l.direction);
      d.Value(l.range);
      d.Value(l.attenuation0);
      d.Value(l.attenuation1);
      d.Value(l.attenuation2);
    }
    d.Value(st.render);
    d.Value(st.stage);
    d.Value(st.sampler);
    const Viewport& v = st.viewport;
    d.Value(v.x);
    d.Value(v.y);
    d.Value(v.width);
    d.Value(v.height);
    d.Value(v.minZ);
    d.Value(v.maxZ);
    d.Value(st.fvf);
    d.Value(st.streamStride);
    // The rectangle matters only while the test is on (the test itself is a render state).
    if (st.render[size_t(RenderState::kScissorTestEnable)]) d.Value(st.scissor);
    plainAt_ = at;
    plainDigest_ = d.Value();
    plainValid_ = true;
    return plainDigest_;
  }

  void DigestState(uint32_t at) {
    const DeviceState& st = states_[at];
    digest_.Word(PlainStateDigest(at));
    for (const Texture* t : st.textures) DigestTexture(t);
    DigestTexture(st.target);
  }

  void CloseLastPacket() {
    if (packetCount_ > 0) packets_[packetCount_ - 1].digest = digest_.Value();
    digest_.Reset();
  }

  Packet& Record(PacketKind kind) {
    CloseLastPacket();
    if (packetCount_ == packets_.size()) packets_.emplace_back();
    Packet& p = packets_[packetCount_++];
    p.kind = kind;
    p.stateAt = InternState();
    p.reach = Packet::Reach::kUnknown;
    p.dataBytes = 0;
    p.indexed = false;
    p.geometry = nullptr;
    digest_.Value(kind);
    if (kind == PacketKind::kDraw || kind == PacketKind::kStatic) {
      DigestState(p.stateAt);
      p.stateDigest = digest_.Value();
    } else if (kind == PacketKind::kClear) {
      // A clear reads only where it clears.
      digest_.Value(state_.viewport.x);
      digest_.Value(state_.viewport.y);
      digest_.Value(state_.viewport.width);
      digest_.Value(state_.viewport.height);
      const bool scissorOn = state_.render[size_t(RenderState::kScissorTestEnable)] != 0;
      digest_.Value(scissorOn);
      if (scissorOn) digest_.Value(state_.scissor);
      DigestTexture(state_.target);
    }
    return p;
  }

  // A draw or clear into a render texture changes its pixels.
  void WroteTarget() {
    Texture* target = const_cast<Texture*>(state_.target);
    if (!target) return;
    if (recording_ && std::find(written_.begin(), written_.end(), target) == written_.end())
      written_.push_back(target);
    target->ContentChanged();
  }

  bool HeldFrameUses(const Texture* t) const {
    for (size_t i = 0; i < stateCount_; ++i) {
      const DeviceState& st = states_[i];
      if (st.target == t || st.textures[0] == t || st.textures[1] == t) return true;
    }
    return false;
  }
  bool HeldFrameUses(const GlStaticGeometry* g) const {
    for (size_t i = 0; i < packetCount_; ++i)
      if (packets_[i].geometry == g) return true;
    return false;
  }

  // Plays the held packets to GL; the rest of the frame then goes to GL at once.
  // Draws in a row under the same state go as one (Batch), and a draw under the
  // state of the draw before sends no new uniforms.
  void Commit(size_t from = 0) {
    if (!recording_ || committed_) return;
    committed_ = true;
    const DeviceState live = state_;
    Invalidate();
    Play(from, packetCount_);
    state_ = live;
    dirty_ = true;
  }

  void Play(size_t from, size_t to) {
    const Packet* lastDraw = nullptr;  // the last draw played, while its state is GL's
    uint32_t playedAt = ~0u;  // the state in state_
    for (size_t i = from; i < to; ++i) {
      const Packet& p = packets_[i];
      if (damageOn_ && p.kind != PacketKind::kFrameClear && OutsideDamage(p)) continue;
      const bool draw = p.kind == PacketKind::kDraw || p.kind == PacketKind::kStatic;
      const bool sameState = draw && lastDraw && SameDrawState(*lastDraw, p);
      if (p.stateAt != playedAt) {
        state_ = states_[p.stateAt];
        playedAt = p.stateAt;
      }
      if (!sameState) dirty_ = true;
      switch (p.kind) {
        case PacketKind::kFrameClear: FrameClearNow(); break;
        case PacketKind::kClear: ClearNow(p.flags, p.color, p.z, p.stencil); break;
        case PacketKind::kDraw: i = Batch(i, to); break;
        case PacketKind::kStatic: DrawStaticNow(*p.geometry, p.type, uint32_t(p.indexAt), p.count); break;
      }
      // A clear leaves GL's draw state as it was, but the frame clear forgets it.
      if (draw) lastDraw = &packets_[i];
      else if (p.kind == PacketKind::kFrameClear) lastDraw = nullptr;
    }
  }

  // What lies wholly outside the damaged part would be cut away by the scissor.
  bool OutsideDamage(const Packet& p) const {
    GlRect r;
    if (!PacketRect(p, states_, frameBytes_, r)) return false;
    const GlRect in = Intersect(r, damage_);
    return r.w <= 0 || r.h <= 0 || in.w <= 0 || in.h <= 0;
  }

  static bool Batchable(PrimitiveType type) {
    return type == PrimitiveType::kTriangleList || type == PrimitiveType::kTriangleStrip;
  }

  // Whether two recorded draws see the same device state, so that one draw can stand
  // for both (the digest first, then every field, so that no collision can join two
  // draws that look different).
  bool SameDrawState(const Packet& a, const Packet& b) const {
    if (a.stateDigest != b.stateDigest) return false;
    if (a.stateAt == b.stateAt) return true;  // one state, and its textures' pixels alike
    const DeviceState &x = states_[a.stateAt], &y = states_[b.stateAt];
    for (size_t t = 0; t < x.transforms.size(); ++t)
      if (std::memcmp(x.transforms[t].data(), y.transforms[t].data(), 16 * sizeof(float)) != 0) return false;
    auto same4 = [](const Vec4& u, const Vec4& v) { return u.x == v.x && u.y == v.y && u.z == v.z && u.w == v.w; };
    auto same3 = [](const Vec3& u, const Vec3& v) { return u.x == v.x && u.y == v.y && u.z == v.z; };
    const Material &m = x.material, &n = y.material;
    if (!same4(m.diffuse, n.diffuse) || !same4(m.ambient, n.ambient) || !same4(m.specular, n.specular) ||
        !same4(m.emissive, n.emissive) || m.power != n.power)
      return false;
    for (int l = 0; l < kMaxLights; ++l) {
      if (x.lightOn[l] != y.lightOn[l]) return false;
      if (!x.lightOn[l]) continue;
      const Light &g = x.lights[l], &h = y.lights[l];
      if (g.type != h.type || !same4(g.diffuse, h.diffuse) || !same4(g.specular, h.specular) ||
          !same4(g.ambient, h.ambient) || !same3(g.position, h.position) || !same3(g.direction, h.direction) ||
          g.range != h.range || g.attenuation0 != h.attenuation0 || g.attenuation1 != h.attenuation1 ||
          g.attenuation2 != h.attenuation2)
        return false;
    }
    if (x.render != y.render || x.stage != y.stage || x.sampler != y.sampler || x.textures != y.textures ||
        !(x.viewport == y.viewport) || x.target != y.target || x.fvf != y.fvf)
      return false;
    return !x.render[size_t(RenderState::kScissorTestEnable)] || x.scissor == y.scissor;
  }

  // The held draw at `first` and the triangle draws after it under the same state go
  // to GL as one indexed triangle list, their triangles in their order, so the
  // picture is the one the separate draws paint. Returns the last packet it drew.
  size_t Batch(size_t first, size_t end) {
    const Packet& head = packets_[first];
    size_t last = first;
    size_t vertices = head.vertexCount, indices = TriangleIndices(head);
    if (Batchable(head.type)) {
      for (size_t j = first + 1; j < end; ++j) {
        const Packet& q = packets_[j];
        if (damageOn_ && q.kind != PacketKind::kFrameClear && OutsideDamage(q)) continue;
        if (q.kind != PacketKind::kDraw || !Batchable(q.type) || q.stride != head.stride ||
            !SameDrawState(head, q))
          break;
        // Kept well inside the rings, which a single draw must fit.
        if ((vertices + q.vertexCount) * head.stride > kVertexRing / 2 ||
            (indices + TriangleIndices(q)) * 4 > kIndexRing / 2)
          break;
        vertices += q.vertexCount;
        indices += TriangleIndices(q);
        last = j;
      }
    }
    if (last == first) {
      DrawNow(head.type, head.count, frameBytes_.data() + head.dataAt, head.stride,
              head.indexed ? frameIndices_.data() + head.indexAt : nullptr, head.vertexCount);
      return first;
    }
    batchBytes_.clear();
    batchIndices_.clear();
    for (size_t j = first; j <= last; ++j) {
      const Packet& q = packets_[j];
      if (q.kind != PacketKind::kDraw) continue;
      if (damageOn_ && OutsideDamage(q)) continue;
      const uint32_t base = uint32_t(batchBytes_.size() / head.stride);
      const uint8_t* bytes = frameBytes_.data() + q.dataAt;
      batchBytes_.insert(batchBytes_.end(), bytes, bytes + q.dataBytes);
      const uint32_t* from = q.indexed ? frameIndices_.data() + q.indexAt : nullptr;
      auto at = [&](uint32_t k) { return base + (from ? from[k] : k); };
      if (q.type == PrimitiveType::kTriangleList) {
        for (uint32_t k = 0; k + 2 < q.count; k += 3)
          batchIndices_.insert(batchIndices_.end(), {at(k), at(k + 1), at(k + 2)});
      } else {
        // A strip's odd triangles turn their first two corners round, as GL does.
        for (uint32_t k = 0; k + 2 < q.count; ++k) {
          if (k & 1) batchIndices_.insert(batchIndices_.end(), {at(k + 1), at(k), at(k + 2)});
          else batchIndices_.insert(batchIndices_.end(), {at(k), at(k + 1), at(k + 2)});
        }
      }
    }
    DrawNow(PrimitiveType::kTriangleList, uint32_t(batchIndices_.size()), batchBytes_.data(), head.stride,
            batchIndices_.data(), uint32_t(batchBytes_.size() / head.stride));
    return last;
  }

  // The indices a draw takes as a triangle list.
  static size_t TriangleIndices(const Packet& p) {
    if (p.count < 3) return 0;
    return p.type == PrimitiveType::kTriangleStrip ? size_t(p.count - 2) * 3 : size_t(p.count) / 3 * 3;
  }

  // The back buffer, whole, cleared to black.
  void FrameClearNow() {
    gl_.bindFramebuffer(pictureFbo_);
    gl_.viewport(0, 0, width_, height_);
    gl_.colorMask(true, true, true, true);
    gl_.depthMask(true);
    if (damageOn_) gl_.scissor(damage_.x, damage_.y, damage_.w, damage_.h);
    gl_.enable(GL_SCISSOR_TEST, damageOn_);
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    gl_.clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT, black, 1.0f, 0);
    Invalidate();
  }

  bool recording_ = false;
  bool committed_ = false;  // this frame's packets went to GL (something needed them drawn)
  std::vector<Packet> packets_;  // kept between frames so that recording does not allocate
  size_t packetCount_ = 0;
  std::vector<uint8_t> frameBytes_;
  std::vector<uint32_t> frameIndices_;
  // One batch of draws as it goes to GL (kept between frames so as not to allocate).
  std::vector<uint8_t> batchBytes_;
  std::vector<uint32_t> batchIndices_;
  // What the frame being recorded cost to send, and what the last one did.
  uint32_t recordedDraws_ = 0, sentDraws_ = 0;
  FrameSendStats lastStats_;
  // The states the frame's packets were recorded under (see InternState), and the
  // last frame's, which its packets in lastPackets_ refer to.
  std::vector<DeviceState> states_, lastStates_;
  size_t stateCount_ = 0;
  // The state (in states_) PlainStateDigest last digested, and its digest.
  uint32_t plainAt_ = 0;
  uint64_t plainDigest_ = 0;
  bool plainValid_ = false;
  std::vector<const Texture*> written_;  // render textures drawn into this frame
  Digest digest_;  // of the packet being recorded
  uint64_t lastDrawnDigest_ = 0;
  bool lastDrawnValid_ = false;
  std::vector<Packet> lastPackets_;  // the last frame, to find what changed since
  size_t lastPacketCount_ = 0;
  std::vector<uint8_t> lastFrameBytes_;
  bool damageOn_ = false;  // a frame is being drawn again inside damage_ only
  GlRect damage_{0, 0, 0, 0};
  GlRect lastDamage_{0, 0, 0, 0};
  // Over the GL stub there is no picture to make, but the frames behave as if.
  bool pictureChecked_ = false;
  bool backBufferKept_ = false;
  bool havePicture_ = false;
  GLuint pictureFbo_ = 0;
  GLuint pictureBuffers_[2] = {0, 0};
  GLuint underlayFbo_ = 0;
  GLuint underlayTextures_[2] = {0, 0};  // colour, depth-stencil
  GLuint underlayProgram_ = 0;           // paints them back; 0 where it could not be made
  bool underlayProgramTried_ = false;
  bool underlayValid_ = false;
  bool underlayRefused_ = false;
  std::vector<uint64_t> underlayDigests_;  // of the packets it holds, from the frame's first
  GlRect underlayRect_{0, 0, 0, 0};

  const GlFunctions& gl_;
  bool real_;
  bool specialise_;  // false: everything drawn with the general program
  std::map<ProgramKey, GLuint> programs_;
  ProgramKey lastKey_{};
  GLuint lastProgram_ = 0;
  bool haveLastKey_ = false;
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

void GeometryReleasing(const GlStaticGeometry* geometry) {
  if (t_recording) t_recording->OnGeometryReleasing(geometry);
}

}  // namespace

void TextureReleasing(const Texture* texture) {
  if (t_recording) t_recording->OnTextureReleasing(texture);
}

std::unique_ptr<RenderDevice> CreateGlRenderDevice(int width, int height) {
  return std::make_unique<GlRenderDevice>(width, height, RealGlFunctions(), true);
}

std::unique_ptr<RenderDevice> CreateGlRenderDeviceGeneral(int width, int height) {
  return std::make_unique<GlRenderDevice>(width, height, RealGlFunctions(), true, false);
}

std::unique_ptr<RenderDevice> CreateGlRenderDeviceOverStub(int width, int height) {
  return std::make_unique<GlRenderDevice>(width, height, StubGlFunctions(), false);
}

}  // namespace platform::gfx
