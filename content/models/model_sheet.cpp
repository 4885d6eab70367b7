// Renders a thumbnail of every generated model for the art contact sheet: each .X file
// of the run folder is read back through the model loader library, drawn by a small
// software rasteriser (in the file's own left-handed space, which the loader library
// restores on request; orthographic view from above and in front, flat lighting from
// the material colours, back faces culled as the game culls them) and written as a PNG
// with the model's name and size under it.
// Usage: velorin_model_thumbnails <run folder> <output folder>
#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>
#include <stb/stb_easy_font.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "content/models/model_catalogue.h"

namespace fs = std::filesystem;

namespace {

constexpr int kSize = 256;        // thumbnail width and height of the picture area
constexpr int kLabel = 40;        // text strip under it
constexpr int kSuper = 2;         // supersampling factor

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
Vec3 Normalise(Vec3 a) {
  const float l = std::sqrt(Dot(a, a));
  return l > 0 ? Vec3{a.x / l, a.y / l, a.z / l} : a;
}

struct Tri {
  std::array<Vec3, 3> p;
  std::array<float, 4> colour;  // r, g, b, alpha
  std::array<float, 3> emissive;
};

void Collect(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent, std::vector<Tri>& out) {
  const aiMatrix4x4 world = parent * node->mTransformation;
  for (unsigned i = 0; i < node->mNumMeshes; ++i) {
    const aiMesh* mesh = scene->mMeshes[node->mMeshes[i]];
    const aiMaterial* mat = scene->mMaterials[mesh->mMaterialIndex];
    aiColor4D diffuse(0.5f, 0.5f, 0.5f, 1.0f);
    aiColor3D emissive(0.0f, 0.0f, 0.0f);
    mat->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    mat->Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
    float opacity = diffuse.a;
    mat->Get(AI_MATKEY_OPACITY, opacity);
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
      const aiFace& face = mesh->mFaces[f];
      for (unsigned k = 1; k + 1 < face.mNumIndices; ++k) {
        Tri t;
        const unsigned ids[3] = {face.mIndices[0], face.mIndices[k], face.mIndices[k + 1]};
        for (int c = 0; c < 3; ++c) {
          const aiVector3D v = world * mesh->mVertices[ids[c]];
          t.p[static_cast<size_t>(c)] = {v.x, v.y, v.z};
        }
        t.colour = {diffuse.r, diffuse.g, diffuse.b, opacity};
        t.emissive = {emissive.r, emissive.g, emissive.b};
        out.push_back(t);
      }
    }
  }
  for (unsigned i = 0; i < node->mNumChildren; ++i) Collect(scene, node->mChildren[i], world, out);
}

struct Image {
  int w, h;
  std::vector<float> rgb;
  std::vector<float> depth;
  Image(int width, int height)
      : w(width), h(height), rgb(static_cast<size_t>(width * height * 3)),
        depth(static_cast<size_t>(width * height), std::numeric_limits<float>::max()) {}
};

