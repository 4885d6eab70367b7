// Reads .X files through Assimp and turns its scene into our own model data.
//
// What the importer changes and how it is put back:
// - It converts the file's left-handed data to right-handed (negated z, flipped
//   winding). Asking for the left-handed conversion and winding flip once more undoes
//   both exactly, so positions, normals and matrices come back as the file has them.
// - It stores texture coordinates with v turned over (1 - v); turned back here.
// - It splits each mesh into one mesh per material and stores each face corner as its
//   own vertex; the pieces of one frame are joined again into one mesh whose subsets
//   are those materials.
// - Several top-level frames are placed under an invented "$dummy_root" frame and
//   meshes outside any frame under "$dummy_node"; those invented frames are removed
//   (or lose their invented name), so the top-level frames keep the file's names.
// - Frame names, animation set names and bone names pass through unchanged (names
//   such as "DO-drum-kit1-ab" keep their dashes); this is checked by the tests.
// - A file without AnimTicksPerSecond gets 0 ticks per second from the importer; the
//   format's default of 4800 is used instead.
// - It does not say which file vertex a corner came from, and it skips vertex
//   declaration blocks (where a second texture coordinate set is usually kept). The
//   pre-import walk records faces, face materials and declared coordinates, and the
//   importer's corner order is rebuilt from them: per mesh, per material, the faces of
//   that material in file order. When the rebuilt pieces do not match the importer's
//   (a file the two read differently), each corner is its own source vertex.
#include "platform/model/xfile.h"

#include <algorithm>
#include <exception>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "platform/file.h"
#include "platform/model/xfile_check.h"

