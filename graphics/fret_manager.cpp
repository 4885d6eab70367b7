// The fret row: press dips, pad lights, key tilts, hold and hit glows, flames and
// their sparks, and the draws of all of them through the asset store's models.
#include "graphics/fret_manager.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/log.h"
#include "core/settings.h"
#include "core/utils.h"
#include "game/lane_map.h"
#include "graphics/asset_model_draw.h"
#include "graphics/board_geometry.h"
#include "graphics/game_assets.h"
#include "graphics/scene_context.h"
#include "platform/clock.h"
#include "platform/random.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

constexpr float kTwoPi = 6.2831855f;

// Press dip: 7 units away and back at 120 units per second.
constexpr float kDipDistance = 7.0f;
constexpr float kDipSpeed = 120.0f;
// Drum pads sit this much above the board.
constexpr float kDrumLift = 7.0f;

// Model slots of the asset store.
namespace model {
constexpr int32_t kFretNumber = 17;
constexpr int32_t kFret = 19;
constexpr int32_t kFretHold = 20;
constexpr int32_t kFretDance = 21;
constexpr int32_t kFretDanceHold = 22;
constexpr int32_t kKeysWhite = 23;
constexpr int32_t kFretBass = 32;
constexpr int32_t kFretBassHold = 33;
constexpr int32_t kHitGlow = 34;
constexpr int32_t kKillBox = 39;
constexpr int32_t kSparkA = 40;
constexpr int32_t kSparkB = 41;
constexpr int32_t kRayA = 42;
constexpr int32_t kRayB = 43;
constexpr int32_t kBeam = 44;
}  // namespace model

// The key model of each note of the octave, counted from A: the black keys share one
// model, the white keys have one each (slots "Fret_Keys_Black", "Fret_Keys_A" ...).
constexpr int32_t kKeyModelByNote[12] = {30, 24, 31, 25, 24, 26, 24, 27, 28, 24, 29, 24};
bool IsBlackKey(int32_t note) { return note == 1 || note == 4 || note == 6 || note == 9 || note == 11; }

// Slots of the asset store's fret texture table.
namespace tex {
constexpr int32_t kDanceOffset = 10;  // dance fret: colour + 10
constexpr int32_t kKeysWhite = 20;
constexpr int32_t kKeysBlack = 21;
constexpr int32_t kKillBox = 27;
constexpr int32_t kBeamWhite = 90;
constexpr int32_t kBeamBlack = 91;
constexpr int32_t kHoldOffset = 100;       // hold texture: fret texture + 100
constexpr int32_t kDanceHoldOffset = 110;  // dance hold: colour + 110
constexpr int32_t kHiHatClosed = 115;
constexpr int32_t kHiHatSizzle = 116;
constexpr int32_t kMineGlow = 130;
}  // namespace tex

// Per colour index: the fret table's slots of its spark layers, glow and rays
// (-1: the colour has none).
struct ColourTextures {
  int32_t sparkA, sparkB, glow, rayA, rayB;
};
constexpr ColourTextures kColourTextures[10] = {
    {-1, -1, 120, -1, -1},  // 0 bass (kick bar)
    {31, 41, 121, 71, 81},  // 1 green
    {32, 42, 122, 72, 82},  // 2 red
    {33, 43, 123, 73, 83},  // 3 yellow
    {34, 44, 124, 74, 84},  // 4 blue
    {35, 45, 125, 75, 85},  // 5 orange
    {36, 46, 126, -1, -1},  // 6 yellow 2
    {37, 47, 127, -1, -1},  // 7 blue 2
    {38, 48, 128, -1, -1},  // 8 green 2
    {39, 49, 129, -1, -1},  // 9 purple
};
constexpr int32_t kGreen = 1;

// The spark pictures, by colour index 1..9.
constexpr const char16_t* kParticleFiles[FretManager::kParticleImages] = {
    nullptr,
    u"frets/Particle_Green.png",
    u"frets/Particle_Red.png",
    u"frets/Particle_Yellow.png",
    u"frets/Particle_Blue.png",
    u"frets/Particle_Orange.png",
    u"frets/Particle_Yellow_2.png",
    u"frets/Particle_Blue_2.png",
    u"frets/Particle_Green_2.png",
    u"frets/Particle_Purple.png",
};

// Real keys fade out between these distances from the board's centre line.
constexpr float kKeyFadeStart = 118.0f;
constexpr float kKeyFadeEnd = 121.0f;

