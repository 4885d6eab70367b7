// The placement-and-appearance record every drawable carries: position, scale,
// rotation about a pivot, two colours, text justification, a second scale and offset
// applied after placement, texture scroll and opacity. Parents fold theirs into a
// child's with Combine before the child draws.
#pragma once

#include <glm/glm.hpp>

namespace graphics {

struct Transform {
  glm::vec3 position{0.0f};
  glm::vec3 reserved{0.0f};  // kept at 0; never read
  glm::vec3 scale{1.0f};
  glm::vec3 rotation{0.0f};  // radians, turned about x, then y, then z
  glm::vec3 pivot{0.0f};
  glm::vec3 colour{1.0f};
  glm::vec3 highlight{1.0f};       // the colour of highlighted characters
  glm::vec3 justification{0.0f};   // x: 0 left, 0.5 centre, 1 right
  glm::vec3 postScale{1.0f};
  glm::vec3 postOffset{0.0f};
  glm::vec3 textureOffset{0.0f};   // u, v scroll; w only counts as "some scroll is set"
  float alpha = 1.0f;

  void Reset() { *this = Transform(); }
  // This record as a child of parent: moves, angles, justification and scroll add;
  // scales, colours and alpha multiply (the highlight colour by the parent's colour);
  // pivot and the reserved triple come out neutral.
  Transform Combine(const Transform& parent) const;
  // Drawables at or under this opacity are not drawn.
  bool Visible() const { return alpha > 0.001f; }
  bool HasTextureScroll() const { return textureOffset.x + textureOffset.y + textureOffset.z != 0.0f; }
};

static_assert(sizeof(Transform) == 34 * sizeof(float), "34 floats, in their documented order");

}  // namespace graphics
