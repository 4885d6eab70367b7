// Chart markers that change how the notes around them are played and scored: solo
// sections (graded, a bonus at their end), breaks (no notes: presses play free
// sounds), lane spans (presses on covered lanes are never overhits), and the timed
// chart events (energy phrase under the play position, drum-mix flip, keys ranges,
// key signature) that the frame advances with the song time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "game/lane_map.h"

// One chart event as the marker readers see it (times of the part, in ms and ticks).
struct ChartEventInfo {
  int32_t kind = 0;       // 0x90 note-on, 0x80 note-off, 0x2F end of track, 0x01 text ...
  int32_t channel = 0;    // 1-based
  int32_t note = 0;       // or the first data value
  int32_t velocity = 0;   // or the second data value
  double timeMs = 0;
  double tick = 0;
  const uint32_t* spanNotes = nullptr;  // 5 counts on solo markers
  const char* text = nullptr;
};

constexpr int32_t kLaneSpanValues = 22;

enum LaneSectionType : int32_t { kSectionSolo = 1, kSectionBreak = 2, kSectionLaneSpan = 3 };

struct LaneSection {
  float start = 0, end = 0;          // ms
  float startTick = 0, endTick = 0;
  int32_t type = 0;
  // Lane spans only: presses counted per (fret slot, value).
  std::unique_ptr<int32_t[]> counters;
  int32_t soloNotes = 0;
  int32_t soloHits = 0;
  int32_t bonusPerHit = 0;
  int32_t bonus = 0;
  int32_t grade = 0;
  bool finished = false;
  bool bonusPending = false;
  int32_t kind = 0;
  int32_t laneCount = 0;
  int32_t options = 0;

  int32_t* Counter(int32_t slot, int32_t value);
  const int32_t* Counter(int32_t slot, int32_t value) const;
};

// Grade and points per hit of a solo of `notes` notes with `hits` hits. A solo with
// no notes at the player's difficulty gets the lowest grade and pays nothing.
void GradeSolo(int32_t hits, int32_t notes, int32_t* grade, int32_t* pointsPerHit);

class LaneSectionList {
 public:
  void Setup(int32_t energyNote, int32_t kind, int32_t laneCount, int32_t options, int32_t difficulty);
  void Clear();

  void OnChartEvent(const ChartEventInfo& e, int32_t ticksPerQuarter);
  // Every frame: the sections under t; solos past their end + margin are graded.
  void FindActive(double t, double margin);
  void AdjustLaneCount(int32_t slot, int32_t value, bool increase, double tick);
  // A press on (slot, value) covered by the active lane span.
  bool Covered(int32_t slot, int32_t value) const;
  // A scored note hit at `tick` counts for the solos whose tick span holds it.
  void CountSoloHit(double tick);
  // The bonus of every graded solo not yet paid, once.
  int32_t TakePendingBonus();

  bool inBreak() const { return inBreak_; }
  bool soloActive() const { return soloActive_; }
  bool laneSpanActive() const { return laneSpanActive_; }
  const LaneSection* currentSolo() const;
  const std::vector<LaneSection>& sections() const { return sections_; }

 private:
  LaneSection& Append(int32_t type, double startMs, double endMs, double startTick, double endTick);
  LaneSection* LastOfType(int32_t type);

  std::vector<LaneSection> sections_;
  bool inBreak_ = false;
  bool soloActive_ = false;
  int32_t currentSolo_ = -1;
  bool laneSpanActive_ = false;
  int32_t currentSpan_ = -1;
  // The reader's context.
  int32_t energyNote_ = 116;
  int32_t kind_ = 0;
  int32_t laneCount_ = 5;
  int32_t options_ = 0;
  int32_t difficulty_ = 0;
  float lastNoteTime_ = 0;
  float lastTick_[128] = {};
  bool firstNoteSeen_ = false;
};

// Timed chart events, applied as the song time passes them.
class MixSectionList {
 public:
  enum NodeType : int32_t {
    kPhraseOn = 2, kPhraseOff = 3, kMixFlipOn = 4, kMixFlipOff = 5, kKeysRange = 6, kKeySignature = 7
  };
  struct Node {
    float time = 0;
    int32_t type = 0;
    int32_t a = 0;
    int32_t b = 0;
    bool shown = false;
  };

  void Setup(int32_t energyNote, int32_t difficulty, int32_t kind);
  void Clear();
  void AddChartEvent(const ChartEventInfo& e);
  void AddKeySignature(double timeMs, int32_t first, int32_t second);
  void Advance(double t, double speed);

  bool phraseActive = false;
  int32_t phraseNumber = 0;
  int32_t difficulty = 0;
  int32_t kind = 0;
  bool mixFlip = false;
  int32_t keySignature[2] = {0, 0};
  int32_t currentRange[2] = {0, 0};
  int32_t nextRange[2] = {0, 0};
  bool rangeChangeActive[2] = {false, false};
  bool rangeChangeComing[2] = {false, false};

  const std::vector<Node>& nodes() const { return nodes_; }

 private:
  void Add(double time, int32_t type, int32_t a, int32_t b);

  std::vector<Node> nodes_;
  int32_t energyNote_ = 116;
};
