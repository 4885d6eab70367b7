// A player's board visuals: the effects table it fills and the animations gameplay's
// triggers start on the millisecond clock (they move while the song clock stands),
// and the level's visuals seam that makes and destroys one board per player.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/shell/services.h"
#include "game/lane_map.h"
#include "game/level/level_session.h"
#include "game/player.h"
#include "graphics/player_board.h"
#include "graphics/shell_services.h"
#include "platform/clock.h"
#include "platform/gfx/recording_device.h"
#include "gfx_fixtures.h"
#include "test_support.h"

namespace {

using graphics::NeckPartId;
using graphics::PlayerBoard;

float PartAlpha(const PlayerBoard& b, NeckPartId id) { return b.parts[size_t(id)].alpha; }

TEST(PlayerBoard, FillsThePlayersEffectsAndSetsUpItsParts) {
  Player p;
  p.kind = 14;
  PlayerBoard board(p, nullptr, nullptr);
  EXPECT_EQ(p.track.fx, &board.effects());
  EXPECT_EQ(board.parts[size_t(NeckPartId::kSides)].model, graphics::board_slots::kSidesKeysModel);
  EXPECT_EQ(board.parts[size_t(NeckPartId::kFretBottom)].model, graphics::board_slots::kFretBottomKeysRealModel);
  EXPECT_EQ(PartAlpha(board, NeckPartId::kEnergyNeck), 0.0f);
  EXPECT_EQ(PartAlpha(board, NeckPartId::kWarningNeck), 0.0f);
  // Without an asset store a neck cannot load; the board draws none.
  EXPECT_FALSE(p.track.fx->LoadNeck(u"necks/any.png"));
  EXPECT_EQ(board.neckTexture, nullptr);
}

TEST(PlayerBoard, TriggersStartAnimationsOnTheMillisecondClock) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 10000;
  Player p;
  p.kind = 2;
  PlayerBoard board(p, nullptr, nullptr);
  BoardEffects& fx = *p.track.fx;

  fx.EnergyGlow(true);
  EXPECT_TRUE(board.energyLook);
  clock.clock.AdvanceMs(250);
  board.Update();
  EXPECT_NEAR(PartAlpha(board, NeckPartId::kEnergyNeck), 0.5f, 1e-3f);
  clock.clock.AdvanceMs(1000);
  board.Update();
  EXPECT_EQ(PartAlpha(board, NeckPartId::kEnergyNeck), 1.0f);
  fx.EnergyGlow(false);
  clock.clock.AdvanceMs(500);
  board.Update();
  EXPECT_EQ(PartAlpha(board, NeckPartId::kEnergyNeck), 0.0f);
  EXPECT_FALSE(board.energyLook);

  // The warning neck swells and fades until the warning ends, then is gone at once.
  fx.Warning(true);
  clock.clock.AdvanceMs(250);
  board.Update();
  EXPECT_NEAR(PartAlpha(board, NeckPartId::kWarningNeck), 0.5f, 1e-3f);
  clock.clock.AdvanceMs(500);
  board.Update();
  clock.clock.AdvanceMs(250);
  board.Update();
  EXPECT_NEAR(PartAlpha(board, NeckPartId::kWarningNeck), 0.5f, 1e-3f);  // on its way back down
  fx.Warning(false);
  EXPECT_EQ(PartAlpha(board, NeckPartId::kWarningNeck), 0.0f);
  clock.clock.AdvanceMs(300);
  board.Update();
  EXPECT_EQ(PartAlpha(board, NeckPartId::kWarningNeck), 0.0f);

  // Presses, hits, sustains and misses are stamped with the clock; slots outside the
  // 92 are ignored.
  fx.FretHeld(3, true);
  fx.FretPress(3);
  fx.NoteHitEffect(3, false);
  fx.SustainStart(3, 7);
  fx.MissFlash();
  fx.FretHeld(92, true);
  fx.NoteHitEffect(-1, false);
  EXPECT_TRUE(board.fretHeld[3]);
  EXPECT_EQ(board.lastHit[3], clock.clock.ms);
  EXPECT_EQ(board.lastPress[3], clock.clock.ms);
  EXPECT_TRUE(board.sustaining[3]);
  EXPECT_EQ(board.lastMiss, clock.clock.ms);
  fx.SustainEnd(3);
  EXPECT_FALSE(board.sustaining[3]);
}

