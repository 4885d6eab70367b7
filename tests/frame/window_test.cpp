// The game's frame in a real window under Xvfb: play_check plays a demo song of the
// run folder with 1, 4 and 15 scripted players and saves screenshots into the build
// folder, which probe points check; a resize and a full-screen switch are drawn at
// the new size by the next frame.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/board_geometry.h"
#include "platform/gfx/device.h"
#include "platform/gfx/render_device.h"

namespace {

namespace gfx = platform::gfx;

constexpr const char* kSong = "music/copper_lanterns";

bool HaveXvfb() { return std::system("command -v xvfb-run >/dev/null 2>&1") == 0; }

std::string ShotDir() {
  std::filesystem::create_directories(VELORIN_FRAME_SHOT_DIR);
  return VELORIN_FRAME_SHOT_DIR;
}

// Runs play_check under Xvfb; its output and exit code come back.
int RunPlayCheck(const std::string& args, std::string* output) {
  // A real X window: the tests' headless video driver is not passed on.
  const std::string command = std::string("env -u SDL_VIDEODRIVER xvfb-run -a -s \"-screen 0 1280x720x24\" ") +
                              VELORIN_PLAY_CHECK +
                              " --run " + VELORIN_TEST_RUN_DIR + " --song " + kSong + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 512> buffer{};
  output->clear();
  while (fgets(buffer.data(), int(buffer.size()), pipe)) *output += buffer.data();
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Pixel {
  int r, g, b;
  int Sum() const { return r + g + b; }
};

Pixel At(const gfx::ImageData& image, int x, int y) {
  const size_t i = (size_t(y) * size_t(image.width) + size_t(x)) * 4;
  return Pixel{image.rgba[i], image.rgba[i + 1], image.rgba[i + 2]};
}

// The brightest pixel of a box.
int Brightest(const gfx::ImageData& image, int x0, int y0, int x1, int y1) {
  int best = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) best = std::max(best, At(image, x, y).Sum());
  return best;
}

class PlayersInAWindow : public ::testing::TestWithParam<int> {};

TEST_P(PlayersInAWindow, LoadingScreenThenTheSong) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  const std::string dir = ShotDir();
  {
    const int players = GetParam();
    const std::string shot = dir + "/play_" + std::to_string(players) + ".png";
    const std::string second = dir + "/play_" + std::to_string(players) + "_later.png";
    const std::string loading = dir + "/loading_" + std::to_string(players) + ".png";
    std::string out;
    const int code = RunPlayCheck("--players " + std::to_string(players) + " --frames 30 --gap 10 --screenshot " +
                                      shot + " --second " + second + " --loading " + loading,
                                  &out);
    ASSERT_EQ(code, 0) << out;
    EXPECT_NE(out.find("frame time median:"), std::string::npos) << out;
    EXPECT_NE(out.find("frame time p99:"), std::string::npos) << out;

    gfx::ImageData load, play;
    ASSERT_TRUE(gfx::DecodeImageFile(loading, load));
    ASSERT_EQ(load.width, 1280);
    ASSERT_EQ(load.height, 720);
    // The logo sits in the middle, the bar's frame 45 pixels above the bottom edge,
    // the step text below it and the version at the bottom left, all over the
    // stretched background.
    EXPECT_GT(Brightest(load, 560, 300, 720, 420), Brightest(load, 0, 0, 60, 60) + 200);
    EXPECT_GT(Brightest(load, 512, 670, 520, 680), 300);
    EXPECT_GT(Brightest(load, 560, 690, 720, 718), 600);
    EXPECT_GT(Brightest(load, 10, 690, 80, 718), 600);
    EXPECT_GT(At(load, 2, 2).Sum(), 0);
    EXPECT_GT(At(load, 1277, 717).Sum(), 0);

    ASSERT_TRUE(gfx::DecodeImageFile(shot, play));
    ASSERT_EQ(play.width, 1280);
    ASSERT_EQ(play.height, 720);
    // The background picture covers the frame to its edges.
    int lit = 0;
    for (int y = 8; y < 720; y += 64)
      for (int x = 8; x < 1280; x += 64) lit += At(play, x, y).Sum() > 0 ? 1 : 0;
    EXPECT_GT(lit, 200);

    // Every player's board sits in the viewport the layout gives it: its fret row of
    // bright coloured rings lies in the lower half of that viewport. Between the two
    // shots, notes and beat lines have moved down the boards.
    gfx::ImageData later;
    ASSERT_TRUE(gfx::DecodeImageFile(second, later));
    ASSERT_EQ(later.width, 1280);
    graphics::BoardLayout layout;
    layout.Allocate();
    for (int p = 0; p < players; ++p) layout.Append(false, false);
    layout.Order();
    int moved = 0;
    for (int b = 0; b < players; ++b) {
      const gfx::Viewport v = layout.Viewport(b, true, 1.0f, 1280, 720);
      ASSERT_GT(v.width, 0);
      const int x0 = v.x, x1 = v.x + v.width, y0 = v.y, y1 = v.y + v.height;
      EXPECT_GT(Brightest(play, x0, (y0 + y1) / 2, x1, y1), 450) << "no frets on board " << b;
      for (int y = y0; y < y1; y += 2)
        for (int x = x0; x < x1; x += 2)
          moved += std::abs(At(play, x, y).Sum() - At(later, x, y).Sum()) > 60 ? 1 : 0;
    }
    EXPECT_GT(moved, 50) << "nothing on the boards moved between the two shots";
  }
}

