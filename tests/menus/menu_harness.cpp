#include "tests/menus/menu_harness.h"

#include "core/md5.h"
#include "core/utils.h"
#include "song/score_table.h"

namespace menustest {

MenuHarness::MenuHarness(int count) : controllers(static_cast<size_t>(count)) {
  dir.MakeDir("Music");
  dir.MakeDir("profiles");
  dir.MakeDir("settings");
  music = dir.WPath("Music") + u"/";
  session.songs = slots.data();
  ctx.session = &session;
  static Settings settings;
  settings.SetDefaults();
  settings.mixer.MENUMUSIC = 0;
  settings.mixer.SONGPREVIEWTYPE = 0;
  ctx.settings = &settings;
  ctx.settings->DEFAULTPROFILE = u"profiles/Guest.dat";
  ctx.profilesFolder = u"profiles/";
  ctx.loadTheme = [this](const std::string& doc, const std::u16string&) -> std::unique_ptr<menus::ScreenTheme> {
    auto t = std::make_unique<RecordingTheme>(doc);
    std::lock_guard<std::mutex> lock(themesMutex);
    themes[doc].push_back(t.get());
    return t;
  };
  ctx.text = [](int32_t id) { return u"T" + ToWide(std::to_string(id)); };
  ctx.playSound = [this](menus::Sound s) { sounds.push_back(s); };
  ctx.now = [this] { return clock.load(); };
  ctx.random = [] { return 0u; };
  ctx.controllerCount = [this] { return static_cast<int32_t>(controllers.size()); };
  ctx.getEvents = [this](int32_t i, InputEvent* out) {
    FakeController& c = controllers[static_cast<size_t>(i)];
    if (c.frames.empty()) return 0;
    std::vector<InputEvent> batch = std::move(c.frames.front());
    c.frames.pop_front();
    for (size_t k = 0; k < batch.size(); ++k) out[k] = batch[k];
    return static_cast<int32_t>(batch.size());
  };
  ctx.anyButtonDown = [this](int32_t i) {
    FakeController& c = controllers[static_cast<size_t>(i)];
    if (c.anyDown <= 0) return false;
    --c.anyDown;
    return true;
  };
  ctx.identify = [this](int32_t i) { return controllers[static_cast<size_t>(i)].identifies; };
  ctx.kind = [this](int32_t i) { return i >= 0 && i < static_cast<int32_t>(controllers.size()) ? controllers[static_cast<size_t>(i)].kind : 3; };
  ctx.setKind = [this](int32_t i, int32_t k) { controllers[static_cast<size_t>(i)].kind = k; };
  ctx.isKeyboard = [this](int32_t i) { return i >= 0 && controllers[static_cast<size_t>(i)].keyboard; };
  ctx.clearEvents = [this](int32_t i) { controllers[static_cast<size_t>(i)].frames.clear(); };
  ctx.connected = [this] { return online; };
  ctx.ownId = [] { return 0; };
  ctx.send = [this](const menus::NetOut& m) { sent.push_back(m); };
  ctx.showAlert = [this](const std::string& text) { alerts.push_back(text); };
  ctx.controlAllVideos = [this](int32_t command) { videoCommands.push_back(command); };
  ctx.keyName = [](uint32_t b) { return u"K" + ToWide(std::to_string(b)); };
  AddProfile("Guest");
  manager = std::make_unique<menus::MenuManager>(ctx);
}

MenuHarness::~MenuHarness() { manager.reset(); }

void MenuHarness::Init() { manager->InitMenus(music, u"themes/default/"); }

std::u16string MenuHarness::AddSong(const std::string& rel, const std::string& name, const std::string& artist,
                                    std::vector<int32_t> instruments, int32_t rating) {
  const std::string folder = "Music/" + rel;
  dir.MakeDir(folder);
  dir.WriteBytes(folder + "/song.ini", "[song]\nname = " + name + "\nartist = " + artist +
                                           "\nrating = " + std::to_string(rating) + "\npreview_start_time = 500\n");
  dir.WriteBytes(folder + "/notes.mid", "MThd-chart-of-" + name);
  const std::u16string path = dir.WPath(folder) + u"/";
  ScoreTable table;
  table.folder = path;
  table.hasAvailability = 1;
  table.chartHash = GetFileMD5(path + u"notes.mid");
  for (int32_t k : instruments) {
    table.availability[static_cast<size_t>(k)].present = 1;
    table.availability[static_cast<size_t>(k)].difficulty = {1, 1, 1, 1, 1};
  }
  table.Save();
  return path;
}

void MenuHarness::AddProfile(const std::string& name) {
  Profile p;
  p.SetDefaults();
  p.PLAYERNAME = name;
  p.path = dir.WPath("profiles/" + name + ".dat");
  p.Save();
}

void MenuHarness::Press(int32_t controller, uint32_t id) {
  InputEvent e;
  e.id = id;
  e.pressed = true;
  controllers[static_cast<size_t>(controller)].frames.push_back({e});
}

void MenuHarness::Join(int32_t controller) { controllers[static_cast<size_t>(controller)].anyDown = 1; }

RecordingTheme* MenuHarness::Theme(const std::string& document) const {
  auto it = themes.find(document);
  return it == themes.end() || it->second.empty() ? nullptr : it->second.back();
}

}  // namespace menustest
