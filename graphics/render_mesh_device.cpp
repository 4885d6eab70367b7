// The mesh code's drawing calls on the renderer's device.
#include "graphics/render_mesh_device.h"

#include "graphics/image_decode_pool.h"

namespace graphics {

namespace gfx = platform::gfx;

void RenderMeshDevice::ShareDecodes(bool on, ImageDecodePool* pool) {
  shareDecodes_ = on;
  pool_ = on ? pool : nullptr;
  if (!on) decoded_.clear();
}

bool RenderMeshDevice::LoadModelFile(std::string_view path, platform::model::XModel& out, std::string* error) {
  if (pool_) {
    std::string reason;
    switch (pool_->TakeModel(std::string(path), out, reason)) {
      case ImageDecodePool::Taken::kDecoded: return true;
      case ImageDecodePool::Taken::kFailed:
        if (error) *error = std::move(reason);
        return false;
      case ImageDecodePool::Taken::kNotQueued: break;
    }
  }
  return MeshDevice::LoadModelFile(path, out, error);
}

std::unique_ptr<gfx::Texture> RenderMeshDevice::CreateTextureFromFile(std::string_view path) {
  if (!device_) return nullptr;
  if (!shareDecodes_) return device_->CreateTextureFromFile(path);
  const std::string key(path);
  auto it = decoded_.find(key);
  if (it == decoded_.end()) {
    auto image = std::make_shared<gfx::ImageData>();
    const ImageDecodePool::Taken taken = pool_ ? pool_->Take(key, *image) : ImageDecodePool::Taken::kNotQueued;
    // A file that does not decode is tried again next time, as without sharing.
    if (taken == ImageDecodePool::Taken::kFailed) return nullptr;
    if (taken == ImageDecodePool::Taken::kNotQueued && !gfx::DecodeImageFile(path, *image)) return nullptr;
    it = decoded_.emplace(key, std::move(image)).first;
  }
  return device_->CreateSharedTexture(it->second);
}

void RenderMeshDevice::SetWorldTransform(const glm::mat4& world) {
  // A column-vector glm matrix holds the same floats as our row-vector one.
  if (device_) device_->SetTransform(gfx::TransformKind::kWorld, gfx::Matrix(world));
}

void RenderMeshDevice::SetMaterial(const MeshMaterial& m) {
  if (device_) device_->SetMaterial(gfx::Material{m.diffuse, m.ambient, m.specular, m.emissive, m.power});
}

void RenderMeshDevice::SetTexture(int stage, const gfx::Texture* texture) {
  if (device_) device_->SetTexture(stage, texture);
}

void RenderMeshDevice::SetTextureTransform(int stage, const glm::mat4* matrix) {
  if (!device_ || stage < 0 || stage >= gfx::kTextureStages) return;
  auto kind = stage == 0 ? gfx::TransformKind::kTexture0 : gfx::TransformKind::kTexture1;
  if (matrix) device_->SetTransform(kind, gfx::Matrix(*matrix));
  device_->SetTextureStageState(stage, gfx::TextureStageState::kTextureTransformFlags,
                                uint32_t(matrix ? gfx::TextureTransform::kCount2 : gfx::TextureTransform::kDisable));
}

void RenderMeshDevice::DrawTriangles(const platform::model::XVertex* vertices, size_t vertexCount,
                                     const uint32_t* indices, size_t indexCount) {
  static_assert(sizeof(platform::model::XVertex) == 40, "position, normal and two coordinate pairs");
  if (!device_ || !vertices || !indices || indexCount < 3 || vertexCount == 0) return;
  device_->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2);
  device_->DrawIndexedPrimitiveUP(gfx::PrimitiveType::kTriangleList, uint32_t(vertexCount),
                                  uint32_t(indexCount / 3), indices, vertices, sizeof(platform::model::XVertex));
}

void RenderMeshDevice::DrawMeshTriangles(std::unique_ptr<gfx::StaticGeometry>& geometry,
                                         const platform::model::XMesh& mesh, size_t firstIndex,
                                         size_t indexCount) {
  if (!device_ || indexCount < 3 || mesh.vertices.empty()) return;
  if (!geometry)
    geometry = device_->CreateStaticGeometry(mesh.vertices.data(), uint32_t(mesh.vertices.size()),
                                             sizeof(platform::model::XVertex), mesh.indices.data(),
                                             uint32_t(mesh.indices.size()));
  if (!geometry) return;
  device_->SetFVF(gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2);
  device_->DrawStaticGeometry(*geometry, gfx::PrimitiveType::kTriangleList, uint32_t(firstIndex),
                              uint32_t(indexCount / 3));
}

}  // namespace graphics
