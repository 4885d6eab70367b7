// Lane-section overlays: grid sizes and clamping, vertex fade and texture run, the
// overlays the track's sections make, and the depth-off draws on the Recording back end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "board_fx_fixtures.h"
#include "game/lane_sections.h"
#include "graphics/lane_section_view.h"
#include "platform/clock.h"

namespace {

namespace gfx = platform::gfx;
using graphics::LaneSection;
using graphics::LaneSectionView;

constexpr int kSolo = 53, kFreestyle = 54, kTremolo = 95, kTremoloBass = 96;

uint32_t AlphaByte(uint32_t argb) { return argb >> 24; }

TEST(LaneSectionGrid, SizesAndClamping) {
  platform::ScopedFakeClock clock;
  // start, end, single lane, row step: clamped span, rows, vertices, triangles
  struct Case {
    float start, end;
    bool single;
    float step;
    float startClamped, span;
    int rows, vertices, triangles;
  };
  const Case cases[] = {
      {0, 100, false, 25, 0, 100, 5, 36, 50},      {0, 100, true, 25, 0, 100, 5, 12, 10},
      {0, 90, false, 25, 0, 90, 4, 30, 40},        {-400, 900, false, 25, -150, 850, 35, 216, 350},
      {-400, -200, false, 25, -150, 0, 1, 12, 10},  // wholly behind the frets: nothing drawn
      {800, 900, false, 25, 700, 0, 1, 12, 10},     // not on the board yet
      {0, 100, false, 10, 0, 100, 11, 72, 110},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << (c.single ? " lane" : " board") << " step "
                                    << c.step);
    LaneSection s;
    s.startPos = c.start;
    s.endPos = c.end;
    EXPECT_TRUE(s.Setup(c.single, 1, nullptr, nullptr, 0.0f, 5, c.step));
    EXPECT_EQ(s.startClamped, c.startClamped);
    EXPECT_EQ(s.span, c.span);
    EXPECT_EQ(s.rows, c.rows);
    EXPECT_EQ(s.vertexCount, c.vertices);
    EXPECT_EQ(s.triangleCount, c.triangles);
    EXPECT_EQ(s.indexCount, 3 * c.triangles);
  }
}

TEST(LaneSectionGrid, BadRowStepsAndPositionsMakeNoGrid) {
  platform::ScopedFakeClock clock;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float step : {0.0f, -25.0f, nan, inf}) {
    LaneSection s;
    s.startPos = 0;
    s.endPos = 100;
    EXPECT_FALSE(s.Setup(false, 0, nullptr, nullptr, 0.0f, 5, step)) << step;
    EXPECT_EQ(s.vertexCount, 0);
    s.Draw();
    EXPECT_TRUE(s.vertices.empty());
  }
  // A tiny step makes no more vertices than 16-bit indices reach.
  LaneSection tiny;
  tiny.startPos = -150;
  tiny.endPos = 700;
  EXPECT_TRUE(tiny.Setup(false, 0, nullptr, nullptr, 0.0f, 5, 1e-6f));
  EXPECT_LE(tiny.vertexCount, LaneSection::kMaxVertices);
  tiny.BuildMesh();
  EXPECT_LT(*std::max_element(tiny.indices.begin(), tiny.indices.end()), static_cast<uint32_t>(tiny.vertexCount));
  // Positions that are not numbers put the section past the far end: nothing drawn.
  LaneSection lost;
  lost.startPos = nan;
  lost.endPos = nan;
  lost.Setup(false, 0, nullptr, nullptr, 0.0f, 5, 25.0f);
  EXPECT_EQ(lost.span, 0.0f);
}