// Starts the press dip on *y; a dip still running restarts from its first start value
// toward its first target, so quick presses do not drift.
void StartDip(ValueAnimator& dip, float* y, bool down) {
  if (dip.running && dip.target == y) {
    *y = dip.initialFrom;
    dip.Start(y, true, false, 0, kDipSpeed, dip.initialTo);
    return;
  }
  dip.Start(y, true, false, 0, kDipSpeed, *y + (down ? -kDipDistance : kDipDistance));
}

bool IsColour(int32_t colour) { return colour >= 0 && colour < 10; }

float Uniform() { return static_cast<float>(platform::Rand()) / 32768.0f; }

int32_t WholeLanes(float offset) {
  if (!std::isfinite(offset)) return 0;
  return static_cast<int32_t>(std::clamp(offset, -1.0e6f, 1.0e6f));
}

// Depth comparison and writes off until the object goes; the previous values come back.
class DepthOff {
 public:
  explicit DepthOff(gfx::RenderDevice* device) : device_(device) {
    if (!device_) return;
    z_ = device_->GetRenderState(gfx::RenderState::kZEnable);
    write_ = device_->GetRenderState(gfx::RenderState::kZWriteEnable);
    device_->SetRenderState(gfx::RenderState::kZEnable, 0);
    device_->SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  }
  ~DepthOff() {
    if (!device_) return;
    device_->SetRenderState(gfx::RenderState::kZEnable, z_);
    device_->SetRenderState(gfx::RenderState::kZWriteEnable, write_);
  }
  DepthOff(const DepthOff&) = delete;
  DepthOff& operator=(const DepthOff&) = delete;

 private:
  gfx::RenderDevice* device_;
  uint32_t z_ = 1, write_ = 1;
};

}  // namespace

float KeyVisibility(int32_t kind, float x) {
  if (!board_kind::IsRealKeys(kind)) return 1.0f;
  const float d = std::fabs(x);
  if (d >= kKeyFadeEnd) return 0.0f;
  if (d >= kKeyFadeStart) return 1.0f - (d - kKeyFadeStart) / (kKeyFadeEnd - kKeyFadeStart);
  return 1.0f;
}

// ---------------------------------------------------------------------------
// FretFlame

void FretFlame::Start() {
  if (disabled || active) return;
  active = true;
  alpha = 0.0f;
  rayPulse = 1.0f;
  layerA.Reset();
  layerB.Reset();
  layerA.scale.x = 1.0f;
  layerB.scale.x = 1.0f;
  ray.Reset();
  spinA.Start(&layerA.rotation.z, false, true, 0, 6.0f, kTwoPi);
  spinB.Start(&layerB.rotation.z, false, true, 0, 3.0f, -kTwoPi);
  layerAScaleX.Start(&layerA.scale.x, layerA.scale.x, layerA.scale.x * 1.1f, 85.0f, true);
  layerBScaleX.Start(&layerB.scale.x, layerB.scale.x, layerB.scale.x * 1.1f, 85.0f, true);
  layerAScaleZ.Start(&layerA.scale.z, layerA.scale.z, layerA.scale.z * 1.1f, 85.0f, true);
  layerBScaleZ.Start(&layerB.scale.z, layerB.scale.z, layerB.scale.z * 1.1f, 85.0f, true);
  fade.Start(&alpha, false, false, 0, 5.0f, 1.0f);
  if (rayEnabled) {
    rayScaleZ.Start(&ray.scale.z, ray.scale.z, ray.scale.z * 1.1f, 85.0f, true);
    rayPulseAnim.Start(&rayPulse, 1.0f, 0.5f, 80.0f, true);
  }
}

void FretFlame::Stop() {
  alpha = 1.0f;
  fade.Start(&alpha, false, false, 0, 5.0f, 0.0f);
  active = false;
}

void FretFlame::EmitSpark(float sparkStrength) {
  const uint32_t now = platform::TimeGetTime();
  if (static_cast<uint32_t>(now - lastEmit) < kEmitIntervalMs) return;
  const float s = sparkStrength + 1.0f;
  Particle& p = sparks[static_cast<size_t>(next)];
  p.position = glm::vec3(0.0f);
  p.velocity.x = -0.1f * s + Uniform() * 0.2f * s;
  p.velocity.y = Uniform() * 0.25f * s;
  p.velocity.z = -0.1f * s + Uniform() * 0.1f * s;
  p.alpha = 1.0f;
  p.alive = true;
  p.gravity = 0.001f;
  p.fade = 0.003f;
  p.lastUpdate = now;
  lastEmit = now;
  next = (next + 1) % kSparks;
}