namespace platform::model {
namespace {

constexpr size_t kMaxFileBytes = size_t(64) << 20;
constexpr double kDefaultTicksPerSecond = 4800.0;
constexpr const char* kInventedRootName = "$dummy_root";
constexpr const char* kInventedMeshFrameName = "$dummy_node";

glm::mat4 ToMat4(const aiMatrix4x4& m) {
  // aiMatrix4x4 is row-major for column vectors; our layout equals its transpose.
  glm::mat4 out;
  const float rows[4][4] = {{m.a1, m.a2, m.a3, m.a4},
                            {m.b1, m.b2, m.b3, m.b4},
                            {m.c1, m.c2, m.c3, m.c4},
                            {m.d1, m.d2, m.d3, m.d4}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) out[c][r] = rows[r][c];
  return out;
}

glm::vec3 ToVec3(const aiVector3D& v) { return {v.x, v.y, v.z}; }

XMaterial ConvertMaterial(const aiMaterial& source) {
  XMaterial out;
  aiColor4D diffuse;
  if (source.Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == AI_SUCCESS)
    out.diffuse = {diffuse.r, diffuse.g, diffuse.b, diffuse.a};
  aiColor3D color;
  if (source.Get(AI_MATKEY_COLOR_SPECULAR, color) == AI_SUCCESS) out.specular = {color.r, color.g, color.b};
  if (source.Get(AI_MATKEY_COLOR_EMISSIVE, color) == AI_SUCCESS) out.emissive = {color.r, color.g, color.b};
  float power = 0.0f;
  if (source.Get(AI_MATKEY_SHININESS, power) == AI_SUCCESS) out.power = power;
  aiString texture;
  if (source.GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) out.textureFile = texture.C_Str();
  return out;
}

// Materials the importer invents for a file without any carry no name.
bool IsInventedMaterial(const aiMaterial& source) {
  aiString name;
  return source.Get(AI_MATKEY_NAME, name) != AI_SUCCESS;
}

// One importer mesh rebuilt from the walk: the file mesh it came from and the file
// vertex of each of its corners.
struct PieceFacts {
  const detail::MeshFacts* mesh = nullptr;
  std::vector<uint32_t> corners;
};

// The importer's pieces in scene order, or an empty list when they do not match.
std::vector<PieceFacts> RebuildPieces(const detail::FileFacts& facts, const aiScene& scene) {
  std::vector<PieceFacts> pieces;
  for (const auto& mesh : facts.meshes) {
    const uint32_t groups = std::max<uint32_t>(mesh.materialCount, 1);
    for (uint32_t b = 0; b < groups; ++b) {
      PieceFacts piece{&mesh, {}};
      for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        bool chosen = mesh.faceMaterials.empty() || (f < mesh.faceMaterials.size() && mesh.faceMaterials[f] == b);
        if (chosen)
          piece.corners.insert(piece.corners.end(), mesh.faceCorners.begin() + mesh.FaceBegin(f),
                               mesh.faceCorners.begin() + mesh.faceEnds[f]);
      }
      if (!piece.corners.empty()) pieces.push_back(std::move(piece));
    }
  }
  if (pieces.size() != scene.mNumMeshes) return {};
  for (size_t i = 0; i < pieces.size(); ++i)
    if (pieces[i].corners.size() != scene.mMeshes[i]->mNumVertices) return {};
  return pieces;
}

void AppendPiece(const aiScene& scene, const aiMesh& piece, const PieceFacts* facts, XMesh& mesh) {
  const uint32_t base = static_cast<uint32_t>(mesh.vertices.size());
  const auto* declared = facts ? facts->mesh->declaredUv : nullptr;
  const bool declaredUv0 = declared && !declared[0].empty() && !piece.mTextureCoords[0];
  const bool declaredUv1 = declared && !declared[1].empty();
  for (unsigned v = 0; v < piece.mNumVertices; ++v) {
    XVertex vertex;
    vertex.position = ToVec3(piece.mVertices[v]);
    if (piece.mNormals) vertex.normal = ToVec3(piece.mNormals[v]);
    if (piece.mTextureCoords[0])
      vertex.uv0 = {piece.mTextureCoords[0][v].x, 1.0f - piece.mTextureCoords[0][v].y};
    if (piece.mTextureCoords[1])
      vertex.uv1 = {piece.mTextureCoords[1][v].x, 1.0f - piece.mTextureCoords[1][v].y};
    const uint32_t source = facts ? facts->corners[v] : base + v;
    if (declaredUv0) vertex.uv0 = declared[0][source];
    if (declaredUv1) vertex.uv1 = declared[1][source];
    mesh.vertices.push_back(vertex);
    mesh.sourceIndices.push_back(source);
  }
  if (piece.mNormals) mesh.hasNormals = true;
  int sets = (piece.mTextureCoords[1] || declaredUv1) ? 2 : ((piece.mTextureCoords[0] || declaredUv0) ? 1 : 0);
  mesh.uvSetCount = std::max(mesh.uvSetCount, sets);

  XSubset subset;
  subset.firstIndex = static_cast<uint32_t>(mesh.indices.size());
  for (unsigned f = 0; f < piece.mNumFaces; ++f) {
    const aiFace& face = piece.mFaces[f];
    // Polygons become fans around their first corner.
    for (unsigned k = 2; k < face.mNumIndices; ++k) {
      uint32_t corner[3] = {face.mIndices[0], face.mIndices[k - 1], face.mIndices[k]};
      if (corner[0] >= piece.mNumVertices || corner[1] >= piece.mNumVertices ||
          corner[2] >= piece.mNumVertices)
        continue;
      for (uint32_t c : corner) mesh.indices.push_back(base + c);
    }
  }
  subset.indexCount = static_cast<uint32_t>(mesh.indices.size()) - subset.firstIndex;
  mesh.subsets.push_back(subset);

  const aiMaterial* material =
      piece.mMaterialIndex < scene.mNumMaterials ? scene.mMaterials[piece.mMaterialIndex] : nullptr;
  mesh.materials.push_back(material ? ConvertMaterial(*material) : XMaterial{});
  if (material && IsInventedMaterial(*material)) mesh.materialsFromFile = false;

  for (unsigned b = 0; b < piece.mNumBones; ++b) {
    const aiBone& source = *piece.mBones[b];
    std::string name = source.mName.C_Str();
    auto found = std::find_if(mesh.bones.begin(), mesh.bones.end(),
                              [&](const XBone& bone) { return bone.frameName == name; });
    if (found == mesh.bones.end()) {
      XBone bone;
      bone.frameName = name;
      bone.offset = ToMat4(source.mOffsetMatrix);
      mesh.bones.push_back(std::move(bone));
      found = mesh.bones.end() - 1;
    }
    for (unsigned w = 0; w < source.mNumWeights; ++w) {
      if (source.mWeights[w].mVertexId >= piece.mNumVertices) continue;
      found->weights.push_back({base + source.mWeights[w].mVertexId, source.mWeights[w].mWeight});
    }
  }
}

class Converter {
 public:
  Converter(const aiScene& scene, const detail::FileFacts& facts, XModel& out)
      : scene_(scene), pieces_(RebuildPieces(facts, scene)), out_(out) {}

  void Run() {
    const aiNode* root = scene_.mRootNode;
    if (root->mName == aiString(kInventedRootName) && root->mNumMeshes == 0) {
      // The file has several top-level frames: they become siblings, as in the file.
      int previous = -1;
      for (unsigned c = 0; c < root->mNumChildren; ++c) {
        int index = AddFrame(*root->mChildren[c], -1);
        if (previous >= 0) out_.frames[previous].nextSibling = index;
        previous = index;
      }
    } else {
      AddFrame(*root, -1);
    }
    ConvertAnimations();
  }

