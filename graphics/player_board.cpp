// A player's board visuals and the effect triggers gameplay calls on them.
#include "graphics/player_board.h"

#include "core/folders.h"
#include "core/log.h"
#include "game/lane_map.h"
#include "game/player.h"
#include "graphics/scene_context.h"
#include "platform/clock.h"
#include "song/instrument.h"

namespace graphics {

namespace slots = board_slots;

PlayerBoard::PlayerBoard(Player& player, GameAssets* assets, platform::gfx::RenderDevice* device,
                         SceneContext* scene)
    : player_(player), assets_(assets), scene_(scene) {
  if (!scene_) {
    ownScene_ = std::make_unique<SceneContext>();
    ownScene_->device = device;
    ownScene_->assets = assets;
    scene_ = ownScene_.get();
  }
  sections.Init(scene_);
  for (TailRibbon& tail : tails) tail.SetDevice(device);
  SetupParts();
  Fill();
  player_.track.fx = &effects_;
}

PlayerBoard::~PlayerBoard() {
  // The player is gone by now when the level is torn down; only the neck picture,
  // which the asset store's cache owns, is left behind.
  neckTexture = nullptr;
}

void PlayerBoard::SetupParts() {
  const int32_t kind = player_.kind;
  for (NeckPart& part : parts) part = NeckPart();
  NeckPart& neck = parts[size_t(NeckPartId::kNeck)];
  neck.model = slots::kBoardModel;
  neck.enabled = true;
  NeckPart& energy = parts[size_t(NeckPartId::kEnergyNeck)];
  energy.model = slots::kBoardModel;
  energy.texture = slots::kEnergyNeckTexture;
  energy.alpha = 0.0f;
  energy.enabled = true;
  NeckPart& warning = parts[size_t(NeckPartId::kWarningNeck)];
  warning.model = slots::kBoardModel;
  warning.texture = slots::kWarningNeckTexture;
  warning.alpha = 0.0f;
  warning.enabled = true;
  NeckPart& sides = parts[size_t(NeckPartId::kSides)];
  sides.model = kind == Instrument::keys_real ? slots::kSidesKeysModel : slots::kSidesModel;
  sides.texture = slots::kSidesTexture;
  sides.enabled = true;
  NeckPart& fretSides = parts[size_t(NeckPartId::kFretSides)];
  fretSides.model = slots::kFretSidesModel;
  fretSides.enabled = true;
  NeckPart& bottom = parts[size_t(NeckPartId::kFretBottom)];
  bottom.model = kind == Instrument::keys_real ? slots::kFretBottomKeysRealModel
                 : LaneMap::IsKeysKind(kind)   ? slots::kFretBottomKeysModel
                                               : slots::kFretBottomModel;
  bottom.enabled = true;
  energyLook = false;
  warningOn = false;
  energyFade_ = ValueAnimator();
  warningPulse_ = ValueAnimator();
}

int32_t PlayerBoard::PaneOf(int32_t slot) const {
  if (player_.kind != Instrument::keys_real) return 0;
  return slot >= frets.firstLane[1] && slot <= frets.endLane[1] && frets.endLane[1] > frets.firstLane[1] ? 1 : 0;
}

void PlayerBoard::LayoutEffects() {
  const PlayerTrack& track = player_.track;
  Shape now;
  now.kind = player_.kind;
  now.laneCount = track.laneCount > 0 ? track.laneCount : player_.laneCount;
  now.mode = laneSpacing;
  now.lefty = player_.lefty;
  const bool keyWindow = player_.kind == Instrument::keys_real || player_.kind == Instrument::keys_adv;
  for (int s = 0; s < 2; ++s) {
    now.visible[s] = keyWindow && track.visibleKeys[s] > 0 ? track.visibleKeys[s] : now.laneCount;
    now.offset[s] = keyWindow && track.visibleKeys[s] > 0 ? track.keyWindow[s] : 0.0f;
  }
  if (now == shape_) return;
  const bool reshaped = now.kind != shape_.kind || now.laneCount != shape_.laneCount || now.mode != shape_.mode ||
                        now.lefty != shape_.lefty || now.visible[0] != shape_.visible[0] ||
                        now.visible[1] != shape_.visible[1];
  if (reshaped) {
    frets.Load(now.laneCount, now.mode, now.lefty, scene_, now.kind, now.offset, now.visible);
    laneLines.Setup(now.laneCount, now.mode, now.lefty, scene_, now.kind, now.offset, now.visible);
  } else {
    frets.Layout(now.offset);
    laneLines.Layout(now.offset);
  }
  shape_ = now;
}

void PlayerBoard::Update() {
  LayoutEffects();
  const PlayerTrack& track = player_.track;
  for (int32_t slot = 0; slot <= frets.laneCount && slot < kLaneSlots; ++slot) {
    Fret& f = frets.FretAt(slot);
    const LaneState& lane = track.lanes[slot];
    if (!f.sustaining) continue;
    f.sustainLength = lane.sustainEnd - lane.sustainStart;
    f.sustainPosition = track.currentTime - lane.sustainStart;
  }
  frets.Update(player_.pedalState, track.whammyValue);
  laneLines.Update();
  BoardTimeline timeline;
  timeline.songTimeMs = track.currentTime;
  timeline.calibrationMs = track.videoCalibration();
  timeline.speedFactor = track.noteSpeedFactor();
  sections.Sync(track.sections, timeline, shape_.laneCount, player_.kind, player_.lefty, laneSpacing);
  energyFade_.Update();
  warningPulse_.Update();
  shake_.Update();
}

bool PlayerBoard::LoadNeck(const std::u16string& path) {
  neckTexture = nullptr;
  if (!assets_) return false;
  platform::gfx::Texture* texture = nullptr;
  if (!assets_->GetTexture(&texture, false, path)) return false;
  neckTexture = texture;
  return true;
}

bool PlayerBoard::LoadProfileNeck(std::u16string_view themeFolder, std::u16string_view neckName) {
  neckTexture = nullptr;
  std::u16string folder(themeFolder);
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  std::u16string path = PickRandomFile(0, folder + u"static/necks/", neckName, u"*.png");
  if (path.empty()) {
    Log(0, u"Loading From Default Necks");
    path = PickRandomFile(0, std::u16string(kDefaultThemeFolder) + u"static/necks/", u"[Random]", u"*.png");
  }
  if (!path.empty() && LoadNeck(path)) return true;
  Log(0, u"ERROR! Could Not Load Neck:" + path);
  return false;
}

void PlayerBoard::StartShake() {
  cameraShake = glm::vec3(0.0f);
  // Down and back once.
  shake_.Start(&cameraShake.y, true, false, 0, kShakeSpeed, -kShakeDepth);
}

void PlayerBoard::Fill() {
  auto inRange = [](int32_t slot) { return slot >= 0 && slot < 92; };
  effects_.loadNeck = [this](const std::u16string& path) { return LoadNeck(path); };
  effects_.releaseNeck = [this] { neckTexture = nullptr; };
  effects_.fretHeld = [this, inRange](int32_t slot, bool held) {
    if (!inRange(slot)) return;
    fretHeld[size_t(slot)] = held;
    frets.FretAt(slot).button.SetHeld(held);
  };
  effects_.fretPress = [this, inRange](int32_t slot) {
    if (!inRange(slot)) return;
    lastPress[size_t(slot)] = platform::TimeGetTime();
    frets.FretAt(slot).button.Press();
  };
  effects_.noteHitEffect = [this, inRange](int32_t slot, bool mine) {
    if (!inRange(slot)) return;
    lastHit[size_t(slot)] = platform::TimeGetTime();
    frets.NoteHit(slot, mine ? FretGlow::kMine : FretGlow::kNoteHit, PaneOf(slot), false);
    const int32_t kind = player_.kind;
    if (LaneMap::IsDrumKind(kind) && slot == LaneMap::FretIndex(0, kind, player_.laneCount)) StartShake();
  };
  effects_.sustainStart = [this, inRange](int32_t slot, int32_t note) {
    if (!inRange(slot)) return;
    sustaining[size_t(slot)] = true;
    Fret& f = frets.FretAt(slot);
    f.sustaining = true;
    f.sustainNote = note;
    const LaneState& lane = player_.track.lanes[slot];
    f.sustainLength = lane.sustainEnd - lane.sustainStart;
    f.sustainPosition = 0.0f;
  };
  effects_.sustainEnd = [this, inRange](int32_t slot) {
    if (!inRange(slot)) return;
    sustaining[size_t(slot)] = false;
    frets.FretAt(slot).sustaining = false;
  };
  effects_.fretMiss = [this](int32_t) { lastMiss = platform::TimeGetTime(); };
  effects_.missFlash = [this] {
    lastMiss = platform::TimeGetTime();
    laneLines.StartMissFlash();
  };
  effects_.boardState = [this](int32_t state) { energyLook = state == slots::kSidesEnergyTexture; };
  effects_.energyGlow = [this](bool on) {
    energyLook = on;
    if (on) {
      laneLines.EnergyGlowOn();
    } else {
      laneLines.EnergyGlowOff();
    }
    NeckPart& energy = parts[size_t(NeckPartId::kEnergyNeck)];
    energyFade_.Start(&energy.alpha, false, false, 0, kEnergyFadeSpeed, on ? 1.0f : 0.0f);
  };
  effects_.energyFlash = [this] {
    lastEnergyFlash = platform::TimeGetTime();
    laneLines.StartHitFlash();
  };
  effects_.keyRangeMove = [this](int32_t hand, int32_t rangeStart) {
    const int32_t pane = hand == 1 ? 1 : 0;
    rollLeft[pane] = rangeStart < keyRange_[pane];
    keyRange_[pane] = rangeStart;
    laneLines.ShowRangeMove(rangeStart, pane);
  };
  effects_.warning = [this](bool on) {
    warningOn = on;
    laneLines.SetWarning(on);
    NeckPart& warning = parts[size_t(NeckPartId::kWarningNeck)];
    if (on) {
      warning.alpha = 0.0f;
      warningPulse_.Start(&warning.alpha, true, true, 0, kWarningPulseSpeed, 1.0f);
    } else {
      // Off at once: the pulse stops and the warning neck is gone.
      warningPulse_ = ValueAnimator();
      warning.alpha = 0.0f;
    }
  };
}

PlayerBoard* LevelBoards::Create(Player& player, int32_t index, GameAssets* assets,
                                 platform::gfx::RenderDevice* device, SceneContext* scene) {
  if (index < 0 || index >= kMaxBoards) return nullptr;
  auto& slot = boards_[size_t(index)];
  slot.reset();
  slot = std::make_unique<PlayerBoard>(player, assets, device, scene);
  return slot.get();
}

void LevelBoards::DestroyAll() {
  for (auto& board : boards_) board.reset();
}

PlayerBoard* LevelBoards::Get(int32_t index) const {
  return index >= 0 && index < kMaxBoards ? boards_[size_t(index)].get() : nullptr;
}

LevelBoards& CurrentLevelBoards() {
  static LevelBoards boards;
  return boards;
}

}  // namespace graphics
