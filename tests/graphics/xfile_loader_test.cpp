// The .X reader: frames, meshes with their own normal indices, two texture coordinate
// sets, several materials, skin weights and animation sets, read from the same
// fixtures in the text and the binary form; and refusal of damaged files.
#include <gtest/gtest.h>

#include <string>

#include "platform/file.h"
#include "platform/model/xfile.h"
#include "xfile_binary_writer.h"

namespace {

using platform::model::LoadXFileFromMemory;
using platform::model::XFrame;
using platform::model::XMesh;
using platform::model::XModel;

std::string Fixture(const char* name) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(std::string(VELORIN_TEST_SOURCE_DIR) + "/tests/graphics/fixtures/" + name,
                                      bytes));
  return bytes;
}

enum class Form { kText, kBinary };

std::string InForm(const std::string& text, Form form) {
  return form == Form::kText ? text : velorin_test::TextXToBinary(text);
}

void ExpectVec(const glm::vec3& got, glm::vec3 want) {
  EXPECT_NEAR(got.x, want.x, 1e-5f);
  EXPECT_NEAR(got.y, want.y, 1e-5f);
  EXPECT_NEAR(got.z, want.z, 1e-5f);
}

void ExpectRow(const glm::mat4& m, int row, glm::vec4 want) {
  for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(m[row][c], want[c]) << "row " << row << " column " << c;
}

class XFileForms : public ::testing::TestWithParam<Form> {};

TEST_P(XFileForms, FramesKeepNamesTreeAndMatrices) {
  XModel model;
  std::string error;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(Fixture("frames_and_materials.x"), GetParam()), model, &error)) << error;
  ASSERT_EQ(model.frames.size(), 4u);
  const auto& f = model.frames;
  EXPECT_EQ(f[0].name, "Root");
  EXPECT_EQ(f[1].name, "DO-drum-kit1-ab");
  EXPECT_EQ(f[2].name, "Deep");
  EXPECT_EQ(f[3].name, "IO-kit1-kit2");
  EXPECT_EQ(f[0].firstChild, 1);
  EXPECT_EQ(f[1].nextSibling, 3);
  EXPECT_EQ(f[1].firstChild, 2);
  EXPECT_EQ(f[2].parent, 1);
  EXPECT_EQ(f[3].parent, 0);
  EXPECT_EQ(f[0].nextSibling, -1);
  // Rows as the file writes them: the translation is the fourth row.
  ExpectRow(f[0].transform, 3, {10, 20, 30, 1});
  ExpectRow(f[1].transform, 0, {0, 1, 0, 0});
  ExpectRow(f[1].transform, 1, {-1, 0, 0, 0});
  ExpectRow(f[1].transform, 3, {1, 2, 3, 1});
  ExpectRow(f[2].transform, 2, {0, 0, 2, 0});
  ExpectRow(f[2].transform, 3, {0, 0, 5, 1});
  // The file's row-vector product p x M places (1, 0, 0) of the turned frame at (1, 3, 3).
  ExpectVec(glm::vec3(f[1].transform * glm::vec4(1, 0, 0, 1)), {1, 3, 3});
  EXPECT_EQ(model.FindFrame("IO-kit1-kit2"), 3);
  EXPECT_EQ(model.FindFrame("io-kit1-kit2"), -1);
}

TEST_P(XFileForms, MeshCornersCarryTheirOwnNormalsAndBothUvSets) {
  XModel model;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(Fixture("frames_and_materials.x"), GetParam()), model));
  ASSERT_EQ(model.meshes.size(), 1u);
  ASSERT_EQ(model.frames[0].meshes, std::vector<int>{0});
  const XMesh& mesh = model.meshes[0];
  EXPECT_TRUE(mesh.hasNormals);
  EXPECT_EQ(mesh.uvSetCount, 2);
  ASSERT_EQ(mesh.subsets.size(), 2u);
  ASSERT_EQ(mesh.materials.size(), 2u);
  ASSERT_EQ(mesh.indices.size(), 6u);
  // Face 0 (material 0) uses file vertices 0, 1, 2 and normal 0 at each corner;
  // face 1 (material 1) uses 0, 2, 3 and normal 1: vertex 0 appears with two normals.
  struct Corner {
    int subset, corner;
    uint32_t source;
    glm::vec3 position, normal;
    glm::vec2 uv0, uv1;
  };
  const Corner table[] = {
      {0, 0, 0, {0, 0, 0}, {0, 0, -1}, {0, 0.25f}, {0.5f, 0.5f}},
      {0, 1, 1, {1, 0, 0}, {0, 0, -1}, {1, 0}, {0.5f, 0.75f}},
      {0, 2, 2, {1, 1, 0}, {0, 0, -1}, {1, 1}, {0.5f, 1}},
      {1, 0, 0, {0, 0, 0}, {0, 1, 0}, {0, 0.25f}, {0.5f, 0.5f}},
      {1, 1, 2, {1, 1, 0}, {0, 1, 0}, {1, 1}, {0.5f, 1}},
      {1, 2, 3, {0, 1, 5}, {0, 1, 0}, {0, 1}, {0.5f, 0}},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(testing::Message() << "subset " << row.subset << " corner " << row.corner);
    const auto& subset = mesh.subsets[row.subset];
    ASSERT_EQ(subset.indexCount, 3u);
    const uint32_t index = mesh.indices[subset.firstIndex + row.corner];
    const auto& v = mesh.vertices[index];
    EXPECT_EQ(mesh.sourceIndices.at(index), row.source);
    ExpectVec(v.position, row.position);
    ExpectVec(v.normal, row.normal);
    EXPECT_NEAR(v.uv0.x, row.uv0.x, 1e-6f);
    EXPECT_NEAR(v.uv0.y, row.uv0.y, 1e-6f);
    EXPECT_NEAR(v.uv1.x, row.uv1.x, 1e-6f);
    EXPECT_NEAR(v.uv1.y, row.uv1.y, 1e-6f);
  }
}

