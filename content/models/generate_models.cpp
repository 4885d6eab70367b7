// Writes the default theme's fixed models under <run folder>/themes/default/static/
// and the stage files under <run folder>/data/backgrounds/stage/, as text .X files.
// Usage: velorin_models <run folder>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

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
  return ok ? 0 : 1;
}
