// Board drawing fixtures.
#include "board_fixtures.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "game/lane_map.h"
#include "gfx_fixtures.h"
#include "graphics/gameplay_render.h"
#include "graphics/game_asset_lists.h"

namespace boardtest {

namespace {

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out.push_back(static_cast<char>(c));
  return out;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names) {
    if (n == name) return true;
  }
  return false;
}

}  // namespace

std::string QuadModelText(float width, float depth) {
  const float x = width / 2.0f;
  const float z = depth / 2.0f;
  std::ostringstream s;
  s << "xof 0303txt 0032\n"
    << "Frame Root {\n"
    << "  FrameTransformMatrix { 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0;; }\n"
    << "  Mesh Quad {\n"
    << "    4;\n"
    << "    " << -x << "; 0.0; " << -z << ";,\n"
    << "    " << x << "; 0.0; " << -z << ";,\n"
    << "    " << x << "; 0.0; " << z << ";,\n"
    << "    " << -x << "; 0.0; " << z << ";;\n"
    << "    2;\n"
    << "    3; 0, 2, 1;,\n"
    << "    3; 0, 3, 2;;\n"
    << "    MeshNormals { 1; 0.0; 1.0; 0.0;; 2; 3; 0, 0, 0;, 3; 0, 0, 0;; }\n"
    << "    MeshTextureCoords { 4; 0.0; 1.0;, 1.0; 1.0;, 1.0; 0.0;, 0.0; 0.0;; }\n"
    << "    MeshMaterialList {\n"
    << "      1; 2; 0, 0;;\n"
    << "      Material { 1.0; 1.0; 1.0; 1.0;; 0.0; 0.0; 0.0; 0.0;; 1.0; 1.0; 1.0;; }\n"
    << "    }\n"
    << "  }\n"
    << "}\n";
  return s.str();
}

float QuadDepthOf(int32_t slot) { return 16.0f + 0.125f * static_cast<float>(slot); }

int32_t SlotOfQuadDepth(float maxZ) {
  const float slot = (2.0f * maxZ - 16.0f) / 0.125f;
  const int32_t rounded = static_cast<int32_t>(std::lround(slot));
  return std::fabs(slot - static_cast<float>(rounded)) < 0.01f ? rounded : -1;
}

bool WriteBoardTheme(const std::string& root, const std::vector<std::string>& onlyModels,
                     const std::vector<NamedColour>& colours, uint32_t rgba) {
  namespace fs = std::filesystem;
  const std::string base = root + "/themes/default/static/";
  std::error_code ec;
  for (const graphics::StaticAssetRow& row : graphics::kModelRows) {
    const std::string name = Narrow(row.name);
    if (!onlyModels.empty() && !Contains(onlyModels, name)) continue;
    fs::create_directories(base + Narrow(row.folder), ec);
    std::ofstream out(base + Narrow(row.folder) + "/" + name + ".X", std::ios::binary);
    out << QuadModelText(48.0f, QuadDepthOf(row.slot));
    if (!out) return false;
  }
  auto writeTable = [&](const auto& rows) {
    for (const graphics::StaticAssetRow& row : rows) {
      const std::string name = Narrow(row.name);
      uint32_t colour = rgba;
      for (const NamedColour& c : colours) {
        if (c.name == name) colour = c.rgba;
      }
      fs::create_directories(base + Narrow(row.folder), ec);
      if (!gfxtest::WritePng(base + Narrow(row.folder) + "/" + name + ".png", 2, 2, colour)) return false;
    }
    return true;
  };
  return writeTable(graphics::kNoteTextureRows) && writeTable(graphics::kTailTextureRows) &&
         writeTable(graphics::kFretTextureRows) && writeTable(graphics::kMeterTextureRows) &&
         writeTable(graphics::kNumberTextureRows);
}

void SetupPlayer(Player& p, int32_t kind, int32_t lanes) {
  p.kind = kind;
  p.laneCount = lanes;
  p.track.kind = kind;
  p.track.laneCount = lanes;
  for (NoteRecord& n : p.track.notes) n.Reset();
  for (BeatLine& b : p.track.beats) b = BeatLine();
}

NoteRecord& PutNote(Player& p, int32_t slot, int32_t lane, float position) {
  NoteRecord& n = p.track.notes[slot];
  n.Reset();
  n.active = true;
  n.drawn = true;
  n.lane = lane;
  n.fretSlot = LaneMap::FretIndex(lane, p.kind, p.laneCount);
  if (n.fretSlot < 0) n.fretSlot = lane;
  n.position = position;
  n.endPosition = position;
  n.alpha = 1.0f;
  n.serial = slot;
  return n;
}

void PutSustain(Player& p, int32_t slot, float endPosition, bool hit, bool held) {
  NoteRecord& n = p.track.notes[slot];
  n.hasSustain = true;
  n.endPosition = endPosition;
  n.time = 1000.0f;
  n.endTime = 1000.0f + (endPosition - n.position) * 2.0f;
  n.hit = hit;
  if (held && n.fretSlot >= 0 && n.fretSlot < kLaneSlots) {
    LaneState& l = p.track.lanes[n.fretSlot];
    l.sustaining = true;
    l.sustainNote = slot;
  }
}

bool DrawBoardFrame(platform::gfx::RenderDevice& device, graphics::GameAssets& assets, graphics::Cameras& cameras,
                    Player& player, graphics::PlayerBoard& board, int width, int height, platform::gfx::ImageData& out,
                    const std::function<void()>& prepare) {
  namespace gfx = platform::gfx;
  device.BeginScene();
  if (prepare) prepare();
  device.SetViewport({0, 0, width, height, 0.0f, 1.0f});
  device.Clear(gfx::clear::kTarget | gfx::clear::kZBuffer, 0xFF000000, 1.0f, 0);
  std::vector<graphics::GameplayBoard> boards{{&player, &board, {}}};
  graphics::GameplayView view;
  view.device = &device;
  view.assets = &assets;
  view.boardCamera = cameras.Get(graphics::CameraId::kBoard);
  view.freeLook = cameras.Get(graphics::CameraId::kFreeLook);
  view.boards = boards.data();
  view.boardCount = 1;
  graphics::RenderGameplay(view, 0);
  device.EndScene();
  return device.ReadPixels(out);
}

}  // namespace boardtest
