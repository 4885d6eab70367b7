// The fret row: press dips, lights, tilts, glows, flames and sparks on a fixed
// millisecond clock, the layout on the board, and what the row draws (models,
// textures, alphas and depth state) on the Recording back end.
#include <gtest/gtest.h>

#include <algorithm>

#include "board_fx_fixtures.h"
#include "graphics/board_geometry.h"
#include "graphics/fret_manager.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace {

namespace gfx = platform::gfx;
using boardfxtest::DrawnObject;
using graphics::Fret;
using graphics::FretManager;

constexpr float kNoOffsets[2] = {0.0f, 0.0f};
constexpr int32_t kFiveVisible[2] = {5, 5};

// Model and texture slots of the asset store the row draws with.
constexpr int kFretModel = 19, kFretHoldModel = 20, kKeysBlackModel = 24, kKeysBModel = 31, kFretBassModel = 32,
              kFretBassHoldModel = 33, kHitGlowModel = 34, kKillBoxModel = 39, kSparkAModel = 40, kSparkBModel = 41,
              kBeamModel = 44;

class FretTest : public ::testing::Test {
 protected:
  void Load(int32_t kind, int32_t laneCount = 5, bool lefty = false) {
    const int32_t visible[2] = {laneCount, laneCount};
    ASSERT_TRUE(frets.Load(laneCount, 0, lefty, nullptr, kind, kNoOffsets, visible));
  }
  void Advance(uint32_t ms) {
    clock.clock.AdvanceMs(ms);
    frets.Update(1, 0.0f);
  }
  platform::ScopedFakeClock clock;
  FretManager frets;
};

TEST_F(FretTest, PressDipDirectionAndLength) {
  // kind, slot, whole fret (else the button), direction of the dip
  struct Case {
    int32_t kind, slot;
    bool wholeFret;
    float direction;
  };
  const Case cases[] = {
      {2, 1, true, +1.0f},    // guitar fret: up
      {2, 4, false, +1.0f},   // guitar button: up
      {0, 2, true, -1.0f},    // drum pad: down
      {13, 2, false, -1.0f},  // drum pad button: down
      {5, 0, true, +1.0f},    // kick bar: up
      {0, 0, false, +1.0f},   // kick bar button: up
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " slot " << c.slot << (c.wholeFret ? " fret" : " button"));
    Load(c.kind);
    Fret& f = frets.FretAt(c.slot);
    float& y = c.wholeFret ? f.own.position.y : f.button.button.position.y;
    y = 0.0f;
    if (c.wholeFret) {
      f.Press();
    } else {
      f.button.Press();
    }
    // 120 units a second: 7 units out, turning at about 58 ms, home after about 117 ms.
    const float path[] = {3.0f, 6.0f, 7.0f, 4.0f, 1.0f, 0.0f, 0.0f};
    for (float expected : path) {
      Advance(25);
      EXPECT_NEAR(y, expected * c.direction, 1e-4f);
    }
  }
}

TEST_F(FretTest, RepeatedPressesDoNotDrift) {
  Load(2);
  Fret& f = frets.FretAt(3);
  f.Press();
  for (int i = 0; i < 10; ++i) {
    Advance(70);  // on the way back
    f.Press();
    Advance(1);
    EXPECT_NEAR(f.own.position.y, 0.12f, 0.01f) << "press " << i << " starts from the rest position";
  }
  for (int i = 0; i < 8; ++i) Advance(25);
  EXPECT_EQ(f.own.position.y, 0.0f);
}

TEST_F(FretTest, HitGlowFadesWidensAndRestarts) {
  Load(2);
  frets.NoteHit(2, graphics::FretGlow::kNoteHit, 0, false);
  const Fret& f = frets.FretAt(2);
  // ms after the hit, alpha, scale x, scale z
  struct Step {
    uint32_t at;
    float alpha, scaleX, scaleZ;
  };
  const Step steps[] = {
      {0, 1.0f, 1.0f, 1.0f}, {100, 0.5f, 1.5f, 1.2f}, {200, 0.0f, 2.0f, 1.4f}, {1000, 0.0f, 6.0f, 3.0f}};
  uint32_t now = 0;
  for (const Step& s : steps) {
    Advance(s.at - now);
    now = s.at;
    EXPECT_NEAR(f.glow.alpha, s.alpha, 1e-4f) << s.at << " ms";
    EXPECT_NEAR(f.glow.place.scale.x, s.scaleX, 1e-4f) << s.at << " ms";
    EXPECT_NEAR(f.glow.place.scale.z, s.scaleZ, 1e-4f) << s.at << " ms";
  }
  // A second hit starts the glow over, also as a mine.
  frets.NoteHit(2, graphics::FretGlow::kMine, 0, false);
  EXPECT_EQ(f.glow.alpha, 1.0f);
  EXPECT_EQ(f.glow.place.scale.x, 1.0f);
  EXPECT_EQ(f.glow.glowKind, graphics::FretGlow::kMine);
}

