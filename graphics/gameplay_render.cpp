// The gameplay pass: per player and sub-board a camera, a viewport and the board's
// layers, each layer drawn over the one before it (the depth buffer is cleared
// between them), then the overlays of play over the whole screen.
#include "graphics/gameplay_render.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "core/settings.h"
#include "game/lane_map.h"
#include "game/level/level.h"
#include "game/player.h"
#include "graphics/board_geometry.h"
#include "graphics/frame_render.h"
#include "graphics/player_board.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "graphics/scene_context.h"
#include "graphics/shell_services.h"
#include "song/instrument.h"
#include "song/profile.h"

namespace graphics {

namespace gfx = platform::gfx;
namespace slots = board_slots;

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kFieldOfViewDivisor = 5.0f;
constexpr float kSubBoardSpacing = 258.0f;
constexpr float kNeckRepeat = 715.0f;
constexpr float kNeckTextureWidth = 240.0f;
// Notes and beat lines beyond this distance are not spawned on the board yet.
constexpr float kSpawnDistance = 700.0f;
constexpr float kFadeStart = 350.0f;
constexpr float kFadeEnd = 570.0f;
constexpr float kGhostAlpha = 0.15f;
constexpr float kRibbonWidth = 10.0f;
constexpr float kRibbonStep = 5.0f;
// The hit window of the drunk mode; the multiplier badge shows the track's other reading then.
constexpr double kDrunkHitWindow = 170.0;

// Stereo separation and toe-in (degrees) of the boards by BOARDDEPTH 0..4; other
// values take the last entry.
constexpr float kBoardStereoSeparation[6] = {1.1f, 6.1f, 12.0f, 17.8f, 23.1f, 10.0f};
constexpr float kBoardStereoAngle[6] = {0.2f, 1.0f, 2.0f, 3.0f, 4.0f, 1.0f};
// Streak at which each blind mode hides the notes (mode 0 never does).
constexpr int32_t kBlindLimit[6] = {0, 100, 50, 25, 12, 0};

// Model slots of the note heads and board models.
namespace model {
constexpr int32_t kGuitar = 0, kGuitarHopo = 1, kGuitarBass = 2, kActivate = 3, kSlider = 4, kDrum = 5;
constexpr int32_t kDanceFirst = 6;  // green, red, yellow, blue
constexpr int32_t kKeys = 10, kDrumBass = 11, kReal = 12, kRealHopo = 13, kRealMuted = 14;
constexpr int32_t kMissTrail = 15, kBassMissTrail = 16, kFretNumber = 17;
constexpr int32_t kPlane = 48, kBeatLine = 50;
constexpr int32_t kKeysLayout = 66, kKeysLayoutActive = 67;
// The meters; the two-hand keyboard has its own set further out (the second of each pair).
constexpr int32_t kRockMeter[2] = {53, 59};
constexpr int32_t kChunkBar[2] = {54, 60};
constexpr int32_t kMultiplier[2] = {55, 61};
constexpr int32_t kEnergyBar[2] = {56, 62};
constexpr int32_t kEnergyHalfNear[2] = {57, 63};
constexpr int32_t kEnergyHalfFar[2] = {58, 64};
constexpr int32_t kAccuracy = 65;
constexpr int32_t kChordFirst = 68;  // Chord_2 .. Chord_6
constexpr int32_t kCymbalClosed = 73, kCymbalOpen = 74, kCymbalPedal = 75, kCymbalSizzle = 76, kRimshot = 77;
}  // namespace model

// Note-table texture slots.
namespace tex {
constexpr int32_t kGuitarBass = 0, kGuitarBassVl = 64, kGuitarBassMiss = 77;
constexpr int32_t kDrumBass = 40, kDrumBassVl = 70, kDrumBassMiss = 82;
constexpr int32_t kGuitarVl = 65, kGuitarMiss = 78;
constexpr int32_t kSliderVl = 150, kSliderMiss = 151;
constexpr int32_t kRealVl = 66, kRealMiss = 79;
constexpr int32_t kKeysBlack = 36, kKeysVl = 67, kKeysBlackVl = 68, kKeysMiss = 80;
constexpr int32_t kDanceVl = 69, kDanceMiss = 81;
constexpr int32_t kDrumVl = 71, kDrumMiss = 83;
constexpr int32_t kCymbalVl = 72, kCymbalMiss = 84;
constexpr int32_t kRimshotGreen = 62, kRimshotRed = 63, kRimshotVl = 76, kRimshotMiss = 88;
constexpr int32_t kBeatSmall = 89, kBeat = 90, kBeatSmallVl = 91, kBeatVl = 92;
constexpr int32_t kChordBar = 93, kChordBarVl = 94;
// Meter table.
constexpr int32_t kEnergyFill = 23, kEnergyReady = 24;
constexpr int32_t kKeysLayout = 25, kKeysLayoutLeft = 26, kKeysLayoutRight = 27;
constexpr int32_t kNetIcon = 35, kBotFull = 36, kBotKick = 37, kBotHihat = 38, kBotKickHihat = 39;
constexpr int32_t kBotLeftHand = 40, kBotRightHand = 41;
}  // namespace tex

// Head textures by lane (index = lane counted from 1; -1 = none for that lane).
constexpr int32_t kFiveFretByLane[6] = {-1, 1, 2, 3, 4, 5};
constexpr int32_t kSliderByLane[6] = {-1, 101, 102, 103, 104, 105};
constexpr int32_t kRealByLane[10] = {-1, 21, 22, 23, 24, 25, -1, -1, -1, 29};
constexpr int32_t kKeysByLane[6] = {-1, 31, 32, 33, 34, 35};
constexpr int32_t kDanceByLane[5] = {-1, 11, 12, 13, 14};

// Drum colours by lane (the seven-lane layout repeats yellow, blue and green on 6..8).
enum DrumColour : int32_t { kDrumGreen = 0, kDrumRed, kDrumYellow, kDrumBlue, kDrumOrange };
constexpr int32_t kDrumColourByLane[9] = {kDrumGreen, kDrumGreen, kDrumRed, kDrumYellow, kDrumBlue,
                                          kDrumOrange, kDrumYellow, kDrumBlue, kDrumGreen};
constexpr int32_t kPadByColour[5] = {41, 42, 43, 44, 45};
constexpr int32_t kCymbalByColour[5] = {51, 52, 53, 54, 55};
// Cymbal type 1 open, 2 pedal, 3 sizzle on the green and yellow lanes of drums_real.
constexpr int32_t kGreenCymbalByType[4] = {51, 56, 57, 58};
constexpr int32_t kYellowCymbalByType[4] = {53, 59, 60, 61};
constexpr int32_t kCymbalVlByType[4] = {72, 73, 74, 75};
constexpr int32_t kCymbalMissByType[4] = {84, 85, 86, 87};
constexpr int32_t kCymbalModelByType[4] = {model::kCymbalClosed, model::kCymbalOpen, model::kCymbalPedal,
                                           model::kCymbalSizzle};

// Tail textures by lane (plain and held), index = lane; -1 where none.
constexpr int32_t kTailByLane[10] = {0, 1, 2, 3, 4, 5, -1, -1, -1, 9};
constexpr int32_t kTailHitByLane[10] = {150, 151, 152, 153, 154, 155, -1, -1, -1, 159};
constexpr int32_t kTailGreen = 1, kTailHitGreen = 151, kTailVl = 50, kTailMiss = 51, kTailHitVl = 180;

template <size_t N>
int32_t ByLane(const int32_t (&table)[N], int32_t lane, int32_t fallback) {
  if (lane < 0 || static_cast<size_t>(lane) >= N || table[lane] < 0) return fallback;
  return table[lane];
}

bool IsBlackKey(int32_t lane) {
  const int32_t k = ((lane - 1) % 12 + 12) % 12;
  return k == 1 || k == 4 || k == 6 || k == 9 || k == 11;
}

float DistanceFade(float d) {
  if (d <= kFadeStart) return 1.0f;
  if (d >= kFadeEnd) return 0.0f;
  return 1.0f - (d - kFadeStart) / (kFadeEnd - kFadeStart);
}

float DepthTable(const float (&table)[6], int32_t depth) { return depth >= 0 && depth <= 4 ? table[depth] : table[5]; }

int32_t SubBoardCount(const Player& p) { return p.kind == Instrument::keys_real ? 2 : 1; }

// A note's sub-board: the hand of a two-hand keys note, else the only one.
int32_t NoteSubBoard(const Player& p, const NoteRecord& n) {
  return p.kind == Instrument::keys_real ? std::clamp(n.hand, 0, 1) : 0;
}

// The pieces of the drums: which notes are cymbals. Basic drums have pads only; the
// red lane is always the snare pad, and the seven-lane toms (6..8) and notes under a
// tom marker are pads.
bool IsCymbal(int32_t kind, const NoteRecord& n) {
  if (kind != Instrument::drums_adv && kind != Instrument::drums_real) return false;
  if (n.tomDone || n.lane == 2 || n.lane < 1 || n.lane > 5) return false;
  return true;
}

class BoardPainter {
 public:
  BoardPainter(const GameplayView& view, int32_t eye) : view_(view), device_(view.device), assets_(view.assets), eye_(eye) {}

