// The drawing interface the renderers use: fixed-function device state (transforms,
// material and lights, render states, two texture stages with colour and alpha
// operations, samplers), vertex formats and buffers, draws, viewports, clears and
// render targets. Three back ends share it: OpenGL 3.3 (the fixed-function look is
// reproduced by a small shader), Null (accepts everything, draws nothing) and
// Recording (keeps a log of the calls for tests). Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/gfx/device.h"
#include "platform/gfx/matrix.h"

namespace platform::gfx {

// Vertex format bits; the numbers are the ones the drawing code writes (0x112 is
// position, normal and one texture coordinate pair).
namespace fvf {
constexpr uint32_t kXyz = 0x002;
constexpr uint32_t kXyzRhw = 0x004;  // pre-transformed screen positions
constexpr uint32_t kNormal = 0x010;
constexpr uint32_t kDiffuse = 0x040;   // ARGB colour word
constexpr uint32_t kSpecular = 0x080;  // ARGB colour word, read past
constexpr uint32_t kTex1 = 0x100;
constexpr uint32_t kTex2 = 0x200;
constexpr uint32_t kTexCountMask = 0xF00;
}  // namespace fvf

// Bytes of one vertex of the format; 0 for a format the device cannot draw.
uint32_t VertexStride(uint32_t format);

// The fixed quad and model vertex layouts.
struct VertexPosNormalTex {  // fvf::kXyz | fvf::kNormal | fvf::kTex1
  float x, y, z, nx, ny, nz, u, v;
};
struct VertexPosColorTex {  // fvf::kXyz | fvf::kDiffuse | fvf::kTex1
  float x, y, z;
  uint32_t color;
  float u, v;
};
struct VertexScreenColorTex {  // fvf::kXyzRhw | fvf::kDiffuse | fvf::kTex1
  float x, y, z, rhw;
  uint32_t color;
  float u, v;
};

enum class PrimitiveType { kPointList, kLineList, kLineStrip, kTriangleList, kTriangleStrip, kTriangleFan };
// Triangles (or lines, points) drawn from count primitives of the type.
uint32_t VertexCountOf(PrimitiveType type, uint32_t primitiveCount);

enum class TransformKind { kWorld, kView, kProjection, kTexture0, kTexture1 };

struct Material {
  Vec4 diffuse{1.0f};
  Vec4 ambient{0.0f};
  Vec4 specular{0.0f};
  Vec4 emissive{0.0f};
  float power = 0.0f;
};

enum class LightType { kPoint = 1, kSpot = 2, kDirectional = 3 };
struct Light {
  LightType type = LightType::kDirectional;
  Vec4 diffuse{1.0f};
  Vec4 specular{0.0f};
  Vec4 ambient{0.0f};
  Vec3 position{0.0f};
  Vec3 direction{0.0f, 0.0f, 1.0f};
  float range = 0.0f;
  float attenuation0 = 1.0f, attenuation1 = 0.0f, attenuation2 = 0.0f;
};
constexpr int kMaxLights = 8;

enum class CompareFunc : uint32_t { kNever = 1, kLess, kEqual, kLessEqual, kGreater, kNotEqual, kGreaterEqual, kAlways };
enum class BlendFactor : uint32_t {
  kZero = 1, kOne, kSrcColor, kInvSrcColor, kSrcAlpha, kInvSrcAlpha, kDestAlpha, kInvDestAlpha, kDestColor,
  kInvDestColor
};
enum class BlendOp : uint32_t { kAdd = 1, kSubtract, kRevSubtract, kMin, kMax };
// Which winding is culled, seen in the left-handed space with y up.
enum class CullMode : uint32_t { kNone = 1, kClockwise, kCounterClockwise };
enum class MaterialSource : uint32_t { kMaterial = 0, kVertexColor = 1 };

enum class RenderState {
  kZEnable, kZWriteEnable, kZFunc,             // bool, bool, CompareFunc
  kCullMode,                                   // CullMode
  kLighting, kAmbient,                         // bool, ARGB
  kAlphaBlendEnable, kSrcBlend, kDestBlend, kBlendOp,
  kAlphaTestEnable, kAlphaRef, kAlphaFunc,     // bool, 0..255, CompareFunc
  kTextureFactor,                              // ARGB
  kFillMode,                                   // 0 solid, 1 wireframe
  kColorVertex,                                // bool: vertex colour may stand in for the material
  kDiffuseMaterialSource,                      // MaterialSource
  kAmbientMaterialSource,
  kEmissiveMaterialSource,
  kSpecularEnable,
  kNormalizeNormals,
  kScissorTestEnable,
  kColorWriteEnable,                           // bits: 1 red, 2 green, 4 blue, 8 alpha
  kCount
};

enum class TextureOp : uint32_t { kDisable = 1, kSelectArg1, kSelectArg2, kModulate, kModulate2x, kModulate4x, kAdd };
enum class TextureArg : uint32_t { kDiffuse = 0, kCurrent = 1, kTexture = 2, kTFactor = 3 };
enum class TextureStageState {
  kColorOp, kColorArg1, kColorArg2, kAlphaOp, kAlphaArg1, kAlphaArg2,
  kTexCoordIndex,          // which coordinate pair of the vertex the stage reads
  kTextureTransformFlags,  // TextureTransform
  kCount
};
enum class TextureTransform : uint32_t { kDisable = 0, kCount2 = 2 };  // 2: (u, v, 1) x matrix

enum class Filter : uint32_t { kNone = 0, kPoint = 1, kLinear = 2 };
enum class Address : uint32_t { kWrap = 1, kMirror, kClamp };
enum class SamplerState { kMinFilter, kMagFilter, kMipFilter, kAddressU, kAddressV, kCount };

constexpr int kTextureStages = 2;

// Measured from the top-left corner of the target, in pixels.
struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
  float minZ = 0.0f, maxZ = 1.0f;
  bool operator==(const Viewport&) const = default;
};