TEST_F(FretTest, BurningFlameIsNotRestartedAndStopsWithItsSustain) {
  Load(2);
  Fret& f = frets.FretAt(4);
  f.sustaining = true;
  f.sustainLength = 500.0f;
  frets.NoteHit(4, 0, 1, false);
  EXPECT_TRUE(f.flame.active);
  EXPECT_EQ(f.hitPane, 1);
  Advance(100);
  EXPECT_NEAR(f.flame.alpha, 0.5f, 1e-4f);               // fading in at 5 a second
  EXPECT_NEAR(f.flame.layerA.rotation.z, 0.6f, 1e-4f);   // spinning at 6 rad/s
  EXPECT_NEAR(f.flame.layerB.rotation.z, -0.3f, 1e-4f);  // the other way at 3 rad/s
  frets.NoteHit(4, 0, 1, false);
  EXPECT_NEAR(f.flame.alpha, 0.5f, 1e-4f) << "a burning flame keeps going";
  Advance(100);
  EXPECT_NEAR(f.flame.alpha, 1.0f, 1e-4f);

  f.sustainPosition = 500.0f;  // the sustain reached its end
  Advance(0);
  EXPECT_FALSE(f.flame.active);
  EXPECT_EQ(f.flame.alpha, 1.0f);
  Advance(100);
  EXPECT_NEAR(f.flame.alpha, 0.5f, 1e-4f);
  Advance(100);
  EXPECT_EQ(f.flame.alpha, 0.0f);
}

TEST_F(FretTest, FlameOfAPlainHitBurstsAndFades) {
  Load(2);
  Fret& f = frets.FretAt(1);
  frets.NoteHit(1, 0, 0, false);
  Advance(0);  // no sustain: the next update puts the flame out, from full
  EXPECT_FALSE(f.flame.active);
  EXPECT_EQ(f.flame.alpha, 1.0f);
  Advance(200);
  EXPECT_EQ(f.flame.alpha, 0.0f);
}

