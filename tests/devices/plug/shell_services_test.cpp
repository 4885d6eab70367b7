// The devices and the song data as the application shell calls them through its
// service table: the song slots and their audio pump, the sound player's life, the
// silent run without a sound device, the controller manager with the keyboard and an
// XInput pad, and the text-entry field.
#include "devices/shell_services.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/settings.h"
#include "devices/audio/sound_player.h"
#include "devices/input/ctrl.h"
#include "devices/input/text_field.h"
#include "platform/input/device_store.h"
#include "platform/threads.h"
#include "song/shell_services.h"
#include "tests/devices/audio/audio_test_env.h"

namespace {

using audiotest::kRate;

class ShellServicesTest : public audiotest::LoopbackTest {
 protected:
  void SetUp() override {
    LoopbackTest::SetUp();
    song::RegisterShellServices(services_);
    devices::RegisterShellServices(services_);
  }
  void TearDown() override {
    if (g_CtrlMain) services_.devices.destroyCtrlMain();
    if (g_SoundPlayer) services_.devices.destroySoundPlayer();
    services_.song.destroySongSlots();
    SetSongStemsFactory(nullptr);
    TextEntry::Reset();
    LoopbackTest::TearDown();
  }

  bool LogHas(const std::string& text) const {
    const auto lines = dir_.GameLogTexts();
    return std::find(lines.begin(), lines.end(), text) != lines.end();
  }

