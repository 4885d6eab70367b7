// The stage over a small fixture written by the test: a layout of one animated drum
// with copies, the four animation sets of the drum, the camera cycle on a fake clock.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/log.h"
#include "core/utils.h"
#include "game/player.h"
#include "graphics/stage.h"
#include "platform/clock.h"
#include "platform/gfx/render_device.h"
#include "platform/gfx/state_device.h"
#include "platform/paths.h"

namespace graphics {
namespace {

const char* kTriangle = R"(
  Mesh Tri {
    3;
    0.0; 0.0; 0.0;,
    1.0; 0.0; 0.0;,
    0.0; 1.0; 0.0;;
    1;
    3; 0, 1, 2;;
  }
)";

std::string Set(const char* name, int endTick) {
  return std::string("AnimationSet ") + name + " {\n  Animation {\n    {Drum}\n    AnimationKey {\n      2;\n      2;\n" +
         "      0; 3; 0.0, 0.0, 0.0;;,\n      " + std::to_string(endTick) + "; 3; 0.0, 5.0, 0.0;;;\n    }\n  }\n}\n";
}

std::string Frame(const std::string& name, float x, const std::string& body = "") {
  return "  Frame " + name + " {\n    FrameTransformMatrix {\n      1.0, 0.0, 0.0, 0.0,\n      0.0, 1.0, 0.0, 0.0,\n" +
         "      0.0, 0.0, 1.0, 0.0,\n      " + std::to_string(x) + ", 0.0, 0.0, 1.0;;\n    }\n" + body + "  }\n";
}

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("velorin_stage_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_ / "data/backgrounds/stage");
    SetLogFolder(platform::PathFromNative(folder_.string()));
    SetLogEcho(false);
    const std::string head = "xof 0303txt 0032\nAnimTicksPerSecond { 100; }\n";
    Write("background.X", head + "Frame Venue {\n" + kTriangle + "}\n");
    Write("cat_medium.X", head + "Frame Cat {\n" + kTriangle + "}\n");
    // Sets in the order a modeller might leave them; "activate" and "deactivate"
    // last half a second, the looping ones a second.
    Write("drum.X", head + "Frame Drum {\n" + kTriangle + "}\n" + Set("unactive", 100) + Set("activate", 50) +
                        Set("active", 100) + Set("deactivate", 50));
    Write("dummy_medium.X", head + "Frame Layout {\n" + Frame("DO-drum-kit1-ab", 10.0f) + Frame("IO-kit1-kit2", 20.0f) +
                                Frame("IO-kit2-kit3", 30.0f) + Frame("IO-ghost-x", 40.0f) + Frame("Light", 0.0f) +
                                Frame("DO-drum-kit9-b", 50.0f, Frame("DO-drum-deep-a", 1.0f)) + "}\n");
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / "data/backgrounds/stage" / name) << text;
  }
  std::u16string Root() const { return platform::PathFromNative(folder_.string()) + u"/"; }
  std::string LogText() const {
    std::ifstream in(folder_ / "game_log.txt", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string narrow;
    for (char c : bytes)
      if (c != '\0') narrow += c;
    return narrow;
  }
  static std::string SetOf(MeshInstance* instance) {
    if (!instance || !instance->Hierarchy()) return "(none)";
    return instance->Hierarchy()->GetAnimationSetName(instance->Hierarchy()->currentSet);
  }

  platform::ScopedFakeClock clock_;
  std::filesystem::path folder_;
  Camera camera_;
};

TEST_F(StageTest, LayoutFramesMakeObjectsAndCopies) {
  clock_.clock.ms = 1000;
  Stage stage(2, nullptr, nullptr, &camera_, Root());
  // Two "DO-" frames at the top (the one nested deeper is not a stage object) and
  // three "IO-" frames.
  ASSERT_EQ(stage.InstanceCount(), 2);
  ASSERT_EQ(stage.ObjectCount(), 5);
  const StageObject& drum = stage.Object(0);
  EXPECT_EQ(drum.rawName, "DO-drum-kit1-ab");
  EXPECT_EQ(drum.parentName, "kit1");
  EXPECT_TRUE(drum.animated);
  EXPECT_TRUE(drum.flagB);
  EXPECT_FALSE(drum.flagC);
  EXPECT_FALSE(drum.copy);
  ASSERT_NE(drum.instance, nullptr);
  ASSERT_NE(drum.instance->Hierarchy(), nullptr);
  EXPECT_FALSE(stage.Object(1).animated);  // "DO-drum-kit9-b"
  // Copies come after every object, in frame order; a copy of a copy shares the
  // first instance too.
  const StageObject& copy = stage.Object(2);
  EXPECT_EQ(copy.rawName, "IO-kit1-kit2");
  EXPECT_EQ(copy.parentName, "kit2");
  EXPECT_TRUE(copy.copy);
  EXPECT_TRUE(copy.animated);
  EXPECT_EQ(copy.instance, drum.instance);
  EXPECT_EQ(stage.Object(3).parentName, "kit3");
  EXPECT_EQ(stage.Object(3).instance, drum.instance);
  // A copy whose key names no object has no instance, and says so.
  EXPECT_EQ(stage.Object(4).instance, nullptr);
  EXPECT_EQ(stage.Object(4).parentName, "x");
  EXPECT_NE(LogText().find("ERROR: Could Not Find Parent Object: ghost"), std::string::npos);
  // Drawing places each object at its frame and draws nothing without a device.
  stage.Draw();
  EXPECT_FLOAT_EQ(drum.instance->extra[3][0], 30.0f);  // the last object using it was IO-kit2-kit3
}