TEST_F(FretTest, WhatAHitStartsByKind) {
  // kind, slot hit, from a sustain, frets expected to dip, frets expected to glow
  struct Case {
    int32_t kind, slot;
    bool fromSustain;
    std::vector<int> dips, glows;
  };
  const Case cases[] = {
      {2, 3, false, {3}, {3}},
      {2, 3, true, {}, {3}},
      {2, 0, false, {1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}},  // an open note lights the row
      {2, 0, true, {}, {0, 1, 2, 3, 4, 5}},
      {6, 3, false, {}, {3}},  // only five-fret boards dip on hits
      {5, 0, false, {}, {}},   // the kick bar has no glow
      {5, 2, false, {}, {2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "kind " << c.kind << " slot " << c.slot << " sustain " << c.fromSustain);
    FretManager row;
    ASSERT_TRUE(row.Load(5, 0, false, nullptr, c.kind, kNoOffsets, kFiveVisible));
    row.NoteHit(c.slot, 0, 0, c.fromSustain);
    clock.clock.AdvanceMs(20);
    row.Update(1, 0.0f);
    for (int slot = 0; slot <= 5; ++slot) {
      const Fret& f = row.FretAt(slot);
      const bool dipped = f.own.position.y != 0.0f;
      const bool glowing = f.glow.alpha > 0.0f;
      EXPECT_EQ(dipped, std::count(c.dips.begin(), c.dips.end(), slot) == 1) << "dip of fret " << slot;
      EXPECT_EQ(glowing, std::count(c.glows.begin(), c.glows.end(), slot) == 1) << "glow of fret " << slot;
    }
  }
}

TEST_F(FretTest, KeyTiltsFastAndComesBackTenTimesSlower) {
  Load(8, 24);
  Fret& key = frets.FretAt(5);
  ASSERT_TRUE(key.button.holdMode);
  key.button.SetHeld(true);
  EXPECT_TRUE(key.button.lit);
  Advance(1);
  EXPECT_NEAR(key.button.button.rotation.y, -0.1f, 1e-4f);  // 100 rad/s
  Advance(1);
  EXPECT_NEAR(key.button.button.rotation.y, -0.13f, 1e-6f);
  EXPECT_GE(key.button.holdGlowAlpha, 0.5f);
  EXPECT_LE(key.button.holdGlowAlpha, 1.0f);

  key.button.SetHeld(false);
  EXPECT_FALSE(key.button.lit);
  EXPECT_EQ(key.button.holdGlowAlpha, 0.0f);
  Advance(10);
  EXPECT_NEAR(key.button.button.rotation.y, -0.03f, 1e-4f);  // 10 rad/s
  Advance(3);
  EXPECT_EQ(key.button.button.rotation.y, 0.0f);
  Advance(500);
  EXPECT_EQ(key.button.holdGlowAlpha, 0.0f) << "the hold glow's pulse stopped";
}

TEST_F(FretTest, DrumPadLightsFiftyMillisecondsAndKickBarFlashes) {
  Load(13);
  Fret& pad = frets.FretAt(2);
  pad.button.SetHeld(true);
  EXPECT_TRUE(pad.button.lit);
  Advance(49);
  EXPECT_TRUE(pad.button.lit);
  Advance(1);
  EXPECT_FALSE(pad.button.lit);
  EXPECT_LT(pad.button.button.position.y, 0.0f) << "a pad press dips the pad";

  Fret& kick = frets.FretAt(0);
  kick.button.SetHeld(true);
  Advance(0);
  EXPECT_TRUE(kick.button.lit);
  EXPECT_EQ(kick.button.flashAlpha, 1.0f);
  EXPECT_EQ(kick.button.button.scale.x, 0.85f);
  Advance(100);
  EXPECT_NEAR(kick.button.flashAlpha, 0.3f, 1e-4f);       // 7 a second
  EXPECT_NEAR(kick.button.button.scale.x, 0.99f, 1e-4f);  // 1.4 a second
  EXPECT_NEAR(kick.button.button.scale.z, 1.1f, 1e-6f);   // 10.4 a second: there already
  EXPECT_TRUE(kick.button.lit);
  Advance(43);
  EXPECT_FALSE(kick.button.lit) << "the kick bar is lit while its flash fades";
  kick.button.SetHeld(false);
  EXPECT_FALSE(kick.button.lit);
}

TEST_F(FretTest, SparksAreBornEveryThirtyMillisecondsInARing) {
  Load(2);
  clock.clock.AdvanceMs(1000);
  platform::SRand(7);
  graphics::FretFlame& flame = frets.FretAt(1).flame;
  frets.Update(1, 1.0f);  // strength 1: s = 2
  const graphics::Particle first = flame.sparks[0];
  EXPECT_TRUE(first.alive);
  EXPECT_EQ(flame.next, 1);
  EXPECT_GE(first.velocity.x, -0.2f);
  EXPECT_LE(first.velocity.x, 0.2f);
  EXPECT_GE(first.velocity.y, 0.0f);
  EXPECT_LE(first.velocity.y, 0.5f);
  EXPECT_GE(first.velocity.z, -0.2f);
  EXPECT_LE(first.velocity.z, 0.0f);

  clock.clock.AdvanceMs(29);
  frets.Update(1, 1.0f);
  EXPECT_EQ(flame.next, 1) << "no spark before 30 ms";
  // The spark moved 29 ms under gravity.
  const float vy = first.velocity.y - 0.001f * 29.0f;
  EXPECT_NEAR(flame.sparks[0].velocity.y, vy, 1e-6f);
  EXPECT_NEAR(flame.sparks[0].position.y, vy * 29.0f, 1e-4f);
  EXPECT_NEAR(flame.sparks[0].position.x, first.velocity.x * 29.0f, 1e-4f);
  EXPECT_NEAR(flame.sparks[0].alpha, 1.0f - 0.003f * 29.0f, 1e-5f);

  clock.clock.AdvanceMs(1);
  frets.Update(1, 1.0f);
  EXPECT_EQ(flame.next, 2);
  for (int i = 0; i < 29; ++i) {
    clock.clock.AdvanceMs(30);
    frets.Update(1, 1.0f);
  }
  EXPECT_EQ(flame.next, 1) << "the ring wraps after 30 sparks";
  // Sparks fade at 0.003 a millisecond: after 334 ms they are gone, not negative.
  const int alive = static_cast<int>(
      std::count_if(flame.sparks.begin(), flame.sparks.end(), [](const graphics::Particle& p) { return p.alive; }));
  EXPECT_EQ(alive, 12);  // born in the last 333 ms
  for (const auto& p : flame.sparks) EXPECT_GE(p.alpha, 0.0f);
}

TEST_F(FretTest, LayoutRaisesDrumPadsAndSetsRanges) {
  const float offsets[2] = {0.0f, 2.7f};
  const int32_t visible[2] = {5, 4};
  ASSERT_TRUE(frets.Load(5, 0, false, nullptr, 5, offsets, visible));
  EXPECT_EQ(frets.FretAt(0).lanePlace[0].position.y, 0.0f) << "the kick lane stays at the centre";
  graphics::Transform lane3;
  graphics::BoardGeometry::LanePositions(lane3, 3, 5, 5, false, 0, false, 0.0f);
  EXPECT_NEAR(frets.FretAt(3).lanePlace[0].position.y, lane3.position.y + 7.0f, 1e-4f);
  EXPECT_EQ(frets.firstLane[0], 1);
  EXPECT_EQ(frets.endLane[0], 6);  // min(5 + 0 + 3, 6)
  EXPECT_EQ(frets.firstLane[1], 2);
  EXPECT_EQ(frets.endLane[1], 6);
  for (int slot = 0; slot <= 5; ++slot) EXPECT_TRUE(frets.FretAt(slot).drum);
  EXPECT_TRUE(frets.FretAt(0).kickBar);
  EXPECT_TRUE(frets.FretAt(0).glow.disabled);
  EXPECT_TRUE(frets.FretAt(0).flame.disabled);

  // The same row made a keys row later keeps nothing of the drums.
  ASSERT_TRUE(frets.Load(5, 0, false, nullptr, 3, kNoOffsets, kFiveVisible));
  EXPECT_FALSE(frets.FretAt(2).drum);
  EXPECT_FALSE(frets.FretAt(0).glow.disabled);
  EXPECT_TRUE(frets.FretAt(2).button.holdMode);
  EXPECT_TRUE(frets.FretAt(2).flame.rayEnabled);
  EXPECT_FALSE(frets.FretAt(0).button.holdMode);
}

TEST_F(FretTest, LaneCountBeyondTheRowIsClamped) {
  testsupport::TempDir dir;
  const int32_t visible[2] = {200, 200};
  EXPECT_TRUE(frets.Load(200, 0, false, nullptr, 8, kNoOffsets, visible));
  EXPECT_EQ(frets.laneCount, FretManager::kMaxLaneCount);
  EXPECT_LE(frets.endLane[0], FretManager::kFretSlots);
  frets.Update(1, 0.0f);  // touches every fret of the row, none past it
  const auto lines = dir.GameLogTexts();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                          [](const std::string& l) { return l == "Fret row: lane count 200 out of range"; }));
}