TEST(LaneSectionGrid, VerticesFollowTheArcFadeAndScroll) {
  platform::ScopedFakeClock clock;
  LaneSection s;
  s.startPos = 300.0f;
  s.endPos = 900.0f;  // drawn 300..700: floor(400 / 25) + 1 = 17 rows
  ASSERT_TRUE(s.Setup(false, 0, nullptr, nullptr, 0.0f, 5, 25.0f));
  s.BuildMesh();
  ASSERT_EQ(s.vertices.size(), 18u * 6u);
  // z of each row and its alpha: full up to 350, a straight fade to 570, then none.
  for (int r = 0; r <= s.rows; ++r) {
    const graphics::SectionVertex& v = s.vertices[static_cast<size_t>(r) * 6];
    const float z = 300.0f + 400.0f / 17.0f * static_cast<float>(r);
    EXPECT_NEAR(v.z, z, 1e-3f);
    const float a = z <= 350.0f ? 1.0f : z >= 570.0f ? 0.0f : 1.0f - (z - 350.0f) / 220.0f;
    EXPECT_NEAR(static_cast<float>(AlphaByte(v.diffuse)), a * 255.0f, 1.0f) << "z " << z;
    EXPECT_EQ(v.diffuse & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_NEAR(v.v, (z - 300.0f) / -715.0f, 1e-5f);
  }
  // Five columns span 0.24 rad of the board's 1000-unit arc, symmetric about x = 0.
  const float edge = 1000.0f * std::sin(2.5f * 0.047996555f);
  EXPECT_NEAR(s.vertices[0].x, -edge, 1e-3f);
  EXPECT_NEAR(s.vertices[5].x, edge, 1e-3f);
  EXPECT_NEAR(s.vertices[0].y, 1000.0f * std::cos(2.5f * 0.047996555f) - 1000.0f, 1e-3f);
  EXPECT_NEAR(s.vertices[2].u, 0.4f, 1e-6f);
  EXPECT_EQ(s.vertices[2].nz, 1.0f);
  // Two triangles per cell, both wound the same way round the cell.
  const std::vector<uint32_t> firstCell = {0, 6, 7, 0, 7, 1};
  EXPECT_EQ(std::vector<uint32_t>(s.indices.begin(), s.indices.begin() + 6), firstCell);
}

TEST(LaneSectionGrid, AlphaAndWidthPulsesRunOnTheMillisecondClock) {
  platform::ScopedFakeClock clock;
  gfx::RecordingRenderDevice device;
  LaneSection s;
  s.pulseOn = true;
  s.widthPulseOn = true;
  s.startPos = 0;
  s.endPos = 100;
  ASSERT_TRUE(s.Setup(false, 0, nullptr, &device, 0.0f, 5, 25.0f));
  clock.clock.AdvanceMs(1200);
  s.Draw();
  EXPECT_NEAR(s.alpha, 0.7f, 1e-4f);  // 1.0 towards 0.4 at 0.25 a second
  clock.clock.AdvanceMs(1200);
  s.Draw();
  EXPECT_NEAR(s.alpha, 0.4f, 1e-4f);
  clock.clock.AdvanceMs(1200);
  s.Draw();
  EXPECT_NEAR(s.alpha, 0.7f, 1e-4f) << "and back up";
  // Width: 1.0 + (0.985 - 1.0) * sin(t / 10000 * 80), t counted from the section's making.
  const float expected = 1.0f - 0.015f * std::sin(3600.0f / 10000.0f * 80.0f);
  EXPECT_NEAR(s.widthFactor, expected, 1e-4f);
  EXPECT_NEAR(device.draws.back().state.transforms[size_t(gfx::TransformKind::kWorld)].at(1, 1), expected, 1e-4f);
  EXPECT_EQ(s.place.scale.x, 1.0f) << "the pulse does not wear the placement down";
}

// ---------------------------------------------------------------------------

class LaneSectionViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board.FillFretTextures();
    view.Init(&board.scene);
    device.SetRenderState(gfx::RenderState::kZEnable, 1);
    device.SetRenderState(gfx::RenderState::kZWriteEnable, 1);
  }
  // A chart event of the track's part.
  static ChartEventInfo Note(int32_t kind, int32_t note, double ms) {
    ChartEventInfo e;
    e.kind = kind;
    e.channel = 1;
    e.note = note;
    e.velocity = 100;
    e.timeMs = ms;
    e.tick = ms;
    return e;
  }
  platform::ScopedFakeClock clock;
  gfx::RecordingRenderDevice device;
  boardfxtest::BoardScene board{&device};
  LaneSectionView view;
};

TEST_F(LaneSectionViewTest, TrackSectionsBecomeOverlaysAtTheirBoardPositions) {
  LaneSectionList list;
  list.Setup(116, 2, 5, 0, 3);
  list.OnChartEvent(Note(0x90, 103, 1000.0), 480);  // solo from 1 s
  list.OnChartEvent(Note(0x80, 103, 2400.0), 480);  // to 2.4 s
  ASSERT_EQ(list.sections().size(), 1u);
  graphics::BoardTimeline timeline;
  timeline.songTimeMs = 900.0f;
  timeline.calibrationMs = 0.0f;
  timeline.speedFactor = 2.0f;
  view.Sync(list, timeline, 5, 2, false, 0);
  ASSERT_EQ(view.Count(), 1);
  LaneSection* solo = view.Head();
  EXPECT_EQ(solo->type, LaneSection::kSolo);
  EXPECT_EQ(solo->startPos, 50.0f);
  EXPECT_EQ(solo->endPos, 750.0f);  // past the board's far end

  device.ClearLog();
  EXPECT_TRUE(view.Draw(5, 0.0f));
  ASSERT_EQ(device.draws.size(), 1u);
  const gfx::RecordedDraw& d = device.draws[0];
  EXPECT_EQ(board.FretSlotOf(d.state.textures[0]), kSolo);
  EXPECT_EQ(d.state.textures[1], nullptr);
  EXPECT_EQ(d.state.fvf, 0x152u);
  EXPECT_EQ(d.primitiveCount, 2u * 27u * 5u);  // 50..700: floor(650 / 25) + 1 rows
  EXPECT_EQ(d.state.render[size_t(gfx::RenderState::kZEnable)], 0u);
  EXPECT_EQ(d.state.render[size_t(gfx::RenderState::kZWriteEnable)], 0u);
  EXPECT_EQ(d.state.material.emissive, glm::vec4(1.0f));
  EXPECT_EQ(device.GetRenderState(gfx::RenderState::kZEnable), 1u);
  EXPECT_EQ(device.GetRenderState(gfx::RenderState::kZWriteEnable), 1u);
  // The far rows are faded out in the vertices drawn.
  const auto far = std::max_element(
      d.vertices.begin(), d.vertices.end(),
      [](const gfx::DrawnVertex& a, const gfx::DrawnVertex& b) { return a.position.z < b.position.z; });
  EXPECT_EQ(AlphaByte(far->color), 0u);

  // The song moves on past the solo's end: nothing left on the board.
  timeline.songTimeMs = 2800.0f;
  view.Sync(list, timeline, 5, 2, false, 0);
  device.ClearLog();
  view.Draw(5, 0.0f);
  EXPECT_TRUE(device.draws.empty());

  // The track clears its list for a new song: the overlays go too.
  list.Clear();
  view.Sync(list, timeline, 5, 2, false, 0);
  EXPECT_EQ(view.Count(), 0);
  EXPECT_EQ(view.Head(), nullptr);
  view.Clear();  // clearing an empty list leaves it empty
  EXPECT_EQ(view.Count(), 0);
}