 private:
  int AddFrame(const aiNode& node, int parent) {
    int index = static_cast<int>(out_.frames.size());
    out_.frames.emplace_back();
    {
      XFrame& frame = out_.frames.back();
      frame.name = node.mName.C_Str();
      if (frame.name == kInventedRootName || frame.name == kInventedMeshFrameName) frame.name.clear();
      frame.transform = ToMat4(node.mTransformation);
      frame.parent = parent;
    }
    if (node.mNumMeshes > 0) {
      XMesh mesh;
      mesh.name = node.mName.C_Str();
      // The pieces' own arrays say how much the joined mesh holds (a triangle per face;
      // the rare polygon adds a little), so it is filled without growing step by step.
      size_t vertices = 0, faces = 0;
      for (unsigned m = 0; m < node.mNumMeshes; ++m) {
        if (node.mMeshes[m] >= scene_.mNumMeshes) continue;
        vertices += scene_.mMeshes[node.mMeshes[m]]->mNumVertices;
        faces += scene_.mMeshes[node.mMeshes[m]]->mNumFaces;
      }
      mesh.vertices.reserve(vertices);
      mesh.sourceIndices.reserve(vertices);
      mesh.indices.reserve(faces * 3);
      for (unsigned m = 0; m < node.mNumMeshes; ++m) {
        const unsigned index = node.mMeshes[m];
        if (index >= scene_.mNumMeshes) continue;
        AppendPiece(scene_, *scene_.mMeshes[index], index < pieces_.size() ? &pieces_[index] : nullptr, mesh);
      }
      out_.frames[index].meshes.push_back(static_cast<int>(out_.meshes.size()));
      out_.meshes.push_back(std::move(mesh));
    }
    int previous = -1;
    for (unsigned c = 0; c < node.mNumChildren; ++c) {
      int child = AddFrame(*node.mChildren[c], index);
      if (previous < 0) {
        out_.frames[index].firstChild = child;
      } else {
        out_.frames[previous].nextSibling = child;
      }
      previous = child;
    }
    return index;
  }

  void ConvertAnimations() {
    for (unsigned a = 0; a < scene_.mNumAnimations; ++a) {
      const aiAnimation& source = *scene_.mAnimations[a];
      XAnimationSet set;
      set.name = source.mName.C_Str();
      set.ticksPerSecond = source.mTicksPerSecond > 0.0 ? source.mTicksPerSecond : kDefaultTicksPerSecond;
      set.lengthTicks = source.mDuration;
      for (unsigned c = 0; c < source.mNumChannels; ++c) {
        const aiNodeAnim& channel = *source.mChannels[c];
        XAnimationTrack track;
        track.frameName = channel.mNodeName.C_Str();
        for (unsigned k = 0; k < channel.mNumScalingKeys; ++k)
          track.scaleKeys.push_back({channel.mScalingKeys[k].mTime, ToVec3(channel.mScalingKeys[k].mValue)});
        for (unsigned k = 0; k < channel.mNumPositionKeys; ++k)
          track.positionKeys.push_back({channel.mPositionKeys[k].mTime, ToVec3(channel.mPositionKeys[k].mValue)});
        for (unsigned k = 0; k < channel.mNumRotationKeys; ++k) {
          const aiQuaternion& q = channel.mRotationKeys[k].mValue;
          track.rotationKeys.push_back({channel.mRotationKeys[k].mTime, glm::quat(q.w, q.x, q.y, q.z)});
        }
        set.tracks.push_back(std::move(track));
      }
      out_.animationSets.push_back(std::move(set));
    }
  }

  const aiScene& scene_;
  std::vector<PieceFacts> pieces_;
  XModel& out_;
};

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

int XModel::FindFrame(std::string_view name) const {
  for (size_t i = 0; i < frames.size(); ++i)
    if (frames[i].name == name) return static_cast<int>(i);
  return -1;
}

bool LoadXFileFromMemory(std::string_view bytes, XModel& out, std::string* error) {
  out = XModel{};
  std::string reason;
  detail::FileFacts facts;
  if (!detail::CheckXFileBytes(bytes, reason, &facts)) {
    SetError(error, reason);
    return false;
  }
  try {
    Assimp::Importer importer;
    // The second left-handed conversion and winding flip undo the importer's own.
    const aiScene* scene = importer.ReadFileFromMemory(bytes.data(), bytes.size(),
                                                       aiProcess_MakeLeftHanded | aiProcess_FlipWindingOrder, "x");
    if (!scene || !scene->mRootNode) {
      SetError(error, importer.GetErrorString());
      return false;
    }
    Converter(*scene, facts, out).Run();
  } catch (const std::exception& e) {
    out = XModel{};
    SetError(error, e.what());
    return false;
  }
  return true;
}

bool LoadXFile(std::string_view path, XModel& out, std::string* error) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes, kMaxFileBytes)) {
    out = XModel{};
    SetError(error, "cannot read the file");
    return false;
  }
  return LoadXFileFromMemory(bytes, out, error);
}

}  // namespace platform::model
