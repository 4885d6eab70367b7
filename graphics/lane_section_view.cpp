// Lane-section overlays: their grids on the board's arc or along one lane, the fade
// toward the far end of the board, and the list that draws the track's sections.
#include "graphics/lane_section_view.h"

#include <algorithm>
#include <cmath>

#include "game/lane_sections.h"
#include "graphics/board_geometry.h"
#include "graphics/game_assets.h"
#include "graphics/scene_context.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

// Slots of the asset store's fret texture table that hold the overlays' pictures.
constexpr int32_t kSoloTexture = 53;         // "board/Neck_Solo.png"
constexpr int32_t kFreestyleTexture = 54;    // "board/Neck_Freestyle.png"
constexpr int32_t kTremoloTexture = 95;      // "board/Lane_Tremolo.png"
constexpr int32_t kTremoloBassTexture = 96;  // "board/Lane_Tremolo_Bass.png"

// The alpha pulse: towards 0.4 at 0.25 a second, there and back, for ever.
constexpr float kPulseLow = 0.4f;
constexpr float kPulseSpeed = 0.25f;
// The width pulse: 1.0 to 0.985 (0.95 for one lane) at speed 80.
constexpr float kWidthPulseBoard = 0.985f;
constexpr float kWidthPulseLane = 0.95f;
constexpr float kWidthPulseSpeed = 80.0f;

uint32_t DiffuseWithAlpha(float alpha) {
  alpha = std::clamp(alpha, 0.0f, 1.0f);
  return (static_cast<uint32_t>(alpha * 255.0f) << 24) | 0xFFFFFFu;
}

}  // namespace

LaneSection::LaneSection() {
  widthPulse.repeat = true;
  widthPulse.to = 1.0f;
  widthPulse.speed = 1.0f;
  Reset();
}

void LaneSection::Reset() {
  place.Reset();
  alpha = 1.0f;
  span = 100.0f;
  rowStep = 10.0f;
  startPos = 0.0f;
  endPos = 100.0f;
  startClamped = 0.0f;
  endClamped = 100.0f;
  columns = rows = vertexCount = triangleCount = indexCount = 0;
  singleLane = false;
  lane = laneCount = mode = kind = 0;
  lefty = false;
  laneOffset = 0.0f;
  next = nullptr;
  type = kNone;
  alphaAnim.Start(&alpha, true, true, 0, kPulseSpeed, kPulseLow);
  widthFactor = 1.0f;
  laneMarks = nullptr;
  vertices.clear();
  vertices.shrink_to_fit();
  indices.clear();
  indices.shrink_to_fit();
}

bool LaneSection::Setup(bool single, int32_t newLane, gfx::Texture* const* newTexture, gfx::RenderDevice* newDevice,
                        float newLaneOffset, int32_t newLaneCount, float newRowStep) {
  singleLane = single;
  lane = newLane;
  texture = newTexture;
  device = newDevice;
  laneOffset = newLaneOffset;
  laneCount = newLaneCount;
  rowStep = newRowStep;
  material = gfx::Material{gfx::Vec4(1.0f), gfx::Vec4(1.0f), gfx::Vec4(0.0f), gfx::Vec4(1.0f), 0.0f};

  startClamped = std::isfinite(startPos) ? std::clamp(startPos, kNearLimit, kFarLimit) : kFarLimit;
  endClamped = std::isfinite(endPos) ? std::clamp(endPos, kNearLimit, kFarLimit) : kFarLimit;
  span = endClamped - startClamped;
  columns = singleLane ? 1 : kFullBoardColumns;
  rows = 0;
  // A row step that is not a positive number would make no grid (or an endless one).
  const bool stepOk = rowStep > 0.0f && std::isfinite(rowStep);
  if (stepOk && span >= 0.0f) {
    const float maxRows = static_cast<float>(kMaxVertices / (columns + 1) - 1);
    rows = static_cast<int32_t>(std::min(std::floor(span / rowStep), maxRows - 1.0f)) + 1;
  }
  vertexCount = rows > 0 ? (rows + 1) * (columns + 1) : 0;
  triangleCount = 2 * rows * columns;
  indexCount = 6 * rows * columns;
  return stepOk;
}