// A rectangle of target pixels measured from the top-left corner; right and bottom
// are one past the last pixel inside, so an empty rectangle has right <= left.
struct ScissorRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return right <= left || bottom <= top; }
  bool operator==(const ScissorRect&) const = default;
};
// The part of a inside b (an empty rectangle when they do not meet).
ScissorRect Intersect(const ScissorRect& a, const ScissorRect& b);

namespace clear {
constexpr uint32_t kTarget = 1;
constexpr uint32_t kZBuffer = 2;
constexpr uint32_t kStencil = 4;
}  // namespace clear

// A vertex buffer the caller fills through Lock / Unlock.
class VertexBuffer {
 public:
  VertexBuffer(size_t bytes, uint32_t format) : bytes_(bytes), format_(format), data_(bytes) {}
  virtual ~VertexBuffer() = default;
  size_t Bytes() const { return bytes_; }
  uint32_t Format() const { return format_; }
  uint8_t* Lock() { return data_.data(); }
  void Unlock() { ++version_; }
  const uint8_t* Data() const { return data_.data(); }
  uint64_t Version() const { return version_; }  // changes at every Unlock

 private:
  size_t bytes_;
  uint32_t format_;
  std::vector<uint8_t> data_;
  uint64_t version_ = 0;
};

// Vertices and indices drawn many times over unchanged (a model's mesh). A back end
// may keep its own copy, so that a draw resends neither. The caller keeps both arrays
// alive and unchanged for the life of the geometry.
class StaticGeometry {
 public:
  StaticGeometry(const void* vertices, uint32_t vertexCount, uint32_t stride, const uint32_t* indices,
                 uint32_t indexCount);
  virtual ~StaticGeometry() = default;
  StaticGeometry(const StaticGeometry&) = delete;
  StaticGeometry& operator=(const StaticGeometry&) = delete;
  const uint8_t* Vertices() const { return vertices_; }
  uint32_t VertexCount() const { return vertexCount_; }
  uint32_t Stride() const { return stride_; }
  const uint32_t* Indices() const { return indices_; }
  uint32_t IndexCount() const { return indexCount_; }
  // Whether count indices from first all point at vertices of the geometry (checked
  // once when made, so that a sound mesh costs no scan per draw).
  bool RangeInBounds(uint32_t first, uint32_t count) const;