// Draws the triangles seen from `dir` (towards the scene), fitted into the image.
void Render(const std::vector<Tri>& tris, Image& img, Vec3& size_out) {
  Vec3 lo{1e30f, 1e30f, 1e30f}, hi{-1e30f, -1e30f, -1e30f};
  for (const Tri& t : tris) {
    for (const Vec3& p : t.p) {
      lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
      hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
  }
  size_out = hi - lo;
  const Vec3 centre{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
  const Vec3 dir = Normalise({-0.35f, -0.65f, 1.0f});  // looking forward and down, from the front left
  const Vec3 right = Normalise(Cross({0, 1, 0}, dir));
  const Vec3 up = Cross(dir, right);
  const Vec3 light = Normalise({0.3f, 1.0f, -0.6f});

  float extent = 1e-3f;
  for (const Tri& t : tris) {
    for (const Vec3& p : t.p) {
      const Vec3 d = p - centre;
      extent = std::max({extent, std::fabs(Dot(d, right)), std::fabs(Dot(d, up))});
    }
  }
  const float scale = 0.45f * static_cast<float>(img.w) / extent;
  auto project = [&](const Vec3& p, float& sx, float& sy, float& sz) {
    const Vec3 d = p - centre;
    sx = static_cast<float>(img.w) * 0.5f + Dot(d, right) * scale;
    sy = static_cast<float>(img.h) * 0.5f - Dot(d, up) * scale;
    sz = Dot(d, dir);
  };

  // Opaque first, then the see-through surfaces over them.
  for (int pass = 0; pass < 2; ++pass) {
    for (const Tri& t : tris) {
      const bool clear = t.colour[3] < 0.99f;
      if (clear != (pass == 1)) continue;
      const Vec3 n = Normalise(Cross(t.p[1] - t.p[0], t.p[2] - t.p[0]));
      if (Dot(n, dir) >= 0.0f) continue;  // back face
      const float lit = 0.35f + 0.65f * std::max(0.0f, Dot(n, light));
      float col[3];
      for (int c = 0; c < 3; ++c) col[c] = std::min(1.0f, t.colour[static_cast<size_t>(c)] * lit + t.emissive[static_cast<size_t>(c)]);
      // A fully transparent occluder is shown faintly, so that its volume is visible.
      const float alpha = clear ? std::max(0.2f, t.colour[3]) : 1.0f;
      float x[3], y[3], z[3];
      for (int c = 0; c < 3; ++c) project(t.p[static_cast<size_t>(c)], x[c], y[c], z[c]);
      const float area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
      if (std::fabs(area) < 1e-6f) continue;
      const int x0 = std::max(0, static_cast<int>(std::floor(std::min({x[0], x[1], x[2]}))));
      const int x1 = std::min(img.w - 1, static_cast<int>(std::ceil(std::max({x[0], x[1], x[2]}))));
      const int y0 = std::max(0, static_cast<int>(std::floor(std::min({y[0], y[1], y[2]}))));
      const int y1 = std::min(img.h - 1, static_cast<int>(std::ceil(std::max({y[0], y[1], y[2]}))));
      for (int py = y0; py <= y1; ++py) {
        for (int px = x0; px <= x1; ++px) {
          const float fx = static_cast<float>(px) + 0.5f, fy = static_cast<float>(py) + 0.5f;
          const float w0 = ((x[1] - fx) * (y[2] - fy) - (x[2] - fx) * (y[1] - fy)) / area;
          const float w1 = ((x[2] - fx) * (y[0] - fy) - (x[0] - fx) * (y[2] - fy)) / area;
          const float w2 = 1.0f - w0 - w1;
          if (w0 < 0 || w1 < 0 || w2 < 0) continue;
          const float depth = w0 * z[0] + w1 * z[1] + w2 * z[2];
          const size_t i = static_cast<size_t>(py * img.w + px);
          if (depth >= img.depth[i]) continue;
          if (!clear) img.depth[i] = depth;
          for (int c = 0; c < 3; ++c) img.rgb[i * 3 + static_cast<size_t>(c)] = img.rgb[i * 3 + static_cast<size_t>(c)] * (1 - alpha) + col[c] * alpha;
        }
      }
    }
  }
}

void DrawText(std::vector<unsigned char>& px, int width, int top, const std::string& text, int zoom) {
  std::vector<char> buffer(60000);
  const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr, buffer.data(),
                                        static_cast<int>(buffer.size()));
  const int text_w = stb_easy_font_width(const_cast<char*>(text.c_str())) * zoom;
  const int left = std::max(2, (width - text_w) / 2);
  for (int q = 0; q < quads; ++q) {
    const float* v = reinterpret_cast<const float*>(buffer.data() + q * 4 * 16);
    const int qx0 = left + static_cast<int>(v[0]) * zoom, qy0 = top + static_cast<int>(v[1]) * zoom;
    const int qx1 = left + static_cast<int>(v[8]) * zoom, qy1 = top + static_cast<int>(v[9]) * zoom;
    for (int y = qy0; y < qy1; ++y) {
      for (int x = qx0; x < qx1; ++x) {
        if (x < 0 || x >= width || y < 0 || y >= kSize + kLabel) continue;
        for (int c = 0; c < 3; ++c) px[static_cast<size_t>((y * width + x) * 3 + c)] = 245;
      }
    }
  }
}

std::string Dimensions(const Vec3& s) {
  char text[96];
  std::snprintf(text, sizeof text, "%.0f x %.0f x %.0f", static_cast<double>(s.x), static_cast<double>(s.y),
                static_cast<double>(s.z));
  return text;
}

bool Thumbnail(const fs::path& file, const std::string& label, const fs::path& png) {
  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFile(file.string(), aiProcess_ConvertToLeftHanded);
  if (!scene || !scene->mRootNode) {
    std::fprintf(stderr, "velorin_model_thumbnails: cannot read %s: %s\n", file.string().c_str(),
                 importer.GetErrorString());
    return false;
  }
  std::vector<Tri> tris;
  Collect(scene, scene->mRootNode, aiMatrix4x4(), tris);
  Image big(kSize * kSuper, kSize * kSuper);
  for (int y = 0; y < big.h; ++y) {  // a dark backdrop, lighter at the top
    const float shade = 0.16f - 0.08f * static_cast<float>(y) / static_cast<float>(big.h);
    for (int x = 0; x < big.w; ++x) {
      for (int c = 0; c < 3; ++c) big.rgb[static_cast<size_t>((y * big.w + x) * 3 + c)] = shade;
    }
  }
  Vec3 size;
  Render(tris, big, size);
  std::vector<unsigned char> px(static_cast<size_t>(kSize * (kSize + kLabel) * 3), 20);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      for (int c = 0; c < 3; ++c) {
        float sum = 0;
        for (int sy = 0; sy < kSuper; ++sy) {
          for (int sx = 0; sx < kSuper; ++sx) {
            sum += big.rgb[static_cast<size_t>(((y * kSuper + sy) * big.w + x * kSuper + sx) * 3 + c)];
          }
        }
        const float v = std::clamp(sum / (kSuper * kSuper), 0.0f, 1.0f);
        px[static_cast<size_t>((y * kSize + x) * 3 + c)] = static_cast<unsigned char>(std::lround(v * 255.0f));
      }
    }
  }
  DrawText(px, kSize, kSize + 4, label, 1);
  DrawText(px, kSize, kSize + 20, Dimensions(size), 1);
  return stbi_write_png(png.string().c_str(), kSize, kSize + kLabel, 3, px.data(), kSize * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: velorin_model_thumbnails <run folder> <output folder>\n");
    return 2;
  }
  const fs::path run(argv[1]);
  const fs::path out(argv[2]);
  fs::create_directories(out);
  bool ok = true;
  int written = 0;
  for (const models::FixedModel& row : models::kFixedModels) {
    const std::string label = std::string(row.folder) + "/" + row.name;
    const bool done = Thumbnail(run / models::FixedModelPath(row), label,
                                out / (std::string(row.folder) + "_" + row.name + ".png"));
    ok = ok && done;
    written += done ? 1 : 0;
  }
  std::vector<fs::path> stage;
  for (const auto& entry : fs::directory_iterator(run / "data/backgrounds/stage")) {
    if (entry.path().extension() == ".X") stage.push_back(entry.path());
  }
  std::sort(stage.begin(), stage.end());
  for (const fs::path& file : stage) {
    const std::string name = file.stem().string();
    const bool done = Thumbnail(file, "stage/" + name, out / ("stage_" + name + ".png"));
    ok = ok && done;
    written += done ? 1 : 0;
  }
  std::printf("velorin_model_thumbnails: %d thumbnails in %s\n", written, out.string().c_str());
  return ok ? 0 : 1;
}
