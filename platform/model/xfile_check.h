// A guard run over a .X file's bytes before the importer sees them. The importer
// trusts the counts and indices inside meshes (face corners, normal indices, skin
// weight vertices) and would read or write past its arrays on a damaged file; this
// pass walks the same objects with its own small tokenizer (text and binary forms)
// and refuses any file whose counts or indices do not fit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <glm/glm.hpp>

namespace platform::model::detail {

// What the walk learns of one mesh that the importer does not pass on: the file's
// vertex index at every face corner, each face's material, and texture coordinates
// kept in a vertex declaration block (by file vertex; empty when absent).
struct MeshFacts {
  uint32_t vertexCount = 0;
  // The corners of every face one after another: face f's are
  // faceCorners[f == 0 ? 0 : faceEnds[f - 1] .. faceEnds[f]).
  std::vector<uint32_t> faceCorners;
  std::vector<uint32_t> faceEnds;
  std::vector<uint32_t> faceMaterials;  // empty: no material list
  uint32_t materialCount = 0;           // materials the importer will hold for it
  std::vector<glm::vec2> declaredUv[2];

  size_t FaceCount() const { return faceEnds.size(); }
  uint32_t FaceBegin(size_t f) const { return f == 0 ? 0 : faceEnds[f - 1]; }
};

// Meshes in the importer's order: frame by frame in file order, a frame's own meshes
// before those of its child frames, then meshes outside any frame.
struct FileFacts {
  std::vector<MeshFacts> meshes;
};

// True when the file may be handed to the importer; otherwise a one-line reason.
bool CheckXFileBytes(std::string_view bytes, std::string& reason, FileFacts* facts = nullptr);

}  // namespace platform::model::detail
