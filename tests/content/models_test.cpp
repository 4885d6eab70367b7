// The default theme's .X models and the 3D stage files of the built run folder, read
// back through the model loader library in the files' own left-handed space: every
// model of the fixed set is there with meshes, unit normals that agree with the
// winding, the texture-coordinate sets the game samples, materials naming pictures
// of the theme, and a size and position that fit where the game places it; the stage
// layouts name only objects that exist, their copies find their sources, and the
// animated objects carry the four sets the stage switches between. Last, the
// generator writes the same bytes again.
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>
#include <unistd.h>

#include "content/models/model_catalogue.h"

namespace fs = std::filesystem;
using models::Place;

namespace {

fs::path RunFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return fs::path(run ? run : "");
}

struct Box {
  aiVector3D lo{1e30f, 1e30f, 1e30f};
  aiVector3D hi{-1e30f, -1e30f, -1e30f};
  void Add(const aiVector3D& p) {
    lo = aiVector3D(std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z));
    hi = aiVector3D(std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z));
  }
  aiVector3D Size() const { return hi - lo; }
};

// A loaded file: the scene in the file's own space (z away from the viewer, faces
// wound clockwise seen from the front, v of the texture downwards).
struct Loaded {
  Assimp::Importer importer;
  const aiScene* scene = nullptr;
};

bool Load(Loaded& out, const fs::path& path) {
  out.scene = out.importer.ReadFile(path.string(), aiProcess_ConvertToLeftHanded);
  return out.scene != nullptr && out.scene->mRootNode != nullptr;
}

void CollectBox(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, Box& box) {
  const aiMatrix4x4 world = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) box.Add(world * mesh->mVertices[v]);
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i) CollectBox(scene, node->mChildren[i], world, box);
}

Box SceneBox(const aiScene* scene) {
  Box box;
  CollectBox(scene, scene->mRootNode, aiMatrix4x4(), box);
  return box;
}

// Meshes with faces, unit normals on every vertex, each triangle wound so that its
// face normal points the way its vertex normals do, and a first texture set.
void ExpectSoundMeshes(const aiScene* scene, const std::string& what) {
  ASSERT_GT(scene->mNumMeshes, 0u) << what;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* mesh = scene->mMeshes[m];
    ASSERT_GT(mesh->mNumFaces, 0u) << what;
    ASSERT_TRUE(mesh->HasNormals()) << what;
    EXPECT_TRUE(mesh->HasTextureCoords(0)) << what;
    int inside_out = 0;
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      ASSERT_EQ(face.mNumIndices, 3u) << what;
      const aiVector3D& a = mesh->mVertices[face.mIndices[0]];
      const aiVector3D& b = mesh->mVertices[face.mIndices[1]];
      const aiVector3D& c = mesh->mVertices[face.mIndices[2]];
      aiVector3D normal(0, 0, 0);
      for (int k = 0; k < 3; ++k) {
        const aiVector3D& n = mesh->mNormals[face.mIndices[k]];
        EXPECT_NEAR(n.Length(), 1.0f, 1e-3f) << what;
        normal += n;
      }
      if (((b - a) ^ (c - a)) * normal <= 0.0f) ++inside_out;
    }
    EXPECT_EQ(inside_out, 0) << what << ": faces wound against their normals";
  }
}

// Where each kind of model may lie once placed: lo and hi corners, and the least
// size it must have so that it is not a speck.
struct Envelope {
  aiVector3D lo, hi, least;
};

