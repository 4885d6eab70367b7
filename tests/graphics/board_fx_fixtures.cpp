// The board-effect test scene.
#include "board_fx_fixtures.h"

#include <cmath>
#include <sstream>

#include "gfx_fixtures.h"

namespace boardfxtest {

namespace gfx = platform::gfx;

std::string SquareX(float y, float halfX, float halfZ) {
  std::ostringstream x;
  x << "xof 0303txt 0032\n"
    << "Frame Root {\n"
    << "  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; }\n"
    << "  Mesh Square {\n"
    << "    4;\n"
    << "    " << -halfX << "; " << y << "; " << -halfZ << ";,\n"
    << "    " << -halfX << "; " << y << "; " << halfZ << ";,\n"
    << "    " << halfX << "; " << y << "; " << halfZ << ";,\n"
    << "    " << halfX << "; " << y << "; " << -halfZ << ";;\n"
    << "    2;\n"
    << "    3; 0, 1, 2;,\n"
    << "    3; 0, 2, 3;;\n"
    << "    MeshNormals {\n"
    << "      1;\n"
    << "      0.0; 1.0; 0.0;;\n"
    << "      2;\n"
    << "      3; 0, 0, 0;,\n"
    << "      3; 0, 0, 0;;\n"
    << "    }\n"
    << "    MeshTextureCoords {\n"
    << "      4;\n"
    << "      0.0; 1.0;,\n"
    << "      0.0; 0.0;,\n"
    << "      1.0; 0.0;,\n"
    << "      1.0; 1.0;;\n"
    << "    }\n"
    << "    MeshMaterialList {\n"
    << "      1;\n"
    << "      2;\n"
    << "      0,\n"
    << "      0;;\n"
    << "      Material White {\n"
    << "        1.0; 1.0; 1.0; 1.0;;\n"
    << "        0.0;\n"
    << "        0.0; 0.0; 0.0;;\n"
    << "        1.0; 1.0; 1.0;;\n"
    << "      }\n"
    << "    }\n"
    << "  }\n"
    << "}\n";
  return x.str();
}

BoardScene::BoardScene(gfx::RenderDevice* device) : assets(device), quad(device) {
  quad.Create();
  scene.device = device;
  scene.assets = &assets;
  scene.quad = &quad;
  scene.settings = &settings;
  settings.themeFolder = u"themes/default/";
}

BoardScene::~BoardScene() = default;

void BoardScene::FillFretTextures() {
  for (int slot = 0; slot < graphics::kFretTextureSlots; ++slot) {
    SetFretTexture(slot, std::make_unique<gfx::Texture>(0u, slot + 1, 1));
  }
}

void BoardScene::SetFretTexture(int slot, std::unique_ptr<gfx::Texture> texture) {
  delete assets.fretTextures[static_cast<size_t>(slot)];
  assets.fretTextures[static_cast<size_t>(slot)] = texture.release();
}

bool BoardScene::LoadSquare(int slot, float halfX, float halfZ) {
  return LoadSquare(slot, halfX, halfZ, static_cast<float>(slot));
}

bool BoardScene::LoadSquare(int slot, float halfX, float halfZ, float y) {
  const std::string name = "models/m" + std::to_string(slot) + ".x";
  dir.MakeDir("models");
  dir.WriteBytes(name, SquareX(y, halfX, halfZ));
  return assets.meshes[static_cast<size_t>(slot)].Load(dir.Path(name));
}

void BoardScene::WriteParticlePictures() {
  dir.MakeDir("themes");
  dir.MakeDir("themes/default");
  dir.MakeDir("themes/default/static");
  dir.MakeDir("themes/default/static/frets");
  for (const char* colour : {"Green", "Red", "Yellow", "Blue", "Orange", "Yellow_2", "Blue_2", "Green_2", "Purple"}) {
    gfxtest::WritePng(dir.Path(std::string("themes/default/static/frets/Particle_") + colour + ".png"), 8, 8,
                      0xFFFFFFFF);
  }
}

int BoardScene::FretSlotOf(const gfx::Texture* texture) const {
  for (int slot = 0; slot < graphics::kFretTextureSlots; ++slot) {
    if (texture && assets.fretTextures[static_cast<size_t>(slot)] == texture) return slot;
  }
  return -1;
}

std::vector<DrawnObject> DrawnObjects(const gfx::RecordingRenderDevice& device, const BoardScene& scene) {
  std::vector<DrawnObject> out;
  for (const gfx::RecordedDraw& d : device.draws) {
    DrawnObject o;
    o.draw = &d;
    o.format = d.state.fvf;
    if (d.state.fvf == (gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2) && !d.vertices.empty()) {
      o.model = static_cast<int>(std::lround(d.vertices[0].position.y));
    }
    o.texture = scene.FretSlotOf(d.state.textures[0]);
    o.alpha = d.state.material.diffuse.a;
    o.depthOn = d.state.render[size_t(gfx::RenderState::kZEnable)] != 0 &&
                d.state.render[size_t(gfx::RenderState::kZWriteEnable)] != 0;
    o.alphaTestOn = d.state.render[size_t(gfx::RenderState::kAlphaTestEnable)] != 0;
    out.push_back(o);
  }
  return out;
}

}  // namespace boardfxtest
