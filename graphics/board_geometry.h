// The geometry every board object shares: where each lane lies on the curved neck
// (frets, lane lines, overlays, notes and ribbons all place themselves with it so
// they line up), and how up to fifteen boards share the screen from left to right.
#pragma once

#include <array>
#include <cstdint>

#include <glm/glm.hpp>

#include "graphics/transform.h"
#include "platform/gfx/render_device.h"

namespace graphics {

// How the lanes of a board divide the arc.
enum class LaneSpacing : int32_t {
  kEqual = 0,           // every lane the same width
  kWideFirst = 1,       // wide and narrow lanes alternate, starting wide (wide = 1.5 x narrow)
  kNarrowFirst = 2,     // alternating, starting narrow
};

struct BoardGeometry {
  // The neck is an arc of this radius whose centre lies this far below the board's
  // origin; the lanes share this angle, centred on the y axis.
  static constexpr float kRadius = 1000.0f;
  static constexpr float kArcSpan = 0.23561944f;
  static constexpr float kHalfArc = 0.11780972f;
  // Lane models are authored this wide and scaled to their chord.
  static constexpr float kLaneModelWidth = 48.0f;

  // Places lane `lane` of `laneCount`: position, scale and rotation of `out` are
  // written, its other members kept. Without `edge`, lanes count from 1 and lane 0
  // (the open lane) is the board centre; with `edge`, 0..laneCount name the
  // boundaries, each at the start of its lane's chord. `laneOffset` moves the whole
  // set by that many lane widths. Lefty mirrors every kind but the drums.
  static void LanePositions(Transform& out, int32_t lane, int32_t laneCount, int32_t kind, bool lefty,
                            int32_t mode, bool edge, float laneOffset);
};

// One board's place in the layout.
struct BoardSlot {
  uint8_t wide = 0;     // the two-hand keys board, twice as wide
  uint8_t remote = 0;   // a network player's board
  float width = 0.0f;
  float height = 0.0f;
  int32_t order = -1;   // input: own index once placed; ordered: the input slot it came from
  float share = 0.0f;   // weight when free width is handed to remote boards
};

// Screen placement of the boards of a frame. The caller appends one slot per player
// in player order, then orders them: local players in the middle, remote players
// split on both sides with the smaller half on the left.
class BoardLayout {
 public:
  static constexpr int32_t kMaxBoards = 15;
  static constexpr float kNormalAspect = 1.18f;
  static constexpr float kWideAspect = 2.34f;

  // Every slot back to empty and the counts to 0.
  void Allocate();
  // Appends the next player's board; false (nothing added) once 15 are in.
  bool Append(bool wide, bool remote);
  void Order();

  // Position and scale of `board` for the in-game menus, in theme units.
  void Arrange(float screenWidth, float screenHeight, float baseWidth, glm::vec2& position, glm::vec2& scale,
               float fill, int32_t board, float remoteScale);
  // The board's viewport on a target of the given size; at the bottom of the screen
  // when `bottom` is set, else at the top. Kept inside the target.
  platform::gfx::Viewport Viewport(int32_t board, bool bottom, float remoteScale, int32_t screenWidth,
                                   int32_t screenHeight);

  int32_t count = 0;
  int32_t localCount = 0;
  int32_t remoteCount = 0;
  std::array<BoardSlot, kMaxBoards> input{};
  std::array<BoardSlot, kMaxBoards> ordered{};
  int32_t orderedCount = 0;

 private:
  struct Spacing {
    float gap = 0.0f;
    float left = 0.0f;
    int32_t index = 0;  // the requested board's ordered slot
  };
  // Widths of every ordered slot for the available width; gap and left edge of the
  // requested board. Height equals width when `square`.
  Spacing Widths(int32_t board, float avail, float normalWidth, float wideWidth, float height, bool square,
                 float remoteScale);
  int32_t OrderedIndexOf(int32_t board) const;
};

}  // namespace graphics