Envelope EnvelopeOf(Place place) {
  switch (place) {
    case Place::kLaneGem:  // within its 48-unit lane, on the board, around the head's z
      return {{-24, -1, -24}, {24, 26, 24}, {28, 5, 16}};
    case Place::kLaneFret:
      return {{-24, -1, -24}, {24, 12, 24}, {24, 4, 24}};
    case Place::kKeysFret:  // from the back edge at z = 15 towards the player
      return {{-66, 0, -46}, {66, 16, 15}, {28, 8, 30}};
    case Place::kOpenBar:
      return {{-120, -12, -10}, {120, 15, 10}, {200, 3, 6}};
    case Place::kChordBar:
      return {{-150, 0, -8}, {150, 6, 8}, {40, 2, 6}};
    case Place::kTrail:  // left behind the head, towards +z
      return {{-120, -12, -1}, {120, 2, 120}, {20, 0, 60}};
    case Place::kDigit:
      return {{-20, 0, -1}, {20, 30, 1}, {20, 20, 0}};
    case Place::kLaneEffect:  // centred on the fret, or streaming from it along +z
      return {{-30, -30, -30}, {30, 30, 450}, {4, 0, 0}};
    case Place::kStrikeBand:
      return {{-132, -12, -60}, {132, 12, 25}, {230, 0.5f, 20}};
    case Place::kKillBox:
      return {{-140, -20, -200}, {140, 60, -45}, {240, 20, 100}};
    case Place::kBoardSurface:
      return {{-121, -10, -151}, {121, 1, 716}, {238, 5, 864}};
    case Place::kBoardEdges:
      return {{-130, -10, -151}, {130, 10, 716}, {220, 0, 864}};
    case Place::kLaneLine:
      return {{-3, -1, -151}, {3, 1, 716}, {1, 0, 864}};
    case Place::kBeatLine:
      return {{-120, -10, -3}, {120, 2, 3}, {200, 0, 1}};
    case Place::kIconPlane:
      return {{-40, -40, -1}, {40, 40, 1}, {50, 50, 0}};
    case Place::kMeter:
      return {{-300, 0, -200}, {300, 10, 340}, {10, 1, 8}};
    case Place::kKeysRange:  // the 88-key range, 5.25 units a key
      return {{-231.5f, 0, -100}, {231.5f, 5, 0}, {461, 0, 8}};
  }
  return {};
}

void ExpectInside(const Box& box, const Envelope& env, const std::string& what) {
  for (int axis = 0; axis < 3; ++axis) {
    EXPECT_GE(box.lo[axis], env.lo[axis] - 1e-3f) << what << " axis " << axis;
    EXPECT_LE(box.hi[axis], env.hi[axis] + 1e-3f) << what << " axis " << axis;
    EXPECT_GE(box.Size()[axis], env.least[axis]) << what << " axis " << axis;
  }
}

// The picture a material names, resolved beside the model as the game resolves it,
// is a PNG of one of the theme's picture folders.
void ExpectThemePicture(const fs::path& model_folder, const std::string& texture, const std::string& what) {
  const fs::path picture = (model_folder / texture).lexically_normal();
  EXPECT_EQ(picture.extension(), ".png") << what;
  const fs::path static_folder = (RunFolder() / "themes/default/static").lexically_normal();
  const std::string relative = picture.lexically_relative(static_folder).string();
  const std::string folder = relative.substr(0, relative.find('/'));
  static const std::set<std::string> kPictureFolders = {"notes", "frets", "board", "tails", "meters", "2d", "other"};
  EXPECT_TRUE(kPictureFolders.count(folder)) << what << ": " << relative;
  // Once the theme's pictures are in the run folder, the named one must be among them.
  if (fs::is_directory(static_folder / folder) && !fs::is_empty(static_folder / folder)) {
    bool any_png = false;
    for (const auto& entry : fs::directory_iterator(static_folder / folder)) {
      any_png = any_png || entry.path().extension() == ".png";
    }
    if (any_png) {
      EXPECT_TRUE(fs::exists(picture)) << what << ": " << relative;
    }
  }
}