void LaneSection::BuildMesh() {
  vertices.resize(static_cast<size_t>(vertexCount));
  if (singleLane) {
    BoardGeometry::LanePositions(place, lane, laneCount, kind, lefty, mode, false, laneOffset);
    // The overlay lies flat in its own plane, so the lane's tilt turns it about z.
    place.rotation.z = place.rotation.x;
    place.rotation.x = 0.0f;
  } else {
    // The whole-board grid is laid out in the board's own frame. A tremolo section
    // draws its bass lane and single lanes with the same record, so a lane's
    // placement must not stay behind for the next whole-board draw.
    place.Reset();
  }
  const float rowLength = rows > 0 ? span / static_cast<float>(rows) : 0.0f;
  size_t i = 0;
  for (int32_t r = 0; r <= rows && vertexCount > 0; ++r) {
    const float z = static_cast<float>(r) * rowLength + startClamped;
    float a = alpha;
    if (z >= kFadeStart + kFadeLength) {
      a = 0.0f;
    } else if (z > kFadeStart) {
      a = (1.0f - (z - kFadeStart) / kFadeLength) * alpha;
    }
    const uint32_t diffuse = DiffuseWithAlpha(a);
    for (int32_t c = 0; c <= columns; ++c) {
      SectionVertex& v = vertices[i++];
      if (singleLane) {
        v.x = static_cast<float>(c) * kLaneModelWidth - kLaneModelWidth / 2.0f;
        v.y = 0.0f;
      } else {
        const float angle = -(static_cast<float>(c) - static_cast<float>(columns) / 2.0f) * kColumnAngle;
        v.x = -kBoardRadius * static_cast<float>(std::sin(static_cast<double>(angle)));
        v.y = kBoardRadius * static_cast<float>(std::cos(static_cast<double>(angle))) - kBoardRadius;
      }
      v.z = z;
      v.nx = 0.0f;
      v.ny = 0.0f;
      v.nz = 1.0f;
      v.diffuse = diffuse;
      v.u = static_cast<float>(c) / static_cast<float>(columns);
      v.v = (z - startPos) / kTextureRepeat;
    }
  }
  widthPulse.Start(&widthFactor, 1.0f, singleLane ? kWidthPulseLane : kWidthPulseBoard, kWidthPulseSpeed, true);

  indices.resize(static_cast<size_t>(indexCount));
  const uint32_t stride = static_cast<uint32_t>(columns + 1);
  size_t k = 0;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < columns; ++c) {
      const uint32_t b = static_cast<uint32_t>(r) * stride + static_cast<uint32_t>(c);
      indices[k++] = b;
      indices[k++] = b + stride;
      indices[k++] = b + stride + 1;
      indices[k++] = b;
      indices[k++] = b + stride + 1;
      indices[k++] = b + 1;
    }
  }
}

bool LaneSection::LaneMarked(int32_t slot) const {
  if (!laneMarks || slot < 0 || slot >= kLaneSlots) return false;
  const int32_t* row = laneMarks + static_cast<size_t>(slot) * kLaneMarks;
  return std::any_of(row, row + kLaneMarks, [](int32_t n) { return n != 0; });
}

gfx::Matrix LaneSection::World() const {
  // The width pulse narrows the drawn overlay only; the placement keeps its scale,
  // so a placement that is not rebuilt every draw does not shrink frame by frame.
  const float scaleX = widthPulseOn ? place.scale.x * widthFactor : place.scale.x;
  return gfx::Matrix::Scaling(scaleX, place.scale.y, place.scale.z) * gfx::Matrix::RotationX(place.rotation.x) *
         gfx::Matrix::RotationY(place.rotation.y) * gfx::Matrix::RotationZ(place.rotation.z) *
         gfx::Matrix::Translation(place.position);
}