TEST(KeyVisibility, RealKeysFadeAtTheBoardsEdge) {
  struct Case {
    int32_t kind;
    float x, visibility;
  };
  const Case cases[] = {{8, 0.0f, 1.0f},   {8, 117.9f, 1.0f},   {8, 118.0f, 1.0f},
                        {8, 119.5f, 0.5f}, {14, -119.5f, 0.5f}, {14, 121.0f, 0.0f},
                        {8, 500.0f, 0.0f}, {2, 119.5f, 1.0f},   {3, 130.0f, 1.0f}};
  for (const Case& c : cases) {
    EXPECT_NEAR(graphics::KeyVisibility(c.kind, c.x), c.visibility, 1e-5f) << "kind " << c.kind << " x " << c.x;
  }
}

// ---------------------------------------------------------------------------
// Draws on the Recording back end.

class FretDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    board.FillFretTextures();
    for (int slot : {17, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 39, 40, 41, 42, 43, 44}) {
      ASSERT_TRUE(board.LoadSquare(slot, 20.0f, 10.0f));
    }
    board.WriteParticlePictures();
  }
  void Load(int32_t kind, int32_t laneCount = 5) {
    const int32_t visible[2] = {laneCount, laneCount};
    ASSERT_TRUE(frets.Load(laneCount, 0, false, &board.scene, kind, kNoOffsets, visible));
  }
  std::vector<DrawnObject> Drawn() { return boardfxtest::DrawnObjects(device, board); }

  platform::ScopedFakeClock clock;
  gfx::RecordingRenderDevice device;
  boardfxtest::BoardScene board{&device};
  FretManager frets;
};

