// A small scene for the board-effect tests: an asset store whose fret texture slots
// hold textures that tell their slot by their width (slot + 1), flat square models in
// the slots the board objects draw (each telling its slot by its height in model
// space), spark pictures on disk and a scene context over a chosen device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "graphics/game_assets.h"
#include "graphics/image.h"
#include "graphics/scene_context.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace boardfxtest {

// A text .X file of a flat square in the x-z plane at height y, half sizes halfX and
// halfZ, one white material, texture coordinates 0..1.
std::string SquareX(float y, float halfX, float halfZ);

class BoardScene {
 public:
  // device: the back end to draw on (the scene does not own it).
  explicit BoardScene(platform::gfx::RenderDevice* device);
  ~BoardScene();

  // Fills every fret texture slot with a 1-pixel-high texture `slot + 1` wide.
  void FillFretTextures();
  // Puts `texture` in fret slot `slot` (the store owns it from now on).
  void SetFretTexture(int slot, std::unique_ptr<platform::gfx::Texture> texture);
  // Loads a square into model slot `slot`, at height `slot` unless told otherwise.
  bool LoadSquare(int slot, float halfX, float halfZ);
  bool LoadSquare(int slot, float halfX, float halfZ, float y);
  // Writes the nine spark pictures under the default theme.
  void WriteParticlePictures();

  // The fret texture slot a texture belongs to, -1 for none.
  int FretSlotOf(const platform::gfx::Texture* texture) const;

  testsupport::TempDir dir;
  Settings settings;
  graphics::GameAssets assets;
  graphics::Quad quad;
  graphics::SceneContext scene;
};

// What one recorded draw of a board object was.
struct DrawnObject {
  int model = -1;    // the model slot (from the square's height), -1 for a quad or overlay
  int texture = -1;  // the fret texture slot
  float alpha = 0.0f;
  bool depthOn = true;
  bool alphaTestOn = false;
  uint32_t format = 0;
  const platform::gfx::RecordedDraw* draw = nullptr;
};
std::vector<DrawnObject> DrawnObjects(const platform::gfx::RecordingRenderDevice& device, const BoardScene& scene);

}  // namespace boardfxtest