TEST(DefaultModels, EveryFixedModelLoadsWithItsSetsMaterialsAndPlace) {
  std::set<int> slots;
  for (const models::FixedModel& row : models::kFixedModels) {
    const std::string what = std::string(row.folder) + "/" + row.name;
    EXPECT_TRUE(slots.insert(row.slot).second) << what << " slot " << row.slot;
    const fs::path path = RunFolder() / models::FixedModelPath(row);
    ASSERT_TRUE(fs::exists(path)) << path;
    Loaded file;
    ASSERT_TRUE(Load(file, path)) << what << ": " << file.importer.GetErrorString();
    ExpectSoundMeshes(file.scene, what);

    for (unsigned m = 0; m < file.scene->mNumMeshes; ++m) {
      const aiMesh* mesh = file.scene->mMeshes[m];
      EXPECT_EQ(mesh->HasTextureCoords(1), row.mask_uv) << what;
      if (!row.mask_uv) continue;
      for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
        const aiVector3D& uv = mesh->mTextureCoords[1][v];
        EXPECT_TRUE(uv.x >= -1e-4f && uv.x <= 1.0001f && uv.y >= -1e-4f && uv.y <= 1.0001f) << what;
      }
    }

    ASSERT_GT(file.scene->mNumMaterials, 0u) << what;
    for (unsigned i = 0; i < file.scene->mNumMaterials; ++i) {
      const aiMaterial* mat = file.scene->mMaterials[i];
      aiColor4D diffuse(-1, -1, -1, -1);
      aiColor3D emissive(0, 0, 0);
      EXPECT_EQ(mat->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse), AI_SUCCESS) << what;
      mat->Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
      const bool occluder = row.place == Place::kKillBox;
      if (occluder) {
        EXPECT_EQ(diffuse.a, 0.0f) << what << ": the occluder draws depth only";
      } else {
        EXPECT_GT(diffuse.a, 0.5f) << what;
        EXPECT_GT(emissive.r + emissive.g + emissive.b, 0.0f) << what << ": no emissive colour";
        // Lit surfaces glow with about a third of their colour; effects fully.
        EXPECT_LE(emissive.r, diffuse.r + 1e-4f) << what;
      }
      aiString texture;
      if (mat->GetTexture(aiTextureType_DIFFUSE, 0, &texture) == AI_SUCCESS) {
        ExpectThemePicture(path.parent_path(), texture.C_Str(), what);
      } else {
        EXPECT_EQ(std::string(row.name), "Fret_Bottom") << what << ": material without a picture";
      }
    }

    const Box box = SceneBox(file.scene);
    ExpectInside(box, EnvelopeOf(row.place), what);
    if (row.place == Place::kMeter) {
      // Meters stay off the lanes the notes come down: beside the board or in front
      // of the strike line.
      EXPECT_TRUE(box.lo.x >= 120.0f || box.hi.x <= -120.0f || box.hi.z <= -20.0f) << what;
    }
  }
  EXPECT_EQ(slots.size(), 77u);
  EXPECT_EQ(slots.count(49), 0u);
}

TEST(DefaultModels, SizesThatFollowFromTheBoard) {
  const fs::path stat = RunFolder() / "themes/default/static";
  // Keys turn about their back edge: every key model reaches exactly z = 15.
  for (const models::FixedModel& row : models::kFixedModels) {
    if (row.place != Place::kKeysFret) continue;
    Loaded file;
    ASSERT_TRUE(Load(file, RunFolder() / models::FixedModelPath(row))) << row.name;
    EXPECT_NEAR(SceneBox(file.scene).hi.z, 15.0f, 1e-3f) << row.name;
  }
  // A chord bar joins the gems of its chord: one lane (48 units) per further note.
  for (int notes = 2; notes <= 6; ++notes) {
    Loaded file;
    ASSERT_TRUE(Load(file, stat / ("notes/Chord_" + std::to_string(notes) + ".X")));
    const float width = SceneBox(file.scene).Size().x;
    EXPECT_GT(width, 48.0f * static_cast<float>(notes - 1)) << notes;
    EXPECT_LT(width, 48.0f * static_cast<float>(notes - 1) + 24.0f) << notes;
  }
  // The neck follows the arc of radius 1000: its edges lie lower than its middle by
  // 1000 - sqrt(1000^2 - 120^2).
  Loaded board;
  ASSERT_TRUE(Load(board, stat / "board/Board.X"));
  const Box box = SceneBox(board.scene);
  EXPECT_NEAR(box.hi.y, 0.0f, 1e-3f);
  EXPECT_NEAR(box.lo.y, -(1000.0f - std::sqrt(1000.0f * 1000.0f - 120.0f * 120.0f)), 0.05f);
}