TEST_F(FretDrawTest, FiveFretRowDrawsFretsHoldsAndFlamesOverEverything) {
  Load(2);
  clock.clock.AdvanceMs(1000);
  frets.FretAt(2).button.SetHeld(true);
  frets.FretAt(4).sustaining = true;
  frets.FretAt(4).sustainLength = 100.0f;
  frets.NoteHit(4, 0, 0, false);
  for (int i = 0; i < 4; ++i) {
    clock.clock.AdvanceMs(30);
    frets.Update(1, 0.0f);
  }
  device.ClearLog();
  frets.Draw(0);
  const auto drawn = Drawn();

  // Lanes 1..5: the fret body with its colour's texture (green 1 .. orange 5); the held
  // one also its hold model with the hold texture.
  std::vector<std::pair<int, int>> bodies;
  for (const DrawnObject& o : drawn) {
    if (o.model == kFretModel || o.model == kFretHoldModel) bodies.push_back({o.model, o.texture});
  }
  const std::vector<std::pair<int, int>> expected = {{kFretModel, 1}, {kFretModel, 2}, {kFretHoldModel, 102},
                                                     {kFretModel, 3}, {kFretModel, 4}, {kFretModel, 5}};
  EXPECT_EQ(bodies, expected);

  // Then the flame of the hit fret with depth off: blue spark layers, then its sparks.
  auto firstSpark =
      std::find_if(drawn.begin(), drawn.end(), [](const DrawnObject& o) { return o.model == kSparkAModel; });
  ASSERT_NE(firstSpark, drawn.end());
  EXPECT_TRUE(std::all_of(drawn.begin(), firstSpark, [](const DrawnObject& o) { return o.depthOn; }));
  EXPECT_EQ(firstSpark->texture, 34);
  EXPECT_NEAR(firstSpark->alpha, 0.6f, 1e-4f);
  EXPECT_FALSE(firstSpark->depthOn);
  ASSERT_NE(firstSpark + 1, drawn.end());
  EXPECT_EQ((firstSpark + 1)->model, kSparkBModel);
  EXPECT_EQ((firstSpark + 1)->texture, 44);
  const auto sparks = std::count_if(
      firstSpark, drawn.end(), [](const DrawnObject& o) { return o.format == graphics::Quad::kFormat && !o.depthOn; });
  EXPECT_EQ(sparks, 4) << "one spark per 30 ms of the flame's life";
  EXPECT_EQ(device.GetRenderState(gfx::RenderState::kZEnable), 1u) << "depth comes back on";
  EXPECT_EQ(device.GetRenderState(gfx::RenderState::kZWriteEnable), 1u);

  // With the spark setting off the layers still show, the single sparks do not.
  board.settings.PARTICLEFX = false;
  device.ClearLog();
  frets.Draw(0);
  const auto plain = Drawn();
  EXPECT_EQ(std::count_if(plain.begin(), plain.end(), [](const DrawnObject& o) { return o.model == kSparkAModel; }), 1);
  EXPECT_EQ(std::count_if(plain.begin(), plain.end(),
                          [](const DrawnObject& o) { return o.format == graphics::Quad::kFormat; }),
            0);
}

TEST_F(FretDrawTest, EffectsShowOnTheSubBoardOfTheHit) {
  Load(2);
  frets.FretAt(3).sustaining = true;
  frets.FretAt(3).sustainLength = 100.0f;
  frets.NoteHit(3, 0, 1, false);
  clock.clock.AdvanceMs(50);
  frets.Update(1, 0.0f);
  auto count = [&](int model) {
    const auto d = Drawn();
    return std::count_if(d.begin(), d.end(), [&](const DrawnObject& o) { return o.model == model; });
  };
  device.ClearLog();
  frets.Draw(0);
  frets.DrawGlows(0);
  EXPECT_EQ(count(kSparkAModel), 0);
  EXPECT_EQ(count(kHitGlowModel), 0);
  device.ClearLog();
  frets.Draw(1);
  frets.DrawGlows(1);
  EXPECT_EQ(count(kSparkAModel), 1);
  ASSERT_EQ(count(kHitGlowModel), 1);
  const auto d = Drawn();
  const auto glow = std::find_if(d.begin(), d.end(), [](const DrawnObject& o) { return o.model == kHitGlowModel; });
  EXPECT_EQ(glow->texture, 123);  // yellow glow
  EXPECT_NEAR(glow->alpha, 0.75f, 1e-4f);

  frets.NoteHit(3, graphics::FretGlow::kMine, 1, false);
  device.ClearLog();
  frets.DrawGlows(1);
  ASSERT_EQ(count(kHitGlowModel), 1);
  EXPECT_EQ(Drawn()[0].texture, 130) << "a mine glows with the mine texture";
}