void LaneSection::Draw() {
  if (!(span > 0.0f) || rows <= 0) return;
  BuildMesh();
  if (pulseOn) alphaAnim.Update();
  if (widthPulseOn) widthPulse.Update();
  if (!device || triangleCount <= 0) return;
  device->SetTransform(gfx::TransformKind::kWorld, World());
  device->SetMaterial(material);
  device->SetTexture(0, texture ? *texture : nullptr);
  device->SetTexture(1, nullptr);
  const uint32_t z = device->GetRenderState(gfx::RenderState::kZEnable);
  const uint32_t zWrite = device->GetRenderState(gfx::RenderState::kZWriteEnable);
  device->SetRenderState(gfx::RenderState::kZEnable, 0);
  device->SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  device->SetFVF(kFormat);
  device->DrawIndexedPrimitiveUP(gfx::PrimitiveType::kTriangleList, static_cast<uint32_t>(vertexCount),
                                 static_cast<uint32_t>(triangleCount), indices.data(), vertices.data(),
                                 sizeof(SectionVertex));
  device->SetRenderState(gfx::RenderState::kZEnable, z);
  device->SetRenderState(gfx::RenderState::kZWriteEnable, zWrite);
}

// ---------------------------------------------------------------------------

float BoardTimeline::ToBoard(float timeMs) const {
  const float f = speedFactor > 0.01f ? speedFactor : 0.01f;
  return (timeMs - calibrationMs - songTimeMs) / f;
}

LaneSection* LaneSectionView::Append() {
  auto section = std::make_unique<LaneSection>();
  LaneSection* added = section.get();
  added->pulseOn = alphaPulse;
  added->widthPulseOn = widthPulse;
  if (!sections_.empty()) sections_.back()->next = added;
  sections_.push_back(std::move(section));
  ++count_;
  return added;
}

void LaneSectionView::Clear() {
  for (auto& s : sections_) s->Reset();
  sections_.clear();
  count_ = 0;
}

void LaneSectionView::Sync(const ::LaneSectionList& list, const BoardTimeline& timeline, int32_t newTrackLaneCount,
                           int32_t kind, bool lefty, int32_t mode) {
  const auto& data = list.sections();
  // The track only appends to its list or clears it.
  if (data.size() < sections_.size()) Clear();
  while (sections_.size() < data.size()) Append();
  trackLaneCount = std::clamp(newTrackLaneCount, 0, LaneSection::kLaneSlots - 1);
  for (size_t i = 0; i < data.size(); ++i) {
    LaneSection& overlay = *sections_[i];
    const ::LaneSection& section = data[i];
    overlay.type = section.type;
    overlay.startPos = timeline.ToBoard(section.start);
    overlay.endPos = timeline.ToBoard(section.end);
    overlay.laneMarks = section.counters.get();
    overlay.kind = kind;
    overlay.lefty = lefty;
    overlay.mode = mode;
  }
}

void LaneSectionView::DrawSection(LaneSection& section, int32_t laneCount, float laneOffset) {
  GameAssets* assets = scene ? scene->assets : nullptr;
  gfx::RenderDevice* device = scene ? scene->device : nullptr;
  if (!assets) return;
  auto& table = assets->fretTextures;
  switch (section.type) {
    case LaneSection::kSolo:
    case LaneSection::kFreestyle: {
      const int32_t t = section.type == LaneSection::kSolo ? kSoloTexture : kFreestyleTexture;
      section.Setup(false, 0, &table[t], device, laneOffset, laneCount, kRowStep);
      section.Draw();
      break;
    }
    case LaneSection::kTremolo:
      for (int32_t lane = 0; lane <= trackLaneCount; ++lane) {
        if (!section.LaneMarked(lane)) continue;
        if (lane == 0) {
          section.Setup(false, 0, &table[kTremoloBassTexture], device, laneOffset, laneCount, kRowStep);
        } else {
          section.Setup(true, lane, &table[kTremoloTexture], device, laneOffset, laneCount, kRowStep);
        }
        section.Draw();
      }
      break;
    default:
      break;
  }
}

bool LaneSectionView::Draw(int32_t laneCount, float laneOffset) {
  for (LaneSection* s = Head(); s; s = s->next) DrawSection(*s, laneCount, laneOffset);
  return true;
}

}  // namespace graphics
