#include "menus/screens/song_load_menu.h"

#include <cctype>

#include "core/lang_ids.h"
#include "core/log.h"
#include "core/menu_ids.h"
#include "core/utils.h"
#include "game/level/level_session.h"
#include "song/song.h"

namespace menus {
namespace {

constexpr const char* kSongLoadMutexName = "Song Load Mutex";
constexpr size_t kMaxUrlBytes = 2048;

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

bool IsSafeWebAddress(const std::string& url) {
  if (url.empty() || url.size() > kMaxUrlBytes) return false;
  if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) return false;
  for (unsigned char c : url)
    if (c < 0x20 || c == 0x7f) return false;
  return true;
}

bool SongLoadMenu::LoadTheme(const std::u16string& dynamicFolder) {
  theme_ = owner_.LoadTheme("menu_songload", dynamicFolder);
  if (!theme_) return false;
  changed_ = true;
  Refresh();
  return true;
}

platform::MutexHandle SongLoadMenu::OpenMutex() {
  platform::MutexHandle h = platform::OpenNamedMutex(kSongLoadMutexName);
  if (!h && !mutexErrorLogged_.exchange(true)) LogNarrow("Error Opening SongLoad Mutex");
  return h;
}

void SongLoadMenu::SetLoadState(int32_t step) {
  LogNarrow("Load Change:" + std::to_string(step));
  {
    platform::NamedLock named(OpenMutex());
    std::lock_guard<std::mutex> own(fallback_);
    start_ = false;
    const Song* song = owner_.session ? owner_.session->CurrentSong() : nullptr;
    if (song && song->info) {
      phrase_ = song->info->loading_phrase;
      author_ = song->info->charter;
      linkNameA_ = song->info->link_name_a;
      linkNameB_ = song->info->link_name_b;
      linkA_ = song->info->banner_link_a;
      linkB_ = song->info->banner_link_b;
    }
    if (step == menu::kLoadStarted || step == menu::kLoadFinished) changed_ = true;
    step_.store(step);
  }
  LogNarrow("Load Change End:" + std::to_string(step));
}

void SongLoadMenu::Refresh() {
  if (!theme_) return;
  platform::NamedLock named(OpenMutex());
  std::lock_guard<std::mutex> own(fallback_);
  const int32_t step = step_.load();
  int32_t item = -1;
  if (step == menu::kLoadStarted) item = LANG("LANG_GAME_LOAD_STAGE_SONG");
  if (step == menu::kLevelSetUp) item = LANG("LANG_GAME_LOAD_STAGE_LAST_CHECKS");
  if (step == menu::kLoadFinished) item = LANG("LANG_GAME_LOAD_STAGE_BEGIN");
  theme_->SetText("current_load_item", item < 0 ? u"" : owner_.Text(item));
  theme_->SetText("play_state", owner_.Text(step == menu::kLoadFinished ? LANG("LANG_GENERAL_READY") : LANG("LANG_GENERAL_PLEASE_WAIT")));
  theme_->SetText("fretter", ToWide(author_));
  for (int32_t line = 1; line <= kPhraseLines; ++line)
    theme_->SetText("phrase_line_" + std::to_string(line), ToWide(GetWrappedLine(phrase_, kPhraseWidth, line - 1)));
  theme_->SetText("link_name_a", ToWide(linkNameA_));
  theme_->SetText("link_name_b", ToWide(linkNameB_));
  if (changed_) {
    if (step == menu::kLoadFinished) {
      theme_->TriggerEvent("menu_trigger", "", "ready_on");
      theme_->TriggerEvent("menu_trigger", "", "loading_off");
    } else {
      theme_->TriggerEvent("menu_trigger", "", "loading_on");
      theme_->TriggerEvent("menu_trigger", "", "ready_off");
    }
    shownStep_ = step;
    changed_ = false;
  }
}

void SongLoadMenu::Input() {
  bool confirmed = false;
  std::string openA, openB;
  ForEachPress(owner_, events_, [&](int32_t, uint32_t id, const MenuActions& a) {
    confirmed = confirmed || a.confirm;
    if (id == 19) openA = "a";
    if (id == 18) openB = "b";
    return true;
  });
  std::string urlA, urlB;
  {
    std::lock_guard<std::mutex> own(fallback_);
    urlA = openA.empty() ? std::string() : linkA_;
    urlB = openB.empty() ? std::string() : linkB_;
  }
  // A song's links come from downloaded files: only web addresses are opened.
  for (const std::string& url : {urlA, urlB}) {
    if (url.empty()) continue;
    if (IsSafeWebAddress(url) && owner_.openUrl) owner_.openUrl(url);
    else if (!IsSafeWebAddress(url)) LogNarrow("Song load: not a web address, not opened: " + url.substr(0, 80));
  }
  if (confirmed && step_.load() == 2) {
    std::lock_guard<std::mutex> own(fallback_);
    start_ = true;
  }
}

bool SongLoadMenu::TakeStart() {
  std::lock_guard<std::mutex> own(fallback_);
  const bool s = start_;
  start_ = false;
  return s;
}

void SongLoadMenu::LoadBanner() {
  const Song* song = owner_.session ? owner_.session->CurrentSong() : nullptr;
  banner_ = song && owner_.decodePicture ? owner_.decodePicture(song->folder + u"banner.png") : nullptr;
  if (theme_) theme_->SetImage("banner_image", banner_);
}

}  // namespace menus