  void Run();

 private:
  struct SubBoard {
    int32_t index = 0;
    int32_t lanes = 5;
    float offset = 0.0f;
  };

  void DrawPlayer(int32_t index, const GameplayBoard& b);
  void PlaceCamera(const GameplayBoard& b, int32_t s, int32_t count);
  void DrawNeck(const GameplayBoard& b, int32_t s);
  void DrawBeatLines(const GameplayBoard& b);
  void DrawRangeChangeNeck(const GameplayBoard& b, int32_t s);
  void DrawSides(const GameplayBoard& b);
  void DrawTails(const GameplayBoard& b, const SubBoard& sb);
  void DrawHeads(const GameplayBoard& b, const SubBoard& sb);
  void DrawHud(const GameplayBoard& b);
  void DrawMeters(const GameplayBoard& b);
  void DrawAccuracyMarks(const GameplayBoard& b, const SubBoard& sb);
  // The mask stage's picture moved by `offset` over a 100 x 100 frame; off without one.
  void MaskScroll(const float* offset);
  void DrawKeyRangeMeter(const GameplayBoard& b);
  void SetBoardView(const GameplayBoard& b, int32_t s, int32_t count);
  void DrawOverlays();

  SubBoard SubBoardOf(const Player& p, int32_t s) const;
  Transform LanePlace(const GameplayBoard& b, const SubBoard& sb, int32_t lane) const;
  void ComputeAlphas(const GameplayBoard& b, const SubBoard& sb);
  void DrawModel(int32_t slot, const Transform& t, float alpha, TextureSlot texture);
  // `always` gives the part the texture whatever its own index says (the neck, whose
  // picture the renderer chooses).
  void DrawPart(const NeckPart& part, TextureSlot texture, bool always = false);
  TextureSlot NoteTexture(int32_t slot) const {
    return slot >= 0 && slot < kNoteTextureSlots ? &assets_->noteTextures[size_t(slot)] : nullptr;
  }
  TextureSlot BoardTexture(int32_t slot) const {
    return slot >= 0 && slot < kFretTextureSlots ? &assets_->fretTextures[size_t(slot)] : nullptr;
  }
  TextureSlot TailTexture(int32_t slot) const {
    return slot >= 0 && slot < kTailTextureSlots ? &assets_->tailTextures[size_t(slot)] : nullptr;
  }
  TextureSlot MeterTexture(int32_t slot) const {
    return slot >= 0 && slot < kMeterTextureSlots ? &assets_->meterTextures[size_t(slot)] : nullptr;
  }
  void ClearDepth() { device_->Clear(gfx::clear::kZBuffer, 0, 1.0f, 0); }
  void DepthOff() {
    device_->SetRenderState(gfx::RenderState::kZEnable, 0);
    device_->SetRenderState(gfx::RenderState::kZWriteEnable, 0);
  }
  void DepthOn() {
    device_->SetRenderState(gfx::RenderState::kZEnable, 1);
    device_->SetRenderState(gfx::RenderState::kZWriteEnable, 1);
  }