INSTANTIATE_TEST_SUITE_P(WindowFrame, PlayersInAWindow, ::testing::Values(1, 4, 15));

// The gold edge lines of a column of pixels: each run of gold pixels counts once.
int GoldLines(const gfx::ImageData& image, int x, int y0, int y1) {
  int lines = 0;
  bool inLine = false;
  for (int y = y0; y < y1; ++y) {
    const Pixel p = At(image, x, y);
    const bool gold = p.r > 150 && p.g > 100 && p.b < 90;
    if (gold && !inLine) ++lines;
    inLine = gold;
  }
  return lines;
}

// A lone player who presses nothing fails; the result box then stands over the middle
// of the board, each line on a band of its own with a gold top edge, between the
// board's meters (the column left of the box, over the neck's edge, shows none).
TEST(WindowFrame, TheFailedPlayersResultBoxStandsOverTheBoard) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  const std::string shot = ShotDir() + "/player_box_failed_1.png";
  std::string out;
  const int code = RunPlayCheck("--song music/night_signal --menus --players 1 --idle 1 --at-ms 17000 --frames 1 "
                                "--screenshot " + shot,
                                &out);
  ASSERT_EQ(code, 0) << out;
  gfx::ImageData image;
  ASSERT_TRUE(gfx::DecodeImageFile(shot, image));
  ASSERT_EQ(image.width, 1280);
  ASSERT_EQ(image.height, 720);
  // The box is 268 pixels wide about the centre and its bands run from 51 % to 85 % of
  // the height; the meters stand left of x 485 and right of x 795.
  EXPECT_GE(GoldLines(image, 520, 400, 620), 5) << "no result box at the board";
  EXPECT_GE(GoldLines(image, 760, 400, 620), 5) << "the result box is not centred on the board";
  EXPECT_LE(GoldLines(image, 450, 400, 620), 1) << "the result box reaches the meter";
}

TEST(WindowFrame, TheNextFrameDrawsAtTheNewSizeAfterAResize) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  std::string out;
  const std::string shot = ShotDir() + "/resized.png";
  ASSERT_EQ(RunPlayCheck("--players 1 --frames 5 --resize 800x600 --second " + shot, &out), 0) << out;
  EXPECT_NE(out.find("size after resize: 800x600"), std::string::npos) << out;
  EXPECT_NE(out.find("frame drawn: 800x600"), std::string::npos) << out;
  gfx::ImageData image;
  ASSERT_TRUE(gfx::DecodeImageFile(shot, image));
  EXPECT_EQ(image.width, 800);
  // The background is stretched over the new size: lit to the far corner.
  EXPECT_GT(At(image, 795, 595).Sum() + At(image, 790, 590).Sum() + At(image, 780, 580).Sum(), 0);
}

TEST(WindowFrame, TheFullscreenSwitchFallsBackToTheDesktopModeAndDrawsAtIt) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  std::string out;
  // The window is 640x360; the settings' full-screen 1024x768 is no mode of the
  // 1280x720 screen, so the desktop's mode serves.
  ASSERT_EQ(RunPlayCheck("--players 1 --frames 5 --width 640 --height 360 --toggle-fullscreen", &out), 0) << out;
  EXPECT_NE(out.find("size after resize: 1280x720"), std::string::npos) << out;
  EXPECT_NE(out.find("frame drawn: 1280x720"), std::string::npos) << out;
}

// The median brightness of a box: notes passing through it move it little.
int MedianBrightness(const gfx::ImageData& image, int x0, int y0, int x1, int y1) {
  std::vector<int> sums;
  for (int y = y0; y < y1; y += 2)
    for (int x = x0; x < x1; x += 2) sums.push_back(At(image, x, y).Sum());
  if (sums.empty()) return -1;
  std::nth_element(sums.begin(), sums.begin() + long(sums.size() / 2), sums.end());
  return sums[sums.size() / 2];
}