TEST(DefaultModels, NeckRepeatsEvery715UnitsAndTheMaskSpansTheBoardOnce) {
  Loaded file;
  ASSERT_TRUE(Load(file, RunFolder() / "themes/default/static/board/Board.X"));
  float v0_lo = 1e9f, v0_hi = -1e9f;
  aiVector3D uv1_lo(1e9f, 1e9f, 0), uv1_hi(-1e9f, -1e9f, 0);
  for (unsigned m = 0; m < file.scene->mNumMeshes; ++m) {
    const aiMesh* mesh = file.scene->mMeshes[m];
    ASSERT_TRUE(mesh->HasTextureCoords(1));
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
      const aiVector3D& p = mesh->mVertices[v];
      const aiVector3D& uv0 = mesh->mTextureCoords[0][v];
      const aiVector3D& uv1 = mesh->mTextureCoords[1][v];
      // One repeat of the neck picture per 715 units of z.
      EXPECT_NEAR(uv0.y, -p.z / 715.0f, 1e-4f);
      v0_lo = std::min(v0_lo, uv0.y);
      v0_hi = std::max(v0_hi, uv0.y);
      uv1_lo = aiVector3D(std::min(uv1_lo.x, uv1.x), std::min(uv1_lo.y, uv1.y), 0);
      uv1_hi = aiVector3D(std::max(uv1_hi.x, uv1.x), std::max(uv1_hi.y, uv1.y), 0);
    }
  }
  EXPECT_NEAR(v0_hi - v0_lo, 865.0f / 715.0f, 1e-3f);
  EXPECT_NEAR(uv1_lo.x, 0.0f, 1e-4f);
  EXPECT_NEAR(uv1_lo.y, 0.0f, 1e-4f);
  EXPECT_NEAR(uv1_hi.x, 1.0f, 1e-4f);
  EXPECT_NEAR(uv1_hi.y, 1.0f, 1e-4f);
}

// The gems of the hammer-on, tap, muted and real-guitar variants differ from their
// plain gem by shape, not only by colour: their vertex positions are not the same.
std::multiset<std::tuple<long, long, long>> ShapeOf(const fs::path& path) {
  std::multiset<std::tuple<long, long, long>> points;
  Loaded file;
  EXPECT_TRUE(Load(file, path)) << path;
  if (!file.scene) return points;
  for (unsigned m = 0; m < file.scene->mNumMeshes; ++m) {
    const aiMesh* mesh = file.scene->mMeshes[m];
    for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
      const aiVector3D& p = mesh->mVertices[v];
      points.insert({std::lround(p.x * 100), std::lround(p.y * 100), std::lround(p.z * 100)});
    }
  }
  return points;
}

TEST(DefaultModels, NoteVariantsDifferInShape) {
  const fs::path notes = RunFolder() / "themes/default/static/notes";
  const std::pair<const char*, const char*> kPairs[] = {{"Note_Guitar", "Note_Guitar_Hopo"},
                                                        {"Note_Guitar", "Note_Slider"},
                                                        {"Note_Guitar_Hopo", "Note_Slider"},
                                                        {"Note_Guitar_Real", "Note_HOPO_Guitar_Real"},
                                                        {"Note_Guitar_Real", "Note_Muted_Guitar_Real"},
                                                        {"Note_Drum", "Note_Drum_Rimshot"},
                                                        {"Note_Cymbal_Closed", "Note_Cymbal_Open"},
                                                        {"Note_Cymbal_Closed", "Note_Cymbal_Pedal"},
                                                        {"Note_Cymbal_Closed", "Note_Cymbal_Sizzle"}};
  for (const auto& [plain, variant] : kPairs) {
    const auto a = ShapeOf(notes / (std::string(plain) + ".X"));
    ASSERT_FALSE(a.empty()) << plain;
    EXPECT_NE(a, ShapeOf(notes / (std::string(variant) + ".X"))) << plain << " / " << variant;
  }
}