  const GameplayView& view_;
  gfx::RenderDevice* device_;
  GameAssets* assets_;
  int32_t eye_;
  BoardLayout layout_;
  gfx::Viewport viewport_;
  // Draw alphas of this pass (the note records keep theirs).
  std::array<float, kNoteSlots> headAlpha_{};
  std::array<float, kNoteSlots> tailAlpha_{};
};

void BoardPainter::Run() {
  if (!device_ || !assets_ || !view_.boardCamera) return;
  device_->LightEnable(0, true);
  const gfx::Viewport screen{0, 0, device_->BackBufferWidth(), device_->BackBufferHeight(), 0.0f, 1.0f};

  layout_.Allocate();
  for (int32_t i = 0; i < view_.boardCount; ++i) {
    const Player* p = view_.boards[i].player;
    layout_.Append(p && p->kind == Instrument::keys_real, p && p->remote);
  }
  layout_.Order();

  for (int32_t i = 0; i < view_.boardCount && i < BoardLayout::kMaxBoards; ++i) {
    const GameplayBoard& b = view_.boards[i];
    if (b.player && b.board) DrawPlayer(i, b);
  }
  device_->SetViewport(screen);
  DrawOverlays();
}

BoardPainter::SubBoard BoardPainter::SubBoardOf(const Player& p, int32_t s) const {
  SubBoard sb;
  sb.index = s;
  sb.lanes = p.track.laneCount > 0 ? p.track.laneCount : p.laneCount;
  const bool keyWindow = p.kind == Instrument::keys_real || p.kind == Instrument::keys_adv;
  if (keyWindow && p.track.visibleKeys[s] > 0) {
    sb.lanes = p.track.visibleKeys[s];
    sb.offset = p.track.keyWindow[s];
  }
  return sb;
}

Transform BoardPainter::LanePlace(const GameplayBoard& b, const SubBoard& sb, int32_t lane) const {
  Transform t;
  const Player& p = *b.player;
  BoardGeometry::LanePositions(t, lane, sb.lanes, p.kind, p.lefty, b.board->laneSpacing, false, sb.offset);
  return t;
}

void BoardPainter::PlaceCamera(const GameplayBoard& b, int32_t s, int32_t count) {
  BoardCameraPose& pose = CurrentBoardCameraPose();
  SetCameraPreset(pose, b.options.neckAngle, view_.flipped);
  glm::vec3 position = pose.position;
  position.x += static_cast<float>(s) * kSubBoardSpacing - static_cast<float>(count - 1) * kSubBoardSpacing * 0.5f;
  if (b.options.bassDrumCameraShake) position += b.board->cameraShake;
  Camera& camera = *view_.boardCamera;
  Camera::SetStereoEye(camera, view_.stereoMethod, position, pose.yaw, pose.pitch, pose.roll,
                       DepthTable(kBoardStereoSeparation, view_.boardDepth), eye_,
                       DepthTable(kBoardStereoAngle, view_.boardDepth));
  camera.fovDivisor = kFieldOfViewDivisor;
}

void BoardPainter::DrawPlayer(int32_t index, const GameplayBoard& b) {
  const Player& p = *b.player;
  PlayerBoard& board = *b.board;
  board.Update();
  const int32_t count = SubBoardCount(p);
  const float remoteScale = 1.0f - (1.0f - static_cast<float>(view_.remoteBoardSize) * 0.01f) * view_.remoteBoardFactor;
  const gfx::Viewport vp =
      layout_.Viewport(index, !view_.flipped, remoteScale, device_->BackBufferWidth(), device_->BackBufferHeight());

  viewport_ = vp;
  for (int32_t s = 0; s < count; ++s) {
    const SubBoard sb = SubBoardOf(p, s);
    SetBoardView(b, s, count);

    DrawNeck(b, s);
    board.sections.Draw(sb.lanes, sb.offset);
    DrawRangeChangeNeck(b, s);
    DrawBeatLines(b);
    ClearDepth();
    board.laneLines.Draw(s);
    DrawSides(b);
    ComputeAlphas(b, sb);
    DrawTails(b, sb);
    ClearDepth();
    const NeckPart& bottom = board.parts[size_t(NeckPartId::kFretBottom)];
    if (bottom.enabled) DrawPart(bottom, nullptr);
    board.frets.Draw(s);
    ClearDepth();
    DrawHeads(b, sb);
    DepthOff();
    board.frets.DrawGlows(s);
    DepthOn();
    if (view_.hitAccuracy) {
      DepthOff();
      DrawAccuracyMarks(b, sb);
      DepthOn();
    }
  }
  DrawHud(b);
}

// Camera, viewport, a fresh depth buffer and the board's own projection for sub-board s.
void BoardPainter::SetBoardView(const GameplayBoard& b, int32_t s, int32_t count) {
  const float aspect = b.player->kind == Instrument::keys_real ? BoardLayout::kWideAspect : BoardLayout::kNormalAspect;
  PlaceCamera(b, s, count);
  device_->SetViewport(viewport_);
  ClearDepth();
  device_->SetTransform(gfx::TransformKind::kProjection,
                        gfx::Matrix::PerspectiveFovLH(kPi / kFieldOfViewDivisor, aspect, 1.0f, 5000.0f));
  device_->SetTransform(gfx::TransformKind::kView, view_.boardCamera->GetViewMatrix());
}

void BoardPainter::DrawNeck(const GameplayBoard& b, int32_t s) {
  const Player& p = *b.player;
  PlayerBoard& board = *b.board;
  device_->SetTransform(gfx::TransformKind::kTexture0,
                        BuildTextureMatrix2D(0.0f, p.track.boardScroll, 1.0f, 1.0f, kNeckTextureWidth, kNeckRepeat));
  device_->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                                uint32_t(gfx::TextureTransform::kCount2));
  const NeckPart& neck = board.parts[size_t(NeckPartId::kNeck)];
  constexpr int32_t kNeckLeft = 56, kNeckRight = 57, kNeckPractice = 55;
  if (p.kind == Instrument::keys_real) {
    DrawPart(neck, BoardTexture(s == 0 ? kNeckRight : kNeckLeft), true);
  } else if (view_.practice) {
    DrawPart(neck, BoardTexture(kNeckPractice), true);
  } else if (board.neckTexture) {
    DrawPart(neck, &board.neckTexture, true);
  }
  for (NeckPartId id : {NeckPartId::kEnergyNeck, NeckPartId::kWarningNeck}) {
    const NeckPart& part = board.parts[size_t(id)];
    DrawPart(part, BoardTexture(part.texture));
  }
  device_->SetTextureStageState(0, gfx::TextureStageState::kTextureTransformFlags,
                                uint32_t(gfx::TextureTransform::kDisable));
}

