// The sound effects of the built run folder, loaded the way the game loads them: the
// game's own sound table fills every slot through its WAVE reader, each sound is
// 44.1 kHz 16-bit PCM, audible, peaks near -6 dBFS without clipping and starts at
// once; the six drum kits sound apart; and the built game starts without a single
// sound it cannot load.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/settings.h"
#include "devices/audio/sound_player.h"
#include "platform/text.h"
#include "tests/shell/game_process.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string RunFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return run && *run ? run : VELORIN_TEST_RUN_DIR;
}

std::vector<float> Samples(const SoundSlot& slot) {
  std::vector<float> out(slot.data.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    int16_t v;
    std::memcpy(&v, slot.data.data() + 2 * i, 2);
    out[i] = static_cast<float>(v) / 32768.0f;
  }
  return out;
}

struct Levels {
  double peakDb, rmsDb, leadingMs, seconds, crossingsPerSecond;
};

Levels Measure(const std::vector<float>& s) {
  double peak = 0, energy = 0;
  for (float v : s) {
    peak = std::max(peak, static_cast<double>(std::fabs(v)));
    energy += static_cast<double>(v) * v;
  }
  size_t lead = 0;
  while (lead < s.size() && std::fabs(s[lead]) < 0.001f) ++lead;  // below -60 dBFS counts as silence
  int crossings = 0;
  for (size_t i = 1; i < s.size(); ++i) crossings += (s[i - 1] < 0) != (s[i] < 0);
  const double seconds = static_cast<double>(s.size()) / 44100.0;
  return {20 * std::log10(std::max(peak, 1e-9)), 10 * std::log10(std::max(energy / std::max<size_t>(s.size(), 1), 1e-18)),
          1000.0 * static_cast<double>(lead) / 44100.0, seconds, crossings / std::max(seconds, 1e-9)};
}

// Loads the whole table into a player of its own, from the run folder.
class SoundTable : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(RunFolder());
    SetLogFolder(platform::Utf8ToUtf16(logs_.path()));
    g_Settings.themeFolder = u"themes/default/";
    g_SoundPlayer = &player_;
    LoadInstrumentSounds();
  }
  void TearDown() override {
    g_SoundPlayer = nullptr;
    fs::current_path(previous_);
  }
  testsupport::TempDir logs_;
  fs::path previous_;
  SoundPlayer player_;
};

TEST_F(SoundTable, EverySoundLoadsAsAudibleMonoPcmAtMatchedLevel) {
  EXPECT_EQ(player_.loadCount.load(), SoundPlayer::kTableSoundCount);
  int loaded = 0;
  for (uint32_t id = 0; id < SoundPlayer::kSlotCount; ++id) {
    const SoundSlot& slot = player_.slots[id];
    if (!slot.loaded) continue;
    ++loaded;
    SCOPED_TRACE("sound id " + std::to_string(id));
    EXPECT_EQ(slot.format.type, platform::audio::SampleType::kPcm);
    EXPECT_EQ(slot.format.sampleRate, 44100u);
    EXPECT_EQ(slot.format.bitsPerSample, 16);
    EXPECT_EQ(slot.format.channels, 1);
    const Levels l = Measure(Samples(slot));
    EXPECT_GT(l.rmsDb, -40.0) << "too quiet";
    EXPECT_LT(l.peakDb, -0.1) << "clips";
    EXPECT_NEAR(l.peakDb, -6.0, 1.0);
    EXPECT_LE(l.leadingMs, 5.0);
    EXPECT_GT(l.seconds, 0.02);
    EXPECT_LT(l.seconds, 6.0);
  }
  EXPECT_EQ(loaded, SoundPlayer::kTableSoundCount);
}

// Each kit against every other: their pieces differ in length and brightness by a
// clear margin on average, not only in the noise that fills them.
TEST_F(SoundTable, SixDrumKitsSoundApart) {
  constexpr int kKits = 6, kPieces = 11;
  std::vector<std::vector<Levels>> kits(kKits);
  for (int k = 0; k < kKits; ++k) {
    for (int p = 0; p < kPieces; ++p) {
      const SoundSlot& slot = player_.slots[k * kPieces + p];
      ASSERT_TRUE(slot.loaded) << "kit " << k + 1 << " piece " << p;
      kits[k].push_back(Measure(Samples(slot)));
    }
  }
  for (int a = 0; a < kKits; ++a) {
    for (int b = a + 1; b < kKits; ++b) {
      double distance = 0;
      for (int p = 0; p < kPieces; ++p) {
        const Levels& x = kits[a][p];
        const Levels& y = kits[b][p];
        distance += std::fabs(std::log(x.seconds / y.seconds)) +
                    std::fabs(std::log(x.crossingsPerSecond / y.crossingsPerSecond)) + std::fabs(x.rmsDb - y.rmsDb) / 6.0;
      }
      EXPECT_GT(distance / kPieces, 0.2) << "kits " << a + 1 << " and " << b + 1 << " sound alike";
    }
  }
}

TEST(ContentStartUp, TheBuiltGameFindsEverySoundPictureAndModel) {
  testsupport::TempDir dir;
  const fs::path copy = gametest::CopyRunFolder(dir.path());
  ASSERT_FALSE(copy.empty()) << "build the velorin target first";
  const std::string log = (copy / "game_log.txt").string();
  const pid_t pid = gametest::StartGame((copy / "velorin").string(), "", true);
  ASSERT_GT(pid, 0);
  // The start-up load reports the sound count once every sound was tried.
  bool ready = false;
  for (int i = 0; i < 6000 && !ready; ++i) {
    ready = gametest::FindLine(gametest::LogTexts(log), "SFX Report:") != nullptr;
    if (!ready) usleep(10000);
  }
  kill(pid, ready ? SIGTERM : SIGKILL);
  long long elapsed = 0;
  gametest::WaitForExit(pid, 20000, &elapsed);
  ASSERT_TRUE(ready) << "the game did not finish loading";
  const auto lines = gametest::LogTexts(log);
  // No sound, picture, model or font of the run folder is missing or unreadable.
  for (const char* failure : {"Could Not Open:", "ERROR! Could Not Load SFX:", "ERROR! Could Not Load Texture:",
                              "ERROR! Could Not Load Model:", "Loading Default:", "Could Not Load:"}) {
    const std::string* line = gametest::FindLine(lines, failure);
    EXPECT_EQ(line, nullptr) << *line;
  }
  EXPECT_NE(gametest::FindLine(lines, "SFX Report:"), nullptr);
}

}  // namespace
