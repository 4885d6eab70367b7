// The gameplay pass on the Recording back end: the layer order, depth clears and
// depth-off draws of a board of each instrument family, the camera and viewport of
// each sub-board, the note fades (which leave the note records alone) and the
// sustain strip of a note longer than the board.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "board_fixtures.h"
#include "game/lane_map.h"
#include "graphics/board_geometry.h"
#include "graphics/game_asset_lists.h"
#include "graphics/gameplay_render.h"
#include "graphics/player_board.h"
#include "graphics/tail_ribbon.h"
#include "platform/clock.h"
#include "platform/gfx/recording_device.h"
#include "test_support.h"

namespace {

namespace gfx = platform::gfx;
using graphics::GameplayBoard;
using graphics::GameplayView;

std::string Narrow(std::u16string_view s) { return std::string(s.begin(), s.end()); }

class GameplayRenderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir = new testsupport::TempDir();
    ASSERT_TRUE(boardtest::WriteBoardTheme(dir->path(), {}, {}, 0xFFFFFFFF));
    device = new gfx::RecordingRenderDevice(1280, 720);
    assets = new graphics::GameAssets(device);
    assets->LoadTextures(u"themes/default/");
    assets->LoadModels(u"themes/default/");
    cameras = graphics::CreateCameras().release();
  }
  static void TearDownTestSuite() {
    delete cameras;
    delete assets;
    delete device;
    delete dir;
  }

  void SetUp() override { device->ClearLog(); }

  GameplayView View(std::vector<GameplayBoard>& boards) {
    GameplayView v;
    v.device = device;
    v.assets = assets;
    v.boardCamera = cameras->Get(graphics::CameraId::kBoard);
    v.freeLook = cameras->Get(graphics::CameraId::kFreeLook);
    v.boards = boards.data();
    v.boardCount = int32_t(boards.size());
    v.songPosition = 1000.0;
    return v;
  }

  // The texture a draw used, by file name; "own" for the model's own (none here).
  std::string TextureName(const gfx::Texture* t) const {
    if (!t) return "own";
    auto find = [&](const auto& rows, const auto& table) -> std::string {
      for (const graphics::StaticAssetRow& r : rows) {
        if (table[size_t(r.slot)] == t) return Narrow(r.name);
      }
      return "";
    };
    for (const std::string& s : {find(graphics::kNoteTextureRows, assets->noteTextures),
                                 find(graphics::kTailTextureRows, assets->tailTextures),
                                 find(graphics::kFretTextureRows, assets->fretTextures),
                                 find(graphics::kMeterTextureRows, assets->meterTextures),
                                 find(graphics::kNumberTextureRows, assets->numberTextures)}) {
      if (!s.empty()) return s;
    }
    return "?";
  }

  // A mesh draw's model, by the depth of its fixture quad.
  static std::string ModelName(const gfx::RecordedDraw& d) {
    float maxZ = -1e9f;
    for (const auto& v : d.vertices) maxZ = std::max(maxZ, v.position.z);
    const int32_t slot = boardtest::SlotOfQuadDepth(maxZ);
    for (const graphics::StaticAssetRow& r : graphics::kModelRows) {
      if (r.slot == slot) return Narrow(r.name);
    }
    return "?";
  }

  // The pass as a list: "Z" a depth clear, "V" a viewport; a model draw as
  // "Model:texture", a strip (a ribbon) as its texture, prefixed "~" when drawn with
  // depth off. The fret row's and the lane lines' own draws are folded into one
  // "frets" or "lines" entry each (their tests look inside them).
  std::vector<std::string> Trace() const {
    std::vector<std::string> out;
    size_t draw = 0;
    auto add = [&](const std::string& entry) {
      const bool folded = entry == "frets" || entry == "lines" || entry == "~frets" || entry == "~lines";
      if (folded && !out.empty() && out.back() == entry) return;
      out.push_back(entry);
    };
    for (const std::string& line : device->log) {
      if (line == "Clear 2") {
        add("Z");
      } else if (line.rfind("SetViewport", 0) == 0) {
        add("V");
      } else if (line.rfind("DrawIndexedPrimitiveUP", 0) == 0 || line.rfind("DrawPrimitiveUP", 0) == 0) {
        const gfx::RecordedDraw& d = device->draws.at(draw++);
        const std::string z = d.state.render[size_t(gfx::RenderState::kZEnable)] == 0 ? "~" : "";
        const std::string texture = TextureName(d.state.textures[0]);
        if (d.state.fvf != (gfx::fvf::kXyz | gfx::fvf::kNormal | gfx::fvf::kTex2)) {
          add(z + (d.type == gfx::PrimitiveType::kTriangleStrip ? texture : "quad:" + texture));
          continue;
        }
        const std::string model = ModelName(d);
        if (model.rfind("Fret", 0) == 0 && model != "Fret_Bottom" && model != "Fret_Bottom_Keys" &&
            model != "Fret_Bottom_Keys_Real" && model != "Fret_Sides") {
          add(z + "frets");
        } else if (model == "Lane" || model == "Lane_Sides") {
          add(z + "lines");
        } else {
          add(z + model + ":" + texture);
        }
      }
    }
    return out;
  }

  static testsupport::TempDir* dir;
  static gfx::RecordingRenderDevice* device;
  static graphics::GameAssets* assets;
  static graphics::Cameras* cameras;
};

