// The ribbon a held note trails along its lane: a textured triangle strip whose two
// edges wave, swell or step with a short history of amplitudes (the whammy of a held
// note) that travels along the ribbon as the song plays, fading out towards the far
// end of the board.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/mesh_hierarchy.h"
#include "graphics/transform.h"
#include "platform/gfx/render_device.h"

namespace graphics {

// One amplitude of the history and the scroll position it was taken at.
struct RibbonSegment {
  float amplitude = 0.0f;
  float position = 0.0f;
};

// The look of a ribbon (the profile's whammy effect option).
enum class RibbonStyle : int32_t {
  kSwell = 0,     // the edges move apart
  kWave = 1,      // both edges wave together
  kMirrored = 2,  // a wave drawn twice, the second mirrored about the centre line
  kLayered = 3,   // five waves of shifted phase
  kSquare = 4,    // a square wave
  kRipple = 5,    // a wave with a faster ripple on it
};

class TailRibbon {
 public:
  // Vertex of the strip: position, normal, diffuse ARGB and one coordinate pair.
  struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    uint32_t diffuse;
    float u, v;
  };
  static constexpr uint32_t kVertexFormat = platform::gfx::fvf::kXyz | platform::gfx::fvf::kNormal |
                                            platform::gfx::fvf::kDiffuse | platform::gfx::fvf::kTex1;
  // Distance from the strike line at which the ribbon starts to fade, and where it is gone.
  static constexpr float kFadeStart = 350.0f;
  static constexpr float kFadeEnd = 570.0f;
  static constexpr float kScrollStep = 10.0f;
  // A ribbon never has more segments than this, whatever length it is given.
  static constexpr int32_t kMaxSegments = 512;

  explicit TailRibbon(platform::gfx::RenderDevice* device = nullptr);
  ~TailRibbon() { Reset(); }
  TailRibbon(const TailRibbon&) = delete;
  TailRibbon& operator=(const TailRibbon&) = delete;

  void SetDevice(platform::gfx::RenderDevice* device) { device_ = device; }
  // Length 100, width 5, segment length 10, ten segments, no history, style 0.
  void Reset();
  // Texture, style and size. The history keeps its newest entries; it is reallocated
  // only when the segment count changes.
  bool SetLength(TextureSlot texture, int32_t style, float length, float width, float step);
  // Records the amplitude at the scroll position: the history moves one entry per
  // whole step of 10 travelled. A step back (a seek) moves nothing.
  void Scroll(float position, float amplitude);
  // Builds and draws the ribbon on sub-board `pane` (0 or 1).
  void Draw(int32_t pane);

  // The strip of one shape as Draw would build it (for tests and the layered styles).
  const std::vector<Vertex>& BuildStrip(int32_t shape, int32_t pane);
  // How far an edge moves for a segment of amplitude a at position p.
  static float EdgeOffset(int32_t shape, int32_t side, float amplitude, float position);
  // The world matrix Draw sets for the pane.
  platform::gfx::Matrix WorldMatrix(int32_t pane) const;

  Transform place[2];
  float zOffset = 0.0f;
  float bendStart = 0.0f;
  int32_t bend = 0;  // 0 none, 1 one way, 2 the other

  int32_t segmentCount() const { return segmentCount_; }
  float segmentLength() const { return segmentLength_; }
  float length() const { return length_; }
  float width() const { return width_; }
  int32_t style() const { return style_; }
  float lastScroll() const { return lastScroll_; }
  const std::vector<RibbonSegment>& segments() const { return segments_; }
  const platform::gfx::Material& material() const { return material_; }

 private:
  void DrawStrip(int32_t shape, int32_t pane);

  platform::gfx::RenderDevice* device_;
  TextureSlot texture_ = nullptr;
  platform::gfx::Material material_;
  std::vector<RibbonSegment> segments_;
  std::vector<Vertex> vertices_;
  int32_t segmentCount_ = 10;
  float lastScroll_ = 0.0f;
  float length_ = 100.0f;
  float width_ = 5.0f;
  float segmentLength_ = 10.0f;
  bool scrolling_ = false;
  int32_t style_ = 0;
};

}  // namespace graphics