void FretFlame::StepSparks() {
  const uint32_t now = platform::TimeGetTime();
  for (Particle& p : sparks) {
    if (!p.alive) continue;
    const int32_t elapsed = static_cast<int32_t>(now - p.lastUpdate);
    const float dt = elapsed > 0 ? static_cast<float>(elapsed) : 0.0f;
    p.lastUpdate = now;
    p.velocity.y -= p.gravity * dt;
    p.position += p.velocity * dt;
    p.alpha -= p.fade * dt;
    // A faded spark is gone; its slot waits for the ring to come round.
    if (p.alpha <= 0.0f) {
      p.alpha = 0.0f;
      p.alive = false;
    }
  }
}

void FretFlame::Update(float sparkStrength) {
  fade.Update();
  spinA.Update();
  spinB.Update();
  rayPulseAnim.Update();
  rayScaleZ.Update();
  layerAScaleX.Update();
  layerBScaleX.Update();
  layerAScaleZ.Update();
  layerBScaleZ.Update();
  EmitSpark(sparkStrength);
  StepSparks();
}

// ---------------------------------------------------------------------------
// FretGlow

void FretGlow::Start(int32_t kind) {
  if (disabled) return;
  place.Reset();
  glowKind = kind;
  alpha = 1.0f;
  alphaAnim.Start(&alpha, false, false, 0, 5.0f, 0.0f);
  scaleX.Start(&place.scale.x, false, false, 0, 5.0f, 10.0f);
  scaleZ.Start(&place.scale.z, false, false, 0, 2.0f, 10.0f);
}

void FretGlow::Update() {
  alphaAnim.Update();
  scaleX.Update();
  scaleZ.Update();
}

// ---------------------------------------------------------------------------
// FretButton

void FretButton::Press() { StartDip(press, &button.position.y, padMode && !flashMode); }

void FretButton::SetHeld(bool held) {
  if (!flashMode && !padMode) lit = held;
  if (flashMode && held) {
    flashAlpha = 1.0f;
    flash.Start(&flashAlpha, false, false, 0, 7.0f, 0.0f);
    button.scale.x = 0.85f;
    button.scale.z = 0.85f;
    scaleX.Start(&button.scale.x, false, false, 0, 1.4f, 1.1f);
    scaleZ.Start(&button.scale.z, false, false, 0, 10.4f, 1.1f);
  } else if (padMode && held) {
    Press();
    lit = true;
    light.Start(&lit, false, nullptr, kLightMs);
  }
  if (holdMode) {
    if (held) {
      tilt.Start(&button.rotation.y, false, false, 0, 100.0f, -0.13f);
      holdGlow.Reset();
      holdGlowAlpha = 1.0f;
      holdGlowAlphaPulse.Start(&holdGlowAlpha, 1.0f, 0.5f, 80.0f, true);
      holdGlowScaleZ.Start(&holdGlow.scale.z, holdGlow.scale.z, holdGlow.scale.z * 1.1f, 85.0f, true);
    } else {
      tilt.Start(&button.rotation.y, false, false, 0, 10.0f, 0.0f);
      holdGlowAlpha = 0.0f;
      holdGlowAlphaPulse.Stop();
      holdGlowScaleZ.Stop();
    }
  }
}

void FretButton::Update() {
  if (flashMode) {
    flash.Update();
    scaleX.Update();
    scaleZ.Update();
    lit = flash.running;
  }
  if (padMode) light.Update();
  if (holdMode) {
    tilt.Update();
    holdGlowAlphaPulse.Update();
    holdGlowScaleZ.Update();
  }
  press.Update();
}

// ---------------------------------------------------------------------------
// Fret

void Fret::Press() { StartDip(press, &own.position.y, drum && !kickBar); }

// ---------------------------------------------------------------------------
// FretManager

FretManager::FretManager() = default;
FretManager::~FretManager() = default;