testsupport::TempDir* GameplayRenderTest::dir = nullptr;
gfx::RecordingRenderDevice* GameplayRenderTest::device = nullptr;
graphics::GameAssets* GameplayRenderTest::assets = nullptr;
graphics::Cameras* GameplayRenderTest::cameras = nullptr;

using Strings = std::vector<std::string>;

TEST_F(GameplayRenderTest, FiveLaneBoardLayers) {
  Player p;
  boardtest::SetupPlayer(p, 2, 5);
  graphics::PlayerBoard board(p, assets, device);
  board.neckTexture = assets->fretTextures[51];
  p.track.beats[0] = BeatLine{true, BeatKind::kMeasure, 0, 0, 0, 50.0f};
  boardtest::PutNote(p, 1, 3, -20.0f);
  boardtest::PutSustain(p, 1, 300.0f, true, true);
  boardtest::PutNote(p, 2, 1, -10.0f).missed = true;
  boardtest::PutNote(p, 3, 0, 200.0f);
  NoteRecord& phrase = boardtest::PutNote(p, 4, 2, 150.0f);
  phrase.energyPhrase = true;
  phrase.hammerOn = true;
  p.track.meters.Setup(false);
  p.score().stepHits = 3;
  p.track.meters.Update(p.score());
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  board.Update();  // the fret row is laid out for the board's shape
  p.track.fx->NoteHitEffect(LaneMap::FretIndex(3, 2, 5), false);
  graphics::RenderGameplay(View(boards), 0);
  const Strings want = {
      "V", "Z",                                  // the board's viewport, a fresh depth buffer
      "Board:Neck_Mask",                         // the neck (energy and warning necks are at 0)
      "Beat_Line:Beat_Line",                     // the measure line
      "Z", "lines",                              // the lane lines on a fresh depth buffer
      "Board_Sides:Board_Sides", "Fret_Sides:own",
      "~Tail_Hit_Yellow",                        // the held sustain, depth off
      "Z", "Fret_Bottom:own", "frets", "~frets", // fret bottom, frets, the lit fret's flame
      "Z", "Note_Miss_Trail:own",                // the miss trail of lane 1
      "Note_Guitar_Bass:Note_Guitar_Bass",       // open heads first,
      "Z", "Note_Guitar:Note_Guitar_Miss",       // then the others over them
      "Note_Guitar_Hopo:Note_Guitar_VL",
      "~frets",                                  // the hit glow over the heads, depth off
      "Meter_Chunk_Bar:Meter_Chunk_Bar_3",       // then the meters: three hits toward x2,
      "Meter_Multiplier_Bar:Meter_Multiplier_1", // the badge,
      "Meter_Main:own",                          // the rock meter and the energy bar in
      "Meter_Energy_Bar:own",                    // its housing, a half at a time
      "Meter_VL_Bar_1:Meter_Energy_Bar", "Meter_VL_Bar_2:Meter_Energy_Bar",
      "V",                                       // the whole screen for the overlays
  };
  EXPECT_EQ(Trace(), want);
  // The board's viewport is the layout's; the projection keeps the board's aspect.
  graphics::BoardLayout layout;
  layout.Allocate();
  layout.Append(false, false);
  layout.Order();
  EXPECT_EQ(device->draws.front().state.viewport, layout.Viewport(0, true, 1.0f, 1280, 720));
  EXPECT_EQ(device->draws.front().state.transforms[size_t(gfx::TransformKind::kProjection)],
            gfx::Matrix::PerspectiveFovLH(3.1415927f / 5.0f, 1.18f, 1.0f, 5000.0f));
  // The neck scrolls its texture; nothing after it does.
  EXPECT_EQ(device->draws[0].state.stage[0][size_t(gfx::TextureStageState::kTextureTransformFlags)],
            uint32_t(gfx::TextureTransform::kCount2));
  EXPECT_EQ(device->draws[1].state.stage[0][size_t(gfx::TextureStageState::kTextureTransformFlags)],
            uint32_t(gfx::TextureTransform::kDisable));
  EXPECT_EQ(device->GetViewport(), (gfx::Viewport{0, 0, 1280, 720, 0.0f, 1.0f}));
}

