// The end of a song: whether its result may be stored, the stored result (the song's
// score file, and the career's progress file in career mode) and each player box's
// result text.
#include <cmath>
#include <string>

#include "core/lang_ids.h"
#include "core/log.h"
#include "game/level/level.h"
#include "song/career.h"
#include "song/profile.h"
#include "song/song.h"

namespace {

// A value a result can store: truncated, and 0 for what is not a finite number.
int32_t Stored(double value) {
  if (!std::isfinite(value) || value > 2147483647.0 || value < -2147483648.0) return 0;
  return static_cast<int32_t>(std::trunc(value));
}

// The best stored score that this result would compete with: alone, the entry of the
// name and instrument; with others, the entry of the name and the number of players.
int32_t BestOf(const ScoreTable& table, const std::string& name, int32_t kind, int32_t players) {
  const std::string stored = StoredScoreName(name);
  int32_t best = -1;
  for (int32_t i = 0; i < table.count && i < ScoreTable::kSlots; ++i) {
    const ScoreEntry& e = table.entries[static_cast<size_t>(i)];
    if (e.name != stored || e.players != players) continue;
    if (players == 1 && e.instrument != kind) continue;
    if (e.score > best) best = e.score;
  }
  return best;
}

// The songs of the played career track: the total its progress is counted against.
int32_t CareerSongTotal(const Career& career) {
  const CareerTrack* track = career.selectedTrack;
  if (!track) return 0;
  int32_t total = 0;
  for (const CareerTier& tier : track->tiers) {
    if (tier.songCount > 0) total += tier.songCount;
  }
  return total;
}

}  // namespace

void ShowHighScoreResult() {
  LevelSession& session = Session();
  LevelState& level = Level();
  const Settings& settings = *session.settings;
  InGameState& ui = session.ingame;
  const int32_t count = level.playerCount;
  Player* players = level.players.get();
  Song* song = session.CurrentSong();
  const bool calibration = song && song->info && song->info->vl_calibrator;

  // Every reason that holds writes its text; the last one examined is what shows.
  bool refused = false;
  auto reason = [&](bool holds, int32_t id) {
    if (!holds) return;
    refused = true;
    for (int32_t i = 0; i < count && i < kMaxLevelPlayers; ++i) ui.resultText[static_cast<size_t>(i)] = settings.language.GetString(id);
  };
  bool meterEmptied = false, guest = false, assisted = false;
  for (int32_t i = 0; i < count; ++i) {
    meterEmptied = meterEmptied || players[i].score().meterEmptied;
    guest = guest || level.info[static_cast<size_t>(i)].guest;
    assisted = assisted || players[i].assistBits != 0;
  }
  reason(settings.DEBUGMODE, LANG("LANG_SCORE_ERROR_DEBUG_MODE"));
  reason(session.gameType != 0, LANG("LANG_SCORE_ERROR_GAME_MODE"));
  reason(settings.DRUNK, LANG("LANG_SCORE_ERROR_DRUNK_MODE"));
  reason(session.practice, LANG("LANG_SCORE_ERROR_PRACTICE"));
  reason(calibration, LANG("LANG_SCORE_ERROR_CALIBRATING"));
  reason(settings.NOFAILMODE != 0 && meterEmptied, LANG("LANG_SCORE_ERROR_NO_FAIL_MODE"));
  reason(guest && !session.career, LANG("LANG_SCORE_ERROR_GUEST"));
  reason(assisted, LANG("LANG_SCORE_ERROR_BOT"));
  if (refused) return;

  // Accuracy: the mean over the players whose part has notes (a part without notes
  // has no accuracy to give); 200 marks a full combo of the band at expert or above.
  double accuracySum = 0.0, difficultySum = 0.0;
  int32_t accuracyPlayers = 0, overhits = 0;
  for (int32_t i = 0; i < count; ++i) {
    const PlayerScore& s = players[i].score();
    if (s.noteCount > 0) {
      accuracySum += static_cast<double>(s.hits) / static_cast<double>(s.noteCount) * 100.0;
      ++accuracyPlayers;
    }
    difficultySum += players[i].difficulty;
    overhits += s.overhits;
  }
  float accuracy = accuracyPlayers > 0 ? static_cast<float>(accuracySum / accuracyPlayers) : 0.0f;
  const double meanDifficulty = count > 0 ? difficultySum / count : 0.0;
  if (accuracyPlayers > 0 && std::trunc(accuracy) >= 100.0f && overhits == 0 && std::trunc(meanDifficulty) >= 3.0)
    accuracy = 200.0f;

  const float total = level.rating ? level.rating->totalScore : 0.0f;
  const float ratingLevel = level.rating ? level.rating->level : 0.0f;
  const int32_t storedScore = Stored(total);
  const int32_t storedRating = Stored(std::floor(ratingLevel));
  const int32_t storedAccuracy = Stored(accuracy);
  ScoreTable* table = song ? song->scores.get() : nullptr;

  for (int32_t i = 0; i < count; ++i) {
    Player& p = players[i];
    LevelPlayerInfo& pi = level.info[static_cast<size_t>(i)];
    pi.bestScore = -1;
    pi.thisScore = storedScore;
    if (pi.guest || p.remote || !table) continue;
    const std::string& name = p.options.name;
    pi.bestScore = BestOf(*table, name, p.kind, count);
    table->AddScore(count, storedScore, storedRating, storedAccuracy, p.difficulty, p.kind, name);
  }

  for (int32_t i = 0; i < count && i < kMaxLevelPlayers; ++i) {
    const LevelPlayerInfo& pi = level.info[static_cast<size_t>(i)];
    std::u16string& text = ui.resultText[static_cast<size_t>(i)];
    if (players[i].remote) {
      text.clear();
    } else if (pi.bestScore == -1) {
      text = u"New High Score";
    } else if (pi.thisScore > pi.bestScore) {
      text = u"You Beat Your High Score";
    } else if (pi.thisScore == pi.bestScore) {
      text = u"You Matched Your High Score";
    } else {
      text = u"You Didn't Beat Your High Score";
    }
  }

  if (session.career) {
    Career* career = session.careerData;
    if (career && career->selectedUser) {
      const std::string hash = table ? table->chartHash : std::string();
      UserData::Save(*career->selectedUser, storedScore, storedRating, storedAccuracy, 1, CareerSongTotal(*career),
                     hash);
    } else {
      Log(0, u"Career Result Not Saved: No Career User");
    }
    for (int32_t i = 0; i < count && i < kMaxLevelPlayers; ++i) ui.resultText[static_cast<size_t>(i)].clear();
  }
}
