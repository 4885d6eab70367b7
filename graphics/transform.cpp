// Folding a parent's transform into a child's.
#include "graphics/transform.h"

namespace graphics {

Transform Transform::Combine(const Transform& parent) const {
  Transform r;
  r.position = position + parent.position;
  r.scale = scale * parent.scale;
  r.rotation = rotation + parent.rotation;
  r.colour = colour * parent.colour;
  r.highlight = highlight * parent.colour;
  r.justification = justification + parent.justification;
  r.postScale = postScale * parent.postScale;
  r.postOffset = postOffset + parent.postOffset;
  r.textureOffset = textureOffset + parent.textureOffset;
  r.alpha = alpha * parent.alpha;
  return r;
}

}  // namespace graphics