// ---------------------------------------------------------------------------------
// The stage

const aiNodeAnim* Channel(const aiScene* scene, const std::string& set, const aiString& node) {
  for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
    if (set != scene->mAnimations[a]->mName.C_Str()) continue;
    for (unsigned c = 0; c < scene->mAnimations[a]->mNumChannels; ++c) {
      if (scene->mAnimations[a]->mChannels[c]->mNodeName == node) return scene->mAnimations[a]->mChannels[c];
    }
  }
  return nullptr;
}

struct Pose {
  aiVector3D position;
  aiQuaternion rotation;
};

Pose First(const aiNodeAnim* c) { return {c->mPositionKeys[0].mValue, c->mRotationKeys[0].mValue}; }
Pose Last(const aiNodeAnim* c) {
  return {c->mPositionKeys[c->mNumPositionKeys - 1].mValue, c->mRotationKeys[c->mNumRotationKeys - 1].mValue};
}

void ExpectSamePose(const Pose& a, const Pose& b, const std::string& what) {
  EXPECT_LT((a.position - b.position).Length(), 1e-2f) << what;
  const float dot = a.rotation.x * b.rotation.x + a.rotation.y * b.rotation.y + a.rotation.z * b.rotation.z +
                    a.rotation.w * b.rotation.w;
  EXPECT_GT(std::fabs(dot), 0.9999f) << what;  // the same turn (q and -q alike)
}

// The stage plays "activate" once and then loops "active", "deactivate" once and then
// loops "unactive": each follow-on set starts where the one before it ends, so the
// animated parts never jump, and the resting pose is the frame's own.
void ExpectSeamlessSets(const aiScene* scene, const std::string& model) {
  const aiAnimation* unactive = nullptr;
  for (unsigned a = 0; a < scene->mNumAnimations; ++a) {
    if (std::string(scene->mAnimations[a]->mName.C_Str()) == "unactive") unactive = scene->mAnimations[a];
  }
  ASSERT_NE(unactive, nullptr) << model;
  for (unsigned c = 0; c < unactive->mNumChannels; ++c) {
    const aiString& node_name = unactive->mChannels[c]->mNodeName;
    const aiNode* node = scene->mRootNode->FindNode(node_name);
    ASSERT_NE(node, nullptr) << model;
    const aiNodeAnim* activate = Channel(scene, "activate", node_name);
    const aiNodeAnim* active = Channel(scene, "active", node_name);
    const aiNodeAnim* deactivate = Channel(scene, "deactivate", node_name);
    ASSERT_TRUE(activate && active && deactivate) << model << " " << node_name.C_Str();
    Pose rest;
    node->mTransformation.DecomposeNoScaling(rest.rotation, rest.position);
    ExpectSamePose(First(unactive->mChannels[c]), rest, model + ": unactive starts at rest");
    ExpectSamePose(Last(activate), First(active), model + ": active follows activate");
    ExpectSamePose(Last(deactivate), First(unactive->mChannels[c]), model + ": unactive follows deactivate");
  }
}