TEST_F(StageTest, DetailWithoutALayoutHasNoObjects) {
  for (int detail : {0, 4}) {
    Stage stage(detail, nullptr, nullptr, &camera_, Root());
    EXPECT_EQ(stage.ObjectCount(), 0) << detail;
    EXPECT_NE(stage.Fixed(0).Hierarchy(), nullptr);
    EXPECT_EQ(stage.Fixed(1).Hierarchy(), nullptr);
    stage.Draw();
  }
}

TEST_F(StageTest, EnergyPlaysActivateThenActiveAndBack) {
  clock_.clock.ms = 5000;
  Stage stage(2, nullptr, nullptr, &camera_, Root());
  auto players = std::make_unique<Player[]>(2);
  stage.SetPlayers(players.get(), 2);
  stage.DeactivateAll();
  MeshInstance* drum = stage.Object(0).instance;
  MeshInstance* quiet = stage.Object(1).instance;  // not animated
  EXPECT_EQ(SetOf(drum), "unactive");
  EXPECT_TRUE(drum->loop);

  // The second player's energy is enough.
  players[1].score().energyActive = true;
  stage.Update();
  stage.Draw();
  EXPECT_TRUE(stage.Activated());
  EXPECT_EQ(SetOf(drum), "activate");
  EXPECT_FALSE(drum->loop);
  EXPECT_EQ(SetOf(quiet), "unactive");
  clock_.clock.AdvanceMs(300);
  stage.Update();
  stage.Draw();
  EXPECT_EQ(SetOf(drum), "activate");  // not yet at its end (0.5 s)
  clock_.clock.AdvanceMs(300);
  stage.Update();
  stage.Draw();
  EXPECT_EQ(SetOf(drum), "active");
  EXPECT_TRUE(drum->loop);
  // Active loops: it stays on "active" however long the energy runs.
  for (int i = 0; i < 10; ++i) {
    clock_.clock.AdvanceMs(400);
    stage.Update();
    stage.Draw();
  }
  EXPECT_EQ(SetOf(drum), "active");
  EXPECT_EQ(stage.ShotIndex(), kStageHeldShot);

  players[1].score().energyActive = false;
  stage.Update();
  stage.Draw();
  EXPECT_FALSE(stage.Activated());
  EXPECT_EQ(SetOf(drum), "deactivate");
  clock_.clock.AdvanceMs(600);
  stage.Update();
  stage.Draw();
  EXPECT_EQ(SetOf(drum), "unactive");
  EXPECT_TRUE(drum->loop);

  // Forced active counts as energy; DeactivateAll clears it.
  stage.forcedActive = true;
  stage.Update();
  EXPECT_EQ(SetOf(drum), "activate");
  stage.DeactivateAll();
  EXPECT_FALSE(stage.forcedActive);
  EXPECT_FALSE(stage.Activated());
  EXPECT_EQ(SetOf(drum), "unactive");
  EXPECT_EQ(drum->endCallback, nullptr);
}

