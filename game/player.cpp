#include "game/player.h"

#include <algorithm>

#include "core/folders.h"
#include "core/log.h"
#include "core/utils.h"
#include "game/demo_player.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "song/instrument.h"
#include "song/midi_file.h"

namespace {

BoardEffects g_noBoardEffects;

std::u16string WithSlashes(std::u16string path) {
  std::replace(path.begin(), path.end(), u'\\', u'/');
  if (!path.empty() && path.back() != u'/') path += u'/';
  return path;
}


}  // namespace

Player::Player() {
  context = &ownContext;
  track.fx = &g_noBoardEffects;
  std::fill(std::begin(laneVoices), std::end(laneVoices), -1);
}

Player::~Player() {
  if (neckLoaded && track.fx) track.fx->ReleaseNeck();
  neckLoaded = false;
}

float Player::NoteSpeedFactor() const {
  int32_t noteSpeed = LaneMap::IsProKind(kind) ? options.proNoteSpeed : options.noteSpeed;
  const Settings* s = context ? context->settings : nullptr;
  if (remote && s && s->OVERRIDEREMOTEBOARDSPEED) noteSpeed = s->REMOTEBOARDSPEED;
  // A speed of 52 or more would stop the board or run it backwards.
  noteSpeed = std::clamp(noteSpeed, 2, 50);
  return static_cast<float>(52 - noteSpeed) * 0.1f;
}

bool Player::LocalRecording() const {
  return context && context->settings && context->settings->RECORDGAMEPLAY && context->recorder;
}

void Player::SetupBoard(MidiFile* chartValue, int32_t trackIndex) {
  if (!context) context = &ownContext;
  if (!track.fx) track.fx = &g_noBoardEffects;
  chart = chartValue;
  scoreStateSent_ = false;
  laneCount = LaneMap::NormalLaneCount(kind, laneCount);
  if (LaneMap::IsDrumKind(kind)) {
    lefty = options.leftyDrums;
  } else if (kind == Instrument::keys) {
    lefty = options.leftyKeys;
  } else if (kind == Instrument::dance) {
    lefty = false;
  } else {
    lefty = options.leftyGuitar;
  }

  if (!context->career) {
    drumOption = options.drumAssist;
    fiveFretOption = options.fiveFretAssist;
    keysOption = options.keysAssist;
    danceOption = options.danceAssist;
  }
  assistBits = 0;
  if (LaneMap::IsDrumKind(kind)) {
    if (drumOption == 1) assistBits |= 1;
    if (drumOption == 2 || drumOption == 4) assistBits |= 2;
    if (kind == Instrument::drums_real && (drumOption == 3 || drumOption == 4)) assistBits |= 4;
  } else if (kind == Instrument::bass || kind == Instrument::guitar || kind == Instrument::bass_real ||
             kind == Instrument::guitar_real || kind == Instrument::guitar_rhythm || kind == Instrument::guitar_coop) {
    if (fiveFretOption == 1) assistBits |= 1;
  } else if (LaneMap::IsKeysKind(kind)) {
    if (keysOption == 1) assistBits |= 1;
    if (kind == Instrument::keys_real && keysOption == 2) assistBits |= 8;
    if (kind == Instrument::keys_real && keysOption == 3) assistBits |= 16;
  } else if (kind == Instrument::dance) {
    if (danceOption == 1) assistBits |= 1;
  }

  const MidiEvent* partEvents = nullptr;
  const MidiEvent* tempoEvents = nullptr;
  int32_t energyNote = kEnergyNote;
  int32_t division = 480;
  int32_t keysLow = options.keysOption1, keysHigh = options.keysOption2;
  if (chart) {
    division = chart->header.division;
    tempoEvents = chart->tracks[0].events;
    if (trackIndex >= 0 && trackIndex < kMidiTrackSlots) {
      const MidiTrack& part = chart->tracks[static_cast<size_t>(trackIndex)];
      partEvents = part.events;
      energyNote = part.energyNote;
      keysLow = std::max(keysLow, part.keysLaneCountLeft);
      keysHigh = std::max(keysHigh, part.keysLaneCountRight);
    }
  }
  if (context->song.multiplierNote != 0) energyNote = context->song.multiplierNote;
  track.drumSwap = options.drumSwap;
  const int32_t board = LaneMap::IsDrumKind(kind) ? options.drumBoardOption : options.boardOption;
  track.SetupNotes(partEvents, tempoEvents, division, difficulty, kind, lefty, laneCount, board, energyNote, context,
                   keysLow, keysHigh);
  track.RetireNotes();
  track.SpawnNotes();
  track.SpawnBeatLines();

  if (!context->practice) {
    const Settings* s = context->settings;
    const std::u16string theme = s ? WithSlashes(s->themeFolder.empty() ? s->THEME : s->themeFolder) : u"";
    std::u16string path = PickRandomFile(0, theme + u"static/necks/", options.neckName, u"*.png");
    if (path.empty()) {
      Log(0, u"Loading From Default Necks");
      path = PickRandomFile(0, u"themes/default/static/necks/", u"[Random]", u"*.png");
    }
    if (neckLoaded) track.fx->ReleaseNeck();
    neckLoaded = !path.empty() && track.fx->LoadNeck(path);
    if (!neckLoaded) Log(0, u"ERROR! Could Not Load Neck:" + path);
  }

  const int32_t mode = context->gameMode;
  const bool head = mode == 1 || (mode >= 5 && mode <= 7) || context->playerCount == 1;
  boardMode = head ? 0 : 3;
  revivesLeft = head ? 0 : 3;
  std::fill(std::begin(laneHit), std::end(laneHit), false);
  std::fill(std::begin(pieceHit), std::end(pieceHit), false);
  std::fill(std::begin(pieceMissed), std::end(pieceMissed), false);
  UpdateOpenLane();
}

