#include "menus/screens/ingame_player_box.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/lang_ids.h"
#include "core/utils.h"
#include "game/lane_sections.h"
#include "game/player.h"

namespace menus {
namespace {

std::u16string Number(int64_t value) { return ToWide(std::to_string(value)); }

constexpr int kSkillTexts[] = {LANG("LANG_SKILL_EASY"), LANG("LANG_SKILL_MEDIUM"), LANG("LANG_SKILL_HARD"),
                               LANG("LANG_SKILL_EXPERT"), LANG("LANG_SKILL_EXPERT_PLUS")};
constexpr int kSoloRatingTexts[] = {LANG("LANG_GAME_SOLO_PERFECT"), LANG("LANG_GAME_SOLO_AWESOME"),
                                    LANG("LANG_GAME_SOLO_GREAT"),   LANG("LANG_GAME_SOLO_GOOD"),
                                    LANG("LANG_GAME_SOLO_SOLID"),   LANG("LANG_GAME_SOLO_OKAY"),
                                    LANG("LANG_GAME_SOLO_MESSY")};

// A combo only counts as broken once it reached this streak.
constexpr int32_t kComboBreakStreak = 10;

}  // namespace

// A part of nothing is 0%: a chart with no notes at the player's skill (or a solo
// without any) must not divide by zero.
std::u16string PlayerBox::PercentText(int64_t part, int64_t whole) {
  if (whole <= 0) return u"0%";
  const int64_t percent = std::max<int64_t>(0, part) * 100 / whole;
  return Number(percent) + u"%";
}

// One kind's share of all graded hits, rounded to hundredths and written with up to
// six significant digits (one third is 33.33%).
std::u16string PlayerBox::KindShareText(int32_t count, int32_t perfect, int32_t normal, int32_t sloppy) {
  const int64_t sum = static_cast<int64_t>(std::max(0, perfect)) + std::max(0, normal) + std::max(0, sloppy);
  if (sum <= 0) return u"0%";
  const double share = static_cast<double>(std::max(0, count)) / static_cast<double>(sum) * 100.0;
  const double rounded = std::floor(share * 100.0 + 0.5) / 100.0;
  char text[32];
  std::snprintf(text, sizeof text, "%g", rounded);
  return ToWide(text) + u"%";
}

// Minutes, seconds and hundredths of the chart time, two digits each; a time before
// the chart's start reads as its start.
std::u16string PlayerBox::DeathTimeText(double ms) {
  const double clamped = std::isfinite(ms) ? std::clamp(ms, 0.0, 4294967295.0) : 0.0;
  std::u16string hours, minutes, seconds, hundredths;
  SplitTimeMs(static_cast<uint32_t>(clamped), &hours, &minutes, &seconds, &hundredths);
  return minutes + u":" + seconds + u":" + hundredths;
}

bool PlayerBox::LoadTheme(const std::u16string& folder) {
  theme_.reset();
  theme_ = owner_.LoadTheme("game_playerbox", folder);
  if (!theme_) return false;
  Update();
  return true;
}

void PlayerBox::Reset() {
  failed = finished = dead = winner = loser = false;
  deathTime = 0.0;
  scoreInfo.clear();
  Update();
}

void PlayerBox::MarkDeath(double chartTimeMs) {
  if (!dead) deathTime = chartTimeMs;
}

void PlayerBox::Update() {
  if (!theme_ || !player) return;
  const Player& p = *player;
  const PlayerScore& s = p.score();

  // The states are read in a fixed order and the last one set speaks: a winner that
  // also failed shows no word.
  std::u16string status;
  if (dead) status = owner_.Text(LANG("LANG_GENERAL_DEAD"));
  if (finished) status.clear();
  if (winner) status = owner_.Text(LANG("LANG_GENERAL_WINNER"));
  if (loser) status.clear();
  if (failed) status.clear();
  theme_->SetText("player_status", status);

  theme_->SetText("player_name", ToWide(p.options.name));
  const bool knownSkill = p.difficulty >= 0 && p.difficulty < static_cast<int32_t>(std::size(kSkillTexts));
  theme_->SetText("player_skill", knownSkill ? owner_.Text(kSkillTexts[p.difficulty]) : std::u16string());
  const double score = std::isfinite(s.score) ? std::clamp(static_cast<double>(s.score), -9.0e15, 9.0e15) : 0.0;
  theme_->SetText("player_score", Number(static_cast<int64_t>(score)));
  theme_->SetText("player_hitcounts", Number(s.hits) + u"/" + Number(s.noteCount));
  theme_->SetText("player_accuracy", PercentText(s.hits, s.noteCount));
  theme_->SetText("player_maxcombo", Number(s.maxStreak));
  theme_->SetText("player_lives", Number(p.revivesLeft));
  theme_->SetText("player_accuracy_perfect", KindShareText(p.perfectCount, p.perfectCount, p.goodCount, p.lateCount));
  theme_->SetText("player_accuracy_normal", KindShareText(p.goodCount, p.perfectCount, p.goodCount, p.lateCount));
  theme_->SetText("player_accuracy_sloppy", KindShareText(p.lateCount, p.perfectCount, p.goodCount, p.lateCount));
  theme_->SetText("player_deathtime", DeathTimeText(deathTime));
  theme_->SetText("player_scoreinfo", scoreInfo);
}

bool SoloBox::LoadTheme(const std::u16string& folder) {
  theme_.reset();
  theme_ = owner_.LoadTheme("game_player_solo", folder);
  if (!theme_) return false;
  Update();
  return true;
}

void SoloBox::Bind(const Player* p) {
  if (p != player_) lastStreak_ = p ? p->score().streak : 0;
  player_ = p;
}

const LaneSection* SoloBox::CurrentSolo() const {
  if (!player_) return nullptr;
  const LaneSectionList& sections = player_->track.sections;
  return sections.soloActive() ? sections.currentSolo() : nullptr;
}

bool SoloBox::InSolo() const { return CurrentSolo() != nullptr; }

void SoloBox::Update() {
  if (!theme_ || !player_) return;
  if (const LaneSection* solo = CurrentSolo()) {
    theme_->SetText("solo_percent", PlayerBox::PercentText(solo->soloHits, solo->soloNotes));
    if (!solo->finished) {
      theme_->SetText("solo_rating", u"");
      theme_->SetText("solo_points", u"");
    } else {
      const bool known = solo->grade >= 0 && solo->grade < static_cast<int32_t>(std::size(kSoloRatingTexts));
      theme_->SetText("solo_rating", known ? owner_.Text(kSoloRatingTexts[solo->grade]) : std::u16string());
      theme_->SetText("solo_points", Number(solo->bonus));
    }
  }
  // The score's combo-broken flag stays set once any combo broke; the break itself is
  // the frame a streak of ten or more falls, so the event plays once per break and its
  // animation is not restarted every frame after.
  const PlayerScore& s = player_->score();
  if (s.comboBroken && lastStreak_ >= kComboBreakStreak && s.streak < lastStreak_) ShowComboBreak();
  lastStreak_ = s.streak;
}

void SoloBox::ShowComboBreak() {
  if (theme_) theme_->TriggerEvent("state_event", "", "combo_break");
}

}  // namespace menus