TEST_F(GameplayRenderTest, DrumBoardLayers) {
  Player p;
  boardtest::SetupPlayer(p, 5, 5);
  graphics::PlayerBoard board(p, assets, device);
  boardtest::PutNote(p, 1, 0, 100.0f);                  // kick
  boardtest::PutNote(p, 2, 2, 120.0f);                  // snare pad
  boardtest::PutNote(p, 3, 3, 140.0f);                  // yellow cymbal
  boardtest::PutNote(p, 4, 4, 160.0f).tomDone = true;   // blue tom
  boardtest::PutNote(p, 5, 2, 180.0f).rim = true;       // rimshot
  p.score().energyActive = true;
  p.remote = true;
  p.assistBits = 2;  // the kick is played for the player
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  graphics::RenderGameplay(View(boards), 0);
  // No neck picture: no neck. Energy turns the sides to their energy look. After the
  // board, the network icon of a remote player and the assist's icon.
  const Strings want = {"V", "Z", "Z", "lines", "Board_Sides:Board_Sides_VL", "Fret_Sides:own", "Z",
                        "Fret_Bottom:own", "frets", "Z", "Note_Drum_Bass:Note_Drum_Bass", "Z",
                        "Note_Drum:Note_Drum_Red", "Note_Cymbal_Closed:Note_Cymbal_Yellow", "Note_Drum:Note_Drum_Blue",
                        "Note_Drum_Rimshot:Note_Rimshot_Red", "Meter_Main:own", "Meter_Energy_Bar:own",
                        // In energy the bar takes its ready look.
                        "Meter_VL_Bar_1:Meter_VL_Bar", "Meter_VL_Bar_2:Meter_VL_Bar", "Plane_Large:icon_net",
                        "Plane_Large:bot_kick", "V"};
  EXPECT_EQ(Trace(), want);
}