// While the visible key range moves, the neck shows a rolling picture over itself.
void BoardPainter::DrawRangeChangeNeck(const GameplayBoard& b, int32_t s) {
  const LaneLines& lines = b.board->laneLines;
  const float pulse = lines.pulse2[s];
  const float envelope = lines.envelope2[s];
  if (!(pulse > 0.0f) || !(envelope > 0.0f)) return;
  constexpr int32_t kRollRight = 58, kRollLeft = 59;
  const NeckPart& neck = b.board->parts[size_t(NeckPartId::kNeck)];
  DrawModel(slots::kBoardModel, neck.placement, pulse * envelope,
            BoardTexture(b.board->rollLeft[s] ? kRollLeft : kRollRight));
}

void BoardPainter::DrawBeatLines(const GameplayBoard& b) {
  const Player& p = *b.player;
  const bool energy = p.track.score.energyActive;
  for (const BeatLine& line : p.track.beats) {
    if (!line.active || line.position > kSpawnDistance) continue;
    const bool measure = line.kind == BeatKind::kMeasure;
    const int32_t texture = energy ? (measure ? tex::kBeatVl : tex::kBeatSmallVl) : (measure ? tex::kBeat : tex::kBeatSmall);
    Transform t;
    t.position.z = line.position;
    DrawModel(model::kBeatLine, t, DistanceFade(line.position), NoteTexture(texture));
  }
}

void BoardPainter::DrawSides(const GameplayBoard& b) {
  const Player& p = *b.player;
  PlayerBoard& board = *b.board;
  NeckPart& sides = board.parts[size_t(NeckPartId::kSides)];
  if (p.kind == Instrument::keys_real) {
    sides.texture = slots::kSidesKeysTexture;
  } else if (view_.practice && view_.sectionFlag) {
    sides.texture = slots::kSidesSectionTexture;
  } else {
    sides.texture = p.track.score.energyActive ? slots::kSidesEnergyTexture : slots::kSidesTexture;
  }
  if (sides.enabled) DrawPart(sides, BoardTexture(sides.texture));
  const NeckPart& fretSides = board.parts[size_t(NeckPartId::kFretSides)];
  if (fretSides.enabled) DrawPart(fretSides, nullptr);
}

