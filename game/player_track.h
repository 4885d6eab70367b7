// The note track of one player: the two windows of 75 records filled from the chart
// part as the song goes on, the judging state of every lane, the score, the energy
// logic and the chart markers. The board's visuals read it and are told of effects
// through BoardEffects.
#pragma once

#include <cstdint>

#include "game/game_services.h"
#include "game/lane_map.h"
#include "game/lane_sections.h"
#include "game/note_record.h"
#include "game/player_score.h"
#include "game/tempo_map.h"
#include "game/track_meters.h"

class MidiEvent;

// Serials of activation notes lie above every chart note's serial.
constexpr int32_t kActivationSerialBase = 1 << 24;

class PlayerTrack {
 public:
  PlayerTrack();

  // Prepares the track for a part. `partEvents` and `tempoEvents` are the heads of
  // the part's and the first track's event lists (either may be null).
  void SetupNotes(const MidiEvent* partEvents, const MidiEvent* tempoEvents, int32_t ticksPerQuarter,
                  int32_t difficulty, int32_t kind, bool lefty, int32_t laneCount, int32_t boardOption,
                  int32_t energyNote, GameContext* context, int32_t keysLow, int32_t keysHigh);

  void RetireNotes();
  void SpawnNotes();
  void SpawnBeatLines();
  void ScrollNotes(float videoCalibration, double hitWindow, float speed, double songTime,
                   float noteSpeedFactor);
  bool SeekTo(double t);

  // Judging hooks.
  void OnNoteHit(int32_t slot, bool assistAll);
  void MarkMissed(int32_t slot);
  void FailPhrase(int32_t phrase);
  // Ends sustains whose fret is no longer held as they need; true when one ended.
  bool UpdateFretState(int32_t slot);
  bool ActivateEnergy();
  void ComputeEnergyEnd();
  void EndEnergy();
  void ScoreSustains();

  double BeatAt(double ms) const { return tempo.MsToBeat(ms); }
  // The scroll of the last frame: board distance = (time - calibration - song time) / factor.
  float videoCalibration() const { return videoCalibration_; }
  float noteSpeedFactor() const { return noteSpeedFactor_; }
  bool anySustainHeld() const { return anySustainHeld_; }
  const GameContext* context() const { return context_; }

  // Data the Player and the renderer read.
  MixSectionList mix;
  NoteRecord notes[kNoteSlots];
  BeatLine beats[kNoteSlots];
  ChordGroup groups[kNoteSlots];
  LaneState lanes[kLaneSlots];
  PlayerScore score;
  LaneSectionList sections;
  TempoMap tempo;
  TrackMeters meters;
  BoardEffects* fx;

  int32_t kind = 0;
  int32_t difficulty = 0;
  int32_t laneCount = 5;
  bool lefty = false;
  int32_t boardOption = 0;
  int32_t drumSwap = 0;
  int32_t baseNote = 0;
  int32_t topNote = 0;
  int32_t energyNote = 116;
  int32_t lastSpawnSlot = -1;
  bool spawnMixFlip = false;   // the drum-mix flip as the chart is read
  double currentBeat = 0;
  float currentTime = 0;
  float boardScroll = 0;
  bool flashRaised = false;
  bool practiceLimitOn = false;
  double practiceLimitTime = 0;
  // Keys boards: the first lane of the visible key window of each hand, moving to
  // `keyWindowTarget` over half a second.
  float keyWindow[2] = {0, 0};
  float keyWindowTarget[2] = {0, 0};
  int32_t visibleKeys[2] = {0, 0};
  // Whammy state.
  bool whammyActive = false;
  float whammyValue = 0;
  uint32_t whammyTime = 0;

 private:
  struct Span {
    bool open = false;
    double start = 0;
    int32_t value = 0;
  };

  int32_t FreeNoteSlot() const;
  void HandleEvent(const MidiEvent* e);
  void AddNote(int32_t slot, int32_t lane, const MidiEvent* e, int32_t drumPiece);
  void ReleaseSlot(int32_t slot);
  void FinishHopoGroup();
  void ApplySpans(const MidiEvent* e);
  void ApplyProHammerOn(int32_t slot);
  void MarkPhrase(const MidiEvent* e, int32_t newSlot);
  void EndSustainOf(const MidiEvent* e);
  void UpdateActivationNote();
  void MoveKeyWindows();
  double HopoThreshold() const;
  int32_t LaneSpanValue(const NoteRecord& n) const;

  GameContext* context_ = nullptr;
  GameContext defaultContext_;
  const MidiEvent* cursor_ = nullptr;
  double partTick_ = 0;
  double partTime_ = 0;
  size_t keySigCursor_ = 0;
  int32_t ticksPerQuarter_ = 480;
  int32_t serialCounter_ = 0;
  int64_t nextBeat_ = 0;
  int64_t lastBeat_ = 0;
  int32_t beatSerial_ = 0;
  int32_t lastSlotForNote_[128];
  // The lane-span counter each window slot added to; taken back when the slot is
  // filled again.
  struct CountedKey {
    int32_t slot = -1;
    int32_t value = 0;
    float tick = 0;
  };
  CountedKey counted_[kNoteSlots];
  bool anySustainHeld_ = false;
  // Markers.
  Span forceHopo_, forceStrum_, proHopo_, slideSpan_;
  Span sysex_[11];
  Span tom_[3];
  double mixFlipStart_ = 0;
  // The automatic hammer-on rule: the notes of the tick being read and of the tick
  // before it.
  double groupTick_ = -1;
  int32_t groupSlots_[kMaxGroupNotes] = {};
  int32_t groupCount_ = 0;
  double prevGroupTick_ = -1;
  uint32_t prevGroupLanes_ = 0;
  bool prevGroupValid_ = false;
  // Energy phrases.
  bool phraseOpen_ = false;
  double phraseStart_ = 0;
  int32_t phraseNumber_ = 0;
  bool phraseFailed_[kMaxEnergyPhrases] = {};
  // Scroll parameters of the last frame (a seek scrolls with them).
  float videoCalibration_ = 0;
  double hitWindow_ = 85.0;
  float noteSpeedFactor_ = 2.0f;
  uint32_t keyMoveTime_ = 0;
  float keyMoveSpeed_[2] = {0, 0};
  int32_t shownRange_[2] = {-1, -1};
};