TEST_P(XFileForms, MaterialsKeepColoursPowerAndTextureName) {
  XModel model;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(Fixture("frames_and_materials.x"), GetParam()), model));
  const auto& red = model.meshes.at(0).materials.at(0);
  const auto& blue = model.meshes.at(0).materials.at(1);
  EXPECT_TRUE(model.meshes[0].materialsFromFile);
  EXPECT_EQ(red.diffuse, glm::vec4(1, 0, 0, 0.5f));
  EXPECT_FLOAT_EQ(red.power, 8.0f);
  ExpectVec(red.specular, {0.25f, 0.25f, 0.25f});
  ExpectVec(red.emissive, {0.1f, 0.2f, 0.3f});
  EXPECT_EQ(red.textureFile, "tex\\red.png");
  EXPECT_EQ(blue.diffuse, glm::vec4(0, 0, 1, 1));
  EXPECT_EQ(blue.textureFile, "");
}

TEST_P(XFileForms, AnimationSetsKeepNamesTicksAndKeys) {
  XModel model;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(Fixture("frames_and_materials.x"), GetParam()), model));
  ASSERT_EQ(model.animationSets.size(), 2u);
  const auto& activate = model.animationSets[0];
  EXPECT_EQ(activate.name, "activate");
  EXPECT_EQ(model.animationSets[1].name, "unactive");
  EXPECT_DOUBLE_EQ(activate.ticksPerSecond, 100.0);
  EXPECT_DOUBLE_EQ(activate.lengthTicks, 100.0);
  ASSERT_EQ(activate.tracks.size(), 1u);
  EXPECT_EQ(activate.tracks[0].frameName, "DO-drum-kit1-ab");
  ASSERT_EQ(activate.tracks[0].positionKeys.size(), 2u);
  EXPECT_DOUBLE_EQ(activate.tracks[0].positionKeys[1].time, 100.0);
  ExpectVec(activate.tracks[0].positionKeys[1].value, {1, 2, 3});
  const auto& scale = model.animationSets[1].tracks.at(0).scaleKeys;
  ASSERT_EQ(scale.size(), 1u);
  ExpectVec(scale[0].value, {2, 2, 2});
}

TEST_P(XFileForms, SkinWeightsNameTheirBoneFrames) {
  XModel model;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(Fixture("skinned.x"), GetParam()), model));
  int body = model.FindFrame("Body");
  ASSERT_GE(body, 0);
  ASSERT_EQ(model.frames[body].meshes.size(), 1u);
  const XMesh& mesh = model.meshes[model.frames[body].meshes[0]];
  ASSERT_EQ(mesh.bones.size(), 2u);
  EXPECT_EQ(mesh.bones[0].frameName, "BoneA");
  EXPECT_EQ(mesh.bones[1].frameName, "BoneB");
  ExpectRow(mesh.bones[1].offset, 3, {-2, 0, 0, 1});
  // Weights point at corners whose position is the weighted file vertex.
  ASSERT_EQ(mesh.bones[0].weights.size(), 2u);
  ASSERT_EQ(mesh.bones[1].weights.size(), 2u);
  for (const auto& w : mesh.bones[1].weights) {
    float x = mesh.vertices.at(w.vertex).position.x;
    EXPECT_FLOAT_EQ(w.weight, x == 2.0f ? 0.5f : 1.0f) << "vertex at x " << x;
  }
}

