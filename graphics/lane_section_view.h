// The drawing half of the player track's lane sections: solo and freestyle stretches
// lie on the board as textured overlays between two board positions, and tremolo
// lanes mark single lanes while any of their counters is set. The track keeps the
// section data (game/lane_sections.h); a LaneSectionView holds one overlay per
// section, positions it on the board each frame and draws it for a sub-board.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/animators.h"
#include "graphics/sine_pulse.h"
#include "graphics/transform.h"
#include "platform/gfx/render_device.h"

class LaneSectionList;

namespace graphics {

struct SceneContext;

// The overlay vertex: position, normal, ARGB colour (its alpha is the drawn alpha),
// one coordinate pair.
struct SectionVertex {
  float x, y, z;
  float nx, ny, nz;
  uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(SectionVertex) == 36, "the overlay vertex layout");

// One overlay: a grid of rows lying along the board from start to end, as wide as the
// whole board (five columns on the arc) or as one lane.
class LaneSection {
 public:
  enum Type : int32_t { kNone = 0, kSolo = 1, kFreestyle = 2, kTremolo = 3 };
  static constexpr uint32_t kFormat = platform::gfx::fvf::kXyz | platform::gfx::fvf::kNormal |
                                      platform::gfx::fvf::kDiffuse | platform::gfx::fvf::kTex1;  // 0x152
  static constexpr int kLaneSlots = 92;
  static constexpr int kLaneMarks = 22;
  static constexpr float kNearLimit = -150.0f;
  static constexpr float kFarLimit = 700.0f;
  static constexpr float kFadeStart = 350.0f;
  static constexpr float kFadeLength = 220.0f;
  static constexpr float kTextureRepeat = -715.0f;
  static constexpr float kColumnAngle = 0.047996555f;
  static constexpr float kBoardRadius = 1000.0f;
  static constexpr float kLaneModelWidth = 48.0f;
  static constexpr int kFullBoardColumns = 5;
  // The vertex count stays addressable by 16-bit indices.
  static constexpr int kMaxVertices = 65535;

  LaneSection();
  LaneSection(const LaneSection&) = delete;
  LaneSection& operator=(const LaneSection&) = delete;

  void Reset();
  // Stores the draw's parameters and computes the grid's size. False (nothing to
  // draw) for a row step that is not a positive number.
  bool Setup(bool singleLane, int32_t lane, platform::gfx::Texture* const* texture, platform::gfx::RenderDevice* device,
             float laneOffset, int32_t laneCount, float rowStep);
  // Fills the vertex and index lists and restarts the width pulse.
  void BuildMesh();
  // Draws the overlay with depth off; nothing when its span is empty.
  void Draw();
  // A lane is marked while any of its counters is not 0.
  bool LaneMarked(int32_t lane) const;
  // The world matrix Draw uses.
  platform::gfx::Matrix World() const;

  platform::gfx::RenderDevice* device = nullptr;
  platform::gfx::Texture* const* texture = nullptr;  // a texture slot, read at draw time
  platform::gfx::Material material;
  Transform place;
  const int32_t* laneMarks = nullptr;  // the track's kLaneSlots x kLaneMarks counters, or null
  float startPos = 0.0f, endPos = 100.0f;
  float startClamped = 0.0f, endClamped = 100.0f;
  int32_t columns = 0, rows = 0;
  int32_t vertexCount = 0, triangleCount = 0, indexCount = 0;
  float span = 100.0f;
  float rowStep = 10.0f;
  int32_t type = kNone;
  bool pulseOn = false;
  float alpha = 1.0f;
  ValueAnimator alphaAnim;
  bool widthPulseOn = false;
  float widthFactor = 1.0f;
  SinePulse widthPulse;
  bool singleLane = false;
  int32_t lane = 0;
  int32_t laneCount = 0;
  bool lefty = false;
  int32_t mode = 0;
  int32_t kind = 0;
  float laneOffset = 0.0f;
  LaneSection* next = nullptr;  // the list's next overlay (the list owns them all)

  std::vector<SectionVertex> vertices;
  std::vector<uint32_t> indices;
};

// Where the board's depth axis stands in song time this frame, as the note scroll
// places notes: z = (time - calibration - song time) / speed factor.
struct BoardTimeline {
  float songTimeMs = 0.0f;
  float calibrationMs = 0.0f;
  float speedFactor = 1.0f;
  float ToBoard(float timeMs) const;
};

// The overlays of one player's lane sections.
class LaneSectionView {
 public:
  static constexpr float kRowStep = 25.0f;

  LaneSectionView() = default;
  ~LaneSectionView() { Clear(); }
  LaneSectionView(const LaneSectionView&) = delete;
  LaneSectionView& operator=(const LaneSectionView&) = delete;

  void Init(SceneContext* sceneContext) { scene = sceneContext; }
  // Brings the overlays in step with the track's list (one per section, in order) and
  // places them on the board for this frame. The lane marks are read from the track's
  // counters at draw time.
  void Sync(const ::LaneSectionList& list, const BoardTimeline& timeline, int32_t trackLaneCount, int32_t kind,
            bool lefty, int32_t mode);
  // A new overlay at the end of the list.
  LaneSection* Append();
  // Frees every overlay.
  void Clear();
  // Draws every overlay for a sub-board of `laneCount` visible lanes shifted by
  // `laneOffset` lanes.
  bool Draw(int32_t laneCount, float laneOffset);

  LaneSection* Head() { return sections_.empty() ? nullptr : sections_.front().get(); }
  int32_t Count() const { return count_; }

  SceneContext* scene = nullptr;
  int32_t trackLaneCount = 5;  // lane slots 0..this are checked for tremolo marks
  // Whether new overlays run their alpha pulse and width pulse.
  bool alphaPulse = false;
  bool widthPulse = false;

 private:
  void DrawSection(LaneSection& section, int32_t laneCount, float laneOffset);

  std::vector<std::unique_ptr<LaneSection>> sections_;  // in list order
  int32_t count_ = 0;
};

}  // namespace graphics