  shell::Services services_;
};

TEST_F(ShellServicesTest, EveryDevicesEntryAndTheSongDataEntriesAreFilled) {
  const shell::DeviceServices& d = services_.devices;
  const shell::SongServices& s = services_.song;
  const std::pair<const char*, bool> entries[] = {
      {"createSoundPlayer", bool(d.createSoundPlayer)}, {"destroySoundPlayer", bool(d.destroySoundPlayer)},
      {"soundsLoaded", bool(d.soundsLoaded)},           {"loadInstrumentSounds", bool(d.loadInstrumentSounds)},
      {"createCtrlMain", bool(d.createCtrlMain)},       {"scanDevices", bool(d.scanDevices)},
      {"xinputPoll", bool(d.xinputPoll)},               {"clearAllEvents", bool(d.clearAllEvents)},
      {"deviceChange", bool(d.deviceChange)},           {"destroyCtrlMain", bool(d.destroyCtrlMain)},
      {"xinputEnable", bool(d.xinputEnable)},           {"textEntryOnKey", bool(d.textEntryOnKey)},
      {"createSongSlots", bool(s.createSongSlots)},     {"destroySongSlots", bool(s.destroySongSlots)},
      {"updateSongAudio", bool(s.updateSongAudio)},     {"longestStemSeconds", bool(s.longestStemSeconds)},
      {"isCalibrationSong", bool(s.isCalibrationSong)},
  };
  for (const auto& [name, filled] : entries) EXPECT_TRUE(filled) << name;
  // Every song's audio is played by the devices layer from now on.
  std::unique_ptr<SongStems> stems = MakeSongStems();
  ASSERT_NE(stems, nullptr);
  EXPECT_NE(stems->Audio(), nullptr);
}

TEST_F(ShellServicesTest, SongSlotsTheirCalibrationFlagAndTheMusicThreadsPump) {
  shell::SongServices& s = services_.song;
  // Before the start-up load made them, the asking entries find nothing.
  EXPECT_EQ(song::SongSlots(), nullptr);
  EXPECT_FALSE(s.updateSongAudio(0));
  EXPECT_EQ(s.longestStemSeconds(0), 0.0);
  EXPECT_FALSE(s.isCalibrationSong(0));

  s.createSongSlots();
  Song* slots = song::SongSlots();
  ASSERT_NE(slots, nullptr);
  for (int i = 0; i < kSongSlotCount; ++i) {
    EXPECT_EQ(slots[i].folder, u"NO PATH");
    EXPECT_EQ(slots[i].audio, nullptr);
  }
  for (int bad : {-1, kSongSlotCount, 1000}) {
    EXPECT_EQ(song::SongSlot(bad), nullptr) << bad;
    EXPECT_FALSE(s.updateSongAudio(bad)) << bad;
    EXPECT_EQ(s.longestStemSeconds(bad), 0.0) << bad;
    EXPECT_FALSE(s.isCalibrationSong(bad)) << bad;
  }
  s.createSongSlots();
  EXPECT_EQ(song::SongSlots(), slots) << "the slots are made once";

  // The calibration flag comes from the slot's song information.
  Song& calibration = slots[3];
  EXPECT_FALSE(s.isCalibrationSong(3));
  calibration.info = std::make_unique<SongInfo>();
  EXPECT_FALSE(s.isCalibrationSong(3));
  calibration.info->vl_calibrator = true;
  EXPECT_TRUE(s.isCalibrationSong(3));

  // A slot with stems is pumped; one without is not.
  dir_.MakeDir("song");
  WriteTone("song/guitar.ogg", kRate);
  WriteTone("song/song.ogg", kRate * 5 / 4);
  Song& playing = slots[2];
  playing.folder = WPath("song");
  ASSERT_TRUE(playing.LoadAudio(&g_Settings.mixer, false));
  EXPECT_TRUE(s.updateSongAudio(2));
  EXPECT_FALSE(s.updateSongAudio(1));
  EXPECT_NEAR(s.longestStemSeconds(2), 1.25, 0.01);
  EXPECT_GT(platform::audio::testing::LiveEngineCount(), 0u);

  s.destroySongSlots();
  EXPECT_EQ(song::SongSlots(), nullptr);
  EXPECT_EQ(platform::audio::testing::LiveEngineCount(), 0u) << "the songs' audio goes with the slots";
  EXPECT_FALSE(s.updateSongAudio(2));
}

TEST_F(ShellServicesTest, SoundPlayerIsMadeLoadedAndEndedWithTheAudioDevice) {
  shell::DeviceServices& d = services_.devices;
  d.createSoundPlayer();
  ASSERT_NE(g_SoundPlayer, nullptr);
  EXPECT_TRUE(g_SoundPlayer->hasMastering);
  EXPECT_EQ(d.soundsLoaded(), 0);

  testsupport::WavSpec wav;
  wav.data = testsupport::Pcm16Bytes(std::vector<int16_t>(2205, 1000));
  dir_.WriteBytes("data/sfx/drumkit1/Drum_Bass.wav", testsupport::MakeWav(wav));
  platform::InvalidatePathCache();
  d.loadInstrumentSounds();
  EXPECT_TRUE(g_SoundPlayer->slots[0].loaded);
  EXPECT_FALSE(g_SoundPlayer->slots[1].loaded);
  EXPECT_EQ(d.soundsLoaded(), g_SoundPlayer->loadCount.load());
  EXPECT_GE(d.soundsLoaded(), 250);
  EXPECT_GE(g_SoundPlayer->Play(0, 1.0f, 1.0f), 1);
  EXPECT_FALSE(LogHas("No Sound Device Found: Playing Silent"));

  d.destroySoundPlayer();
  EXPECT_EQ(g_SoundPlayer, nullptr);
  EXPECT_EQ(d.soundsLoaded(), 0);
  EXPECT_FALSE(platform::audio::GetDeviceInfo().open) << "the audio device is closed at the end";
}

TEST_F(ShellServicesTest, WithoutASoundDeviceTheGameSaysSoAndPlaysSilent) {
  ::setenv("VELORIN_AUDIO", "null", 1);
  ASSERT_TRUE(platform::audio::testing::UseDefaultDevice());
  shell::DeviceServices& d = services_.devices;
  d.createSoundPlayer();
  ASSERT_NE(g_SoundPlayer, nullptr);
  EXPECT_TRUE(g_SoundPlayer->hasMastering) << "the silent device takes voices like a real one";
  EXPECT_TRUE(platform::audio::GetDeviceInfo().silent);
  EXPECT_TRUE(LogHas("No Sound Device Found: Playing Silent"));
  d.destroySoundPlayer();
  ::unsetenv("VELORIN_AUDIO");
  EXPECT_FALSE(platform::audio::GetDeviceInfo().open);
}

// The keyboard record of a key press queued through SDL, as the window's pump would.
void PushKey(SDL_Scancode key, bool down) {
  SDL_Event e;
  SDL_zero(e);
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.scancode = key;
  e.key.timestamp = SDL_GetTicks();
  ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

CtrlDevice* KeyboardOf(CtrlMain& ctrl) {
  for (int i = 0; i < ctrl.count; ++i) {
    if (ctrl.devices[i].keyboardMarker == 1) return &ctrl.devices[i];
  }
  return nullptr;
}

TEST_F(ShellServicesTest, TheKeyboardReachesTheControllerManagerThroughTheWindowsEvents) {
  shell::DeviceServices& d = services_.devices;
  d.xinputEnable(true);  // the window's first activation comes before the manager
  d.createCtrlMain(false);
  ASSERT_NE(g_CtrlMain, nullptr);
  EXPECT_EQ(g_CtrlMain->xinput, 0);
  EXPECT_EQ(g_CtrlMain->count, 0);
  d.scanDevices(true);
  CtrlDevice* keyboard = KeyboardOf(*g_CtrlMain);
  ASSERT_NE(keyboard, nullptr);
  EXPECT_TRUE(keyboard->connected.load());
  if (SDL_NumJoysticks() == 0) {
    EXPECT_TRUE(LogHas("No Game Controllers Found: Keyboard Only"));
  }

  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  PushKey(SDL_SCANCODE_A, true);
  PushKey(SDL_SCANCODE_A, false);
  platform::input::DiRecord records[platform::input::kBufferSize];
  int32_t n = 0;
  ASSERT_TRUE(keyboard->ReadBuffered(records, &n));
  ASSERT_EQ(n, 2);
  EXPECT_EQ(records[0].ofs, 30u);  // the DirectInput code of A
  EXPECT_EQ(records[0].data, 0x80u);
  EXPECT_EQ(records[1].data, 0u);

  // Pending key records go when the shell discards every controller's events.
  PushKey(SDL_SCANCODE_S, true);
  d.clearAllEvents();
  ASSERT_TRUE(keyboard->ReadBuffered(records, &n));
  EXPECT_EQ(n, 0);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

  d.deviceChange();
  EXPECT_TRUE(LogHas("CtrlDevice::DeviceChange():Device Added/Removed Event Detected"));
  EXPECT_EQ(KeyboardOf(*g_CtrlMain), keyboard) << "a rescan keeps the keyboard's slot";

  d.destroyCtrlMain();
  EXPECT_EQ(g_CtrlMain, nullptr);
  d.xinputPoll();  // after the manager is gone the entries do nothing
  d.clearAllEvents();
  d.deviceChange();
}

TEST_F(ShellServicesTest, PadsArePolledForTheCtrlThreadAndGoQuietWithTheWindow) {
  ASSERT_NE(platform::CreateNamedMutex(kCtrlMutexName), nullptr);  // as the shell makes it at start
  shell::DeviceServices& d = services_.devices;
  d.createCtrlMain(true);
  ASSERT_NE(g_CtrlMain, nullptr);
  EXPECT_EQ(g_CtrlMain->count, 4);
  auto* store = dynamic_cast<platform::input::DeviceStore*>(g_CtrlMain->input);
  ASSERT_NE(store, nullptr);
  store->AttachPad(0, 0x02EA045E, 1);
  d.scanDevices(true);
  CtrlDevice& pad = g_CtrlMain->devices[0];
  ASSERT_TRUE(pad.connected.load());

  auto pressedIds = [&] {
    InputEvent events[kMaxFetchEvents];
    int32_t n = 0;
    pad.GetEvents(events, &n);
    std::vector<uint32_t> ids;
    for (int32_t i = 0; i < n; ++i)
      if (events[i].pressed) ids.push_back(events[i].id);
    return ids;
  };
  platform::input::XReport report;
  report.buttons = platform::input::kXStart;
  store->AddReport(0, report);
  d.xinputPoll();
  EXPECT_EQ(pressedIds(), std::vector<uint32_t>{18});

  // The window lost focus: what the pad sends meanwhile is not kept.
  d.xinputEnable(false);
  report.buttons = platform::input::kXStart | platform::input::kXBack;
  store->AddReport(0, report);
  d.xinputPoll();
  EXPECT_TRUE(pressedIds().empty());

  d.xinputEnable(true);
  report.buttons = platform::input::kXBack;
  store->AddReport(0, report);
  d.xinputPoll();
  EXPECT_EQ(pressedIds(), std::vector<uint32_t>{19});
  store->DetachPad(0);
}

TEST_F(ShellServicesTest, EveryKeyPressGoesToTheTextField) {
  std::string name = "ab";
  g_TextField.Bind(&name);
  g_TextField.maxLength = 4;
  for (uint32_t vk : {uint32_t('4'), uint32_t('Z'), uint32_t('7')}) services_.devices.textEntryOnKey(vk);
  EXPECT_EQ(name, "ab4z");  // the fourth character finds no room
  services_.devices.textEntryOnKey(0x08);
  EXPECT_EQ(name, "ab4");
}

}  // namespace
