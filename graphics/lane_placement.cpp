// The board's lane geometry: lanes are chords of an arc of radius 1000 about
// (0, -1000), the whole set spanning 3 pi / 40 radians.
#include "graphics/lane_placement.h"

#include <cmath>

namespace graphics {

namespace {

constexpr float kArc = 0.23561944f;
constexpr float kHalfArc = 0.11780972f;
constexpr float kRadius = 1000.0f;
constexpr float kLaneModelWidth = 48.0f;

float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float Tan(float a) { return static_cast<float>(std::tan(static_cast<double>(a))); }

}  // namespace

void LanePlacement(Transform& out, int32_t lane, int32_t laneCount, int32_t kind, bool lefty, int32_t mode, bool edge,
                   float laneOffset) {
  out.position = glm::vec3(0.0f);
  out.scale = glm::vec3(1.0f);
  out.rotation = glm::vec3(0.0f);
  if (!edge) {
    if (lane == 0) return;
    --lane;
  }
  if (laneCount <= 0) return;
  int32_t half = laneCount / 2;
  int32_t parity = lane & 1;
  if (mode == 2) {
    parity ^= 1;
    half += 1;
  }
  const int32_t rest = laneCount - half;
  float narrow = 0.0f, wide = 0.0f;
  if (mode == 0) {
    narrow = wide = kArc / static_cast<float>(laneCount);
  } else if (mode == 1 || mode == 2) {
    narrow = kArc / (static_cast<float>(rest) * 1.5f + static_cast<float>(half));
    wide = 1.5f * narrow;
  }
  const float width = parity ? narrow : wide;
  const float first = mode == 2 ? narrow : wide;
  float a = (wide + narrow) / 2.0f * static_cast<float>(lane) + first / 2.0f - kHalfArc;
  const float r = Cos(width / 2.0f) * kRadius;
  out.scale.x = 2.0f * r * Tan(width / 2.0f) / kLaneModelWidth;
  const bool mirrored = lefty && !(kind == 0 || kind == 5 || kind == 13);
  if (mirrored) a = -a;
  a -= width * laneOffset;
  out.position = glm::vec3(r * Sin(a), r * Cos(a) - kRadius, 0.0f);
  out.rotation.x = -a;
  if (edge) {
    // Half a chord toward the lane's start, turned with the chord.
    const float h = kLaneModelWidth / 2.0f * out.scale.x * (mirrored ? 1.0f : -1.0f);
    out.position.x += h * Cos(-a);
    out.position.y += h * Sin(-a);
    out.scale.x = 1.0f;
  }
}

}  // namespace graphics