void Player::Update(bool readInput, bool suppressJudging, double songTimeMs, float speedValue) {
  speed = speedValue;
  songTime = songTimeMs;
  judgingSuppressed = suppressJudging;
  std::fill(std::begin(laneHit), std::end(laneHit), false);
  std::fill(std::begin(pieceHit), std::end(pieceHit), false);
  std::fill(std::begin(pieceMissed), std::end(pieceMissed), false);
  track.flashRaised = false;
  track.currentTime = static_cast<float>(songTime);
  track.currentBeat = track.BeatAt(songTime);

  if (!remote) {
    if (!demoPlayback) CheckMissedNotes();
    ParkedPress due[InputHistory::kSlots];
    const int32_t n = history.TakeDue(due, songTime);
    for (int32_t i = 0; i < n; ++i) OnUnmatchedPress(due[i].lane, due[i].value, due[i].velocity);
    if (n > 0) strumFlag = false;
    if (LaneMap::IsFiveFretKind(kind)) PendingStrumStep();
  } else {
    RemoteMissStep();
  }

  if (readInput) {
    if (LaneMap::IsProKind(kind)) {
      ReadInputPro();
    } else {
      ReadInput();
    }
    WhammyTimeout();
  }
  if (assistBits != 0 && !remote && readInput && !failed()) AssistStep();

  track.RetireNotes();
  track.SpawnNotes();
  track.SpawnBeatLines();
  const float videoCalibration =
      context && context->settings ? static_cast<float>(context->settings->VIDEOCALIBRATION) : 0.0f;
  track.ScrollNotes(videoCalibration, hitWindow, speed, songTime, NoteSpeedFactor());
}

void Player::ReadInput() {
  eventCount = 0;
  if (input) input->GetEvents(events, eventCount);
  eventCount = std::clamp(eventCount, 0, kMaxEvents);
  for (int32_t i = 0; i < eventCount; ++i) events[i].time = songTime;
  if (demoPlayback) {
    // The recorded events stand in for the controller's.
    eventCount = 0;
    DemoEventList* list = context && context->playback ? context->playback->List(demoIndex) : nullptr;
    if (list) list->FetchEvents(events, eventCount, songTime);
  }
  DemoEventList* recorder = LocalRecording() ? context->recorder->List(demoIndex) : nullptr;
  for (int32_t i = 0; i < eventCount; ++i) {
    const InputEvent& e = events[i];
    savedSongTime = songTime;
    if (demoPlayback) {
      songTime = e.time;
      track.currentTime = static_cast<float>(songTime);
      track.currentBeat = track.BeatAt(songTime);
    }
    if (recorder) recorder->Record(e);
    if (demoPlayback && e.id == kRecordedMissCode) {
      if (e.flag == 1) MissNotes(static_cast<int32_t>(e.word));
    } else {
      HandleEvent(e);
    }
    if (demoPlayback) {
      songTime = savedSongTime;
      track.currentTime = static_cast<float>(songTime);
      track.currentBeat = track.BeatAt(songTime);
    }
  }
}