void BoardPainter::ComputeAlphas(const GameplayBoard& b, const SubBoard& sb) {
  const Player& p = *b.player;
  const float blind = BlindFade(b.options.blindMode, p.track.score.streak, view_.blindSong);
  for (int32_t i = 0; i < kNoteSlots; ++i) {
    const NoteRecord& n = p.track.notes[i];
    float head = n.alpha;
    float tail = n.unscored ? 0.3f : 1.0f;
    if (!n.activation) {
      const float own = NoteSubBoard(p, n) == sb.index ? 1.0f : (b.options.oppositeHandGhosting ? kGhostAlpha : 0.0f);
      head *= n.missed ? own : own * blind;
      tail *= own * blind;
    }
    headAlpha_[size_t(i)] = head;
    tailAlpha_[size_t(i)] = tail;
  }
}

void BoardPainter::DrawTails(const GameplayBoard& b, const SubBoard& sb) {
  const Player& p = *b.player;
  PlayerBoard& board = *b.board;
  for (int32_t i = 0; i < kNoteSlots; ++i) {
    const NoteRecord& n = p.track.notes[i];
    if (!n.active || !n.drawn || !n.hasSustain || n.endTime - n.time <= 0.0f) continue;
    if (tailAlpha_[size_t(i)] <= 0.0f) continue;
    const bool laneKnown = n.fretSlot >= 0 && n.fretSlot < kLaneSlots;
    const LaneState* lane = laneKnown ? &p.track.lanes[n.fretSlot] : nullptr;
    const bool held = n.hit && lane && lane->sustaining && lane->sustainNote == i;
    const bool dropped = n.hit && !held;
    // Only what lies between the strike line (or the head, still to come) and the
    // far fade is built; the rest of a long sustain is invisible anyway.
    const float start = held ? 0.0f : n.position;
    const float end = std::min(n.endPosition, kFadeEnd);
    if (end <= start) continue;
    TailRibbon& tail = board.tails[size_t(i)];
    tail.SetLength(TailTexture(SelectTailTexture(p.kind, n, held, dropped)), b.options.whammyFx, end - start,
                   kRibbonWidth, kRibbonStep);
    tail.zOffset = start;
    if (!dropped) {
      const float width = held ? p.track.whammyValue * 0.75f + 0.25f : 0.0f;
      tail.Scroll(static_cast<float>(view_.songPosition), width);
    }
    auto drawOn = [&](int32_t lanePlace) {
      Transform& place = tail.place[sb.index];
      const Transform t = LanePlace(b, sb, lanePlace);
      place.position = glm::vec3(t.position.x, t.position.y, 0.0f);
      place.scale = glm::vec3(1.0f);
      place.rotation = t.rotation;
      place.alpha = tailAlpha_[size_t(i)];
      tail.Draw(sb.index);
    };
    if (n.lane == 0) {
      // An open sustain runs along both edges of the board.
      drawOn(1);
      drawOn(sb.lanes);
    } else {
      drawOn(n.lane);
    }
  }
}

void BoardPainter::DrawHeads(const GameplayBoard& b, const SubBoard& sb) {
  const Player& p = *b.player;
  const auto visible = [&](const NoteRecord& n) { return n.active && n.drawn; };
  // Miss trails.
  for (int32_t i = 0; i < kNoteSlots; ++i) {
    const NoteRecord& n = p.track.notes[i];
    if (!visible(n) || !n.missed) continue;
    Transform t = LanePlace(b, sb, n.lane);
    t.position.z = n.position;
    DrawModel(n.lane == 0 ? model::kBassMissTrail : model::kMissTrail, t, headAlpha_[size_t(i)], nullptr);
  }
  // Chord bars under the chords of pro strings, at the first note of each.
  for (int32_t i = 0; i < kNoteSlots; ++i) {
    const NoteRecord& n = p.track.notes[i];
    if (!visible(n) || n.hit || n.group < 0 || n.group >= kNoteSlots) continue;
    const ChordGroup& g = p.track.groups[n.group];
    if (!g.used || g.count < 2 || g.slots[0] != i) continue;
    const Transform low = LanePlace(b, sb, g.lowLane);
    const Transform high = LanePlace(b, sb, g.highLane);
    Transform t = low;
    t.position = (low.position + high.position) * 0.5f;
    t.position.z = n.position;
    const int32_t chordModel = model::kChordFirst + std::clamp(g.count, 2, 6) - 2;
    DrawModel(chordModel, t, headAlpha_[size_t(i)], NoteTexture(n.energyPhrase ? tex::kChordBarVl : tex::kChordBar));
  }
  // Open-lane heads under the others.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) ClearDepth();
    for (int32_t i = 0; i < kNoteSlots; ++i) {
      const NoteRecord& n = p.track.notes[i];
      if (!visible(n) || n.hit || (n.lane == 0) != (pass == 0)) continue;
      const NoteLook look = SelectNoteHead(p.kind, p.laneCount, p.lefty, n);
      Transform t = LanePlace(b, sb, n.lane);
      t.position.z = n.position;
      DrawModel(look.model, t, headAlpha_[size_t(i)], look.texture >= 0 ? NoteTexture(look.texture) : nullptr);
      if (!view_.drawNoteId || n.serial < 0) continue;
      // The serial above the note, one digit model per figure.
      char digits[12];
      const int written = std::snprintf(digits, sizeof digits, "%d", n.serial);
      Transform d = t;
      d.position.y += 10.0f;
      d.scale = glm::vec3(0.4f);
      for (int k = 0; k < written; ++k) {
        DrawModel(model::kFretNumber, d, headAlpha_[size_t(i)], &assets_->numberTextures[size_t(digits[k] - '0')]);
        d.position.x += 12.0f;
      }
    }
  }
}

