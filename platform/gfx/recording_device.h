// The Recording back end: it keeps the device state like any other back end and
// logs every call, and for each draw the state in force and the vertices drawn
// (positions after the world transform, texture coordinates after the texture
// matrix), so tests check what would be drawn without pixels.
#pragma once

#include <string>
#include <vector>

#include "platform/gfx/state_device.h"

namespace platform::gfx {

struct DrawnVertex {
  Vec3 position{0.0f};  // as given in the vertex
  Vec3 world{0.0f};     // position x world transform (screen position for pre-transformed vertices)
  Vec2 uv0{0.0f};       // stage 0 coordinates after its texture transform
  Vec2 uv1{0.0f};
  uint32_t color = 0xFFFFFFFF;
};

struct RecordedDraw {
  PrimitiveType type = PrimitiveType::kTriangleList;
  uint32_t primitiveCount = 0;
  DeviceState state;
  std::vector<DrawnVertex> vertices;  // in the order drawn (strips as given)
};

class RecordingRenderDevice : public StateDevice {
 public:
  RecordingRenderDevice(int width = 1280, int height = 720) : StateDevice(width, height) {}
  BackEnd Kind() const override { return BackEnd::kRecording; }

  void SetTransform(TransformKind kind, const Matrix& m) override;
  void SetRenderState(RenderState s, uint32_t value) override;
  void SetTexture(int stage, const Texture* texture) override;
  void SetMaterial(const Material& material) override;
  void SetViewport(const Viewport& viewport) override;
  void SetScissorRect(const ScissorRect& rect) override;
  void Clear(uint32_t flags, uint32_t color, float z, uint32_t stencil) override;
  void DrawPrimitive(PrimitiveType type, uint32_t startVertex, uint32_t primitiveCount) override;
  void DrawPrimitiveUP(PrimitiveType type, uint32_t primitiveCount, const void* vertices,
                       uint32_t stride) override;
  void DrawIndexedPrimitiveUP(PrimitiveType type, uint32_t vertexCount, uint32_t primitiveCount,
                              const uint32_t* indices, const void* vertices, uint32_t stride) override;
  std::unique_ptr<Texture> CreateTexture(const ImageData& image) override;
  std::unique_ptr<Texture> CreateTexture(ImageData&& image) override;
  std::unique_ptr<Texture> CreateDynamicTexture(int width, int height) override;
  void UpdateTexture(Texture& texture, const uint8_t* rgba, int width, int height) override;
  std::unique_ptr<Texture> CreateRenderTexture(int width, int height) override;
  void SetRenderTarget(const Texture* target) override;
  bool ReadPixels(ImageData&) override { return false; }
  void BeginScene() override { log.push_back("BeginScene"); }
  void EndScene() override { log.push_back("EndScene"); }

  struct RecordedClear {
    uint32_t flags, color;
    float z;
    Viewport viewport;
    ScissorRect area;  // the pixels the clear touches (viewport cut to the scissor)
  };
  std::vector<std::string> log;  // one short line per call, e.g. "SetTexture 0 64x32"
  std::vector<RecordedDraw> draws;
  std::vector<RecordedClear> clears;
  void ClearLog() {
    log.clear();
    draws.clear();
    clears.clear();
  }

 private:
  void Record(PrimitiveType type, uint32_t primitiveCount, const uint8_t* vertices, uint32_t stride,
              const uint32_t* indices, uint32_t indexCount);
};

}  // namespace platform::gfx