TEST(PlayerBoard, TriggersReachTheFretsAndLaneLines) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 20000;
  Player p;
  p.kind = 2;
  p.laneCount = 5;
  p.track.laneCount = 5;
  PlayerBoard board(p, nullptr, nullptr);
  board.Update();  // lays the row out for five lanes
  EXPECT_EQ(board.frets.laneCount, 5);
  BoardEffects& fx = *p.track.fx;
  fx.NoteHitEffect(3, false);
  fx.FretHeld(2, true);
  fx.EnergyGlow(true);
  fx.Warning(true);
  fx.MissFlash();
  clock.clock.AdvanceMs(100);
  board.Update();
  EXPECT_GT(board.frets.FretAt(3).glow.alpha, 0.0f);
  EXPECT_TRUE(board.frets.FretAt(2).button.lit);
  EXPECT_GT(board.laneLines.energyGlow, 0.0f);
  EXPECT_TRUE(board.laneLines.warningOn);
  EXPECT_GT(board.laneLines.missFlash, 0.0f);
  // The key window of a keys board moving down rolls the neck left.
  fx.KeyRangeMove(0, 20);
  fx.KeyRangeMove(0, 10);
  EXPECT_TRUE(board.rollLeft[0]);
  fx.KeyRangeMove(0, 30);
  EXPECT_FALSE(board.rollLeft[0]);
}

TEST(PlayerBoard, KickShakesTheCameraAndItSettles) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 5000;
  Player p;
  p.kind = 0;
  p.laneCount = 5;
  PlayerBoard board(p, nullptr, nullptr);
  const int32_t kick = LaneMap::FretIndex(0, 0, 5);
  ASSERT_GE(kick, 0);
  p.track.fx->NoteHitEffect(kick, false);
  clock.clock.AdvanceMs(40);
  board.Update();
  EXPECT_LT(board.cameraShake.y, 0.0f);
  EXPECT_GE(board.cameraShake.y, -PlayerBoard::kShakeDepth);
  for (int step = 0; step < 3; ++step) {
    clock.clock.AdvanceMs(200);
    board.Update();
  }
  EXPECT_EQ(board.cameraShake.y, 0.0f);
  // A pad does not shake.
  p.track.fx->NoteHitEffect(LaneMap::FretIndex(2, 0, 5), false);
  clock.clock.AdvanceMs(40);
  board.Update();
  EXPECT_EQ(board.cameraShake.y, 0.0f);
}

TEST(PlayerBoard, ProfileNeckFromTheThemeOrTheDefaultOne) {
  testsupport::TempDir dir;
  dir.MakeDir("themes/mine/static/necks");
  dir.MakeDir("themes/default/static/necks");
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/mine/static/necks/Oak.png"), 4, 8, 0xFFFFFFFF));
  ASSERT_TRUE(gfxtest::WritePng(dir.Path("themes/default/static/necks/Plain.png"), 2, 2, 0xFFFFFFFF));
  platform::gfx::RecordingRenderDevice device;
  graphics::GameAssets assets(&device);
  Player p;
  PlayerBoard board(p, &assets, &device);
  ASSERT_TRUE(board.LoadProfileNeck(u"themes/mine", u"Oak.png"));
  ASSERT_NE(board.neckTexture, nullptr);
  EXPECT_EQ(board.neckTexture->Width(), 4);
  // A theme without necks falls back to the default theme's.
  ASSERT_TRUE(board.LoadProfileNeck(u"themes/other/", u"Oak.png"));
  EXPECT_EQ(board.neckTexture->Width(), 2);
  const auto lines = dir.GameLogTexts();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Loading From Default Necks"), lines.end());
  // None anywhere: no neck, and the log says so; the board plays on.
  std::filesystem::remove(dir.Path("themes/default/static/necks/Plain.png"));
  EXPECT_FALSE(board.LoadProfileNeck(u"themes/other/", u"Oak.png"));
  EXPECT_EQ(board.neckTexture, nullptr);
  const auto after = dir.GameLogTexts();
  EXPECT_NE(std::find(after.begin(), after.end(), "ERROR! Could Not Load Neck:"), after.end());
  // The gameplay's release empties it too.
  ASSERT_TRUE(board.LoadProfileNeck(u"themes/mine/", u"[Random]"));
  p.track.fx->ReleaseNeck();
  EXPECT_EQ(board.neckTexture, nullptr);
}

TEST(PlayerBoard, LevelVisualsMakeAndDestroyOneBoardPerPlayer) {
  shell::Services services;
  graphics::RegisterShellServices(services);
  LevelVisuals& visuals = Session().Visuals();
  Player players[3];
  for (int32_t i = 0; i < 3; ++i) visuals.CreateBoard(players[i], i);
  for (int32_t i = 0; i < 3; ++i) {
    PlayerBoard* board = graphics::CurrentLevelBoards().Get(i);
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(&board->player(), &players[i]);
    EXPECT_EQ(players[i].track.fx, &board->effects());
  }
  // A sixteenth player has no board; nothing breaks.
  Player extra;
  visuals.CreateBoard(extra, 15);
  EXPECT_EQ(graphics::CurrentLevelBoards().Get(15), nullptr);
  visuals.DestroyBoards();
  for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(graphics::CurrentLevelBoards().Get(i), nullptr);
  Session().visuals = nullptr;
}

}  // namespace