TEST_F(StageTest, CameraVisitsItsShotsInOrderEveryEightSeconds) {
  clock_.clock.ms = 12345;
  Stage stage(2, nullptr, nullptr, &camera_, Root());
  auto expectShot = [&](int shot) {
    const StageShot& s = kStageShotTable[size_t(shot)];
    EXPECT_EQ(stage.ShotIndex(), shot);
    EXPECT_FLOAT_EQ(camera_.position.x, s.x);
    EXPECT_FLOAT_EQ(camera_.position.y, s.y);
    EXPECT_FLOAT_EQ(camera_.position.z, s.z);
    EXPECT_FLOAT_EQ(camera_.yaw, s.yaw);
    EXPECT_FLOAT_EQ(camera_.pitch, s.pitch);
    EXPECT_FLOAT_EQ(camera_.roll, 0.0f);
    EXPECT_FLOAT_EQ(camera_.fovDivisor, 5.0f);
  };
  stage.Update();
  expectShot(0);
  EXPECT_FLOAT_EQ(camera_.position.z, -300.0f);
  for (int step = 1; step <= 8; ++step) {
    clock_.clock.AdvanceMs(7999);
    stage.Update();
    expectShot((step - 1) % kStageShots);
    clock_.clock.AdvanceMs(1);
    stage.Update();
    expectShot(step % kStageShots);  // 6 wraps to 0
  }
  // Events off: the camera stays where it is.
  stage.eventsOff = true;
  clock_.clock.AdvanceMs(20000);
  stage.Update();
  expectShot(8 % kStageShots);
}

TEST_F(StageTest, EnergyHoldsShotFourAndTheCycleResumesFromIt) {
  clock_.clock.ms = 100;
  Stage stage(2, nullptr, nullptr, &camera_, Root());
  auto players = std::make_unique<Player[]>(1);
  stage.SetPlayers(players.get(), 1);
  stage.DeactivateAll();
  stage.Update();
  EXPECT_EQ(stage.ShotIndex(), 0);
  players[0].score().energyActive = true;
  stage.Update();  // activation follows the camera step: held from the next frame
  clock_.clock.AdvanceMs(16);
  stage.Update();
  EXPECT_EQ(stage.ShotIndex(), kStageHeldShot);
  for (int i = 0; i < 30; ++i) {
    clock_.clock.AdvanceMs(1000);
    stage.Update();
    EXPECT_EQ(stage.ShotIndex(), kStageHeldShot);
  }
  players[0].score().energyActive = false;
  stage.Update();
  clock_.clock.AdvanceMs(7000);
  stage.Update();
  EXPECT_EQ(stage.ShotIndex(), kStageHeldShot);
  clock_.clock.AdvanceMs(1000);
  stage.Update();
  EXPECT_EQ(stage.ShotIndex(), 5);
}

TEST_F(StageTest, LightTwoIsSetUpAtStartAndAgainAfterAReset) {
  auto device = platform::gfx::CreateNullRenderDevice(64, 64);
  auto& state = static_cast<platform::gfx::StateDevice&>(*device);
  Stage stage(2, nullptr, device.get(), &camera_, Root());
  auto check = [&] {
    const platform::gfx::Light& light = state.State().lights[2];
    EXPECT_EQ(light.type, platform::gfx::LightType::kPoint);
    EXPECT_FLOAT_EQ(light.diffuse.r, 1.0f);
    EXPECT_FLOAT_EQ(light.diffuse.a, 1.0f);
    EXPECT_FLOAT_EQ(light.ambient.r, 0.0f);
    EXPECT_FLOAT_EQ(light.specular.g, 0.0f);
    EXPECT_FLOAT_EQ(light.position.z, 600.0f);
    EXPECT_FLOAT_EQ(light.range, 3000.0f);
    EXPECT_FLOAT_EQ(light.attenuation0, 1.0f);
    EXPECT_FALSE(state.State().lightOn[2]);  // set, not enabled
  };
  check();
  // A device reset starts every state again; the stage sets its light up once more.
  device->ResetStates();
  EXPECT_NE(state.State().lights[2].range, 3000.0f);
  stage.SetupLight();
  check();
}

TEST(StageFrameName, SplitsAtTheDashes) {
  struct Case {
    const char* name;
    const char* first;
    const char* second;
    const char* rest;
  };
  const Case cases[] = {
      {"DO-drum-kit1-ab", "drum", "kit1", "ab"},
      {"DO-drum-kit1", "drum", "kit1", ""},
      {"DO-drum", "drum", "", ""},
      {"DO-", "", "", ""},
      {"IO-kit1-kit2", "kit1", "kit2", ""},
      {"DO-a-b-c-d", "a", "b", "c-d"},
      {"nodash", "", "", ""},
  };
  for (const Case& c : cases) {
    std::string first, second, rest;
    SplitStageFrameName(c.name, first, second, rest);
    EXPECT_EQ(first, c.first) << c.name;
    EXPECT_EQ(second, c.second) << c.name;
    EXPECT_EQ(rest, c.rest) << c.name;
  }
}

}  // namespace
}  // namespace graphics
