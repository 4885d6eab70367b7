// Lane placement on the arc of the neck, and the left-to-right layout of the boards.
#include "graphics/board_geometry.h"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {

bool IsDrumKind(int32_t kind) { return kind == 0 || kind == 5 || kind == 13; }

// Trigonometry in double precision, rounded back as the rest of the maths is single.
float Sin(float a) { return static_cast<float>(std::sin(static_cast<double>(a))); }
float Cos(float a) { return static_cast<float>(std::cos(static_cast<double>(a))); }
float Tan(float a) { return static_cast<float>(std::tan(static_cast<double>(a))); }

}  // namespace

void BoardGeometry::LanePositions(Transform& out, int32_t lane, int32_t laneCount, int32_t kind, bool lefty,
                                  int32_t mode, bool edge, float laneOffset) {
  out.position = glm::vec3(0.0f);
  out.scale = glm::vec3(1.0f);
  out.rotation = glm::vec3(0.0f);
  if (!edge) {
    if (lane == 0) return;
    --lane;
  }
  // A board without lanes has no widths to divide; it keeps the centre.
  if (laneCount <= 0) return;

  int32_t half = laneCount / 2;
  int32_t parity = lane & 1;
  if (mode == static_cast<int32_t>(LaneSpacing::kNarrowFirst)) {
    parity ^= 1;
    half += 1;
  }
  const int32_t rest = laneCount - half;

  float narrow = 0.0f;
  float wide = 0.0f;
  if (mode == static_cast<int32_t>(LaneSpacing::kEqual)) {
    narrow = wide = kArcSpan / static_cast<float>(laneCount);
  } else if (mode == static_cast<int32_t>(LaneSpacing::kWideFirst) ||
             mode == static_cast<int32_t>(LaneSpacing::kNarrowFirst)) {
    narrow = kArcSpan / (static_cast<float>(rest) * 1.5f + static_cast<float>(half));
    wide = 1.5f * narrow;
  }
  const float laneWidth = parity == 1 ? narrow : wide;
  const float firstWidth = mode == static_cast<int32_t>(LaneSpacing::kNarrowFirst) ? narrow : wide;

  float a = (wide + narrow) / 2.0f * static_cast<float>(lane) + firstWidth / 2.0f - kHalfArc;
  const float r = Cos(laneWidth / 2.0f) * kRadius;
  out.scale.x = 2.0f * r * Tan(laneWidth / 2.0f) / kLaneModelWidth;

  const bool mirrored = lefty && !IsDrumKind(kind);
  if (mirrored) a = -a;
  a -= laneWidth * laneOffset;

  const glm::vec3 centre(r * Sin(a), r * Cos(a) - kRadius, 0.0f);
  out.position = centre;
  out.rotation.x = -a;
  if (!edge) return;

  // The boundary is where the chord starts: half a chord to the left of the lane's
  // centre (to the right on a mirrored board), turned with the lane.
  const float along = (mirrored ? 1.0f : -1.0f) * 0.5f * kLaneModelWidth * out.scale.x;
  out.position = glm::vec3(centre.x + along * Cos(-a), centre.y + along * Sin(-a), 0.0f);
  out.scale.x = 1.0f;
}

void BoardLayout::Allocate() {
  input.fill(BoardSlot());
  ordered.fill(BoardSlot());
  count = localCount = remoteCount = orderedCount = 0;
}

bool BoardLayout::Append(bool wide, bool remote) {
  if (count >= kMaxBoards) return false;
  BoardSlot& s = input[static_cast<size_t>(count)];
  s = BoardSlot();
  s.wide = wide ? 1 : 0;
  s.remote = remote ? 1 : 0;
  ++count;
  if (remote) {
    ++remoteCount;
  } else {
    ++localCount;
  }
  return true;
}

void BoardLayout::Order() {
  orderedCount = 0;
  auto take = [this](bool remote, int32_t limit, bool mark) {
    int32_t taken = 0;
    for (int32_t i = 0; i < count && taken < limit && orderedCount < kMaxBoards; ++i) {
      BoardSlot& s = input[static_cast<size_t>(i)];
      if (s.order != -1 || (s.remote != 0) != remote) continue;
      if (mark) s.order = i;
      BoardSlot& o = ordered[static_cast<size_t>(orderedCount++)];
      o = s;
      o.order = i;
      ++taken;
    }
  };
  const int32_t leftRemotes = remoteCount / 2;
  take(true, leftRemotes, true);
  take(false, localCount, false);
  take(true, remoteCount - leftRemotes, false);
}

int32_t BoardLayout::OrderedIndexOf(int32_t board) const {
  for (int32_t i = 0; i < orderedCount; ++i) {
    if (ordered[static_cast<size_t>(i)].order == board) return i;
  }
  return board;
}

