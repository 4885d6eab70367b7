#include "devices/shell_services.h"

#include <memory>
#include <mutex>
#include <string>

#include "core/log.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "devices/audio/sound_player.h"
#include "devices/input/ctrl.h"
#include "devices/input/text_field.h"
#include "devices/plug/song_audio_stems.h"
#include "platform/audio/audio.h"
#include "platform/input/sdl_event_watch.h"
#include "platform/midi/rtmidi_backend.h"
#include "song/shell_services.h"

namespace devices {

namespace {

// The input layer under the controller manager. The SDL part is started on the main
// thread, before the window (SDL starts its subsystems there); the MIDI part with
// the manager, which enumerates its devices.
class InputLayer {
 public:
  ~InputLayer() { StopSdl(); }

  void StartSdl() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sdl_) sdl_ = std::make_unique<platform::input::WatchedSdlInput>();
  }

  void StopSdl() {
    std::lock_guard<std::mutex> lock(mutex_);
    sdl_.reset();
  }

  platform::input::SdlInputBackend* Sdl() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sdl_ ? &sdl_->Backend() : nullptr;
  }

  platform::midi::MidiBackend* StartMidi() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!midi_) midi_ = std::make_unique<platform::midi::RtMidiBackend>();
    return midi_.get();
  }

  void StopMidi() {
    std::lock_guard<std::mutex> lock(mutex_);
    midi_.reset();
  }

 private:
  std::mutex mutex_;
  std::unique_ptr<platform::input::WatchedSdlInput> sdl_;
  std::unique_ptr<platform::midi::RtMidiBackend> midi_;
};

InputLayer& Input() {
  static InputLayer layer;
  return layer;
}

void CreateSoundPlayer() {
  if (g_SoundPlayer) return;
  g_SoundPlayer = new SoundPlayer();
  if (!g_SoundPlayer->hasMastering) {
    LogNarrow("No Sound Output: Sound Effects And Music Are Off");
    return;
  }
  const platform::audio::DeviceInfo device = platform::audio::GetDeviceInfo();
  if (device.silent) LogNarrow("No Sound Device Found: Playing Silent");
}

void DestroySoundPlayer() {
  delete g_SoundPlayer;
  g_SoundPlayer = nullptr;
  // Every engine is gone by now (the songs and the menus freed theirs before).
  platform::audio::Shutdown();
}

void CreateCtrlMain(bool xinput) {
  if (g_CtrlMain) return;
  platform::input::SdlInputBackend* sdl = Input().Sdl();  // started by the registration
  if (!sdl->Ok()) LogNarrow("Game Controllers Unavailable: " + sdl->Error());
  g_CtrlMain = new CtrlMain(xinput, sdl, Input().StartMidi());
}

bool AnyGameController(const CtrlMain& ctrl) {
  for (int i = 0; i < ctrl.count && i < CtrlMain::kMaxDevices; ++i) {
    const CtrlDevice& d = ctrl.devices[i];
    if (d.connected.load() && d.keyboardMarker != 1) return true;
  }
  return false;
}

void ScanDevices(bool windowActive) {
  if (!g_CtrlMain) return;
  g_CtrlMain->ScanDevices(windowActive);
  if (!AnyGameController(*g_CtrlMain)) LogNarrow("No Game Controllers Found: Keyboard Only");
}

void DestroyCtrlMain() {
  delete g_CtrlMain;  // stops the MIDI-in devices first
  g_CtrlMain = nullptr;
  Input().StopMidi();
}

SongAudio* SlotAudio(int slot) {
  Song* song = song::SongSlot(slot);
  return song && song->audio ? song->audio->Audio() : nullptr;
}

}  // namespace

void RegisterShellServices(shell::Services& services) {
  Input().StartSdl();
  SetSongStemsFactory(&MakeSongAudioStems);

  shell::DeviceServices& d = services.devices;
  d.createSoundPlayer = CreateSoundPlayer;
  d.destroySoundPlayer = DestroySoundPlayer;
  d.soundsLoaded = [] { return g_SoundPlayer ? static_cast<int>(g_SoundPlayer->loadCount.load()) : 0; };
  d.loadInstrumentSounds = LoadInstrumentSounds;
  d.createCtrlMain = CreateCtrlMain;
  d.scanDevices = ScanDevices;
  d.xinputPoll = [] {
    if (g_CtrlMain) g_CtrlMain->XInputPoll();
  };
  d.xinputPadsConnected = [] {
    if (!g_CtrlMain || !g_CtrlMain->xinput) return false;
    for (int i = 0; i < 4; ++i)
      if (g_CtrlMain->devices[i].connected.load()) return true;
    return false;
  };
  d.clearAllEvents = [] {
    if (g_CtrlMain) g_CtrlMain->ClearAllEvents();
  };
  d.deviceChange = [] {
    if (g_CtrlMain) g_CtrlMain->DeviceChange(shell::WindowActive.load());
  };
  d.destroyCtrlMain = DestroyCtrlMain;
  d.xinputEnable = [](bool enable) {
    // The pads follow the window from its first activation on, before the manager
    // exists too.
    if (platform::input::SdlInputBackend* sdl = Input().Sdl()) sdl->XInputEnable(enable);
  };
  d.textEntryOnKey = [](uint32_t virtualKey) { TextEntry::OnKey(virtualKey); };

  // The song data cannot reach the stem player; its audio entries are served here.
  shell::SongServices& s = services.song;
  s.updateSongAudio = [](int slot) {
    SongAudio* audio = SlotAudio(slot);
    return audio ? audio->Update() : false;
  };
  s.longestStemSeconds = [](int slot) {
    SongAudio* audio = SlotAudio(slot);
    if (!audio) return 0.0;
    std::lock_guard<std::recursive_mutex> lock(audio->mutex);
    return static_cast<double>(audio->songLength);
  };
}

}  // namespace devices
