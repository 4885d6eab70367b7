// Writes a model in the text form of the .X format the game's model loader reads: a
// frame hierarchy with local matrices, one mesh per frame with normals, one or two
// texture-coordinate sets and a material list, and animation sets of matrix keys.
// The second texture-coordinate set is written as a second MeshTextureCoords block,
// which the loader takes as the mesh's second channel (the mask stage).
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "content/models/mesh_kit.h"

namespace models {

struct Frame {
  std::string name;
  glm::mat4 local{1.0f};
  Mesh mesh;  // may be empty: a frame that only places or groups
  std::vector<Frame> children;
};

struct MatrixKey {
  uint32_t tick = 0;
  glm::mat4 matrix{1.0f};
};

// The keys of one frame within an animation set.
struct FrameTrack {
  std::string frame;
  std::vector<MatrixKey> keys;
};

struct AnimationSet {
  std::string name;
  std::vector<FrameTrack> tracks;
};

struct Model {
  Frame root;
  std::vector<Material> materials;  // Triangle::material indexes this list
  bool second_uv = false;
  std::vector<AnimationSet> animations;
  uint32_t ticks_per_second = 4800;
};

// The whole file as text. Numbers are printed with a fixed number of decimals, so
// the same model always gives the same bytes.
std::string WriteXText(const Model& model);

}  // namespace models