void Player::HandleEvent(const InputEvent& e) {
  const bool p = e.pressed;
  const int32_t v = e.value;
  const uint32_t code = e.id;
  const bool drums = LaneMap::IsDrumKind(kind);

  if (code >= 100) {
    if (kind == Instrument::keys) {
      const int32_t n = static_cast<int32_t>((code - 100) % 12);
      static constexpr int32_t kLayout1[5] = {0, 1, 2, 3, 4};
      static constexpr int32_t kLayout2[5] = {4, 6, 8, 10, 11};
      static constexpr int32_t kLayoutDefault[5] = {0, 2, 4, 5, 7};
      const int32_t* layout =
          options.keyLayout == 1 ? kLayout1 : options.keyLayout == 2 ? kLayout2 : kLayoutDefault;
      for (int32_t i = 0; i < 5; ++i) {
        if (layout[i] == n) SetLaneState(i + 1, p, 0, v);
      }
    } else if (kind == Instrument::keys_adv && code >= 148 && code <= 172) {
      SetLaneState(static_cast<int32_t>(code) - 120, p, 0, v);
    } else if (kind == Instrument::keys_real && code >= 121 && code <= 208) {
      // Keys 21..108: lanes 1..88; other MIDI keys have no lane.
      SetLaneState(static_cast<int32_t>(code) - 120, p, 0, v);
    }
    return;
  }

  switch (code) {
    case 10:
      if (drums) SetLaneState(0, p, 0, v);
      break;
    case 11:
      if (kind == Instrument::drums || kind == Instrument::drums_adv) {
        SetLaneState(0, p, 0, v);
      } else if (kind == Instrument::drums_real) {
        pedalState = v >= 120 ? 0 : (v < 80 ? 1 : 3);
        SetLaneState(lefty ? 1 : 3, p, 2, v);
      }
      break;
    case 1: SetLaneState(1, p, (kind == Instrument::drums_real && lefty) ? pedalState : 0, v); break;
    case 2: SetLaneState(2, p, 0, v); break;
    case 3: SetLaneState(3, p, (kind == Instrument::drums_real && !lefty) ? pedalState : 0, v); break;
    case 24:
    case 25:
    case 26:
    case 27: SetLaneState(3, p, static_cast<int32_t>(code) - 24, v); break;
    case 4: SetLaneState(4, p, 0, v); break;
    case 5:
      if (laneCount == 5) SetLaneState(5, p, 0, v);
      break;
    case 7:
    case 8:
    case 9: SetLaneState(static_cast<int32_t>(code) - 1, p, 0, v); break;
    case 12:
    case 13:
    case 14:
    case 15:
      if (p && !failed() && !judgingSuppressed) OnStrum(0, 128);
      break;
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40: {
      const int32_t axis = static_cast<int32_t>(code) - 34;
      if ((options.strumAxis == 0 || options.strumAxis == axis) && v > options.strumAxisThreshold) Strum(0, 128);
      break;
    }
    case 18:
      if (p) RequestPause();
      break;
    case 16:
    case 17:
      if (p) {
        menuRequest = true;
        menuRequestCode = code == 16 ? 2 : 3;
      }
      break;
    case 19:
      if (p && (LaneMap::IsFiveFretKind(kind) || LaneMap::IsKeysKind(kind)) && !failed()) RequestEnergy();
      break;
    case 23:
      if (options.tiltOption) Tilt(e);
      break;
    case 21:
      if (kind != Instrument::dance) {
        // The amount of the bend, 0..1 of the axis' travel.
        float amount;
        if (e.range != e.rest) {
          amount = static_cast<float>(v - e.rest) / static_cast<float>(e.range - e.rest);
        } else {
          amount = static_cast<float>(v) / 128.0f;
        }
        OnWhammy(std::clamp(amount, 0.0f, 1.0f));
      }
      break;
    default: break;
  }
}

