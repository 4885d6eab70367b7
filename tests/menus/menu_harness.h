// The menus' test harness: a theme that records what the screens tell it, controllers
// fed from per-frame scripts, a clock the test moves, recorded sounds and network
// sends, and a music folder of small songs in a temporary folder.
#pragma once

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "game/level/level_session.h"
#include "menus/menu_context.h"
#include "menus/menu_manager.h"
#include "song/song.h"
#include "tests/support/test_support.h"

namespace menustest {

struct ThemeEvent {
  std::string element, row, event;
  bool operator==(const ThemeEvent&) const = default;
};

class RecordingTheme : public menus::ScreenTheme {
 public:
  explicit RecordingTheme(std::string doc) : document(std::move(doc)) {}
  void SetListItems(const std::string& list, const menus::ListRow* rows, const int32_t* selected,
                    int32_t count) override {
    lists[list] = {rows, selected, count};
  }
  void TriggerEvent(const std::string& element, const std::string& row, const std::string& event) override {
    events.push_back({element, row, event});
  }
  void SetText(const std::string& element, const std::u16string& text) override { texts[element] = text; }
  std::u16string GetText(const std::string& element) const override {
    auto it = texts.find(element);
    return it == texts.end() ? std::u16string() : it->second;
  }
  void SetImage(const std::string& element, std::shared_ptr<const menus::Picture> picture) override {
    images[element] = std::move(picture);
  }
  void SetTextHighlight(const std::string& element, int32_t first, int32_t last) override {
    highlights[element] = {first, last};
  }
  void Render(float x, float y, float scale) override {
    ++renders;
    lastRender = {x, y, scale};
  }
  void StopAnimations() override { ++animationStops; }
  void ResetElements() override { ++elementResets; }
  void ControlVideo(int32_t command) override { videoCommands.push_back(command); }

  int Count(const ThemeEvent& e) const { return static_cast<int>(std::count(events.begin(), events.end(), e)); }
  std::u16string Row(const std::string& list, int32_t i) const {
    auto it = lists.find(list);
    if (it == lists.end() || i < 0 || i >= it->second.count) return u"<none>";
    return it->second.rows[i].text;
  }
  int32_t Selected(const std::string& list) const {
    auto it = lists.find(list);
    return it == lists.end() || !it->second.selected ? -1 : *it->second.selected;
  }

  struct Bound {
    const menus::ListRow* rows = nullptr;
    const int32_t* selected = nullptr;
    int32_t count = 0;
  };
  std::string document;
  std::vector<ThemeEvent> events;
  std::map<std::string, std::u16string> texts;
  std::map<std::string, Bound> lists;
  std::map<std::string, std::shared_ptr<const menus::Picture>> images;
  std::map<std::string, std::pair<int32_t, int32_t>> highlights;
  int renders = 0;
  int animationStops = 0, elementResets = 0;
  std::vector<int32_t> videoCommands;
  struct Placement {
    float x = 0.0f, y = 0.0f, scale = 0.0f;
  } lastRender;
};

// One scripted controller.
struct FakeController {
  int32_t kind = 3;
  bool identifies = true;
  bool keyboard = false;
  std::deque<std::vector<InputEvent>> frames;  // one batch per fetch
  int anyDown = 0;  // frames with a button held that is not yet a player
};

class MenuHarness {
 public:
  explicit MenuHarness(int controllers = 2);
  ~MenuHarness();

  // A song folder under the music folder ("Music/<rel>/") with its "song.ini", a chart
  // and a score file whose availability offers the given instruments at every level.
  std::u16string AddSong(const std::string& rel, const std::string& name, const std::string& artist,
                         std::vector<int32_t> instruments = {0, 1, 2}, int32_t rating = 0);
  void AddProfile(const std::string& name);

  void Press(int32_t controller, uint32_t id);      // one press in the next fetch
  void Join(int32_t controller);                    // the joining press
  void Frame() { manager->Update(); }
  void Frames(int n) { for (int i = 0; i < n; ++i) Frame(); }
  void Init();  // InitMenus over the music folder

  RecordingTheme* Theme(const std::string& document) const;

  testsupport::TempDir dir;
  std::u16string music;
  menus::MenuContext ctx;
  LevelSession session;
  std::array<Song, kSongSlotCount> slots;
  std::vector<FakeController> controllers;
  std::atomic<uint32_t> clock{1000};
  std::vector<menus::Sound> sounds;
  std::vector<menus::NetOut> sent;
  std::vector<std::string> alerts;
  std::vector<int32_t> videoCommands;  // sent to every theme at once
  bool online = false;
  std::mutex themesMutex;
  std::map<std::string, std::vector<RecordingTheme*>> themes;  // by document, newest last
  std::unique_ptr<menus::MenuManager> manager;
};

}  // namespace menustest
