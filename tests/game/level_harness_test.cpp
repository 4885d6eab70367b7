// The level tests' fixtures (level_test_harness.h).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "core/lang_ids.h"
#include "core/shell/shell.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "devices/plug/song_audio_stems.h"
#include "game/shell_services.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/text.h"
#include "song/shell_services.h"
#include "song/song_info.h"
#include "song/song_stems.h"
#include "tests/game/level_test_harness.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/midi_builder.h"
#include "tests/support/strum_bot.h"

namespace leveltest {

std::string ReferenceChart(double firstMs, bool vocals) {
  testsupport::MidiFileBuilder midi(480);
  midi.Track("tempo").Tempo(0, 500000).TimeSignature(0, 4, 2);
  testsupport::MidiTrackBuilder& guitar = midi.Track("PART GUITAR");
  // 500 ms per quarter note: one millisecond is 0.96 ticks.
  const uint32_t first = static_cast<uint32_t>(std::lround(firstMs * 480.0 / 500.0));
  for (int k = 0; k < 12; ++k) guitar.Note(first + 480u * static_cast<uint32_t>(k), 96 + k % 3, 60);
  if (vocals) {
    testsupport::MidiTrackBuilder& v = midi.Track("PART VOCALS");
    v.Note(first, 105, 960).Lyric(first, "Hel-").Lyric(first + 480, "lo");
  }
  return midi.Build();
}

std::u16string WriteSongFolder(const testsupport::TempDir& dir, const std::string& name, const std::string& chart,
                               double seconds, const std::string& extraIni, bool backing) {
  dir.WriteBytes(name + "/song.ini",
                 "[song]\nname = " + name + "\nartist = Tester\ndelay = 0\ncount = 0\n" + extraIni);
  dir.WriteBytes(name + "/notes.mid", chart);
  if (seconds > 0.0) {
    testsupport::OggSpec params;
    params.channels = 2;
    params.rate = 44100;
    params.frames = static_cast<int64_t>(seconds * 44100.0);
    params.signal = testsupport::Sine(440.0, 0.2f, 44100);
    const std::string ogg = testsupport::MakeOgg(params);
    dir.WriteBytes(name + "/guitar.ogg", ogg);
    if (backing) dir.WriteBytes(name + "/song.ogg", ogg);
  }
  return dir.WPath(name) + u"/";
}

std::string IniValue(const std::u16string& folder, const std::string& key) {
  std::string bytes;
  if (!platform::ReadWholeFile(folder + u"song.ini", bytes)) return std::string();
  size_t pos = 0;
  std::string found;
  while (pos < bytes.size()) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string k, v;
    if (SplitSongIniLine(line, k, v) && k == key) found = v;
    pos = end + 1;
  }
  return found;
}

bool ChartBot::GetEvents(InputEvent* events, int32_t& count) {
  count = 0;
  LevelState& level = Level();
  if (!level.players || index_ >= level.playerCount) return true;
  const Player& p = level.players[static_cast<size_t>(index_)];
  auto push = [&](uint32_t id, bool pressed, int32_t value) {
    if (count >= static_cast<int32_t>(kMaxFetchEvents)) return;
    InputEvent& e = events[count++];
    e = InputEvent();
    e.id = id;
    e.pressed = pressed;
    e.value = value;
  };
  if (pauseOnce) {
    pauseOnce = false;
    push(button::kStart, true, kDigitalPressValue);
    return true;
  }
  if (pressOnce != 0) {
    push(pressOnce, true, kDigitalPressValue);
    pressOnce = 0;
    return true;
  }
  const double t = p.songTime;
  if (t < lastTime_ - 100.0) Reset();
  lastTime_ = t;
  const auto lanes = testsupport::TakeDueChord(p, t, handled_);
  if (!lanes) return true;
  if (skip.count(chords_++)) return true;
  testsupport::PressChord(*lanes, held_, events, count);
  return true;
}

void RecordingMenus::ApplyRemotePlayer(int32_t id, int32_t a5, bool f1, bool f2, bool f0, const uint8_t (&a3)[4],
                                       const uint8_t (&a4)[3], bool f3, const std::string& name) {
  std::string s = "RemotePlayer:" + std::to_string(id) + ":" + std::to_string(a5) + ":" + (f1 ? "1" : "0") +
                  (f2 ? "1" : "0") + (f0 ? "1" : "0");
  for (uint8_t b : a3) s += ":" + std::to_string(b);
  for (uint8_t b : a4) s += ":" + std::to_string(b);
  s += std::string(":") + (f3 ? "1" : "0") + ":" + name;
  calls.push_back(s);
}

int32_t RecordingSfx::Count(int32_t id) const {
  int32_t n = 0;
  for (int32_t p : played) n += p == id ? 1 : 0;
  return n;
}