// The two-hand keyboard's range meter: the 88 keys (5.25 units each, 462 in all) and
// the window of each hand on them, seen from sub-board 0's camera.
void BoardPainter::DrawKeyRangeMeter(const GameplayBoard& b) {
  const Player& p = *b.player;
  SetBoardView(b, 0, SubBoardCount(p));
  Transform whole;
  DrawModel(model::kKeysLayout, whole, 1.0f, MeterTexture(tex::kKeysLayout));
  for (int32_t s = 0; s < SubBoardCount(p); ++s) {
    const SubBoard sb = SubBoardOf(p, s);
    Transform window;
    window.position.x = sb.offset * 5.25f - 231.0f + static_cast<float>(sb.lanes) * 2.625f;
    window.scale.x = static_cast<float>(sb.lanes) * 0.011363637f;
    DrawModel(model::kKeysLayoutActive, window, 1.0f,
              MeterTexture(s == 0 ? tex::kKeysLayoutRight : tex::kKeysLayoutLeft));
  }
}

// Each lane's last timing grade, in front of its fret for a moment after the hit.
void BoardPainter::DrawAccuracyMarks(const GameplayBoard& b, const SubBoard& sb) {
  const Player& p = *b.player;
  const TrackMeters& meters = p.track.meters;
  const uint32_t now = platform::TimeGetTime();
  const bool keyboard = p.kind == Instrument::keys_adv || p.kind == Instrument::keys_real;
  const int32_t last = std::min(p.track.laneCount, kLaneSlots - 1);
  for (int32_t lane = 0; lane <= last; ++lane) {
    float alpha = meters.AccuracyAlpha(lane, sb.index, now);
    if (alpha <= 0.0f) continue;
    Transform t = LanePlace(b, sb, lane);
    t.position.z = 0.0f;
    if (keyboard) {
      // The keyboard boards show a window of their keys: marks fade out at its edges.
      const float d = std::fabs(t.position.x);
      alpha *= d >= 121.0f ? 0.0f : d >= 118.0f ? 1.0f - (d - 118.0f) / 3.0f : 1.0f;
    }
    DrawModel(model::kAccuracy, t, alpha, MeterTexture(meters.Accuracy(lane, sb.index)->texture));
  }
}

void BoardPainter::MaskScroll(const float* offset) {
  if (offset) {
    device_->SetTransform(gfx::TransformKind::kTexture1, BuildTextureMatrix2D(0.0f, *offset, 1.0f, 1.0f, 100.0f, 100.0f));
  }
  device_->SetTextureStageState(1, gfx::TextureStageState::kTextureTransformFlags,
                                uint32_t(offset ? gfx::TextureTransform::kCount2 : gfx::TextureTransform::kDisable));
}

// The rock meter's fill takes the colour of the player's standing.
glm::vec3 RockColour(float rock) {
  if (rock < 33.0f) return glm::vec3(1.0f, 0.25f, 0.2f);
  if (rock < 66.0f) return glm::vec3(1.0f, 0.85f, 0.2f);
  return glm::vec3(0.35f, 1.0f, 0.4f);
}

// Beside the board: the chunk bar and multiplier badge, the rock meter and the energy
// bar. The two bars show their level through the mask stage: its picture moves by
// how far the bar is from full.
void BoardPainter::DrawMeters(const GameplayBoard& b) {
  const Player& p = *b.player;
  const TrackMeters& meters = p.track.meters;
  const PlayerScore& score = p.track.score;
  const int32_t set = p.kind == Instrument::keys_real ? 1 : 0;
  const Transform neutral;
  for (int32_t i = 0; i < 2; ++i) {
    if (meters.chunks[i].enabled) DrawModel(model::kChunkBar[i], neutral, 1.0f, MeterTexture(meters.chunks[i].texture));
  }
  if (meters.multiplier.enabled) {
    const int32_t badge = p.hitWindow == kDrunkHitWindow ? meters.drunkMultiplierTexture : meters.multiplier.texture;
    DrawModel(model::kMultiplier[set], neutral, 1.0f, MeterTexture(badge));
  }
  const float rock = std::clamp(score.rockMeter, 0.0f, 100.0f);
  const float rockOffset = -(rock - 100.0f) * 0.5f;
  MaskScroll(&rockOffset);
  Transform rockPlace;
  rockPlace.colour = RockColour(rock);
  DrawModel(model::kRockMeter[set], rockPlace, 1.0f, nullptr);
  MaskScroll(nullptr);
  DrawModel(model::kEnergyBar[set], neutral, 1.0f, nullptr);
  const float energy = std::clamp(score.energy, 0.0f, 100.0f);
  // The bar glows in its ready colour once energy can be used.
  TextureSlot fill = MeterTexture(energy >= 50.0f || score.energyActive ? tex::kEnergyReady : tex::kEnergyFill);
  const float nearOffset = energy > 50.0f ? 0.0f : 50.0f - energy;
  const float farOffset = energy > 50.0f ? 100.0f - energy : 50.0f;
  MaskScroll(&nearOffset);
  DrawModel(model::kEnergyHalfNear[set], neutral, 1.0f, fill);
  MaskScroll(&farOffset);
  DrawModel(model::kEnergyHalfFar[set], neutral, 1.0f, fill);
  MaskScroll(nullptr);
}