TEST_F(GameplayRenderTest, TwoHandKeysDrawsTwoSubBoardsSideBySide) {
  Player p;
  boardtest::SetupPlayer(p, 14, 88);
  p.track.visibleKeys[0] = p.track.visibleKeys[1] = 12;
  p.track.keyWindow[0] = 40.0f;
  p.track.keyWindow[1] = 20.0f;
  graphics::PlayerBoard board(p, assets, device);
  boardtest::PutNote(p, 1, 45, 100.0f).hand = 0;
  boardtest::PutNote(p, 2, 26, 150.0f).hand = 1;  // a black key of the left hand
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  graphics::RenderGameplay(View(boards), 0);
  // Each sub-board shows only its own hand's notes (no ghosting).
  const Strings half0 = {"V", "Z", "Board:Neck_Right", "Z", "lines", "Board_Sides_Real_Keys:Board_Sides_Real_Keys",
                         "Fret_Sides:own", "Z", "Fret_Bottom_Keys_Real:own", "frets", "Z", "Z",
                         "Note_Keys:Note_Keys_Green"};
  const Strings half1 = {"V", "Z", "Board:Neck_Left", "Z", "lines", "Board_Sides_Real_Keys:Board_Sides_Real_Keys",
                         "Fret_Sides:own", "Z", "Fret_Bottom_Keys_Real:own", "frets", "Z", "Z",
                         "Note_Keys:Note_Keys_Black"};
  Strings want = half0;
  want.insert(want.end(), half1.begin(), half1.end());
  // Then, from sub-board 0's camera again, the keyboard and each hand's window on it.
  for (const char* entry : {"V", "Z", "Meter_Keys_Layout:Meter_Keys_Layout",
                            "Meter_Keys_Layout_Active:Meter_Keys_Layout_Right",
                            "Meter_Keys_Layout_Active:Meter_Keys_Layout_Left",
                            // the meters from a camera between both boards, their own set
                            "V", "Z", "Meter_Main_Real_Keys:own", "Meter_Energy_Bar_Real_Keys:own",
                            "Meter_VL_Bar_1_Real_Keys:Meter_Energy_Bar", "Meter_VL_Bar_2_Real_Keys:Meter_Energy_Bar",
                            "V"}) {
    want.push_back(entry);
  }
  EXPECT_EQ(Trace(), want);
  // The two cameras stand 258 units apart around the preset's x; the board's aspect
  // is the wide one.
  auto drawWith = [&](const std::string& texture) -> const gfx::RecordedDraw& {
    for (const auto& d : device->draws) {
      if (TextureName(d.state.textures[0]) == texture) return d;
    }
    ADD_FAILURE() << "no draw with " << texture;
    return device->draws.front();
  };
  const gfx::Matrix& v0 = drawWith("Neck_Right").state.transforms[size_t(gfx::TransformKind::kView)];
  const gfx::Matrix& v1 = drawWith("Neck_Left").state.transforms[size_t(gfx::TransformKind::kView)];
  EXPECT_NEAR(v0.Inverse().at(4, 1), -129.0f, 1e-2f);
  EXPECT_NEAR(v1.Inverse().at(4, 1), 129.0f, 1e-2f);
  EXPECT_EQ(device->draws[0].state.transforms[size_t(gfx::TransformKind::kProjection)],
            gfx::Matrix::PerspectiveFovLH(3.1415927f / 5.0f, 2.34f, 1.0f, 5000.0f));
  // The note of key 45 sits where lane 45 of the window starting at 40 lies.
  graphics::Transform lane;
  graphics::BoardGeometry::LanePositions(lane, 45, 12, 14, false, 0, false, 40.0f);
  const auto& note = drawWith("Note_Keys_Green").vertices;
  float x = 0.0f;
  for (const auto& v : note) x += v.world.x / float(note.size());
  EXPECT_NEAR(x, lane.position.x, 0.5f);
  // The right hand's window on the 88-key meter (5.25 units a key, 462 in all, centred):
  // 12 keys from key 40, so its middle lies at 46 keys from the left end and the
  // window model is scaled to 12 / 88 of the keyboard.
  const auto& window = drawWith("Meter_Keys_Layout_Right").vertices;
  float left = 1e9f, right = -1e9f;
  for (const auto& v : window) {
    left = std::min(left, v.world.x);
    right = std::max(right, v.world.x);
  }
  EXPECT_NEAR((left + right) / 2.0f, 46.0f * 5.25f - 231.0f, 1e-2f);
  EXPECT_NEAR(right - left, 48.0f * 12.0f / 88.0f, 1e-3f);
}

TEST_F(GameplayRenderTest, DanceBoardLayers) {
  Player p;
  boardtest::SetupPlayer(p, 12, 4);
  graphics::PlayerBoard board(p, assets, device);
  for (int32_t lane = 1; lane <= 4; ++lane) boardtest::PutNote(p, lane, lane, 50.0f * float(lane));
  boardtest::PutNote(p, 5, 2, 250.0f).missed = true;
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  graphics::RenderGameplay(View(boards), 0);
  const Strings want = {"V", "Z", "Z", "lines", "Board_Sides:Board_Sides", "Fret_Sides:own", "Z", "Fret_Bottom:own",
                        "frets", "Z", "Note_Miss_Trail:own", "Z", "Note_Dance_Green:Note_Dance_Green",
                        "Note_Dance_Red:Note_Dance_Red", "Note_Dance_Yellow:Note_Dance_Yellow",
                        "Note_Dance_Blue:Note_Dance_Blue", "Note_Dance_Red:Note_Dance_Miss", "Meter_Main:own",
                        "Meter_Energy_Bar:own", "Meter_VL_Bar_1:Meter_Energy_Bar",
                        "Meter_VL_Bar_2:Meter_Energy_Bar", "V"};
  EXPECT_EQ(Trace(), want);
}

