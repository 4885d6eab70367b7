// Writes the default theme's fixed models under <run folder>/themes/default/static/
// and the stage files under <run folder>/data/backgrounds/stage/, as text .X files.
// Usage: velorin_models <run folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "content/models/gameplay_models.h"
#include "content/models/model_catalogue.h"

namespace fs = std::filesystem;

namespace {

bool WriteFile(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::fprintf(stderr, "velorin_models: could not write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

// A stage surface picture: the colour with a little grain and a darker seam along
// its edges, so that a repeated picture reads as panels and boards rather than flat
// paint. 64 x 64, seamless when repeated.
bool WriteSwatch(const fs::path& path, const glm::vec3& colour) {
  constexpr int kSize = 64;
  std::vector<uint8_t> rgb(size_t(kSize) * kSize * 3);
  uint32_t seed = 0x2545F491u;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      seed = seed * 1664525u + 1013904223u;
      float shade = 0.94f + 0.12f * float(seed >> 24) / 255.0f;
      if (x == 0 || y == 0) shade *= 0.72f;
      if (x == 1 || y == 1) shade *= 0.88f;
      for (int c = 0; c < 3; ++c) {
        const float v = colour[c] * shade * 255.0f + 0.5f;
        rgb[(size_t(y) * kSize + size_t(x)) * 3 + size_t(c)] = uint8_t(v < 0.0f ? 0.0f : v > 255.0f ? 255.0f : v);
      }
    }
  }
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (!stbi_write_png(path.string().c_str(), kSize, kSize, 3, rgb.data(), kSize * 3)) {
    std::fprintf(stderr, "velorin_models: could not write %s\n", path.string().c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velorin_models <run folder>\n");
    return 2;
  }
  const fs::path run(argv[1]);
  bool ok = true;
  for (const models::FixedModel& row : models::kFixedModels) {
    models::Model model;
    if (!models::BuildGameplayModel(row.name, model)) {
      std::fprintf(stderr, "velorin_models: no shape for %s\n", row.name);
      ok = false;
      continue;
    }
    if (model.second_uv != row.mask_uv) {
      std::fprintf(stderr, "velorin_models: %s: second texture set does not match its row\n", row.name);
      ok = false;
    }
    ok = WriteFile(run / models::FixedModelPath(row), models::WriteXText(model)) && ok;
  }
  for (const auto& [name, model] : models::BuildStageModels()) {
    ok = WriteFile(run / models::StageModelPath(name), models::WriteXText(model)) && ok;
  }
  for (const auto& [file, colour] : models::StageSwatches()) {
    ok = WriteSwatch(run / "data/backgrounds/stage" / file, colour) && ok;
  }
  return ok ? 0 : 1;
}
