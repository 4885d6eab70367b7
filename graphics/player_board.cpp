// A player's board visuals and the effect triggers gameplay calls on them.
#include "graphics/player_board.h"

#include "core/log.h"
#include "game/lane_map.h"
#include "game/player.h"
#include "platform/clock.h"
#include "song/instrument.h"

namespace graphics {

namespace slots = board_slots;

PlayerBoard::PlayerBoard(Player& player, GameAssets* assets, platform::gfx::RenderDevice* device)
    : player_(player), assets_(assets) {
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

void PlayerBoard::Update() {
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
    if (inRange(slot)) fretHeld[size_t(slot)] = held;
  };
  effects_.fretPress = [this, inRange](int32_t slot) {
    if (inRange(slot)) lastPress[size_t(slot)] = platform::TimeGetTime();
  };
  effects_.noteHitEffect = [this, inRange](int32_t slot, bool) {
    if (!inRange(slot)) return;
    lastHit[size_t(slot)] = platform::TimeGetTime();
    const int32_t kind = player_.kind;
    if (LaneMap::IsDrumKind(kind) && slot == LaneMap::FretIndex(0, kind, player_.laneCount)) StartShake();
  };
  effects_.sustainStart = [this, inRange](int32_t slot, int32_t) {
    if (inRange(slot)) sustaining[size_t(slot)] = true;
  };
  effects_.sustainEnd = [this, inRange](int32_t slot) {
    if (inRange(slot)) sustaining[size_t(slot)] = false;
  };
  effects_.fretMiss = [this](int32_t) { lastMiss = platform::TimeGetTime(); };
  effects_.missFlash = [this] { lastMiss = platform::TimeGetTime(); };
  effects_.boardState = [this](int32_t state) { energyLook = state == slots::kSidesEnergyTexture; };
  effects_.energyGlow = [this](bool on) {
    energyLook = on;
    NeckPart& energy = parts[size_t(NeckPartId::kEnergyNeck)];
    energyFade_.Start(&energy.alpha, false, false, 0, kEnergyFadeSpeed, on ? 1.0f : 0.0f);
  };
  effects_.energyFlash = [this] { lastEnergyFlash = platform::TimeGetTime(); };
  effects_.warning = [this](bool on) {
    warningOn = on;
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
                                 platform::gfx::RenderDevice* device) {
  if (index < 0 || index >= kMaxBoards) return nullptr;
  auto& slot = boards_[size_t(index)];
  slot.reset();
  slot = std::make_unique<PlayerBoard>(player, assets, device);
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