TEST_F(GameplayRenderTest, ProStringsBoardLayers) {
  Player p;
  boardtest::SetupPlayer(p, 7, 6);
  graphics::PlayerBoard board(p, assets, device);
  NoteRecord& a = boardtest::PutNote(p, 1, 1, 100.0f);
  NoteRecord& b = boardtest::PutNote(p, 2, 3, 100.0f);
  a.group = b.group = 0;
  ChordGroup& g = p.track.groups[0];
  g.used = true;
  g.count = 2;
  g.slots[0] = 1;
  g.slots[1] = 2;
  g.lowLane = 1;
  g.highLane = 3;
  boardtest::PutNote(p, 3, 9, 200.0f).channelFlag[0] = true;  // muted, purple
  boardtest::PutNote(p, 4, 2, 300.0f);
  boardtest::PutSustain(p, 4, 500.0f, false, false);
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  graphics::RenderGameplay(View(boards), 0);
  const Strings want = {"V", "Z", "Z", "lines", "Board_Sides:Board_Sides", "Fret_Sides:own", "~Tail_Red", "Z",
                        "Fret_Bottom:own", "frets", "Z", "Chord_2:Chord_Bar", "Z",
                        "Note_Guitar_Real:Note_Guitar_Real_Green", "Note_Guitar_Real:Note_Guitar_Real_Yellow",
                        "Note_Muted_Guitar_Real:Note_Guitar_Real_Purple", "Note_Guitar_Real:Note_Guitar_Real_Red",
                        "Meter_Main:own", "Meter_Energy_Bar:own", "Meter_VL_Bar_1:Meter_Energy_Bar",
                        "Meter_VL_Bar_2:Meter_Energy_Bar", "V"};
  EXPECT_EQ(Trace(), want);
}

TEST_F(GameplayRenderTest, SustainLongerThanTheBoardIsBuiltOnlyWhereItShows) {
  Player p;
  boardtest::SetupPlayer(p, 2, 5);
  graphics::PlayerBoard board(p, assets, device);
  // Struck 200 units ago, ending far beyond the board's end.
  boardtest::PutNote(p, 1, 3, -200.0f);
  boardtest::PutSustain(p, 1, 5000.0f, true, true);
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  graphics::RenderGameplay(View(boards), 0);
  const gfx::RecordedDraw* strip = nullptr;
  for (const auto& d : device->draws) {
    if (d.type == gfx::PrimitiveType::kTriangleStrip) strip = &d;
  }
  ASSERT_NE(strip, nullptr);
  const auto& v = strip->vertices;
  ASSERT_EQ(v.size(), 2u * (570u / 5u + 1u));
  // From the strike line to where the board fades out, on lane 3.
  graphics::Transform lane;
  graphics::BoardGeometry::LanePositions(lane, 3, 5, 2, false, 0, false, 0.0f);
  EXPECT_NEAR(v.front().world.z, 0.0f, 1e-3f);
  EXPECT_NEAR(v.back().world.z, 570.0f, 1e-2f);
  EXPECT_NEAR((v[0].world.x + v[1].world.x) / 2.0f, lane.position.x, 1e-2f);
  EXPECT_EQ(v.front().color >> 24, 255u);
  EXPECT_EQ(v.back().color >> 24, 0u);
  EXPECT_EQ(TextureName(strip->state.textures[0]), "Tail_Hit_Yellow");
  // A sustain wholly beyond the fade is not drawn at all.
  device->ClearLog();
  boardtest::PutNote(p, 1, 3, 600.0f);
  boardtest::PutSustain(p, 1, 900.0f, false, false);
  graphics::RenderGameplay(View(boards), 0);
  for (const auto& d : device->draws) EXPECT_NE(d.type, gfx::PrimitiveType::kTriangleStrip);
}