void BoardPainter::DrawHud(const GameplayBoard& b) {
  const Player& p = *b.player;
  if (p.kind == Instrument::keys_real) {
    DrawKeyRangeMeter(b);
    // The meters of the two-hand board sit around both sub-boards: a camera between them.
    SetBoardView(b, 0, 1);
  }
  DrawMeters(b);
  const float z = p.kind == Instrument::keys_real ? -55.0f : -75.0f;
  if (p.remote) {
    Transform t;
    t.position = glm::vec3(0.0f, 80.0f, 200.0f);
    DrawModel(model::kPlane, t, 0.8f, MeterTexture(tex::kNetIcon));
    if (view_.fonts && !p.options.name.empty()) {
      Transform text;
      text.position = glm::vec3(0.0f, 80.0f, 195.0f);
      text.scale = glm::vec3(0.5f);
      view_.fonts->DrawText(&text, 0, 0, -1, -1, platform::Utf8ToUtf16(p.options.name), u"default", 0.0f);
    }
  }
  const uint32_t bits = p.assistBits;
  int32_t icon = -1;
  if (bits & 1u) {
    icon = tex::kBotFull;
  } else if ((bits & 6u) == 6u) {
    icon = tex::kBotKickHihat;
  } else if (bits & 4u) {
    icon = tex::kBotHihat;
  } else if (bits & 2u) {
    icon = tex::kBotKick;
  } else if (bits & 8u) {
    icon = tex::kBotLeftHand;
  } else if (bits & 16u) {
    icon = tex::kBotRightHand;
  }
  if (icon >= 0) {
    Transform t;
    t.position = glm::vec3(0.0f, 20.0f, z);
    t.scale = glm::vec3(0.5f);
    DrawModel(model::kPlane, t, 1.0f, MeterTexture(icon));
  }
}

void BoardPainter::DrawOverlays() {
  const int32_t w = device_->BackBufferWidth();
  const int32_t h = device_->BackBufferHeight();
  if (view_.freeLook && h > 0) {
    Camera& camera = *view_.freeLook;
    Camera::SetStereoEye(camera, view_.stereoMethod, glm::vec3(0.0f, 0.0f, -2220.0f), 0.0f, 0.0f, 0.0f,
                         view_.menuStereoSeparation, eye_, view_.menuStereoAngle);
    camera.fovDivisor = kFieldOfViewDivisor;
    device_->SetTransform(gfx::TransformKind::kProjection,
                          gfx::Matrix::PerspectiveFovLH(kPi / kFieldOfViewDivisor, float(w) / float(h), 1.0f, 10000.0f));
    device_->SetTransform(gfx::TransformKind::kView, camera.GetViewMatrix());
  }
  if (view_.overlays) view_.overlays();
}

void BoardPainter::DrawModel(int32_t slot, const Transform& t, float alpha, TextureSlot texture) {
  if (alpha <= 0.001f || slot < 0 || slot >= kMeshSlots) return;
  MeshInstance& mesh = assets_->meshes[size_t(slot)];
  MeshHierarchy* h = mesh.Hierarchy();
  if (!h) return;
  mesh.PlaceAt(t);
  h->SetTexture(texture, 0);
  h->alpha = alpha;
  h->colour = t.colour;
  // One instance serves every draw of its model: the frames follow the new place now.
  mesh.Update(true);
}

void BoardPainter::DrawPart(const NeckPart& part, TextureSlot texture, bool always) {
  if (!part.visible) return;
  DrawModel(part.model, part.placement, part.alpha * part.placement.alpha,
            always || part.texture != -1 ? texture : nullptr);
}

}  // namespace

BoardCameraPose& CurrentBoardCameraPose() {
  static BoardCameraPose pose;
  return pose;
}

float BlindFade(int32_t blindMode, int32_t streak, bool blindSong) {
  if (blindSong) return 0.3f;
  if (blindMode <= 0 || blindMode > 5) return 1.0f;
  const int32_t limit = kBlindLimit[blindMode];
  if (streak >= limit) return 0.0f;
  return 1.0f - static_cast<float>(streak) / static_cast<float>(limit);
}