 private:
  const uint8_t* vertices_;
  uint32_t vertexCount_, stride_;
  const uint32_t* indices_;
  uint32_t indexCount_;
  bool anyIndexPastEnd_ = false;
};

enum class BackEnd { kOpenGL, kNull, kRecording };

// What handing the last held frame to GL took (zeros from back ends that hold none):
// a back end may send draws in a row under the same state as one.
struct FrameSendStats {
  uint32_t recordedDraws = 0;  // draws the frame made
  uint32_t sentDraws = 0;      // draws that reached GL (draws joined into one count once)
  double sendMs = 0.0;         // main-thread time of the hand-over, the driver's part included
};

class RenderDevice {
 public:
  virtual ~RenderDevice() = default;
  virtual BackEnd Kind() const = 0;

  // The size of the back buffer (render target 0).
  virtual int BackBufferWidth() const = 0;
  virtual int BackBufferHeight() const = 0;
  virtual void SetBackBufferSize(int width, int height) = 0;

  // Resets every state to the device's start values (as a fresh device has them).
  virtual void ResetStates() = 0;

  virtual void SetTransform(TransformKind kind, const Matrix& m) = 0;
  virtual const Matrix& GetTransform(TransformKind kind) const = 0;
  virtual void SetMaterial(const Material& material) = 0;
  virtual const Material& GetMaterial() const = 0;
  virtual void SetLight(int index, const Light& light) = 0;
  virtual void LightEnable(int index, bool enable) = 0;
  virtual void SetRenderState(RenderState state, uint32_t value) = 0;
  virtual uint32_t GetRenderState(RenderState state) const = 0;
  virtual void SetTextureStageState(int stage, TextureStageState state, uint32_t value) = 0;
  virtual uint32_t GetTextureStageState(int stage, TextureStageState state) const = 0;
  virtual void SetSamplerState(int stage, SamplerState state, uint32_t value) = 0;
  virtual uint32_t GetSamplerState(int stage, SamplerState state) const = 0;
  virtual void SetTexture(int stage, const Texture* texture) = 0;
  virtual const Texture* GetTexture(int stage) const = 0;