bool FretManager::Load(int32_t newLaneCount, int32_t newMode, bool newLefty, SceneContext* newScene, int32_t newKind,
                       const float laneOffsets[2], const int32_t newVisibleLanes[2]) {
  if (newLaneCount < 0 || newLaneCount > kMaxLaneCount) {
    Log(0, u"Fret row: lane count " + ToWide(std::to_string(newLaneCount)) + u" out of range");
    newLaneCount = std::clamp(newLaneCount, 0, kMaxLaneCount);
  }
  laneCount = newLaneCount;
  mode = newMode;
  lefty = newLefty;
  scene = newScene;
  kind = newKind;
  for (int s = 0; s < 2; ++s) visibleLanes[s] = std::max(0, newVisibleLanes ? newVisibleLanes[s] : 0);

  GameAssets* assets = scene ? scene->assets : nullptr;
  if (assets) {
    const std::u16string theme = scene->settings && !scene->settings->themeFolder.empty()
                                     ? scene->settings->themeFolder
                                     : std::u16string(kDefaultThemeFolder);
    for (int i = 1; i < kParticleImages; ++i)
      particles_[static_cast<size_t>(i)].LoadThemed(assets, kParticleFiles[i], theme);
  }

  // A row reused for another board starts without the modes of the last one.
  for (Fret& f : frets_) {
    f.glow.disabled = f.glow.drumFlag = false;
    f.button.flashMode = f.button.padMode = f.button.holdMode = false;
    f.flame.disabled = f.flame.drumFlag = f.flame.rayEnabled = false;
    f.kickBar = f.drum = false;
  }
  const float noOffsets[2] = {0.0f, 0.0f};
  Layout(laneOffsets ? laneOffsets : noOffsets);

  if (board_kind::IsDrums(kind)) {
    Fret& kick = frets_[0];
    kick.glow.disabled = true;
    kick.button.flashMode = true;
    kick.flame.disabled = true;
    kick.kickBar = true;
    for (int32_t i = 0; i <= laneCount; ++i) {
      Fret& f = frets_[static_cast<size_t>(i)];
      f.glow.drumFlag = true;
      f.button.padMode = true;
      f.flame.drumFlag = true;
      f.drum = true;
    }
  } else if (board_kind::IsKeys(kind)) {
    for (int32_t i = 1; i <= laneCount; ++i) {
      Fret& f = frets_[static_cast<size_t>(i)];
      f.button.holdMode = true;
      f.flame.rayEnabled = true;
    }
  }
  return true;
}

bool FretManager::Layout(const float laneOffsets[2]) {
  const bool drums = board_kind::IsDrums(kind);
  for (int s = 0; s < 2; ++s) {
    laneOffset[s] = laneOffsets[s];
    for (int32_t lane = 0; lane <= laneCount; ++lane) {
      Transform& place = frets_[static_cast<size_t>(lane)].lanePlace[s];
      BoardGeometry::LanePositions(place, lane, visibleLanes[s], kind, lefty, mode, false, laneOffsets[s]);
      if (drums && lane > 0) place.position.y += kDrumLift;
    }
    const int32_t whole = WholeLanes(laneOffsets[s]);
    firstLane[s] = std::max(1, whole);
    endLane[s] = std::min(visibleLanes[s] + whole + 3, laneCount + 1);
    endLane[s] = std::max(endLane[s], firstLane[s]);
  }
  for (int32_t lane = 0; lane <= laneCount; ++lane)
    frets_[static_cast<size_t>(lane)].colour = LaneMap::ColourIndex(lane, kind, laneCount);
  if ((kind == 5 || kind == 13) && lefty && laneCount >= 2) frets_[2].colour = 2;
  return true;
}

void FretManager::Update(int32_t hihat, float sparkStrength) {
  const int32_t hiHatColour = lefty ? 1 : 3;
  for (int32_t i = 0; i <= laneCount; ++i) {
    Fret& f = frets_[static_cast<size_t>(i)];
    if (kind == board_kind::kDrumsWithHiHat && f.colour == hiHatColour) f.hihat = hihat;
    if (f.flame.active && (f.sustainPosition >= f.sustainLength || !f.sustaining)) f.flame.Stop();
    if (!f.effects) continue;
    f.glow.Update();
    f.button.Update();
    f.press.Update();
    f.flame.Update(sparkStrength);
  }
}