NoteLook SelectNoteHead(int32_t kind, int32_t laneCount, bool lefty, const NoteRecord& n) {
  (void)laneCount;
  const bool phrase = n.energyPhrase;
  const bool missed = n.missed;
  auto pick = [&](int32_t plain, int32_t vl, int32_t miss) { return missed ? miss : phrase ? vl : plain; };
  const bool drums = LaneMap::IsDrumKind(kind);
  if (n.lane == 0) {
    if (drums) return {model::kDrumBass, pick(tex::kDrumBass, tex::kDrumBassVl, tex::kDrumBassMiss)};
    return {model::kGuitarBass, pick(tex::kGuitarBass, tex::kGuitarBassVl, tex::kGuitarBassMiss)};
  }
  if (drums) {
    if (n.activation) return {model::kActivate, -1};
    if (n.rim) {
      return {model::kRimshot, pick(lefty ? tex::kRimshotGreen : tex::kRimshotRed, tex::kRimshotVl, tex::kRimshotMiss)};
    }
    const int32_t colour = ByLane(kDrumColourByLane, n.lane, kDrumGreen);
    if (!IsCymbal(kind, n)) return {model::kDrum, pick(kPadByColour[colour], tex::kDrumVl, tex::kDrumMiss)};
    const int32_t type = kind == Instrument::drums_real ? std::clamp(n.padVariant, 0, 3) : 0;
    int32_t plain = kCymbalByColour[colour];
    if (colour == kDrumGreen) plain = kGreenCymbalByType[type];
    if (colour == kDrumYellow) plain = kYellowCymbalByType[type];
    return {kCymbalModelByType[type], pick(plain, kCymbalVlByType[type], kCymbalMissByType[type])};
  }
  if (LaneMap::IsFiveFretKind(kind)) {
    if (n.tap) return {model::kSlider, pick(ByLane(kSliderByLane, n.lane, 101), tex::kSliderVl, tex::kSliderMiss)};
    return {n.hammerOn ? model::kGuitarHopo : model::kGuitar,
            pick(ByLane(kFiveFretByLane, n.lane, 1), tex::kGuitarVl, tex::kGuitarMiss)};
  }
  if (LaneMap::IsProKind(kind)) {
    const int32_t m = n.channelFlag[0] ? model::kRealMuted : n.hammerOn ? model::kRealHopo : model::kReal;
    return {m, pick(ByLane(kRealByLane, n.lane, 21), tex::kRealVl, tex::kRealMiss)};
  }
  if (kind == Instrument::keys) {
    return {model::kKeys, pick(ByLane(kKeysByLane, n.lane, 31), tex::kKeysVl, tex::kKeysMiss)};
  }
  if (kind == Instrument::keys_adv || kind == Instrument::keys_real) {
    const bool black = IsBlackKey(n.lane);
    return {model::kKeys, pick(black ? tex::kKeysBlack : 31, black ? tex::kKeysBlackVl : tex::kKeysVl, tex::kKeysMiss)};
  }
  if (kind == Instrument::dance) {
    if (n.activation) return {model::kActivate, -1};
    const int32_t m = model::kDanceFirst + std::clamp(n.lane, 1, 4) - 1;
    return {m, pick(ByLane(kDanceByLane, n.lane, 11), tex::kDanceVl, tex::kDanceMiss)};
  }
  return {model::kGuitar, pick(1, tex::kGuitarVl, tex::kGuitarMiss)};
}

int32_t SelectTailTexture(int32_t kind, const NoteRecord& n, bool held, bool dropped) {
  const bool greenKeys = kind == Instrument::keys_adv || kind == Instrument::keys_real;
  int32_t texture = n.energyPhrase ? kTailVl : greenKeys ? kTailGreen : ByLane(kTailByLane, n.lane, kTailGreen);
  if (n.missed) texture = kTailMiss;
  if (held) {
    texture = n.energyPhrase ? kTailHitVl : greenKeys ? kTailHitGreen : ByLane(kTailHitByLane, n.lane, kTailHitGreen);
  }
  if (dropped) texture = kTailMiss;
  return texture;
}

void RenderGameplay(const GameplayView& view, int32_t eye) {
  BoardPainter painter(view, eye);
  painter.Run();
}

void RenderGameplay(int32_t eye) {
  SceneGlobals& g = Globals();
  if (!g.device || !g.assets || !g.cameras) return;
  LevelState& level = Level();
  const LevelSession& session = Session();
  const Settings& settings = session.settings ? *session.settings : g_Settings;
  const int32_t count = std::clamp(level.playerCount, 0, LevelBoards::kMaxBoards);
  std::array<GameplayBoard, LevelBoards::kMaxBoards> boards;
  for (int32_t i = 0; i < count && level.players; ++i) {
    GameplayBoard& b = boards[size_t(i)];
    b.player = &level.players[size_t(i)];
    b.board = CurrentLevelBoards().Get(i);
    if (const Profile* profile = level.info[size_t(i)].profile) {
      b.options.neckAngle = profile->NECKANGLE;
      b.options.blindMode = profile->BLINDMODE;
      b.options.oppositeHandGhosting = profile->OPPOSITEHANDGHOSTING != 0;
      b.options.whammyFx = profile->WHAMMYFX;
      b.options.bassDrumCameraShake = profile->BASSDRUMCAMERASHAKE != 0;
    }
  }
  SceneContext* scene = CurrentSceneContext();
  GameplayView view;
  view.device = g.device;
  view.assets = g.assets;
  view.boardCamera = g.cameras->Get(CameraId::kBoard);
  view.freeLook = g.cameras->Get(CameraId::kFreeLook);
  view.fonts = scene ? &scene->fonts : nullptr;
  view.boards = boards.data();
  view.boardCount = count;
  view.songPosition = level.clock ? level.clock->GetSongTime() : 0.0;
  view.boardDepth = settings.BOARDDEPTH;
  view.stereoMethod = settings.STEREOSCOPICMETHOD;
  view.remoteBoardSize = settings.REMOTEBOARDSIZE;
  view.practice = scene ? scene->practice : session.practice;
  view.flipped = scene ? scene->flip : session.boardRolled;
  view.sectionFlag = session.ingame.practiceMenuOpen;
  view.hitAccuracy = settings.HITACCURACY;
  view.drawNoteId = settings.DRAWNOTEID;
  view.overlays = [] { DrawPlayOverlays(); };
  RenderGameplay(view, eye);
}

}  // namespace graphics
