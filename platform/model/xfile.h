// A DirectX .X model file (text or binary) read into plain CPU data of our own: the
// frame tree with each frame's local matrix, meshes with per-corner vertices and one
// subset per material, skin weights per bone, and animation sets with their keys.
// Nothing here touches a graphics device; the renderer builds its draws from it.
//
// Matrices: a glm::mat4 here holds the file's row-vector matrix with the same memory
// layout (m[r][c] is the file's row r, column c). Read as a glm (column-vector) matrix
// it is the very same transform, so glm's `b * a` is the file's `a x b` (a applied
// first) and `m * glm::vec4(p, 1)` places a point.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

namespace platform::model {

struct XMaterial {
  glm::vec4 diffuse{0.5f, 0.5f, 0.5f, 0.0f};  // faceColor: r, g, b, a
  float power = 0.0f;
  glm::vec3 specular{0.0f};
  glm::vec3 emissive{0.0f};
  std::string textureFile;  // as written in the file ('\' kept); empty when none
};

// One corner of a face. Corners that share a file vertex still get their own entry,
// because each corner may carry its own normal. The layout (position, normal, two
// coordinate pairs; 40 bytes) is the one meshes are drawn with.
struct XVertex {
  glm::vec3 position{0.0f};
  glm::vec3 normal{0.0f};
  glm::vec2 uv0{0.0f};
  glm::vec2 uv1{0.0f};
};

struct XBoneWeight {
  uint32_t vertex = 0;  // index into XMesh::vertices
  float weight = 0.0f;
};

struct XBone {
  std::string frameName;  // the frame that moves this bone
  glm::mat4 offset{1.0f};
  std::vector<XBoneWeight> weights;
};

// Triangles of one material: indices[firstIndex .. firstIndex + indexCount).
struct XSubset {
  uint32_t firstIndex = 0;
  uint32_t indexCount = 0;
};

struct XMesh {
  std::string name;
  std::vector<XVertex> vertices;
  // Per vertex: the file vertex it was made from (the one skin weights and vertex
  // declarations refer to).
  std::vector<uint32_t> sourceIndices;
  std::vector<uint32_t> indices;      // triangle list, grouped by subset
  std::vector<XMaterial> materials;   // subset i is drawn with materials[i]
  std::vector<XSubset> subsets;       // same count as materials
  bool materialsFromFile = true;      // false: the file gave none, materials[0] is a stand-in
  bool hasNormals = false;
  int uvSetCount = 0;                 // 0, 1 or 2
  std::vector<XBone> bones;           // empty for a mesh without skin
};

// Frames form a tree of first-child / next-sibling links, as the file nests them;
// several top-level frames are siblings of frame 0.
struct XFrame {
  std::string name;
  glm::mat4 transform{1.0f};  // local matrix (FrameTransformMatrix)
  int parent = -1;
  int firstChild = -1;
  int nextSibling = -1;
  std::vector<int> meshes;    // indices into XModel::meshes
};

struct XVectorKey {
  double time = 0.0;  // ticks
  glm::vec3 value{0.0f};
};

// value turns a point as the frame matrix built from it does (glm::mat4_cast).
struct XRotationKey {
  double time = 0.0;
  glm::quat value{1.0f, 0.0f, 0.0f, 0.0f};
};

struct XAnimationTrack {
  std::string frameName;
  std::vector<XVectorKey> scaleKeys;
  std::vector<XRotationKey> rotationKeys;
  std::vector<XVectorKey> positionKeys;
};

struct XAnimationSet {
  std::string name;
  double ticksPerSecond = 4800.0;
  double lengthTicks = 0.0;  // time of the last key of any track
  std::vector<XAnimationTrack> tracks;
};

struct XModel {
  std::vector<XFrame> frames;  // frames[0] is the root when not empty
  std::vector<XMesh> meshes;
  std::vector<XAnimationSet> animationSets;

  // Index of the first frame with exactly this name, or -1.
  int FindFrame(std::string_view name) const;
};

// Reads a .X file. False (and a one-line reason in `error` when given) when the file
// is missing, unreadable, malformed or holds something this reader refuses; `out` is
// left empty then. Never throws.
bool LoadXFile(std::string_view path, XModel& out, std::string* error = nullptr);
// The same from bytes in memory (the fuzz target's way in).
bool LoadXFileFromMemory(std::string_view bytes, XModel& out, std::string* error = nullptr);

}  // namespace platform::model