void FretManager::NoteHit(int32_t slot, int32_t glowKind, int32_t pane, bool fromSustain) {
  if (slot < 0 || slot > laneCount) return;
  pane = pane == 1 ? 1 : 0;
  auto light = [&](Fret& f) {
    f.hitPane = pane;
    if (!f.effects) return;
    f.glow.Start(glowKind);
    f.flame.Start();
  };
  const bool fiveFret = board_kind::IsFiveFret(kind);
  if (fiveFret && slot == 0) {
    // An open note lights the whole row.
    for (int32_t i = 1; i <= laneCount; ++i) {
      Fret& f = frets_[static_cast<size_t>(i)];
      if (!fromSustain) f.Press();
      light(f);
    }
    light(frets_[0]);
    return;
  }
  Fret& f = frets_[static_cast<size_t>(slot)];
  light(f);
  if (fiveFret && !fromSustain) {
    f.Press();
    f.button.Press();
  }
}

bool FretManager::ParticlesOn() const { return !scene || !scene->settings || scene->settings->PARTICLEFX; }

void FretManager::Draw(int32_t pane) {
  if (!scene || !scene->assets) return;
  pane = pane == 1 ? 1 : 0;
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;

  if (board_kind::IsDrums(kind)) {
    Fret& kick = frets_[0];
    Transform bar = kick.own.Combine(kick.lanePlace[pane]);
    bar.alpha = 1.0f;
    DrawAssetModel(assets, model::kFretBass, &table[0], bar);
    if (kick.button.lit) {
      Transform hold = kick.button.button.Combine(kick.lanePlace[pane]);
      hold.alpha = kick.button.flashAlpha;
      DrawAssetModel(assets, model::kFretBassHold, &table[tex::kHoldOffset], hold);
    }
  }
  for (int32_t lane = firstLane[pane]; lane < endLane[pane]; ++lane) DrawFret(lane, pane);

  // Flames of the frets last hit on this sub-board, over everything drawn so far.
  auto burning = [&](const Fret& f) { return f.flame.alpha != 0.0f && f.hitPane == pane; };
  const auto first = frets_.begin() + firstLane[pane];
  const auto end = frets_.begin() + endLane[pane];
  if (std::none_of(first, end, burning)) return;
  DepthOff depthOff(scene->device);
  for (auto it = first; it != end; ++it) {
    if (!burning(*it)) continue;
    const Transform& place = it->lanePlace[pane];
    DrawFlame(*it, place, KeyVisibility(kind, place.position.x));
  }
}

void FretManager::DrawFret(int32_t lane, int32_t pane) {
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  Fret& f = frets_[static_cast<size_t>(lane)];
  const Transform& place = f.lanePlace[pane];
  const float v = KeyVisibility(kind, place.position.x);

  if (kind == board_kind::kKeysFiveLane && f.colour >= 1 && f.colour <= 5) {
    const ColourTextures& c = kColourTextures[f.colour];
    Transform rays = f.flame.ray.Combine(place);
    rays.alpha = v * f.flame.alpha * f.flame.rayPulse;
    DrawAssetModel(assets, model::kRayA, &table[static_cast<size_t>(c.rayA)], rays);
    DrawAssetModel(assets, model::kRayB, &table[static_cast<size_t>(c.rayB)], rays);
  }
  if (board_kind::IsKeys(kind)) {
    DrawKey(f, place, v);
    return;
  }
  if (!IsColour(f.colour)) return;
  const bool dance = board_kind::IsDance(kind);
  Transform body = f.own.Combine(place);
  body.alpha = 1.0f;
  const int32_t bodyTexture = dance ? f.colour + tex::kDanceOffset : f.colour;
  DrawAssetModel(assets, dance ? model::kFretDance : model::kFret, &table[static_cast<size_t>(bodyTexture)], body);
  const int32_t holdModel = dance ? model::kFretDanceHold : model::kFretHold;
  Transform button = f.button.button.Combine(place);
  button.alpha = 1.0f;
  if (f.button.lit) {
    const int32_t holdTexture = dance ? f.colour + tex::kDanceHoldOffset : f.colour + tex::kHoldOffset;
    DrawAssetModel(assets, holdModel, &table[static_cast<size_t>(holdTexture)], button);
  }
  if (kind == board_kind::kDrumsWithHiHat && f.colour == (lefty ? 1 : 3)) {
    if (f.hihat == 0) DrawAssetModel(assets, holdModel, &table[tex::kHiHatClosed], button);
    if (f.hihat == 3) DrawAssetModel(assets, holdModel, &table[tex::kHiHatSizzle], button);
  }
  if (board_kind::IsProStrings(kind) && f.fretNumber >= 0 && f.fretNumber <= 9) {
    DrawAssetModel(assets, model::kFretNumber, &assets->numberTextures[static_cast<size_t>(f.fretNumber)], body);
  }
}