TEST_F(FretDrawTest, DrumRowDrawsTheKickBarFirstAndItsFlash) {
  Load(0);
  device.ClearLog();
  frets.Draw(0);
  auto drawn = Drawn();
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn[0].model, kFretBassModel);
  EXPECT_EQ(drawn[0].texture, 0);
  EXPECT_EQ(
      std::count_if(drawn.begin(), drawn.end(), [](const DrawnObject& o) { return o.model == kFretBassHoldModel; }), 0);

  frets.FretAt(0).button.SetHeld(true);
  clock.clock.AdvanceMs(50);
  frets.Update(1, 0.0f);
  device.ClearLog();
  frets.Draw(0);
  drawn = Drawn();
  ASSERT_GE(drawn.size(), 2u);
  EXPECT_EQ(drawn[1].model, kFretBassHoldModel);
  EXPECT_EQ(drawn[1].texture, 100);
  EXPECT_NEAR(drawn[1].alpha, 0.65f, 1e-4f);
}

TEST_F(FretDrawTest, RealKeysDrawKillBoxWithoutAlphaTestThenBeamAndKey) {
  Load(8, 4);
  device.SetRenderState(gfx::RenderState::kAlphaTestEnable, 1);
  // Lane 3: colour 3, note (3 - 1) mod 12 = 2 from A: a white B key. Lane 2: a black key.
  frets.FretAt(3).button.SetHeld(true);
  frets.FretAt(3).lanePlace[0].position.x = 20.0f;
  frets.FretAt(2).lanePlace[0].position.x = -119.5f;  // half out of view
  frets.FretAt(4).lanePlace[0].position.x = 121.0f;   // out of view
  device.ClearLog();
  frets.Draw(0);
  const auto drawn = Drawn();

  auto ofLane = [&](float x) {
    std::vector<DrawnObject> out;
    for (const DrawnObject& o : drawn) {
      if (o.draw->vertices.empty()) continue;
      // The squares are 40 wide about their lane's x.
      const float cx = (o.draw->vertices[0].world.x + o.draw->vertices[2].world.x) / 2.0f;
      if (std::fabs(cx - x) < 1.0f) out.push_back(o);
    }
    return out;
  };
  const auto lane3 = ofLane(20.0f);
  ASSERT_EQ(lane3.size(), 3u);
  EXPECT_EQ(lane3[0].model, kKillBoxModel);
  EXPECT_EQ(lane3[0].texture, 27);
  EXPECT_FALSE(lane3[0].alphaTestOn);
  EXPECT_EQ(lane3[1].model, kBeamModel);
  EXPECT_EQ(lane3[1].texture, 90);
  EXPECT_EQ(lane3[1].alpha, 1.0f) << "the beam shows while the key is held";
  EXPECT_TRUE(lane3[1].alphaTestOn);
  EXPECT_EQ(lane3[2].model, kKeysBModel);
  EXPECT_EQ(lane3[2].texture, 20);

  const auto lane2 = ofLane(-119.5f);
  ASSERT_EQ(lane2.size(), 2u) << "kill box and key; the beam of a key not held is not drawn";
  EXPECT_EQ(lane2[1].model, kKeysBlackModel);
  EXPECT_EQ(lane2[1].texture, 21);
  EXPECT_NEAR(lane2[1].alpha, 0.5f, 1e-5f);

  const auto lane4 = ofLane(121.0f);
  ASSERT_EQ(lane4.size(), 1u) << "only the kill box of a key out of view";
  EXPECT_EQ(lane4[0].model, kKillBoxModel);
  EXPECT_EQ(device.GetRenderState(gfx::RenderState::kAlphaTestEnable), 1u);
}

TEST_F(FretDrawTest, SubBoardDrawsOnlyItsLaneRange) {
  const float offsets[2] = {0.0f, 10.0f};
  const int32_t visible[2] = {12, 12};
  ASSERT_TRUE(frets.Load(24, 0, false, &board.scene, 8, offsets, visible));
  device.ClearLog();
  frets.Draw(1);
  const auto drawn = Drawn();
  // Lanes 10..24 (10 + 12 + 3 = 25 is past the row): one kill box each.
  EXPECT_EQ(std::count_if(drawn.begin(), drawn.end(), [](const DrawnObject& o) { return o.model == kKillBoxModel; }),
            15);
}

}  // namespace