TEST(StageModels, LayoutsNameObjectsThatExistAndAnimatedOnesCarryTheFourSets) {
  for (const char* name : models::kStageFiles) {
    Loaded file;
    ASSERT_TRUE(Load(file, RunFolder() / models::StageModelPath(name))) << name;
    ExpectSoundMeshes(file.scene, name);
  }
  Loaded venue;
  ASSERT_TRUE(Load(venue, RunFolder() / models::StageModelPath("background")));
  const Box room = SceneBox(venue.scene);
  for (const char* layout : {"dummy_low", "dummy_medium", "dummy_high"}) {
    Loaded file;
    ASSERT_TRUE(Load(file, RunFolder() / models::StageModelPath(layout))) << layout;
    const aiNode* root = file.scene->mRootNode;
    std::vector<std::string> keys;
    int objects = 0, animated = 0;
    for (unsigned i = 0; i < root->mNumChildren; ++i) {
      const std::string frame = root->mChildren[i]->mName.C_Str();
      std::vector<std::string> parts;
      std::stringstream split(frame);
      for (std::string part; std::getline(split, part, '-');) parts.push_back(part);
      if (frame.rfind("DO-", 0) == 0) {
        ASSERT_GE(parts.size(), 3u) << frame;
        const std::string model = parts[1];
        const std::string flags = parts.size() > 3 ? parts[3] : "";
        keys.push_back(parts[2]);
        ++objects;
        Loaded object;
        ASSERT_TRUE(Load(object, RunFolder() / models::StageModelPath(model))) << frame;
        ExpectSoundMeshes(object.scene, model);
        // Placed by its frame, the object stands inside the venue.
        Box placed;
        CollectBox(object.scene, object.scene->mRootNode, root->mChildren[i]->mTransformation, placed);
        for (int axis = 0; axis < 3; ++axis) {
          EXPECT_GE(placed.lo[axis], room.lo[axis]) << frame << " axis " << axis;
          EXPECT_LE(placed.hi[axis], room.hi[axis]) << frame << " axis " << axis;
        }
        std::set<std::string> sets;
        for (unsigned a = 0; a < object.scene->mNumAnimations; ++a) {
          const aiAnimation* anim = object.scene->mAnimations[a];
          sets.insert(anim->mName.C_Str());
          EXPECT_GT(anim->mTicksPerSecond, 0.0) << model;
          EXPECT_GT(anim->mDuration, 0.0) << model;
          for (unsigned c = 0; c < anim->mNumChannels; ++c) {
            const aiNodeAnim* channel = anim->mChannels[c];
            ASSERT_NE(object.scene->mRootNode->FindNode(channel->mNodeName), nullptr) << model;
            ASSERT_GT(channel->mNumPositionKeys, 0u) << model;
            ASSERT_GT(channel->mNumRotationKeys, 0u) << model;
          }
        }
        if (flags.find('a') != std::string::npos) {
          ++animated;
          for (const char* set : models::kStageAnimationSets) EXPECT_TRUE(sets.count(set)) << model << " " << set;
          ExpectSeamlessSets(object.scene, model);
        }
      } else if (frame.rfind("IO-", 0) == 0) {
        ASSERT_EQ(parts.size(), 3u) << frame;
        // A copy finds the object keyed by its first part, then is keyed by its second.
        EXPECT_NE(std::find(keys.begin(), keys.end(), parts[1]), keys.end()) << frame;
        keys.push_back(parts[2]);
      }
    }
    EXPECT_GT(objects, 0) << layout;
    EXPECT_GT(animated, 0) << layout;
  }
}

TEST(StageModels, MoreDetailPlacesMoreObjects) {
  std::vector<unsigned> counts;
  for (const char* layout : {"dummy_low", "dummy_medium", "dummy_high"}) {
    Loaded file;
    ASSERT_TRUE(Load(file, RunFolder() / models::StageModelPath(layout))) << layout;
    counts.push_back(file.scene->mRootNode->mNumChildren);
  }
  EXPECT_LT(counts[0], counts[1]);
  EXPECT_LT(counts[1], counts[2]);
}

// ---------------------------------------------------------------------------------

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DefaultModels, GeneratorWritesTheSameBytesAgain) {
  const fs::path again = fs::temp_directory_path() / ("velorin_models_" + std::to_string(::getpid()));
  fs::remove_all(again);
  const std::string command = std::string(VELORIN_MODELS_PROGRAM) + " '" + again.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  int compared = 0;
  for (const auto& entry : fs::recursive_directory_iterator(again)) {
    if (!entry.is_regular_file()) continue;
    const fs::path relative = entry.path().lexically_relative(again);
    EXPECT_EQ(ReadAll(entry.path()), ReadAll(RunFolder() / relative)) << relative;
    ++compared;
  }
  EXPECT_GE(compared, 77 + static_cast<int>(models::kStageFiles.size()));
  fs::remove_all(again);
}

}  // namespace
