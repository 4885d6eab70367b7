// What every menu screen reaches outside itself: the theme it draws through, the
// controllers and the players joined on them, sounds, language texts, the clock, the
// game client, the song library and the session the chosen songs and players go to.
// The game fills it over the real subsystems (menus/shell_services.cpp); tests fill
// it with a recording theme, scripted controllers and a fake clock. Each entry is a
// callback; an empty one does the documented default, so a screen never checks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "devices/input/input_event.h"
#include "song/profile.h"
#include "theme/theme_element.h"

class Settings;
class SongList;
struct LevelSession;
class LevelController;

namespace menus {

// Menu numbers: the manager's `current` and every screen's request.
enum class Menu : int32_t {
  kMain = 0,
  kSongSelect = 1,
  kPlayerSelect = 2,
  kOptions = 3,
  kCalibration = 4,
  kDisplay = 5,
  kNetwork = 6,
  kStartSong = 7,
  kQuit = 9,
  kLobby = 10,
  kOsd = 11,
  kAudio = 12,
  kServerList = 13,
  kExtras = 14,
  kAchievements = 15,
  kCredits = 16,
  kSongOptions = 17,
  kCareer = 20,
  kCareerProfile = 21,
  kDonate = 22,
  kMusicStudio = 23,
  kSearch = 24,
  kJukeboxPrevious = 63,
  kJukeboxNext = 64,
  kShowJukeboxSong = 65,
  kApplyOptions = 99,
};

// Menu sounds, played at frequency ratio and volume 1.0.
enum class Sound : uint32_t {
  kBack = 104,
  kConfirm = 105,
  kJoined = 106,
  kGameType = 107,
  kRefused = 109,
};

// One row of a theme list: its three state bytes and its text. The list element reads
// the rows through the pointer it was given at every draw.
using ListRow = theme::MenuListEntry;

// A decoded picture (RGBA, top row first) handed to a theme's image element.
struct Picture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
};

// One screen's theme document as the screen speaks to it: by element name only.
// Rows are addressed by their index as decimal text; an empty row is the whole element.
class ScreenTheme {
 public:
  virtual ~ScreenTheme() = default;
  // The list element shows `count` rows and follows *selected from now on.
  virtual void SetListItems(const std::string& list, const ListRow* rows, const int32_t* selected,
                            int32_t count) = 0;
  virtual void TriggerEvent(const std::string& element, const std::string& row, const std::string& event) = 0;
  virtual void SetText(const std::string& element, const std::u16string& text) = 0;
  virtual std::u16string GetText(const std::string& element) const = 0;
  // The characters first..last (inclusive, UTF-16 indices) of a text drawn in its
  // highlight colour; -1, -1 for none.
  virtual void SetTextHighlight(const std::string& element, int32_t first, int32_t last) {
    (void)element, (void)first, (void)last;
  }
  // Null gives the element its own image back. The theme keeps its own reference.
  virtual void SetImage(const std::string& element, std::shared_ptr<const Picture> picture) = 0;
  virtual void Render(float x, float y, float scale) = 0;
  // Every running animation stopped, and every element back at its loaded state, so
  // a screen shown again starts as it did the first time.
  virtual void StopAnimations() {}
  virtual void ResetElements() {}
  // A command to the document's background video, when it plays one.
  virtual void ControlVideo(int32_t command) { (void)command; }
};

// A stream the preview thread plays: made and ended on that thread.
class PreviewStream {
 public:
  virtual ~PreviewStream() = default;
  virtual void Update() = 0;
  virtual void Stop() = 0;
};

// The jukebox's song audio, pumped by the Music thread.
class MenuMusic {
 public:
  virtual ~MenuMusic() = default;
  virtual bool IsFinished() = 0;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void Pause() = 0;
  virtual void Restart() = 0;  // from the beginning, then running
  virtual void FadeOut(uint32_t ms) = 0;
  virtual void Update() = 0;
};

// The network message the screens send (type, code, a2..a7, two strings).
struct NetOut {
  int32_t type = 0;
  int32_t code = 0;
  std::array<int32_t, 6> args{};  // a2..a7
  std::string str1, str2;
  int32_t& a2() { return args[0]; }
  int32_t& a3() { return args[1]; }
  int32_t& a4() { return args[2]; }
  int32_t& a5() { return args[3]; }
};

constexpr int32_t kMaxControllers = 20;

// What the menus keep per controller: whether a player joined on it, the player's
// profile and the requests the drop-down box raises for the manager.
struct Seat {
  bool inPlay = false;
  Profile profile;
  bool boxOpen = false;          // the drop-down box is shown
  bool boxOpenEvent = false;     // the box was opened or closed this frame
  bool editProfileRequest = false;
  bool midiLinkRequest = false;
  bool profileLoadRequest = false;
  bool kindChanged = false;
  int32_t defaultKind = 3;       // the kind the drop-down sets; copied to the device
};