std::vector<int32_t> RecordingNet::Codes() const {
  std::vector<int32_t> out;
  for (const GameMessage& m : sent) out.push_back(m.code);
  return out;
}

Watchdog::Watchdog(int seconds, std::string what) {
  thread_ = std::thread([this, seconds, what] {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
      std::fprintf(stderr, "Time-out: %s did not finish within %d s\n", what.c_str(), seconds);
      std::abort();
    }
  });
}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

LevelTestBase::LevelTestBase() : saved_(g_Settings) {
  dir.MakeDir("settings");
  dir.MakeDir("profiles");
  SetSongStemsFactory(nullptr);
  Settings& s = g_Settings;
  s.configPath = u"settings/config.ini";
  s.SYNCMETHOD = 0;
  s.AUDIOCALIBRATION = 0;
  s.VIDEOCALIBRATION = 0;
  s.BACKGROUND = 4;  // none: no background files to look for
  s.DEBUGMODE = false;
  s.DRUNK = false;
  s.NOFAILMODE = 0;
  s.LYRICS = 1;
  s.RECORDGAMEPLAY = false;
  s.USESONGVID = false;
  s.USESONGIMAGE = false;
  s.language.index = 0;
  for (int id = LANG("LANG_SCORE_ERROR_DEBUG_MODE"); id <= LANG("LANG_SCORE_ERROR_BOT"); ++id)
    s.language.tables[0].entries[static_cast<size_t>(id)] = u"reason " + platform::FormatIntW(id);
  Session().Reset();
  ResetLevelState();
  shell::GameState.store(2);
  shell::TaskStep.store(0);
  songs = std::make_unique<Song[]>(kSongSlotCount);
  Session().songs = songs.get();
  Session().menus = &menus;
  Session().sound = &sfx;
}

LevelTestBase::~LevelTestBase() {
  ResetLevelState();
  Session().Reset();
  for (int32_t i = 0; i < kSongSlotCount; ++i) songs[static_cast<size_t>(i)].FreeParts();
  shell::GameState.store(0);
  shell::TaskStep.store(0);
  SetSongStemsFactory(nullptr);
  g_Settings = saved_;
}

ShellRun::ShellRun(const std::u16string& folder) {
  EXPECT_TRUE(platform::audio::testing::UseLoopback(44100));
  shell::Services services;
  song::RegisterShellServices(services);
  SetSongStemsFactory(&devices::MakeSongAudioStems);
  game::RegisterShellServices(services);
  // The stems' pump, as the devices serve it (their registration would start the
  // input layer, which these runs do without).
  services.song.updateSongAudio = [](int slot) {
    Song* song = song::SongSlot(slot);
    return song && song->audio && song->audio->Audio() ? song->audio->Audio()->Update() : false;
  };
  services.song.longestStemSeconds = [](int slot) {
    Song* song = song::SongSlot(slot);
    return song && song->audio && song->audio->Audio() ? static_cast<double>(song->audio->Audio()->songLength) : 0.0;
  };
  // The start-up load makes the slots; the menus choose the song.
  services.song.createSongSlots();
  song::SongSlot(0)->folder = folder;
  Session().songs = nullptr;
  shell::AttachForTesting(&framework, std::move(services));
  shell::SingletonState made{};
  made.songSlots = true;
  made.sceneContext = true;
  shell::SetSingletonsForTesting(made);
  shell::StartLoadingScreen();
}

ShellRun::~ShellRun() {
  shell::Shutdown();  // frees the song slots with their stems
  ResetLevelState();
  // The stems' engines are gone: the audio device can go back.
  EXPECT_TRUE(platform::audio::testing::UseDefaultDevice());
}

Song& ShellRun::CurrentSong() { return *song::SongSlot(0); }

bool ShellRun::Load() {
  shell::GameState.store(3);
  Session().songLoadStart = true;
  const uint32_t start = platform::TimeGetTime();
  while (shell::GameState.load() == 3) {
    shell::UpdateFrame();
    platform::SleepMs(5);
    if (platform::TimeGetTime() - start > 20000) return false;
  }
  return shell::GameState.load() == 2;
}

void ShellRun::Frame() {
  platform::audio::testing::Render(441);
  shell::UpdateFrame();
  platform::SleepMs(1);
  ++frames;
}

bool ShellRun::PlayToEnd() {
  for (int i = 0; i < 4000; ++i) {
    if (Session().ingame.songFinished) return true;
    Frame();
  }
  return false;
}

bool ShellRun::PlayUntil(double ms) {
  for (int i = 0; i < 4000; ++i) {
    if (LevelSongTime() >= ms) return true;
    Frame();
  }
  return false;
}

void ShellRun::Act(InGameAction action) {
  Session().ingame.actionPending = true;
  Session().ingame.action = action;
  Frame();
}

}  // namespace leveltest