TEST_F(GameplayRenderTest, FadesAreComputedPerPassAndLeaveTheNotesAlone) {
  Player p;
  boardtest::SetupPlayer(p, 14, 25);
  graphics::PlayerBoard board(p, assets, device);
  boardtest::PutNote(p, 1, 6, 100.0f).hand = 1;
  p.score().streak = 6;
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  boards[0].options.oppositeHandGhosting = true;
  boards[0].options.blindMode = 4;  // notes vanish by a streak of 12
  // A stereo frame: two passes see the same alphas.
  for (int32_t eye : {0, 1}) {
    device->ClearLog();
    GameplayView view = View(boards);
    view.stereoMethod = 1;
    graphics::RenderGameplay(view, eye);
    std::vector<float> alphas;
    for (const auto& d : device->draws) {
      if (TextureName(d.state.textures[0]) == "Note_Keys_Green") alphas.push_back(d.state.material.diffuse.a);
    }
    ASSERT_EQ(alphas.size(), 2u) << eye;
    EXPECT_NEAR(alphas[0], 0.15f * 0.5f, 1e-4f) << "ghost on the other hand's board";
    EXPECT_NEAR(alphas[1], 0.5f, 1e-4f) << "own board";
  }
  EXPECT_EQ(p.track.notes[1].alpha, 1.0f);
}

TEST(GameplayChoices, BlindFade) {
  struct Case {
    int32_t mode, streak;
    bool song;
    float fade;
  };
  const Case cases[] = {{0, 500, false, 1.0f}, {4, 6, false, 0.5f}, {4, 12, false, 0.0f}, {4, 40, false, 0.0f},
                        {1, 50, false, 0.5f},  {5, 0, false, 0.0f},  {0, 0, true, 0.3f},   {9, 3, false, 1.0f}};
  for (const Case& c : cases) EXPECT_FLOAT_EQ(graphics::BlindFade(c.mode, c.streak, c.song), c.fade) << c.mode;
}

TEST(GameplayChoices, TailTexturePrecedence) {
  NoteRecord n;
  n.lane = 4;
  EXPECT_EQ(graphics::SelectTailTexture(2, n, false, false), 4);
  EXPECT_EQ(graphics::SelectTailTexture(2, n, true, false), 154);
  EXPECT_EQ(graphics::SelectTailTexture(14, n, true, false), 151);  // keys are green
  n.energyPhrase = true;
  EXPECT_EQ(graphics::SelectTailTexture(2, n, false, false), 50);
  EXPECT_EQ(graphics::SelectTailTexture(2, n, true, false), 180);
  n.missed = true;
  EXPECT_EQ(graphics::SelectTailTexture(2, n, false, false), 51);
  n.missed = false;
  EXPECT_EQ(graphics::SelectTailTexture(2, n, false, true), 51);  // dropped
  n.energyPhrase = false;
  n.lane = 9;
  EXPECT_EQ(graphics::SelectTailTexture(7, n, true, false), 159);
}

TEST(GameplayChoices, DrumsRealCymbalTypes) {
  NoteRecord n;
  n.lane = 3;
  n.padVariant = 2;
  const graphics::NoteLook pedal = graphics::SelectNoteHead(13, 5, false, n);
  EXPECT_EQ(pedal.model, 75);
  EXPECT_EQ(pedal.texture, 60);  // yellow pedal
  n.lane = 4;
  EXPECT_EQ(graphics::SelectNoteHead(13, 5, false, n).texture, 54);  // blue has no variants
  n.missed = true;
  EXPECT_EQ(graphics::SelectNoteHead(13, 5, false, n).texture, 86);
  n.missed = false;
  n.energyPhrase = true;
  EXPECT_EQ(graphics::SelectNoteHead(5, 5, false, n).texture, 72);
  NoteRecord rim;
  rim.lane = 2;
  rim.rim = true;
  EXPECT_EQ(graphics::SelectNoteHead(5, 5, true, rim).texture, 62);  // lefty: green rim
}

// The meters' draws only (the board's layers are the other tests' business).
std::vector<std::string> MeterEntries(const std::vector<std::string>& trace) {
  std::vector<std::string> out;
  for (const std::string& e : trace) {
    if (e.find("Meter_") != std::string::npos) out.push_back(e);
  }
  return out;
}

