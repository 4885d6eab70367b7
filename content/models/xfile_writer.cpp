// Text .X output. Each mesh lists only the materials its triangles use, in the order
// of the model's list, so a subset never comes out empty.
#include "content/models/xfile_writer.h"

#include <cmath>
#include <cstdio>
#include <map>

namespace models {

namespace {

std::string Num(float value) {
  if (std::fabs(value) < 5e-7f) value = 0.0f;  // no "-0.000000"
  char text[48];
  std::snprintf(text, sizeof text, "%.6f", static_cast<double>(value));
  return text;
}

std::string Indent(int depth) { return std::string(static_cast<size_t>(depth) * 2, ' '); }

std::string MatrixText(const glm::mat4& m) {
  // The file keeps matrices for row vectors, row by row: that is glm's column-major
  // memory order of the same (column-vector) matrix.
  std::string out;
  const float* v = &m[0][0];
  for (int i = 0; i < 16; ++i) {
    out += Num(v[i]);
    out += i == 15 ? ";;" : ",";
  }
  return out;
}

void WriteMaterial(std::string& out, const Material& mat, int depth) {
  const std::string in = Indent(depth);
  out += in + "Material " + mat.name + " {\n";
  out += in + "  " + Num(mat.diffuse.r) + ";" + Num(mat.diffuse.g) + ";" + Num(mat.diffuse.b) + ";" +
         Num(mat.diffuse.a) + ";;\n";
  out += in + "  " + Num(mat.power) + ";\n";
  out += in + "  " + Num(mat.specular.r) + ";" + Num(mat.specular.g) + ";" + Num(mat.specular.b) + ";;\n";
  out += in + "  " + Num(mat.emissive.r) + ";" + Num(mat.emissive.g) + ";" + Num(mat.emissive.b) + ";;\n";
  if (!mat.texture.empty()) out += in + "  TextureFilename { \"" + mat.texture + "\"; }\n";
  out += in + "}\n";
}

void WriteTextureCoords(std::string& out, const Mesh& mesh, bool second, int depth) {
  const std::string in = Indent(depth);
  out += in + "MeshTextureCoords {\n";
  out += in + "  " + std::to_string(mesh.vertices.size()) + ";\n";
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const glm::vec2 uv = second ? mesh.vertices[i].uv2 : mesh.vertices[i].uv;
    out += in + "  " + Num(uv.x) + ";" + Num(uv.y) + ";" + (i + 1 == mesh.vertices.size() ? ";\n" : ",\n");
  }
  out += in + "}\n";
}

void WriteFaces(std::string& out, const Mesh& mesh, const std::string& in) {
  out += in + std::to_string(mesh.triangles.size()) + ";\n";
  for (size_t i = 0; i < mesh.triangles.size(); ++i) {
    const auto& t = mesh.triangles[i].index;
    out += in + "3;" + std::to_string(t[0]) + "," + std::to_string(t[1]) + "," + std::to_string(t[2]) +
           (i + 1 == mesh.triangles.size() ? ";;\n" : ";,\n");
  }
}

void WriteMesh(std::string& out, const Model& model, const Frame& frame, int depth) {
  const Mesh& mesh = frame.mesh;
  const std::string in = Indent(depth);
  const std::string in2 = Indent(depth + 1);
  out += in + "Mesh " + frame.name + "_Mesh {\n";
  out += in2 + std::to_string(mesh.vertices.size()) + ";\n";
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const glm::vec3& p = mesh.vertices[i].position;
    out += in2 + Num(p.x) + ";" + Num(p.y) + ";" + Num(p.z) + ";" + (i + 1 == mesh.vertices.size() ? ";\n" : ",\n");
  }
  WriteFaces(out, mesh, in2);

  // Normals: one per vertex, with the faces' own index list (the same as the mesh's).
  out += in2 + "MeshNormals {\n";
  out += in2 + "  " + std::to_string(mesh.vertices.size()) + ";\n";
  for (size_t i = 0; i < mesh.vertices.size(); ++i) {
    const glm::vec3& n = mesh.vertices[i].normal;
    out += in2 + "  " + Num(n.x) + ";" + Num(n.y) + ";" + Num(n.z) + ";" +
           (i + 1 == mesh.vertices.size() ? ";\n" : ",\n");
  }
  WriteFaces(out, mesh, in2 + "  ");
  out += in2 + "}\n";

  WriteTextureCoords(out, mesh, false, depth + 1);
  if (model.second_uv) WriteTextureCoords(out, mesh, true, depth + 1);

  std::map<uint32_t, uint32_t> local;  // model material -> index in this mesh
  for (const Triangle& t : mesh.triangles) local.emplace(t.material, 0);
  uint32_t next = 0;
  for (auto& [global, index] : local) index = next++;
  out += in2 + "MeshMaterialList {\n";
  out += in2 + "  " + std::to_string(local.size()) + ";\n";
  out += in2 + "  " + std::to_string(mesh.triangles.size()) + ";\n";
  for (size_t i = 0; i < mesh.triangles.size(); ++i) {
    out += in2 + "  " + std::to_string(local[mesh.triangles[i].material]) +
           (i + 1 == mesh.triangles.size() ? ";;\n" : ",\n");
  }
  for (const auto& [global, index] : local) WriteMaterial(out, model.materials.at(global), depth + 2);
  out += in2 + "}\n";
  out += in + "}\n";
}

void WriteFrame(std::string& out, const Model& model, const Frame& frame, int depth) {
  const std::string in = Indent(depth);
  out += in + "Frame " + frame.name + " {\n";
  out += in + "  FrameTransformMatrix {\n";
  out += in + "    " + MatrixText(frame.local) + "\n";
  out += in + "  }\n";
  if (!frame.mesh.empty()) WriteMesh(out, model, frame, depth + 1);
  for (const Frame& child : frame.children) WriteFrame(out, model, child, depth + 1);
  out += in + "}\n";
}

void WriteAnimationSet(std::string& out, const AnimationSet& set) {
  out += "AnimationSet " + set.name + " {\n";
  for (const FrameTrack& track : set.tracks) {
    out += "  Animation {\n";
    out += "    { " + track.frame + " }\n";
    out += "    AnimationKey {\n";
    out += "      4;\n";  // matrix keys
    out += "      " + std::to_string(track.keys.size()) + ";\n";
    for (size_t i = 0; i < track.keys.size(); ++i) {
      out += "      " + std::to_string(track.keys[i].tick) + ";16;" + MatrixText(track.keys[i].matrix) +
             (i + 1 == track.keys.size() ? ";\n" : ",\n");
    }
    out += "    }\n";
    out += "    AnimationOptions {\n      1;\n      0;\n    }\n";  // closed loop, spline off
    out += "  }\n";
  }
  out += "}\n";
}

}  // namespace

std::string WriteXText(const Model& model) {
  std::string out = "xof 0303txt 0032\n\n";
  if (!model.animations.empty()) {
    out += "AnimTicksPerSecond {\n  " + std::to_string(model.ticks_per_second) + ";\n}\n\n";
  }
  WriteFrame(out, model, model.root, 0);
  for (const AnimationSet& set : model.animations) {
    out += "\n";
    WriteAnimationSet(out, set);
  }
  return out;
}

}  // namespace models