void Player::Tilt(const InputEvent& e) {
  if (failed()) return;
  const int64_t s = options.tiltSensitivity;
  const int64_t low = e.range;
  const int64_t high = e.rest;
  const int64_t v = e.value;
  bool request = false;
  if (s == -1) {
    request = e.pressed != lefty;
  } else if (high < low) {
    request = v >= low * s / 100;
  } else if (low < high) {
    request = v <= high * (100 - s) / 100;
  }
  if (request) RequestEnergy();
}

void Player::ReadInputPro() {
  eventCount = 0;
  if (input) input->GetEvents(events, eventCount);
  eventCount = std::clamp(eventCount, 0, kMaxEvents);
  for (int32_t i = 0; i < eventCount; ++i) {
    events[i].time = songTime;
    HandleEventPro(events[i]);
  }
}

void Player::HandleEventPro(const InputEvent& e) {
  static constexpr int32_t kFretLanes[6] = {2, 1, 5, 4, 3, 9};
  static constexpr int32_t kFretLanesLefty[6] = {9, 3, 4, 5, 1, 2};
  const uint32_t code = e.id;
  if ((code == 16 || code == 17) && e.pressed) {
    menuRequest = true;
    menuRequestCode = code == 16 ? 2 : 3;
  } else if (code >= 41 && code <= 46) {
    const int32_t i = static_cast<int32_t>(code) - 41;
    SetLaneState(lefty ? kFretLanesLefty[i] : kFretLanes[i], e.pressed, e.value, 128);
  } else if (code >= 35 && code <= 40) {
    // A string's velocity going back to 0 is not a pluck.
    const int32_t i = static_cast<int32_t>(code) - 35;
    if (e.pressed) Strum(lefty ? 6 - i : i + 1, e.value);
  } else if (code == 18 && e.pressed) {
    menuRequest = true;
    menuRequestCode = 1;
    ReleaseAllLanes();
  } else if ((code == 19 && e.pressed) || (code == 23 && e.pressed && options.tiltOption)) {
    if (!failed()) RequestEnergy();
  }
}

bool Player::RequestPause() {
  menuRequestCode = 1;
  menuRequest = true;
  ReleaseAllLanes();
  return true;
}

void Player::ReleaseAllLanes() {
  for (int32_t lane = 0; lane < kLaneSlots; ++lane) {
    const int32_t slot = LaneMap::FretIndex(lane, kind, laneCount);
    if (slot < 0) continue;
    LaneState& state = track.lanes[slot];
    if (state.held) {
      state.held = false;
      track.fx->FretHeld(slot, false);
      state.value = 0;
    }
    SendLaneState(slot, 0, false);
    UpdateOpenLane();
    if (!failed() && !judgingSuppressed) OnLaneInput(slot, false, 0, 128);
  }
}

bool Player::RequestEnergy() {
  if (failed()) return false;
  if (!track.ActivateEnergy()) return false;
  reviveRequest = true;
  SendEnergy();
  return true;
}

void Player::OnWhammy(float value) {
  track.whammyValue = value;
  track.whammyTime = platform::TimeGetTime();
  if (!track.whammyActive) {
    track.whammyActive = true;
    SendWhammy(true);
  }
  GameSound* sound = context ? context->sound : nullptr;
  if (!sound || remote || !(LaneMap::IsFiveFretKind(kind) || LaneMap::IsProKind(kind))) return;
  const float bend = value * 0.12246f * (options.whammyDirection == 1 ? 1.0f : -1.0f);
  for (int32_t slot = 0; slot < kLaneSlots; ++slot) {
    if (laneVoices[slot] < 0) continue;
    const float base = sound->BaseRatio(laneVoices[slot]);
    if (base >= 0) sound->SetRatio(laneVoices[slot], base + bend);
  }
}

void Player::WhammyTimeout() {
  if (!track.whammyActive) return;
  if (platform::TimeGetTime() - track.whammyTime < 100) return;
  track.whammyActive = false;
  track.whammyValue = 0;
  SendWhammy(false);
}

void Player::UpdateOpenLane() {
  if (!LaneMap::IsFiveFretKind(kind)) return;
  bool any = false;
  for (int32_t s = 1; s <= laneCount && s < kLaneSlots; ++s) any = any || track.lanes[s].held;
  track.lanes[0].held = !any;
}

int32_t Player::HighestHeldLane() const {
  for (int32_t s = std::min(laneCount, kLaneSlots - 1); s >= 1; --s) {
    if (track.lanes[s].held) return s;
  }
  return 0;
}
