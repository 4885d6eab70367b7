// The song-load screen, shown while a chosen song becomes a level. The level-load job
// on the Task thread reports its step here; the main thread refreshes the texts from
// that shared state every frame and, when the level is ready, takes a player's
// confirm as the start of the song. The step, the start flag and the texts are
// guarded by the named mutex "Song Load Mutex".
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "menus/menu_context.h"
#include "menus/screen_input.h"
#include "platform/threads.h"

namespace menus {

class SongLoadMenu {
 public:
  static constexpr int32_t kPhraseLines = 5;
  static constexpr int32_t kPhraseWidth = 60;

  explicit SongLoadMenu(MenuContext& owner) : owner_(owner) {}
  bool LoadTheme(const std::u16string& dynamicFolder);
  // Task thread: 0 song loading, 1 last checks, 2 ready to begin.
  void SetLoadState(int32_t step);
  void Refresh();
  void Input();
  void LoadBanner();
  // Reads and clears the start flag (a confirm at step 2).
  bool TakeStart();
  int32_t Step() const { return step_.load(); }
  ScreenTheme* theme() const { return theme_.get(); }

 private:
  platform::MutexHandle OpenMutex();

  MenuContext& owner_;
  EventBuffer events_{};
  std::unique_ptr<ScreenTheme> theme_;
  std::mutex fallback_;
  std::string phrase_, author_, linkNameA_, linkNameB_, linkA_, linkB_;
  std::atomic<int32_t> step_{0};
  bool start_ = false;
  bool changed_ = true;
  int32_t shownStep_ = -1;
  std::atomic<bool> mutexErrorLogged_{false};
  std::shared_ptr<const Picture> banner_;
};

// Whether a text from a song file or a web reply may be opened as a web address:
// http or https only, no control characters, at most 2048 bytes.
bool IsSafeWebAddress(const std::string& url);

}  // namespace menus