TEST_F(LaneSectionViewTest, OverlayTexturesByTypeAndTremoloLanes) {
  std::vector<int32_t> marks(static_cast<size_t>(LaneSection::kLaneSlots * LaneSection::kLaneMarks), 0);
  LaneSection* solo = view.Append();
  solo->type = LaneSection::kSolo;
  LaneSection* freestyle = view.Append();
  freestyle->type = LaneSection::kFreestyle;
  LaneSection* tremolo = view.Append();
  tremolo->type = LaneSection::kTremolo;
  tremolo->laneMarks = marks.data();
  LaneSection* unknown = view.Append();
  unknown->type = 7;
  EXPECT_EQ(view.Count(), 4);
  EXPECT_EQ(solo->next, freestyle);
  EXPECT_EQ(unknown->next, nullptr);
  view.trackLaneCount = 5;

  auto drawnTextures = [&] {
    device.ClearLog();
    view.Draw(5, 0.0f);
    std::vector<int> out;
    for (const auto& d : device.draws) out.push_back(board.FretSlotOf(d.state.textures[0]));
    return out;
  };
  EXPECT_EQ(drawnTextures(), (std::vector<int>{kSolo, kFreestyle})) << "a tremolo with no marked lane draws nothing";

  marks[0 * LaneSection::kLaneMarks + 21] = 1;  // the bass lane
  marks[2 * LaneSection::kLaneMarks + 4] = -1;  // lane 2
  marks[6 * LaneSection::kLaneMarks + 0] = 1;   // past the track's lanes: ignored
  EXPECT_EQ(drawnTextures(), (std::vector<int>{kSolo, kFreestyle, kTremoloBass, kTremolo}));
  // The bass lane covers the board; lane 2 only its own lane, one column wide.
  EXPECT_EQ(device.draws[2].vertices.size(), 6u * 5u * 5u);  // six corners a cell, 5 rows
  EXPECT_EQ(device.draws[3].vertices.size(), 6u * 5u * 1u);
  EXPECT_TRUE(tremolo->singleLane);
  EXPECT_EQ(tremolo->lane, 2);
  // Laid along lane 2, whose tilt turns the flat overlay about z.
  EXPECT_EQ(tremolo->place.rotation.x, 0.0f);
  const float laneCentreX = tremolo->place.position.x;
  float minX = 1e9f, maxX = -1e9f;
  for (const auto& v : device.draws[3].vertices) {
    minX = std::min(minX, v.world.x);
    maxX = std::max(maxX, v.world.x);
  }
  EXPECT_NEAR((minX + maxX) / 2.0f, laneCentreX, 0.5f);
  EXPECT_LT(maxX - minX, 60.0f);

  // Next frame the bass lane's overlay lies across the whole board again, not along
  // the lane drawn last.
  drawnTextures();
  ASSERT_EQ(device.draws.size(), 4u);
  minX = 1e9f, maxX = -1e9f;
  for (const auto& v : device.draws[2].vertices) {
    minX = std::min(minX, v.world.x);
    maxX = std::max(maxX, v.world.x);
  }
  EXPECT_NEAR(minX, -maxX, 1e-3f);
  EXPECT_GT(maxX - minX, 230.0f);

  view.Clear();
  EXPECT_EQ(view.Count(), 0);
  EXPECT_EQ(view.Head(), nullptr);
}

}  // namespace
