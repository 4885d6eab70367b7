// What is drawn over the game board while a song plays: the on-screen display (time
// left, progress, score, the rank list, song name and artist, the pass or fail hint),
// the lyrics with their sung part lit, the count-in and resume count-down, the
// calibration read-out, the wait for an online start, and the pass and fail art.
// The level keeps the rules (who failed, when the song ends, the end screen's input
// and its lock); this object follows them through the level's InGameScreens entries
// and writes its theme documents. Each player slot has a player box (the result panel
// over the board once the player is out or the song is over) and a solo box (over the
// board during a solo), placed at the player's board. In the head-to-head game types
// the last player standing ends the song, and weakest link puts out the player who
// gained the least every 30 s. The pause and practice menus, the player
// alerts and the achievement pop-ups it will own later are not drawn yet.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "menus/menu_context.h"
#include "menus/screens/ingame_player_box.h"

class InGameScreens;

namespace menus {

class InGameMenus {
 public:
  // The documents, in the order they load.
  enum class Doc : int32_t {
    kOsd = 0,         // "game_osd": song name and artist, the end hint, the count-down
    kOsdMain,         // "game_osd_main": time, progress, score, rank list
    kCalibration,     // "game_osd_calibration"
    kPractice,        // "game_osd_practice"
    kRemoteWait,      // "game_osd_remote_wait"
    kLyrics,          // "game_osd_lyrics"
    kAlert,           // "game_osd_alert"
    kFailHolder,      // "game_fail_holder"
    kPassHolder,      // "game_pass_holder"
    kCount
  };
  static constexpr int32_t kMaxRankRows = 6;
  static constexpr uint32_t kBannerMs = 3000;
  static constexpr int32_t kSlots = 15;
  // The boxes stand over the boards as the boards are laid out, on a base width of
  // 1130 theme units filling 96% of the screen's width.
  static constexpr float kBoxBaseWidth = 1130.0f;
  static constexpr float kBoxFill = 0.96f;
  // Weakest link: every 30 s of chart time the player who gained the least since the
  // last checkpoint is out, after five warning ticks a second apart.
  static constexpr double kWeakestLinkPeriodMs = 30000.0;
  static constexpr int32_t kWeakestLinkTicks = 5;

  explicit InGameMenus(MenuContext& owner);
  InGameMenus(const InGameMenus&) = delete;
  InGameMenus& operator=(const InGameMenus&) = delete;

  static const char* DocumentName(Doc doc);

  // Loads the slots' boxes and the nine documents from the theme's dynamic folder; one
  // that does not load stays missing and is skipped wherever it would be used. Always
  // true.
  bool LoadTheme(const std::u16string& folder);
  // Passes a video command to every document it has.
  void ControlVideo(int32_t command);

  // Bound to the level's players. Start and Restart may come from the Task thread
  // (the level is built there): they are recorded and carried out by the next
  // Update or Render on the main thread.
  void Start(int32_t playerCount);
  void Restart();
  void Update(double chartTime, double songPosition, double speed);
  // The end of the song, passed or failed: the art, the end hint, a full update.
  void ShowSongEnd();
  // The phrase cursor moved to `time` and the two lines of lyrics written.
  void UpdateLyrics(double time);
  // Each frame: the running game's total score and rating level; the rank list grows
  // with the level. Flag bit 0 ends the speed-change warning, bit 1 starts it.
  void ShowRankAlert(uint32_t flags, float totalScore, float ratingLevel);
  // The display's texts: the per-frame part, and with `perFrame` false the state
  // texts as well.
  void UpdateOsd(bool perFrame);
  // Everything over the boards of a screen of that size (the boxes follow the boards).
  void Render(float screenWidth = 1920.0f, float screenHeight = 1080.0f);

  // Fills the level's InGameScreens display entries with this object.
  void Attach(InGameScreens& screens);

  ScreenTheme* Theme(Doc doc) const { return themes_[static_cast<size_t>(doc)].get(); }
  int32_t PlayerCount() const { return playerCount_; }
  int32_t RankRowCount() const { return rankRowCount_; }
  bool BannerOn() const { return bannerOn_; }
  bool LyricsPresent() const { return lyricsPresent_; }
  PlayerBox& Box(int32_t slot) { return *boxes_[static_cast<size_t>(slot)]; }
  SoloBox& Solo(int32_t slot) { return *solos_[static_cast<size_t>(slot)]; }
  // Where the boxes of `slot` are drawn (theme units from the screen's centre, and
  // their scale), by the boards' layout of the bound players.
  struct BoxPlacement {
    float x = 0.0f, y = 0.0f, scale = 1.0f;
  };
  BoxPlacement PlaceBoxes(int32_t slot, float screenWidth, float screenHeight) const;

 private:
  void ApplyPending();
  void RebuildRankRows();
  void UpdateCountDown();
  bool Passed() const;
  bool Failed() const;
  bool IsCalibrationSong() const;
  bool Practice() const;
  bool HeadToHead() const;  // game types whose own result screen replaces the main display
  // The level's player of a bound slot, or none (the level may be torn down between
  // songs while this object stays bound).
  const Player* PlayerAt(int32_t slot) const;
  void BindSlots();
  void CheckNewFailures();
  void CheckRevivedPlayers();
  void CheckLastStanding();
  void WeakestLink();
  void RefreshBoxes();

  MenuContext& owner_;
  std::array<std::unique_ptr<ScreenTheme>, static_cast<size_t>(Doc::kCount)> themes_;
  std::array<std::unique_ptr<PlayerBox>, kSlots> boxes_;
  std::array<std::unique_ptr<SoloBox>, kSlots> solos_;
  double weakCheckpoint_ = kWeakestLinkPeriodMs;  // chart ms
  int32_t weakTicksLeft_ = kWeakestLinkTicks;
  std::array<float, kSlots> checkpointScore_{};
  std::array<bool, kSlots> markedWeakest_{};
  std::array<ListRow, kMaxRankRows> rankRows_{};
  int32_t rankSelected_ = 0;
  int32_t rankRowCount_ = 1;
  int32_t playerCount_ = 0;
  double chartTime_ = 0.0, songPosition_ = 0.0, speed_ = 1.0;
  float totalScore_ = 0.0f;
  float ratingLevel_ = 0.0f;
  bool lyricsPresent_ = false;
  bool bannerOn_ = false;
  uint32_t bannerUntil_ = 0;
  bool countDownShown_ = false;
  bool endShown_ = false;
  // Requests from the thread that builds the level: -1 none.
  std::atomic<int32_t> pendingStart_{-1};
  std::atomic<bool> pendingRestart_{false};
};

}  // namespace menus