TEST_P(XFileForms, SecondUvSetFromAVertexDeclaration) {
  // One element: two floats, texture coordinates of set 1. The words are the bit
  // patterns of 0.25, 0.5 / 0.75, 1.0 / 0.0, 0.25.
  const std::string text =
      "xof 0303txt 0032\n"
      "Frame F { Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 2, 1, 0;;\n"
      "  MeshTextureCoords { 3; 0.0;0.0;, 1.0;0.0;, 0.0;1.0;; }\n"
      "  DeclData { 1; 1; 0; 5; 1;; 6; 1048576000, 1056964608, 1061158912, 1065353216, 0, 1048576000;; }\n"
      "} }\n";
  XModel model;
  std::string error;
  ASSERT_TRUE(LoadXFileFromMemory(InForm(text, GetParam()), model, &error)) << error;
  ASSERT_EQ(model.meshes.size(), 1u);
  const XMesh& mesh = model.meshes[0];
  EXPECT_EQ(mesh.uvSetCount, 2);
  ASSERT_EQ(mesh.vertices.size(), 3u);
  const glm::vec2 uv1BySource[] = {{0.25f, 0.5f}, {0.75f, 1.0f}, {0.0f, 0.25f}};
  const uint32_t sources[] = {2, 1, 0};  // the face's corners
  for (uint32_t c = 0; c < 3; ++c) {
    const auto& v = mesh.vertices[mesh.indices[c]];
    EXPECT_EQ(mesh.sourceIndices.at(mesh.indices[c]), sources[c]);
    EXPECT_EQ(v.uv1, uv1BySource[sources[c]]);
  }
}

INSTANTIATE_TEST_SUITE_P(TextAndBinary, XFileForms, ::testing::Values(Form::kText, Form::kBinary));

TEST(XFile, TicksPerSecondDefaultsAndTopLevelFramesStaySiblings) {
  const std::string text =
      "xof 0303txt 0032\n"
      "Frame First { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; } }\n"
      "Frame Second { Frame Inner { } }\n"
      "AnimationSet spin { Animation { {Second} AnimationKey { 2; 1; 0; 3; 1.0, 0.0, 0.0;;; } } }\n";
  XModel model;
  std::string error;
  ASSERT_TRUE(LoadXFileFromMemory(text, model, &error)) << error;
  ASSERT_EQ(model.frames.size(), 3u);
  EXPECT_EQ(model.frames[0].name, "First");
  EXPECT_EQ(model.frames[0].nextSibling, 1);
  EXPECT_EQ(model.frames[1].name, "Second");
  EXPECT_EQ(model.frames[1].parent, -1);
  EXPECT_EQ(model.frames[2].parent, 1);
  ASSERT_EQ(model.animationSets.size(), 1u);
  EXPECT_DOUBLE_EQ(model.animationSets[0].ticksPerSecond, 4800.0);
}

TEST(XFile, DamagedFilesAreRefusedWithAReason) {
  const std::string header = "xof 0303txt 0032\n";
  const std::string good = Fixture("frames_and_materials.x");
  std::string truncatedBinary = velorin_test::TextXToBinary(good);
  truncatedBinary.resize(truncatedBinary.size() / 2);
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"no header", "Frame Root { }"},
      {"compressed", "xof 0303tzip0032 some bytes that are not a zip stream"},
      {"unclosed frame", header + "Frame Root { Frame Child {"},
      {"face corner equal to the vertex count",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 3;; }"},
      {"normal index past the normals",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 2;;"
                " MeshNormals { 1; 0.0;0.0;1.0;; 1; 3; 0, 0, 9;; } }"},
      {"skin weight on a missing vertex",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 2;;"
                " SkinWeights { \"B\"; 1; 70000; 1.0; 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0,"
                " 0.0,0.0,0.0,1.0;; } }"},
      {"vertex count far beyond the data", header + "Mesh M { 4000000000; 0.0; }"},
      {"face material without materials",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 2;;"
                " MeshMaterialList { 1; 1; 0;; } }"},
      {"material hidden behind a stray word, so the importer holds none",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 2;;"
                " MeshMaterialList { 1; 1; 0;; $ Material Grey { 0.5;0.5;0.5;1.0;; 0.0; 0.0;0.0;0.0;;"
                " 0.0;0.0;0.0;; } } }"},
      {"two material lists",
       header + "Mesh M { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3; 0, 1, 2;;"
                " MeshMaterialList { 1; 1; 0;; { Grey } } MeshMaterialList { 1; 1; 0;; { Grey } } }"},
      {"binary cut in half", truncatedBinary},
      // 17 reals where the importer reads 16: it would take the last one for a token.
      {"binary number list running past its object",
       velorin_test::TextXToBinary(header + "Frame R { FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0,"
                                            " 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0, 9.0;; } }")},
      {"binary integers where reals belong",
       velorin_test::TextXToBinary(header + "Frame R { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } }")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    XModel model;
    model.frames.emplace_back();
    std::string error;
    EXPECT_FALSE(LoadXFileFromMemory(c.bytes, model, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(model.frames.empty() && model.meshes.empty() && model.animationSets.empty());
  }
}

TEST(XFile, MissingFileIsRefused) {
  XModel model;
  std::string error;
  EXPECT_FALSE(platform::model::LoadXFile("/nonexistent/folder/model.x", model, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
