// The Task thread's two jobs: the start-up load and the level load.
#include "core/lang_ids.h"
#include "core/log.h"
#include "core/menu_ids.h"
#include "core/settings.h"
#include "core/shell/shell_internal.h"
#include "core/utils.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace shell {

using namespace internal;

namespace {

// Opens step k of the start-up load; false when the Task thread is asked to stop.
bool OpenLoadStep(LoadStepId step) {
  const int k = static_cast<int>(step);
  LoadStep.store(k);
  Log(0, u"Loading: " + g_Settings.language.GetString(k));
  return ThreadRunFlag(ThreadId::kTask).load() != kThreadStopRequested;
}

static_assert(LANG("LANG_TITLE_SCREEN_TEXTURES") == 1 && LANG("LANG_TITLE_SCREEN_MODELS") == 2 &&
              LANG("LANG_TITLE_SCREEN_CONTROLLERS") == 3 && LANG("LANG_TITLE_SCREEN_FONTS") == 4 &&
              LANG("LANG_TITLE_SCREEN_MENUS") == 5 && LANG("LANG_TITLE_SCREEN_SONGS") == 6 &&
              LANG("LANG_TITLE_SCREEN_SFX") == 7,
              "the load steps are numbered by their language ids");

template <class Fn>
void Make(const Fn& fn, const char* what, std::atomic<bool>& made) {
  if (Invoke(fn, what)) made.store(true);
}

void LoadMenusAndCommandLine() {
  const SongFolderArgument arg = ReadSongFolderArgument();
  if (!arg.present) {
    if (g_made.menuManager.load()) Invoke(g_services.menus.initMenus, "Menu screens: InitMenus", g_Settings.MUSICPATH);
    return;
  }
  if (!g_made.menuManager.load()) return;
  Invoke(g_services.menus.initMenus, "Menu screens: InitMenus", arg.parent);
  Invoke(g_services.menus.setCurrentMenu, "Menu screens: current menu", menu::kMain);
  if (arg.practice && g_made.sceneContext.load())
    Invoke(g_services.graphics.setPracticeMode, "Graphics: SceneContext practice mode", true);
  Invoke(g_services.menus.openSongPath, "Menu screens: SongMenu::OpenPath", arg.folder);
}

}  // namespace

SongFolderArgument ReadSongFolderArgument() {
  SongFolderArgument a;
  const int count = GetCommandLineArgCount();
  if (count < 2) return a;
  std::u16string folder = platform::ToSlashes(GetCommandLineArg(1));
  if (folder.empty()) return a;
  if (folder.back() == u'/' || folder.back() == u'"') folder.pop_back();
  if (folder.empty()) return a;
  a.present = true;
  a.folder = folder;
  const size_t slash = folder.rfind(u'/');
  a.parent = slash == std::u16string::npos ? std::u16string() : folder.substr(0, slash + 1);
  a.practice = count > 2 && EqualsNoCaseW(GetCommandLineArg(2), u"/p");
  return a;
}

bool LoadAll() {
  LoadStep.store(static_cast<int>(LoadStepId::kNone));
  Make(g_services.devices.createSoundPlayer, "Devices: SoundPlayer", g_made.soundPlayer);
  Make(g_services.song.createSongSlots, "Song data: SongSlots", g_made.songSlots);
  Make(g_services.graphics.createGameAssets, "Graphics: GameAssets", g_made.gameAssets);
  if (Invoke(g_services.devices.createCtrlMain, "Devices: CtrlMain", g_Settings.XINPUT)) g_made.ctrlMain.store(true);
  if (Invoke(g_services.graphics.createSharedQuad, "Graphics: shared quad", g_framework ? g_framework->GetDevice() : nullptr))
    g_made.sharedQuad.store(true);
  SceneContextInit init;
  init.backBufferWidth = &BackBufferWidth;
  init.backBufferHeight = &BackBufferHeight;
  init.settings = &g_Settings;
  init.device = g_framework ? g_framework->GetDevice() : nullptr;
  if (Invoke(g_services.graphics.createSceneContext, "Graphics: SceneContext", init)) g_made.sceneContext.store(true);
  Make(g_services.menus.createMenuManager, "Menu screens: MenuManager", g_made.menuManager);
  LoadProgressActive.store(true);

  if (!OpenLoadStep(LoadStepId::kTextures)) return false;
  if (g_made.gameAssets.load())
    Invoke(g_services.graphics.loadTextures, "Graphics: GameAssets::LoadTextures", g_Settings.themeFolder);

  if (!OpenLoadStep(LoadStepId::kModels)) return false;
  if (g_made.gameAssets.load())
    Invoke(g_services.graphics.loadModels, "Graphics: GameAssets::LoadModels", g_Settings.themeFolder);
  if (g_Settings.XINPUT) StartThread(ThreadId::kCtrl);

  if (!OpenLoadStep(LoadStepId::kControllers)) return false;
  if (g_made.ctrlMain.load())
    Invoke(g_services.devices.scanDevices, "Devices: CtrlMain::ScanDevices", WindowActive.load());
  NoteDeviceChange();

  if (!OpenLoadStep(LoadStepId::kFonts)) return false;
  if (g_made.gameAssets.load()) Invoke(g_services.graphics.createQuads, "Graphics: GameAssets::CreateQuads");
  Invoke(g_services.graphics.loadFonts, "Graphics: FontManager::LoadAll", std::u16string(u"data/fonts/"));

  if (!OpenLoadStep(LoadStepId::kMenus)) return false;
  LoadMenusAndCommandLine();

  if (!OpenLoadStep(LoadStepId::kSongs)) return false;
  if (g_made.menuManager.load()) Invoke(g_services.menus.scanSongFolder, "Menu screens: ScanSongFolder");

  if (!OpenLoadStep(LoadStepId::kSounds)) return false;
  if (g_made.soundPlayer.load()) Invoke(g_services.devices.loadInstrumentSounds, "Devices: LoadInstrumentSounds");

  Log(0, u"Loading: Complete");
  return true;
}

bool LoadLevelJob() {
  Log(0, u"Loading Song");
  const bool menus = g_made.menuManager.load();
  if (menus) Invoke(g_services.menus.setLoadState, "Menu screens: SongLoadMenu::SetLoadState", menu::kLoadStarted);
  Invoke(g_services.gameplay.setupLevel, "Gameplay: SetupLevel", true);
  if (menus) Invoke(g_services.menus.setLoadState, "Menu screens: SongLoadMenu::SetLoadState", menu::kLevelSetUp);
  if (g_made.songSlots.load() && g_made.sceneContext.load()) {
    const int slot = Query(g_services.graphics.currentSongIndex, "Graphics: SceneContext song index", -1);
    if (slot >= 0 && Query(g_services.song.isCalibrationSong, "Song data: calibration flag", false, slot)) {
      // The calibration starts from the default delays.
      g_Settings.AUDIOCALIBRATION = 45;
      g_Settings.VIDEOCALIBRATION = 0;
      if (!g_Settings.Save()) Log(0, u"Could Not Save Settings: " + g_Settings.configPath);
    }
  }
  if (menus) Invoke(g_services.menus.setLoadState, "Menu screens: SongLoadMenu::SetLoadState", menu::kLoadFinished);
  Log(0, u"Load Complete");
  return true;
}

}  // namespace shell