  virtual void SetViewport(const Viewport& viewport) = 0;
  virtual const Viewport& GetViewport() const = 0;
  // Draws and clears stay inside this rectangle while kScissorTestEnable is on; a
  // fresh device and every SetRenderTarget make it the whole target.
  virtual void SetScissorRect(const ScissorRect& rect) = 0;
  virtual const ScissorRect& GetScissorRect() const = 0;
  // Clears the current viewport's rectangle only (and of it only what lies inside the
  // scissor rectangle while the scissor test is on); colour is ARGB.
  virtual void Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) = 0;

  virtual std::unique_ptr<VertexBuffer> CreateVertexBuffer(size_t bytes, uint32_t format) = 0;
  virtual void SetFVF(uint32_t format) = 0;
  virtual void SetStreamSource(const VertexBuffer* buffer, uint32_t stride) = 0;
  virtual void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) = 0;
  // Vertices from memory in the current format.
  virtual void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                               uint32_t stride) = 0;
  virtual void DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t vertexCount, uint32_t primitiveCount,
                                      const uint32_t* indices, const void* vertices, uint32_t stride) = 0;
  // Geometry for DrawStaticGeometry; null for empty arrays.
  virtual std::unique_ptr<StaticGeometry> CreateStaticGeometry(const void* vertices, uint32_t vertexCount,
                                                               uint32_t stride, const uint32_t* indices,
                                                               uint32_t indexCount);
  // The same as DrawIndexedPrimitiveUP of primitiveCount primitives from the
  // geometry's indices at firstIndex, in the current format; a range that runs past
  // the indices or holds an index past the vertices is refused.
  virtual void DrawStaticGeometry(const StaticGeometry& geometry, PrimitiveType type, uint32_t firstIndex,
                                  uint32_t primitiveCount);

  // Textures. Any thread may decode (DecodeImageFile); only the main thread calls these.
  // A texture made from pixels keeps them until its first use uploads them.
  virtual std::unique_ptr<Texture> CreateTexture(const ImageData& image) = 0;
  virtual std::unique_ptr<Texture> CreateTexture(ImageData&& image) = 0;
  // A texture that reads its pixels from a decode shared with other textures until
  // its upload, instead of copying them. By default a copy is made.
  virtual std::unique_ptr<Texture> CreateSharedTexture(std::shared_ptr<const ImageData> image) {
    return image ? CreateTexture(*image) : nullptr;
  }
  std::unique_ptr<Texture> CreateTextureFromFile(std::string_view path);
  // Makes the texture resident now (uploads waiting pixels) instead of at first use.
  virtual void Preload(const Texture& texture) { (void)texture; }
  // A texture whose pixels the caller replaces often (video frames).
  virtual std::unique_ptr<Texture> CreateDynamicTexture(int width, int height) = 0;
  virtual void UpdateTexture(Texture& texture, const uint8_t* rgba, int width, int height) = 0;
  // A texture that can be drawn into and drawn from.
  virtual std::unique_ptr<Texture> CreateRenderTexture(int width, int height) = 0;
  // Null: the back buffer. The viewport becomes the whole target.
  virtual void SetRenderTarget(const Texture* target) = 0;
  virtual const Texture* GetRenderTarget() const = 0;
  // Reads the current target's pixels (RGBA, top row first); false without pixels.
  virtual bool ReadPixels(ImageData& out) = 0;

  // The device is made again (another adapter or multisampling) and this interface
  // goes on with the new one. DetachContext runs while the old context is current:
  // every texture made here keeps its pixels in memory (read back when uploaded) and
  // the old context's names are deleted. AttachContext runs with the new context
  // current: the interface's own objects are made again; textures upload at first use.
  virtual void DetachContext() {}
  virtual void AttachContext() {}

  // Frame bracket: Present ends a frame (the framework swaps).
  virtual void BeginScene() = 0;
  virtual void EndScene() = 0;

  // The whole frame between the framework's frame start and its present. A back end
  // may hold the frame's clears and draws until EndFrameRecording and leave them out
  // when they would draw the same picture as the last frame drawn; BeginFrameRecording
  // also clears the back buffer (black, depth 1, stencil 0). EndFrameRecording returns
  // whether the frame was drawn (its picture is new, or `force`): only then is there
  // something to present. Back ends that draw each call at once draw every frame.
  virtual void BeginFrameRecording() {}
  // The back buffer keeps its pixels from one present to the next (a single-buffered
  // surface): a frame may then be drawn again in part right there. Otherwise such a
  // back end draws its frames into a picture of its own and copies it over.
  virtual void SetBackBufferKept(bool kept) { (void)kept; }
  virtual bool EndFrameRecording(bool force) {
    (void)force;
    return true;
  }
  virtual FrameSendStats LastFrameSendStats() const { return {}; }
  // The part of the back buffer that the last drawn frame changed, in OpenGL window
  // coordinates (origin bottom left), so that a present can copy only that much.
  // False where the back end cannot tell: the whole buffer counts as changed.
  virtual bool LastDrawnArea(int& x, int& y, int& width, int& height) const {
    (void)x, (void)y, (void)width, (void)height;
    return false;
  }
};

// Called as a texture is deleted: a back end holding a frame's draws that use it
// draws them while the texture still exists.
void TextureReleasing(const Texture* texture);

// The back end that draws nothing: every call is accepted and kept as state.
std::unique_ptr<RenderDevice> CreateNullRenderDevice(int width, int height);
// The OpenGL 3.3 back end; a context must be current on the calling thread.
std::unique_ptr<RenderDevice> CreateGlRenderDevice(int width, int height);
// The same back end drawing everything with its one general program, none made for
// the state in force: the reference its specialised programs must match.
std::unique_ptr<RenderDevice> CreateGlRenderDeviceGeneral(int width, int height);
// The OpenGL back end with every GL call going to a counting stub (no context needed):
// what the back end itself costs, for benchmarks.
std::unique_ptr<RenderDevice> CreateGlRenderDeviceOverStub(int width, int height);

}  // namespace platform::gfx