void FretManager::DrawKey(Fret& f, const Transform& place, float v) {
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  gfx::RenderDevice* device = scene->device;

  // The kill box hides what lies under the keys; its texture is transparent, so the
  // alpha comparison must not throw its pixels away.
  const uint32_t alphaTest = device ? device->GetRenderState(gfx::RenderState::kAlphaTestEnable) : 1;
  if (device) device->SetRenderState(gfx::RenderState::kAlphaTestEnable, 0);
  Transform neutral = Transform().Combine(place);
  neutral.alpha = 1.0f;
  DrawAssetModel(assets, model::kKillBox, &table[tex::kKillBox], neutral);
  if (device) device->SetRenderState(gfx::RenderState::kAlphaTestEnable, alphaTest);

  Transform key = f.button.button.Combine(place);
  key.alpha = v;
  if (kind == board_kind::kKeysFiveLane) {
    DrawAssetModel(assets, model::kKeysWhite, &table[tex::kKeysWhite], key);
    return;
  }
  const int32_t note = ((f.colour - 1) % 12 + 12) % 12;
  const bool black = IsBlackKey(note);
  Transform beam = f.button.holdGlow.Combine(place);
  beam.alpha = f.button.holdGlowAlpha * v;
  DrawAssetModel(assets, model::kBeam, &table[black ? tex::kBeamBlack : tex::kBeamWhite], beam);
  DrawAssetModel(assets, kKeyModelByNote[note], &table[black ? tex::kKeysBlack : tex::kKeysWhite], key);
}

void FretManager::DrawFlame(Fret& f, const Transform& place, float v) {
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  const bool realKeys = board_kind::IsRealKeys(kind);
  const int32_t colour = realKeys ? kGreen : f.colour;
  if (!IsColour(colour)) return;
  const ColourTextures& c = kColourTextures[colour];
  if (c.sparkA >= 0) {
    Transform a = f.flame.layerA.Combine(place);
    a.alpha = f.flame.alpha * v;
    DrawAssetModel(assets, model::kSparkA, &table[static_cast<size_t>(c.sparkA)], a);
    Transform b = f.flame.layerB.Combine(place);
    b.alpha = f.flame.alpha * v;
    DrawAssetModel(assets, model::kSparkB, &table[static_cast<size_t>(c.sparkB)], b);
  }
  if (!ParticlesOn() || !scene->quad) return;
  Image& image = particles_[static_cast<size_t>(colour)];
  for (const Particle& p : f.flame.sparks) {
    if (!p.alive || p.alpha == 0.0f) continue;
    Transform t = place;
    t.position += p.position;
    t.scale = glm::vec3(0.15f, 0.15f * place.scale.y, 0.15f * place.scale.z);
    t.alpha = p.alpha * f.flame.alpha * v;
    image.transform = t;
    // The quad fades by its material, so the spark's alpha goes there too.
    image.material.diffuse.a = std::max(0.0f, t.alpha);
    scene->quad->Render3D(image, false, 0.0f);
  }
}

void FretManager::DrawGlows(int32_t pane) {
  if (!scene || !scene->assets) return;
  pane = pane == 1 ? 1 : 0;
  GameAssets* assets = scene->assets;
  auto& table = assets->fretTextures;
  const bool realKeys = board_kind::IsRealKeys(kind);
  for (int32_t lane = firstLane[pane]; lane < endLane[pane]; ++lane) {
    Fret& f = frets_[static_cast<size_t>(lane)];
    if (f.hitPane != pane || f.glow.alpha <= 0.0f) continue;
    const Transform& place = f.lanePlace[pane];
    const int32_t colour = realKeys ? kGreen : f.colour;
    int32_t texture = tex::kMineGlow;
    if (f.glow.glowKind == FretGlow::kNoteHit) {
      if (!IsColour(colour)) continue;
      texture = kColourTextures[colour].glow;
    }
    Transform glow = f.glow.place.Combine(place);
    glow.alpha = f.glow.alpha * (realKeys ? KeyVisibility(kind, place.position.x) : 1.0f);
    DrawAssetModel(assets, model::kHitGlow, &table[static_cast<size_t>(texture)], glow);
  }
}

}  // namespace graphics