// Another multisampling destroys the device and makes it again: the first frame on
// the new device draws the board as before, its neck, frets and meter textured from
// the same asset store (a lost texture shows as a bare white or black surface).
TEST(WindowFrame, AfterTheDeviceIsMadeAgainTheBoardDrawsAsBefore) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  std::string out;
  const std::string before = ShotDir() + "/remake_before.png";
  const std::string after = ShotDir() + "/remake_after.png";
  ASSERT_EQ(RunPlayCheck("--players 1 --frames 20 --screenshot " + before + " --multisample 4 --after " + after, &out),
            0)
      << out;
  EXPECT_NE(out.find("devices destroyed: 1"), std::string::npos) << out;
  EXPECT_NE(out.find("frame drawn: 1280x720"), std::string::npos) << out;
  gfx::ImageData was, now;
  ASSERT_TRUE(gfx::DecodeImageFile(before, was));
  ASSERT_TRUE(gfx::DecodeImageFile(after, now));
  ASSERT_EQ(now.width, 1280);
  ASSERT_EQ(now.height, 720);
  int lit = 0;
  for (int y = 8; y < 720; y += 64)
    for (int x = 8; x < 1280; x += 64) lit += At(now, x, y).Sum() > 0 ? 1 : 0;
  EXPECT_GT(lit, 200) << "the background picture is drawn";
  graphics::BoardLayout layout;
  layout.Allocate();
  layout.Append(false, false);
  layout.Order();
  const gfx::Viewport v = layout.Viewport(0, true, 1.0f, 1280, 720);
  ASSERT_GT(v.width, 0);
  const int x0 = v.x, x1 = v.x + v.width, y0 = v.y, y1 = v.y + v.height;
  EXPECT_GT(Brightest(now, x0, (y0 + y1) / 2, x1, y1), 450) << "no frets";
  // The neck between the frets and the horizon.
  const int cx = (x0 + x1) / 2, w = v.width / 12;
  const int neckBefore = MedianBrightness(was, cx - w, y0 + v.height * 55 / 100, cx + w, y0 + v.height * 75 / 100);
  const int neckAfter = MedianBrightness(now, cx - w, y0 + v.height * 55 / 100, cx + w, y0 + v.height * 75 / 100);
  EXPECT_NEAR(neckAfter, neckBefore, 40 + neckBefore / 3);
}

}  // namespace

// Each background mode of the settings over a demo song with its default content: the
// picture (0), the abstract theme (1), the 3D stage (2) and the video (3). The sides of
// the frame, where no board is, show the background: lit, in colour (not the washed-out
// grey of surfaces that lost their colour), and moving where the background moves.
struct BackgroundCase {
  int mode;
  const char* name;
  int moves;  // between two shots 30 frames apart, outside the board: 1 moves, 0 still, -1 either
              // (the stage's camera cuts on the clock, so a slow machine may catch a cut)
};

class BackgroundInAWindow : public ::testing::TestWithParam<BackgroundCase> {};

TEST_P(BackgroundInAWindow, TheSidesShowTheBackground) {
  if (!HaveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  const BackgroundCase c = GetParam();
  const std::string shot = ShotDir() + "/background_" + std::to_string(c.mode) + "_" + c.name + ".png";
  const std::string later = ShotDir() + "/background_" + std::to_string(c.mode) + "_" + c.name + "_later.png";
  std::string out;
  const int code = RunPlayCheck("--players 1 --frames 60 --gap 30 --background " + std::to_string(c.mode) +
                                    " --screenshot " + shot + " --second " + later,
                                &out);
  ASSERT_EQ(code, 0) << out;
  gfx::ImageData first, second;
  ASSERT_TRUE(gfx::DecodeImageFile(shot, first));
  ASSERT_TRUE(gfx::DecodeImageFile(later, second));
  ASSERT_EQ(first.width, 1280);
  ASSERT_EQ(second.width, 1280);
  int probes = 0, lit = 0, coloured = 0, moved = 0;
  for (int y = 6; y < 714; y += 12) {
    for (int x = 6; x < 1274; x += 12) {
      if (x > 330 && x < 950) continue;  // the board
      const Pixel p = At(first, x, y), q = At(second, x, y);
      ++probes;
      // The stage's camera may cut to a dark shot for one of the two: there the
      // brighter of the two shots is judged.
      const Pixel j = c.moves == -1 && q.Sum() > p.Sum() ? q : p;
      lit += j.Sum() > 30 ? 1 : 0;
      const int hi = std::max({j.r, j.g, j.b}), lo = std::min({j.r, j.g, j.b});
      coloured += hi - lo > 40 && hi < 250 ? 1 : 0;
      moved += std::abs(p.Sum() - q.Sum()) > 24 ? 1 : 0;
    }
  }
  EXPECT_GT(lit, probes * 8 / 10) << c.name << ": the sides are dark";
  EXPECT_GT(coloured, probes / 50) << c.name << ": the sides have no colour";
  if (c.moves == 1) {
    EXPECT_GT(moved, probes / 20) << c.name << ": nothing moved";
  } else if (c.moves == 0) {
    EXPECT_LT(moved, probes / 50) << c.name << ": a still picture changed";
  }
}

INSTANTIATE_TEST_SUITE_P(WindowFrame, BackgroundInAWindow,
                         ::testing::Values(BackgroundCase{0, "picture", 0}, BackgroundCase{1, "abstract", 1},
                                           BackgroundCase{2, "stage", -1}, BackgroundCase{3, "video", 1}),
                         [](const ::testing::TestParamInfo<BackgroundCase>& info) { return std::string(info.param.name); });