BoardLayout::Spacing BoardLayout::Widths(int32_t board, float avail, float normalWidth, float wideWidth, float height,
                                         bool square, float remoteScale) {
  Spacing out;
  out.index = OrderedIndexOf(board);
  float total = 0.0f;
  for (int32_t i = 0; i < orderedCount; ++i) {
    BoardSlot& s = ordered[static_cast<size_t>(i)];
    s.width = s.wide ? wideWidth : normalWidth;
    s.height = square ? s.width : height;
    if (s.remote) {
      s.width *= remoteScale;
      s.height *= remoteScale;
    }
    total += s.width;
  }
  if (total <= avail) {
    if (remoteCount != 0) {
      float remoteShares = 0.0f;
      for (int32_t i = 0; i < orderedCount; ++i) {
        BoardSlot& s = ordered[static_cast<size_t>(i)];
        s.share = s.wide ? kWideAspect : kNormalAspect;
        if (s.remote) remoteShares += s.share;
      }
      const float spare = avail - total;
      for (int32_t i = 0; i < orderedCount; ++i) {
        BoardSlot& s = ordered[static_cast<size_t>(i)];
        if (!s.remote || remoteShares <= 0.0f) continue;
        s.share /= remoteShares;
        const float full = s.wide ? wideWidth : normalWidth;
        const float grown = std::min(s.width + s.share * spare, full);
        if (s.width > 0.0f) s.height *= grown / s.width;
        s.width = grown;
      }
      total = 0.0f;
      for (int32_t i = 0; i < orderedCount; ++i) total += ordered[static_cast<size_t>(i)].width;
    }
  } else if (total > 0.0f) {
    const float shrink = avail / total;
    for (int32_t i = 0; i < orderedCount; ++i) {
      BoardSlot& s = ordered[static_cast<size_t>(i)];
      s.width *= shrink;
      s.height *= shrink;
    }
  }
  if (total < avail && count > 0) out.gap = (avail - total) / (2.0f * static_cast<float>(count));
  for (int32_t i = 0; i < out.index && i < orderedCount; ++i) {
    out.left += ordered[static_cast<size_t>(i)].width + 2.0f * out.gap;
  }
  return out;
}

platform::gfx::Viewport BoardLayout::Viewport(int32_t board, bool bottom, float remoteScale, int32_t screenWidth,
                                              int32_t screenHeight) {
  platform::gfx::Viewport vp;
  if (screenWidth <= 0 || screenHeight <= 0) return vp;
  const float w = static_cast<float>(screenWidth);
  const float h = static_cast<float>(screenHeight);
  const float aspect = w / h;
  const float normalWidth = w / (aspect / kNormalAspect) * 0.666f;
  const float wideWidth = w / (aspect / kWideAspect) * 0.666f;
  const Spacing sp = Widths(board, w, normalWidth, wideWidth, h * 0.666f, false, remoteScale);
  if (sp.index < 0 || sp.index >= orderedCount) return vp;
  const BoardSlot& s = ordered[static_cast<size_t>(sp.index)];
  // A remote board may be asked to be larger than the screen: the viewport stays on it.
  vp.width = std::clamp(static_cast<int>(s.width), 0, screenWidth);
  vp.height = std::clamp(static_cast<int>(s.height), 0, screenHeight);
  vp.x = std::clamp(static_cast<int>(sp.left + sp.gap), 0, screenWidth - vp.width);
  vp.y = bottom ? screenHeight - vp.height : 0;
  return vp;
}

void BoardLayout::Arrange(float screenWidth, float screenHeight, float baseWidth, glm::vec2& position,
                          glm::vec2& scale, float fill, int32_t board, float remoteScale) {
  position = glm::vec2(0.0f);
  scale = glm::vec2(0.0f);
  if (screenWidth <= 0.0f || screenHeight <= 0.0f || baseWidth <= 0.0f) return;
  const float avail = screenWidth / screenHeight * 1440.0f;
  const Spacing sp = Widths(board, avail, baseWidth, baseWidth * 1.9830508f, 0.0f, true, remoteScale);
  if (sp.index < 0 || sp.index >= orderedCount) return;
  const float requestedWidth = ordered[static_cast<size_t>(sp.index)].width;

  bool anyNormal = false;
  for (int32_t i = 0; i < orderedCount; ++i) anyNormal = anyNormal || !ordered[static_cast<size_t>(i)].wide;
  float sum = 0.0f;
  for (int32_t i = 0; i < orderedCount; ++i) {
    BoardSlot& s = ordered[static_cast<size_t>(i)];
    if (anyNormal && s.wide) {
      s.width *= 0.50427353f;
      s.height *= 0.50427353f;
    }
    sum += s.width;
  }
  const float factor = sum > 0.0f ? avail * fill / sum : 0.0f;
  for (int32_t i = 0; i < orderedCount; ++i) {
    BoardSlot& s = ordered[static_cast<size_t>(i)];
    s.width *= factor;
    s.height *= factor;
    if (s.width > baseWidth) s.width = s.height = baseWidth;
  }
  const BoardSlot& s = ordered[static_cast<size_t>(sp.index)];
  scale = glm::vec2(s.width / baseWidth, s.height / baseWidth);
  position = glm::vec2(requestedWidth / 2.0f + sp.left + sp.gap - avail / 2.0f, 0.0f);
}

}  // namespace graphics
