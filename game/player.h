// One person (local, remote or replayed) playing one chart part on one board: the
// note track, the input of the frame, the judging of presses, strums and the passing
// of time against the notes in play, and the messages that keep the other machines
// of an online game in step.
#pragma once

#include <cstdint>

#include "devices/input/input_event.h"
#include "game/chart_score.h"
#include "game/game_services.h"
#include "game/input_history.h"
#include "game/player_track.h"

class MidiFile;

// The notes of the last drum activation hit, or a five-fret strum waiting for its
// frets.
struct ChordRecord {
  int32_t value = 0;
  bool flag = false;
  double time = 0;
  int32_t lanes[10] = {};
  int32_t count = 0;
};

class Player {
 public:
  static constexpr int32_t kMaxEvents = static_cast<int32_t>(kMaxFetchEvents);
  static constexpr int32_t kDrumPieceFlags = 7;

  Player();
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Prepares the board for the chart part at track index `track` (-1: the first
  // track record, with no events).
  void SetupBoard(MidiFile* chart, int32_t track);
  void Update(bool readInput, bool suppressJudging, double songTimeMs, float speed);

  void ReadInput();
  void ReadInputPro();
  bool RequestPause();
  void ReleaseAllLanes();
  bool RequestEnergy();
  void OnWhammy(float value);
  void WhammyTimeout();
  void UpdateOpenLane();
  int32_t HighestHeldLane() const;

  // Judging (lanes are fret slots from OnLaneInput on).
  void SetLaneState(int32_t lane, bool pressed, int32_t value, int32_t velocity);
  void Strum(int32_t string, int32_t velocity);
  void OnLaneInput(int32_t slot, bool pressed, int32_t value, int32_t velocity);
  void OnStrum(int32_t lane, int32_t velocity);
  void OnUnmatchedPress(int32_t slot, int32_t value, int32_t velocity);
  void CheckMissedNotes();
  void ApplyHits(const int32_t* slots, int32_t count, bool perNote);
  void AssistStep();
  void MissNotes(int32_t serial);
  void MissChordAt(float time);
  bool MissSlot(int32_t slot);

  // Messages to the other machines (type 2; nothing offline).
  void SendHit(int32_t serial);
  void SendPress(int32_t slot, int32_t value, int32_t velocity);
  void SendLaneState(int32_t slot, int32_t value, bool pressed);
  void SendEnergy();
  void SendMiss(int32_t serial);
  void SendScoreState();
  void SendWhammy(bool on);

  // Handlers for a remote player.
  void RemoteHit(int32_t serial);
  void RemotePress(int32_t slot, int32_t value, int32_t velocity);
  void RemoteFretState(int32_t slot, int32_t value, bool pressed);
  void RemoteMiss(int32_t serial, bool breakStreak);
  void RemoteState(int32_t stepHits, int32_t multiplier, float meter, int32_t hits, int32_t maxStreak,
                   int32_t perfect, int32_t good, float score);
  void RemoteWhammy(bool on);
  void RemoteMissStep();
  // Decodes one in-play game message (codes 10-14, 34, 35) for this remote player.
  // False when the code is not one of them, the player is not remote, the slot does
  // not match, or a value is out of range (the message is then dropped).
  bool ApplyRemoteMessage(const GameMessage& message);

  PlayerScore& score() { return track.score; }
  const PlayerScore& score() const { return track.score; }
  bool failed() const { return track.score.failed; }

  // Fields.
  bool strumFlag = false;
  // The context this player reads (its own one until the level points it elsewhere).
  GameContext ownContext;
  GameContext* context = nullptr;
  PlayerTrack track;
  MidiFile* chart = nullptr;
  PlayerOptions options;
  PlayerInput* input = nullptr;
  ChartScore chartScore;
  double strumTime = 0;
  double lastHitTime = 0;
  int32_t lastStrumLanes[10] = {};
  int32_t lastStrumCount = 0;
  ChordRecord activationChord;
  ChordRecord pendingStrum;
  int32_t pendingLane = 0;
  bool pendingChord = false;
  InputHistory history;
  bool laneHit[kLaneSlots] = {};
  // This frame's drum pieces (1 kick .. 6, index 0 unused) with a note hit or missed:
  // the song mix cuts and restores each piece's stem on its own.
  bool pieceHit[kDrumPieceFlags] = {};
  bool pieceMissed[kDrumPieceFlags] = {};
  int32_t kind = 0;
  int32_t laneVoices[kLaneSlots];
  int32_t laneCount = 5;
  int32_t difficulty = 0;
  InputEvent events[kMaxEvents];
  int32_t eventCount = 0;
  int32_t menuRequestCode = 0;
  bool menuRequest = false;
  double songTime = 0;
  double savedSongTime = 0;
  int32_t boardMode = 3;
  double hitWindow = 85.0;
  bool neckLoaded = false;
  bool remote = false;
  int32_t netSlot = -1;
  int32_t drumOption = 0, fiveFretOption = 0, keysOption = 0, danceOption = 0;
  uint32_t assistBits = 0;
  double hitDelaySum = 0;
  int32_t hitDelayCount = 0;
  bool lefty = false;
  bool judgingSuppressed = false;
  bool demoPlayback = false;
  int32_t demoIndex = 0;
  int32_t perfectCount = 0, goodCount = 0, lateCount = 0;
  uint32_t assistFumbleUntil = 0, assistNextCheck = 0, assistLastHit = 0;
  bool autoStrumGuard = true;
  int32_t autoStrumCount = 0;
  float speed = 1.0f;
  int32_t pedalState = 0;      // drums_real hi-hat pedal: 0 closed .. 3
  // Read by the level's revive step.
  bool reviveRequest = false;
  int32_t revivesLeft = 0;
  int32_t reviveCount = 0;
  // The score state sends at most every kScoreStateIntervalMs while it changes and
  // repeats an unchanged one every kScoreStateRepeatMs (platform::TimeGetTime ms).
  static constexpr uint32_t kScoreStateIntervalMs = 50;
  static constexpr uint32_t kScoreStateRepeatMs = 250;

 private:
  bool Hittable(const NoteRecord& n, double now) const;
  int32_t FindNoteOnLane(int32_t slot, int32_t value) const;
  void HandleEvent(const InputEvent& e);
  void HandleEventPro(const InputEvent& e);
  void Tilt(const InputEvent& e);
  void FretMissEffect(int32_t slot);
  void MarkPiece(const NoteRecord& n, bool hit);
  void Freestyle(int32_t slot, int32_t value);
  int32_t FreestyleSound(int32_t slot, int32_t value) const;
  void DrumActivationHit(int32_t slot);
  void RefreshFretStates(int32_t pressedSlot);
  bool FiveFretMatch(bool strum, int32_t onlyFlag);
  bool HeldIsLastStrum() const;
  bool HeldEquals(const int32_t* lanes, int32_t count) const;
  bool ProTryHammerOn();
  void PendingStrumStep();
  void GradeTiming(const NoteRecord& n);
  bool AssistCooldown(uint32_t now);
  void RecordMiss(int32_t serial);
  bool Send(GameMessage& m);
  float NoteSpeedFactor() const;
  // The last score state sent and when; none yet after the board's set-up.
  bool scoreStateSent_ = false;
  uint32_t scoreStateSentAt_ = 0;
  int32_t scoreStateFields_[5] = {};
  bool LocalRecording() const;
};