struct MenuContext {
  Settings* settings = nullptr;
  LevelSession* session = nullptr;  // the set list, the players, the mode flags
  SongList* songList = nullptr;     // the whole library, for the jukebox
  std::u16string profilesFolder = u"profiles/";
  // Theme documents.
  std::function<std::unique_ptr<ScreenTheme>(const std::string& document, const std::u16string& folder)>
      loadTheme;
  std::unique_ptr<ScreenTheme> LoadTheme(const std::string& document, const std::u16string& folder) const {
    return loadTheme ? loadTheme(document, folder) : nullptr;
  }
  // Language text by LANG_ id.
  std::function<std::u16string(int32_t id)> text;
  std::u16string Text(int32_t id) const { return text ? text(id) : std::u16string(); }
  std::function<void(Sound)> playSound;
  void PlaySound(Sound s) const { if (playSound) playSound(s); }
  // Milliseconds (timeGetTime); the tests' clock is a counter.
  std::function<uint32_t()> now;
  uint32_t Now() const { return now ? now() : 0; }
  // A fresh depth buffer, so what is drawn next lies over what was drawn before.
  std::function<void()> clearDepth;
  void ClearDepth() const { if (clearDepth) clearDepth(); }
  std::function<uint32_t()> random;
  uint32_t Random() const { return random ? random() : 0; }

  // Controllers. Events are fetched per controller (at most 150 a frame).
  std::function<int32_t()> controllerCount;
  int32_t ControllerCount() const { return controllerCount ? controllerCount() : 0; }
  std::function<int32_t(int32_t index, InputEvent* events)> getEvents;
  int32_t GetEvents(int32_t index, InputEvent* events) const { return getEvents ? getEvents(index, events) : 0; }
  std::function<bool(int32_t)> anyButtonDown;
  bool AnyButtonDown(int32_t i) const { return anyButtonDown ? anyButtonDown(i) : false; }
  std::function<bool(int32_t)> identify;  // DetectXInput / DetectSettings
  bool Identify(int32_t i) const { return identify ? identify(i) : false; }
  std::function<bool(int32_t)> present;
  bool Present(int32_t i) const { return present ? present(i) : true; }
  std::function<int32_t(int32_t)> kind;
  int32_t Kind(int32_t i) const { return kind ? kind(i) : 3; }
  std::function<void(int32_t, int32_t)> setKind;
  void SetKind(int32_t i, int32_t k) const { if (setKind) setKind(i, k); }
  std::function<bool(int32_t)> isKeyboard;
  bool IsKeyboard(int32_t i) const { return isKeyboard ? isKeyboard(i) : false; }
  std::function<int32_t(int32_t)> drumLanes;
  int32_t DrumLanes(int32_t i) const { return drumLanes ? drumLanes(i) : 4; }
  std::function<void(int32_t)> clearEvents;
  void ClearEvents(int32_t i) const { if (clearEvents) clearEvents(i); }
  std::function<void()> clearHeld;
  void ClearHeld() const { if (clearHeld) clearHeld(); }
  std::function<void(bool)> resetHeld;
  void ResetHeld(bool on) const { if (resetHeld) resetHeld(on); }
  // A video command (0 run muted .. 5 restore after a device reset) to every theme's
  // background video, the in-game screens' included.
  std::function<void(int32_t command)> controlAllVideos;
  void ControlAllVideos(int32_t command) const { if (controlAllVideos) controlAllVideos(command); }
  std::function<void()> clearAllEvents;
  void ClearAllEvents() const { if (clearAllEvents) clearAllEvents(); }
  // The keyboard key's display name bound to a button id; empty when none.
  std::function<std::u16string(uint32_t button)> keyName;
  std::u16string KeyName(uint32_t b) const { return keyName ? keyName(b) : std::u16string(); }
  // The level's view of a controller (owned by whoever fills this).
  std::function<LevelController*(int32_t)> levelController;
  LevelController* ControllerFor(int32_t i) const { return levelController ? levelController(i) : nullptr; }
  std::function<void(const std::string&)> showAlert;  // a message the player must see

  // Game client (offline when empty).
  std::function<bool()> connected;
  bool Connected() const { return connected ? connected() : false; }
  std::function<int32_t()> ownId;
  int32_t OwnId() const { return ownId ? ownId() : -1; }
  std::function<void(const NetOut&)> send;
  void Send(const NetOut& m) const { if (send) send(m); }

  // Audio: the preview (made on the preview thread) and the jukebox.
  std::function<std::unique_ptr<PreviewStream>(const std::u16string& folder, double start, int32_t type)>
      loadPreview;
  std::function<std::unique_ptr<MenuMusic>(const std::u16string& folder)> loadMusic;
  // The jukebox's hold on the Music thread: pause asks it to stop streaming and waits
  // (bounded) until it has; false when the thread was not running. Empty: no thread.
  std::function<bool(uint32_t timeoutMs)> pauseMusicThread;
  std::function<void()> resumeMusicThread;
  // Pictures, decoded off the main thread; null when the file is missing or bad.
  std::function<std::shared_ptr<const Picture>(const std::u16string& path)> decodePicture;
  // Opens a web address (only http and https ever reach it).
  std::function<void(const std::string&)> openUrl;

  std::array<Seat, kMaxControllers> seats{};
};

}  // namespace menus