TEST_F(GameplayRenderTest, MultiplierBadgeAndChunkBarFollowTheScore) {
  struct Case {
    int32_t multiplier, stepHits;
    bool energy;
    double hitWindow;
    const char* chunks;
    const char* badge;
  } cases[] = {
      {1, 0, false, 85.0, "Meter_Chunk_Bar_0", "Meter_Multiplier_1"},
      {2, 7, false, 85.0, "Meter_Chunk_Bar_7", "Meter_Multiplier_2"},
      {4, 0, false, 85.0, "Meter_Chunk_Bar_10", "Meter_Multiplier_4"},  // at the cap: full
      {6, 4, true, 85.0, "Meter_Chunk_Bar_4", "Meter_Multiplier_6"},    // 8 in energy
      {8, 0, true, 85.0, "Meter_Chunk_Bar_10", "Meter_Multiplier_8"},
      {7, 2, true, 85.0, "Meter_Chunk_Bar_2", "Meter_Multiplier_6"},    // no picture: the one below
      // The drunk window: the badge lags one multiplier behind (the step before 3 was 2).
      {3, 1, false, 170.0, "Meter_Chunk_Bar_1", "Meter_Multiplier_2"},
  };
  for (const Case& c : cases) {
    Player p;
    boardtest::SetupPlayer(p, 2, 5);
    p.track.meters.Setup(false);
    graphics::PlayerBoard board(p, assets, device);
    p.score().multiplier = c.multiplier > 1 ? c.multiplier - 1 : 1;
    p.track.meters.Update(p.score());
    p.score().multiplier = c.multiplier;
    p.score().stepHits = c.stepHits;
    p.score().energyActive = c.energy;
    p.hitWindow = c.hitWindow;
    p.track.meters.Update(p.score());
    std::vector<GameplayBoard> boards{{&p, &board, {}}};
    device->ClearLog();
    graphics::RenderGameplay(View(boards), 0);
    const std::vector<std::string> meters = MeterEntries(Trace());
    ASSERT_GE(meters.size(), 2u);
    EXPECT_EQ(meters[0], std::string("Meter_Chunk_Bar:") + c.chunks) << c.multiplier << "/" << c.stepHits;
    EXPECT_EQ(meters[1], std::string("Meter_Multiplier_Bar:") + c.badge) << c.multiplier << "/" << c.hitWindow;
  }
}

TEST_F(GameplayRenderTest, AccuracyMarksShowAtTheirLanesForAMomentWithDepthOff) {
  platform::ScopedFakeClock clock;
  clock.clock.ms = 5000;
  Player p;
  boardtest::SetupPlayer(p, 2, 5);
  p.track.meters.Setup(false);
  graphics::PlayerBoard board(p, assets, device);
  p.track.meters.MarkAccuracy(2, 0, 2, 5000);  // perfect on lane 2
  p.track.meters.MarkAccuracy(4, 0, 4, 5000);  // early on lane 4
  std::vector<GameplayBoard> boards{{&p, &board, {}}};
  auto marks = [&](bool on) {
    device->ClearLog();
    GameplayView view = View(boards);
    view.hitAccuracy = on;
    graphics::RenderGameplay(view, 0);
    std::vector<std::string> out;
    for (const std::string& e : Trace()) {
      if (e.find("Meter_Accuracy") != std::string::npos) out.push_back(e);
    }
    return out;
  };
  const std::vector<std::string> both = {"~Meter_Accuracy:Accuracy_Perfect", "~Meter_Accuracy:Accuracy_Very_Early"};
  EXPECT_EQ(marks(true), both);
  EXPECT_TRUE(marks(false).empty()) << "HITACCURACY off shows none";
  clock.clock.AdvanceMs(250);  // fading, still drawn
  EXPECT_EQ(marks(true), both);
  EXPECT_GT(p.track.meters.AccuracyAlpha(2, 0, 5250), 0.0f);
  EXPECT_LT(p.track.meters.AccuracyAlpha(2, 0, 5250), 1.0f);
  clock.clock.AdvanceMs(50);  // 300 ms after the hit: gone
  EXPECT_TRUE(marks(true).empty());
}

}  // namespace
