#include "menus/screens/ingame_menus.h"

#include <algorithm>
#include <cmath>

#include "core/lang_ids.h"
#include "core/log.h"
#include "core/settings.h"
#include "core/shell/shell_state.h"
#include "core/utils.h"
#include "game/level/level.h"
#include "game/level/level_session.h"
#include "game/lyrics.h"
#include "game/score_rating.h"
#include "graphics/board_geometry.h"
#include "song/song.h"

namespace menus {
namespace {

constexpr const char* kDocumentNames[] = {
    "game_osd",          "game_osd_main",  "game_osd_calibration", "game_osd_practice", "game_osd_remote_wait",
    "game_osd_lyrics",   "game_osd_alert", "game_fail_holder",     "game_pass_holder",
};
static_assert(std::size(kDocumentNames) == static_cast<size_t>(InGameMenus::Doc::kCount));

constexpr int32_t kLyricLines = 2;
constexpr int32_t kEliminatedSound = 98;
constexpr int32_t kWarningTickSound = 102;

// A wrapping millisecond time has been reached (signed difference).
bool Reached(uint32_t now, uint32_t at) { return static_cast<int32_t>(now - at) >= 0; }

std::u16string Number(int64_t value) { return ToWide(std::to_string(value)); }

// The UTF-16 index of the character that holds byte `byte` of the UTF-8 text.
int32_t WideIndex(const std::string& text, int32_t byte) {
  if (byte < 0) return -1;
  const size_t end = std::min(text.size(), static_cast<size_t>(byte) + 1);
  return static_cast<int32_t>(ToWide(text.substr(0, end)).size()) - 1;
}

}  // namespace

InGameMenus::InGameMenus(MenuContext& owner) : owner_(owner) {
  for (auto& box : boxes_) box = std::make_unique<PlayerBox>(owner_);
  for (auto& solo : solos_) solo = std::make_unique<SoloBox>(owner_);
}

const char* InGameMenus::DocumentName(Doc doc) { return kDocumentNames[static_cast<size_t>(doc)]; }

bool InGameMenus::LoadTheme(const std::u16string& folder) {
  for (size_t i = 0; i < boxes_.size(); ++i) {
    boxes_[i]->LoadTheme(folder);
    solos_[i]->LoadTheme(folder);
  }
  for (size_t i = 0; i < themes_.size(); ++i) {
    themes_[i].reset();
    themes_[i] = owner_.LoadTheme(kDocumentNames[i], folder);
  }
  RebuildRankRows();
  return true;
}

void InGameMenus::ControlVideo(int32_t command) {
  for (const auto& theme : themes_)
    if (theme) theme->ControlVideo(command);
  for (int32_t i = 0; i < std::min(playerCount_, kSlots); ++i) {
    const size_t slot = static_cast<size_t>(i);
    if (ScreenTheme* box = boxes_[slot]->theme()) box->ControlVideo(command);
    if (ScreenTheme* solo = solos_[slot]->theme()) solo->ControlVideo(command);
  }
}

void InGameMenus::Start(int32_t playerCount) {
  pendingStart_.store(std::clamp(playerCount, 0, static_cast<int32_t>(kMaxLevelPlayers)));
  pendingRestart_.store(true);
}

void InGameMenus::Restart() { pendingRestart_.store(true); }

void InGameMenus::ApplyPending() {
  const int32_t count = pendingStart_.exchange(-1);
  if (count >= 0) playerCount_ = count;
  BindSlots();
  if (!pendingRestart_.exchange(false)) return;
  for (auto& box : boxes_) box->Reset();
  weakCheckpoint_ = kWeakestLinkPeriodMs;
  weakTicksLeft_ = kWeakestLinkTicks;
  checkpointScore_.fill(0.0f);
  markedWeakest_.fill(false);
  totalScore_ = 0.0f;
  ratingLevel_ = 0.0f;
  rankRowCount_ = 1;
  rankSelected_ = 0;
  endShown_ = false;
  countDownShown_ = false;
  bannerOn_ = true;
  bannerUntil_ = owner_.Now() + kBannerMs;
  if (ScreenTheme* osd = Theme(Doc::kOsd)) osd->SetText("countdown_timer", u"");
  RebuildRankRows();
}

const Player* InGameMenus::PlayerAt(int32_t slot) const {
  const LevelState& level = Level();
  if (slot < 0 || slot >= playerCount_ || slot >= level.playerCount || !level.players) return nullptr;
  return &level.players[static_cast<size_t>(slot)];
}

void InGameMenus::BindSlots() {
  for (int32_t i = 0; i < kSlots; ++i) {
    const Player* p = PlayerAt(i);
    boxes_[static_cast<size_t>(i)]->player = p;
    solos_[static_cast<size_t>(i)]->Bind(p);
  }
}

void InGameMenus::RefreshBoxes() {
  for (auto& box : boxes_) box->Update();
}

// A player who has just failed is marked dead at this moment of the chart. The
// failure's sound came with the failure itself.
void InGameMenus::CheckNewFailures() {
  for (int32_t i = 0; i < playerCount_; ++i) {
    PlayerBox& box = Box(i);
    const Player* p = box.player;
    if (!p || box.dead || box.failed || !p->failed()) continue;
    box.MarkDeath(chartTime_);
    box.dead = true;
    box.Update();
  }
}

// A box showing an end state while its player is back in with the meter up again and
// the song goes on: the player came back without the revive step having reset the
// box. A player put out by weakest link keeps a full meter but stays failed, so the
// failed flag must be off too.
void InGameMenus::CheckRevivedPlayers() {
  if (Passed() || Failed()) return;
  for (int32_t i = 0; i < playerCount_; ++i) {
    PlayerBox& box = Box(i);
    if (!box.player || !box.AnyState() || box.player->failed() || box.player->score().rockMeter <= 1.0f) continue;
    box.Reset();
    LogNarrow("Possible Error:Revived Player");
  }
}

// In the head-to-head types the song ends as soon as one player is left. A single
// player has no one to outlast, so the rule needs two.
void InGameMenus::CheckLastStanding() {
  if (!HeadToHead() || Passed() || Failed() || playerCount_ < 2 || !owner_.session) return;
  int32_t failedCount = 0, bound = 0;
  for (int32_t i = 0; i < playerCount_; ++i) {
    const Player* p = PlayerAt(i);
    if (!p) continue;
    ++bound;
    if (p->failed()) ++failedCount;
  }
  if (bound != playerCount_ || failedCount != playerCount_ - 1) return;
  for (int32_t i = 0; i < playerCount_; ++i) {
    PlayerBox& box = Box(i);
    box.MarkDeath(chartTime_);
    if (box.player->failed()) box.loser = true;
    else box.winner = true;
    box.Update();
  }
  owner_.session->Screens().ShowSongEnd();
}

void InGameMenus::WeakestLink() {
  LevelSession* session = owner_.session;
  if (!session || session->gameType != 6 || playerCount_ < 2 || Passed() || Failed()) return;
  LevelState& level = Level();
  if (!level.players || level.playerCount < playerCount_) return;
  auto gain = [&](int32_t i) { return level.players[static_cast<size_t>(i)].score().score - checkpointScore_[static_cast<size_t>(i)]; };
  bool any = false;
  float lowest = 0.0f;
  int32_t atLowest = 0;
  for (int32_t i = 0; i < playerCount_; ++i) {
    if (level.players[static_cast<size_t>(i)].failed()) continue;
    const float g = gain(i);
    if (!any || g < lowest) {
      lowest = g;
      atLowest = 1;
    } else if (g == lowest) {
      ++atLowest;
    }
    any = true;
  }
  // A tie at the bottom leaves the marks as they were: no one is put out for it.
  if (any && atLowest == 1) {
    for (int32_t i = 0; i < playerCount_; ++i) {
      const bool in = !level.players[static_cast<size_t>(i)].failed();
      markedWeakest_[static_cast<size_t>(i)] = in && gain(i) <= lowest;
    }
  }
  if (chartTime_ >= weakCheckpoint_) {
    for (int32_t i = 0; i < playerCount_; ++i) {
      Player& p = level.players[static_cast<size_t>(i)];
      if (markedWeakest_[static_cast<size_t>(i)] && !p.failed()) {
        PlayerBox& box = Box(i);
        box.MarkDeath(chartTime_);
        box.dead = true;
        p.score().failed = true;
        session->PlaySound(kEliminatedSound);
        box.Update();
      }
      markedWeakest_[static_cast<size_t>(i)] = false;
      checkpointScore_[static_cast<size_t>(i)] = p.score().score;
    }
    weakCheckpoint_ = chartTime_ + kWeakestLinkPeriodMs;
    weakTicksLeft_ = kWeakestLinkTicks;
  }
  if (weakTicksLeft_ > 0 && chartTime_ >= weakCheckpoint_ - weakTicksLeft_ * 1000.0) {
    session->PlaySound(kWarningTickSound);
    --weakTicksLeft_;
  }
}

bool InGameMenus::Passed() const { return owner_.session && owner_.session->ingame.songPassed; }
bool InGameMenus::Failed() const { return owner_.session && owner_.session->ingame.songFailed; }
bool InGameMenus::Practice() const { return owner_.session && owner_.session->practice; }

bool InGameMenus::HeadToHead() const {
  const int32_t type = owner_.session ? owner_.session->gameType : 0;
  return type == 1 || (type >= 5 && type <= 7);
}

bool InGameMenus::IsCalibrationSong() const {
  const Song* song = owner_.session ? owner_.session->CurrentSong() : nullptr;
  return song && song->info && song->info->vl_calibrator;
}

void InGameMenus::Update(double chartTime, double songPosition, double speed) {
  ApplyPending();
  chartTime_ = chartTime;
  songPosition_ = songPosition;
  speed_ = speed;
  for (int32_t i = 0; i < playerCount_; ++i) Solo(i).Update();
  UpdateOsd(true);
  if (Practice()) UpdateOsd(false);
  // The song's end is also noticed here, so the art follows a failure that came while
  // the level's rules ran without this object bound.
  if ((Passed() || Failed()) && !endShown_) ShowSongEnd();
  if (!Practice()) {
    CheckNewFailures();
    CheckRevivedPlayers();
    WeakestLink();
    CheckLastStanding();
  }
  if (shell::CurrentState() == shell::State::kOnlineStart || IsCalibrationSong()) UpdateOsd(false);
  UpdateCountDown();
  if (bannerOn_ && Reached(owner_.Now(), bannerUntil_)) bannerOn_ = false;
}

// The count-in before the first note and the count-down of a resume: the whole seconds
// left, rounded up (3, 2, 1); emptied when it ends.
void InGameMenus::UpdateCountDown() {
  const InGameState* ui = owner_.session ? &owner_.session->ingame : nullptr;
  ScreenTheme* osd = Theme(Doc::kOsd);
  const bool shown = ui && ui->countDownShown && !Reached(owner_.Now(), ui->countDownEnd);
  if (shown && osd) {
    const uint32_t left = ui->countDownEnd - owner_.Now();
    osd->SetText("countdown_timer", Number(left / 1000 + 1));
  } else if (countDownShown_ && osd) {
    osd->SetText("countdown_timer", u"");
  }
  countDownShown_ = shown;
}

void InGameMenus::ShowSongEnd() {
  ApplyPending();
  endShown_ = true;
  // The level's rules may end the song before this frame's values reach Update.
  if (owner_.session) chartTime_ = owner_.session->ingame.chartTime;
  const bool failed = Failed();
  // Who won: in the head-to-head types the best score of those still in; a player out,
  // or below it, lost (so players tied at the best all win).
  float best = 0.0f;
  bool anyIn = false;
  for (int32_t i = 0; i < playerCount_; ++i) {
    const Player* p = Box(i).player;
    if (!p || p->failed()) continue;
    best = anyIn ? std::max(best, p->score().score) : p->score().score;
    anyIn = true;
  }
  const std::array<std::u16string, kMaxLevelPlayers>* results =
      owner_.session ? &owner_.session->ingame.resultText : nullptr;
  for (int32_t i = 0; i < playerCount_; ++i) {
    PlayerBox& box = Box(i);
    if (!box.player) continue;
    box.MarkDeath(chartTime_);
    if (failed) {
      box.failed = true;
    } else if (HeadToHead()) {
      if (box.player->failed() || box.player->score().score < best) box.loser = true;
      else box.winner = true;
    } else {
      box.finished = true;
    }
    if (results) box.scoreInfo = (*results)[static_cast<size_t>(i)];
    box.Update();
  }
  UpdateOsd(false);
}

void InGameMenus::UpdateLyrics(double time) {
  LevelState& level = Level();
  VocalTrack* track = level.lyrics.get();
  lyricsPresent_ = track && track->first;
  if (!track) return;
  track->Advance(static_cast<float>(time));
  ScreenTheme* theme = Theme(Doc::kLyrics);
  if (!theme) return;
  int32_t line = 0;
  const LyricPhrase* phrase = track->current;
  for (int32_t n = 0; n < kLyricLines && phrase; ++n, phrase = phrase->next.get()) {
    int32_t first = -1, last = -1;
    const std::string text = VocalTrack::PhraseText(phrase, first, last);
    if (text.empty()) continue;
    const std::string id = "lyrics_" + std::to_string(line);
    theme->SetText(id, ToWide(text));
    theme->SetTextHighlight(id, WideIndex(text, first), WideIndex(text, last));
    ++line;
  }
  for (; line < kLyricLines; ++line) {
    const std::string id = "lyrics_" + std::to_string(line);
    theme->SetText(id, u"");
    theme->SetTextHighlight(id, -1, -1);
  }
  if (track->changed) theme->TriggerEvent("lyrics", "", "change");
}

void InGameMenus::ShowRankAlert(uint32_t flags, float totalScore, float ratingLevel) {
  ApplyPending();
  const float previous = ratingLevel_;
  totalScore_ = totalScore;
  ratingLevel_ = std::isfinite(ratingLevel) ? std::max(0.0f, ratingLevel) : 0.0f;
  const int32_t whole = static_cast<int32_t>(std::floor(ratingLevel_));
  const int32_t rows = std::clamp(whole < kMaxRankRows ? whole + 1 : whole, 1, kMaxRankRows);
  const bool rose = whole > static_cast<int32_t>(std::floor(previous));
  if (rose || rows != rankRowCount_) {
    rankRowCount_ = rows;
    RebuildRankRows();
    if (rose) {
      if (ScreenTheme* main = Theme(Doc::kOsdMain)) main->TriggerEvent("list_rank", "", "rank_up");
    }
  }
  if (ScreenTheme* alert = Theme(Doc::kAlert)) {
    if (flags & 1u) alert->TriggerEvent("alert_speed_change", "", "warning_off");
    if (flags & 2u) alert->TriggerEvent("alert_speed_change", "", "warning_on");
  }
}

void InGameMenus::RebuildRankRows() {
  ScreenTheme* main = Theme(Doc::kOsdMain);
  if (!main) return;
  for (ListRow& row : rankRows_) row = ListRow();
  rankSelected_ = std::clamp(rankSelected_, 0, rankRowCount_ - 1);
  main->SetListItems("list_rank", rankRows_.data(), &rankSelected_, rankRowCount_);
  UpdateOsd(false);
}

void InGameMenus::UpdateOsd(bool perFrame) {
  if (playerCount_ <= 0) return;
  LevelSession* session = owner_.session;
  if (ScreenTheme* main = Theme(Doc::kOsdMain)) {
    const double length = LevelSongLengthSeconds();
    if (length > 0.0) {
      const double left = std::max(0.0, length - songPosition_ / 1000.0);
      const int64_t minutes = static_cast<int64_t>(std::floor(left / 60.0));
      const int64_t seconds = static_cast<int64_t>(std::floor(std::fmod(left, 60.0)));
      std::u16string time = Number(minutes) + u":";
      if (seconds < 10) time += u"0";
      main->SetText("game_time", time + Number(seconds));
      const double progress = std::clamp(songPosition_ / 1000.0 / length * 100.0, 0.0, 100.0);
      main->SetText("game_time_progress", Number(static_cast<int64_t>(progress)));
    }
    const double score = std::isfinite(totalScore_) ? std::max(0.0, static_cast<double>(totalScore_)) : 0.0;
    main->SetText("game_score", GroupDigits(static_cast<int64_t>(score)));
    for (int32_t i = 0; i < rankRowCount_; ++i) {
      const bool lastRow = i == rankRowCount_ - 1;
      int64_t value = 100;
      // A level handed in as 2.37f is 2.3699999: the hundredths are read with a margin
      // far below one, so the row shows 37 and not 36.
      if (lastRow && ratingLevel_ < static_cast<float>(kMaxRankRows)) {
        const double level = ratingLevel_;
        value = std::min<int64_t>(99, static_cast<int64_t>((level - std::floor(level)) * 100.0 + 1e-3));
      }
      rankRows_[static_cast<size_t>(i)].text = Number(value);
    }
  }
  if (perFrame) return;

  const LevelState& level = Level();
  if (IsCalibrationSong()) {
    ScreenTheme* cal = Theme(Doc::kCalibration);
    if (!cal || !session) return;
    int32_t measured = 0;
    if (level.playerCount > 0 && level.players && level.players[0].hitDelayCount > 0) {
      const Player& p = level.players[0];
      measured = static_cast<int32_t>(
          std::clamp(std::floor(p.hitDelaySum / p.hitDelayCount), -100000.0, 100000.0));
    }
    const int32_t step = session->ingame.calibrationStep;
    const Settings* settings = session->settings;
    const int32_t audioSetting = settings ? settings->AUDIOCALIBRATION : 0;
    auto delayText = [this](int lang, int32_t value) { return owner_.Text(lang) + u":" + Number(value); };
    if (step != 0 && step != 1) return;
    cal->SetText("state", owner_.Text(step == 0 ? LANG("LANG_GAME_CALIBRATE_AUDIO") : LANG("LANG_GAME_CALIBRATE_VIDEO")));
    if (!Passed()) {
      for (const char* id : {"audio_delay", "video_delay", "button_helper_a", "button_helper_b"}) cal->SetText(id, u"");
      return;
    }
    if (step == 0) {
      cal->SetText("audio_delay", delayText(LANG("LANG_GAME_AUDIO_DELAY"), measured));
      cal->SetText("button_helper_a", owner_.Text(LANG("LANG_GAME_CALIBRATE_HELPER_1A")));
      cal->SetText("button_helper_b", owner_.Text(LANG("LANG_GAME_CALIBRATE_HELPER_1B")));
    } else {
      // The audio delay shown beside the video one is the stored setting the video
      // delay is measured against.
      cal->SetText("audio_delay", delayText(LANG("LANG_GAME_AUDIO_DELAY"), audioSetting));
      cal->SetText("video_delay", delayText(LANG("LANG_GAME_VIDEO_DELAY"), measured - audioSetting));
      cal->SetText("button_helper_a", owner_.Text(LANG("LANG_GAME_CALIBRATE_HELPER_2A")));
      cal->SetText("button_helper_b", owner_.Text(LANG("LANG_GAME_CALIBRATE_HELPER_2B")));
    }
    return;
  }
  if (Practice()) {
    ScreenTheme* practice = Theme(Doc::kPractice);
    if (!practice) return;
    practice->SetText("current_speed", Number(static_cast<int64_t>(std::ceil(speed_ * 100.0 - 1e-9))) + u"%");
    std::u16string section;
    if (session) {
      const InGameState& ui = session->ingame;
      for (int32_t i = 0; i < ui.sectionCount && i < static_cast<int32_t>(ui.sections.size()); ++i) {
        if (ui.sections[static_cast<size_t>(i)].timeMs <= songPosition_) section = ToWide(ui.sections[static_cast<size_t>(i)].name);
      }
    }
    practice->SetText("current_section", section);
    if (level.playerCount > 0 && level.players) {
      const PlayerScore& s = level.players[0].score();
      practice->SetText("current_hit_count", Number(s.hits));
      practice->SetText("current_miss_count", Number(s.misses));
    }
    // The pass counters belong to the practice menu, which is not built yet.
    for (const char* id : {"best_hit_count", "best_miss_count", "average_hit_count", "average_miss_count"})
      practice->SetText(id, u"");
    return;
  }
  if (shell::CurrentState() == shell::State::kOnlineStart) {
    if (ScreenTheme* wait = Theme(Doc::kRemoteWait)) {
      wait->SetText("button_helper_a", owner_.Text(LANG("LANG_GAME_REMOTE_HELPER_1A")));
      wait->SetText("button_helper_b", owner_.Text(LANG("LANG_GAME_REMOTE_HELPER_1B")));
    }
    return;
  }
  ScreenTheme* osd = Theme(Doc::kOsd);
  const bool lyricsOn = owner_.settings && owner_.settings->LYRICS != 0;
  if (!osd || (lyricsOn && !Theme(Doc::kLyrics))) return;
  std::u16string hint;
  if (Passed()) hint = owner_.Text(LANG("LANG_GAME_INFO_HELPER_1A"));
  if (Failed()) hint = owner_.Text(LANG("LANG_GAME_INFO_HELPER_1B"));
  osd->SetText("button_helper", hint);
  const Song* song = session ? session->CurrentSong() : nullptr;
  osd->SetText("song_artist", song && song->info ? ToWide(song->info->artist) : std::u16string());
  osd->SetText("song_name", song && song->info ? ToWide(song->info->name) : std::u16string());
}

InGameMenus::BoxPlacement InGameMenus::PlaceBoxes(int32_t slot, float screenWidth, float screenHeight) const {
  graphics::BoardLayout layout;
  layout.Allocate();
  for (int32_t i = 0; i < playerCount_; ++i) {
    const Player* p = PlayerAt(i);
    layout.Append(p && p->kind == 14, p && p->remote);
  }
  layout.Order();
  // Remote boards are drawn smaller by the remote board size setting; the boxes
  // shrink with them.
  // The settings hold no factor of their own for it; the boards use 1 as well.
  constexpr float kRemoteBoardFactor = 1.0f;
  const float percent =
      owner_.settings ? static_cast<float>(std::clamp(owner_.settings->REMOTEBOARDSIZE, 10, 100)) : 100.0f;
  const float remoteScale = 1.0f - (1.0f - percent / 100.0f) * kRemoteBoardFactor;
  glm::vec2 position(0.0f), scale(0.0f);
  layout.Arrange(screenWidth, screenHeight, kBoxBaseWidth, position, scale, kBoxFill, slot, remoteScale);
  BoxPlacement placement;
  placement.x = position.x;
  placement.y = position.y;
  placement.scale = scale.x;
  return placement;
}

void InGameMenus::Render(float screenWidth, float screenHeight) {
  ApplyPending();
  if (playerCount_ <= 0) return;
  std::array<BoxPlacement, kSlots> places{};
  for (int32_t i = 0; i < playerCount_; ++i) places[static_cast<size_t>(i)] = PlaceBoxes(i, screenWidth, screenHeight);
  owner_.ClearDepth();
  for (int32_t i = 0; i < playerCount_; ++i) {
    SoloBox& solo = Solo(i);
    const BoxPlacement& at = places[static_cast<size_t>(i)];
    // A player who is out still passes through the chart's solos; the result box is
    // drawn there instead, and the two would show through each other.
    const bool covered = Box(i).AnyState() && Box(i).theme();
    if (solo.theme() && solo.InSolo() && !covered && at.scale > 0.0f) solo.theme()->Render(at.x, at.y, at.scale);
  }
  const bool practice = Practice();
  const bool passed = Passed(), failed = Failed();
  const InGameState* ui = owner_.session ? &owner_.session->ingame : nullptr;
  const bool paused = ui && ui->paused;
  const bool countDown = ui && ui->countDownShown;
  auto draw = [this](Doc doc) {
    if (ScreenTheme* t = Theme(doc)) t->Render(0, 0, 1);
  };
  if (practice) {
    draw(Doc::kPractice);
  } else if (!HeadToHead()) {
    draw(Doc::kOsdMain);
  }
  if (passed) draw(Doc::kPassHolder);
  if (failed) draw(Doc::kFailHolder);
  if (ui && ui->practiceMenuOpen) return;
  const bool calibration = IsCalibrationSong();
  if (calibration) draw(Doc::kCalibration);
  if (shell::CurrentState() == shell::State::kOnlineStart) {
    draw(Doc::kRemoteWait);
  } else {
    owner_.ClearDepth();
    for (int32_t i = 0; i < playerCount_; ++i) {
      PlayerBox& box = Box(i);
      const BoxPlacement& at = places[static_cast<size_t>(i)];
      if (box.theme() && box.player && box.AnyState() && at.scale > 0.0f) box.theme()->Render(at.x, at.y, at.scale);
    }
  }
  const bool lyricsOn = owner_.settings && owner_.settings->LYRICS != 0;
  if (lyricsOn && lyricsPresent_ && !passed && !failed && !practice && !paused && !countDown) draw(Doc::kLyrics);
  draw(Doc::kAlert);
  if (!calibration && !practice && (failed || passed || countDown || bannerOn_)) draw(Doc::kOsd);
}

void InGameMenus::Attach(InGameScreens& screens) {
  screens.startDisplay = [this](int32_t count) { Start(count); };
  screens.restartDisplay = [this] { Restart(); };
  screens.updateDisplay = [this](double chart, double position, double speed) { Update(chart, position, speed); };
  screens.songEndDisplay = [this] { ShowSongEnd(); };
  screens.updateLyricsDisplay = [this](double time) { UpdateLyrics(time); };
  screens.updatePlayerBox = [this](int32_t slot) {
    if (slot < 0 || slot >= kSlots) return;
    ApplyPending();
    Box(slot).Reset();
  };
  screens.showRankAlert = [this](uint32_t flags) {
    const ScoreRating* rating = Level().rating.get();
    ShowRankAlert(flags, rating ? rating->totalScore : 0.0f, rating ? rating->level : 0.0f);
  };
}

}  // namespace menus
