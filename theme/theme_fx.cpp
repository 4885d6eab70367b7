// Fx animation: parsing, units, the seven motion types and the event rule.
#include "theme/theme_fx.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/text_document.h"
#include "core/utils.h"
#include "platform/clock.h"
#include "theme/theme_element.h"
#include "theme/theme_values.h"

namespace theme {

namespace {

constexpr std::array<std::u16string_view, kFxTargetCount> kTargetNames = {
    u"position_x", u"position_y", u"position_z", u"scale_x", u"scale_y", u"scale_z",
    u"rotate_x",   u"rotate_y",   u"rotate_z",   u"colour_r", u"colour_g", u"colour_b",
    u"alpha",      u"texture_u",  u"texture_v",  u"texture_w"};

constexpr std::array<std::u16string_view, 7> kTypeNames = {u"linear", u"ping_pong", u"switch", u"random",
                                                          u"sine",   u"set",       u"value"};

constexpr float kPi = 3.1415927f;

bool g_secondEye = false;

bool IsPercentTarget(int32_t t) {
  const auto target = static_cast<FxTarget>(t);
  return (target >= FxTarget::kScaleX && target <= FxTarget::kScaleZ) ||
         (target >= FxTarget::kColourR && target <= FxTarget::kTextureW);
}

bool IsAngleTarget(int32_t t) {
  const auto target = static_cast<FxTarget>(t);
  return target >= FxTarget::kRotateX && target <= FxTarget::kRotateZ;
}

}  // namespace

bool FxTargetFromName(std::u16string_view name, int32_t* target) {
  for (size_t i = 0; i < kTargetNames.size(); ++i) {
    if (SameName(kTargetNames[i], name)) {
      *target = static_cast<int32_t>(i);
      return true;
    }
  }
  return false;
}

bool FxTypeFromName(std::u16string_view name, int32_t* type) {
  for (size_t i = 0; i < kTypeNames.size(); ++i) {
    if (SameName(kTypeNames[i], name)) {
      *type = static_cast<int32_t>(i);
      return true;
    }
  }
  return false;
}

void SetSecondEyePass(bool secondEye) { g_secondEye = secondEye; }
bool SecondEyePass() { return g_secondEye; }

bool ThemeFx::Parse(TextDocument& document, graphics::SceneContext* ownerContext) {
  owner = ownerContext;
  startTime = platform::TimeGetTime();
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"fx")) break;
    if (SameName(u"target", tag)) {
      FxTargetFromName(document.NextValue(), &target);
    } else if (SameName(u"fx_type", tag)) {
      FxTypeFromName(document.NextValue(), &fxType);
    } else if (SameName(u"speed", tag)) {
      speed = ParseFloat(document.NextValue());
    } else if (SameName(u"rate", tag)) {
      rate = ParseFloat(document.NextValue());
    } else if (SameName(u"start", tag)) {
      start = ParseFloat(document.NextValue());
    } else if (SameName(u"end", tag)) {
      end = ParseFloat(document.NextValue());
    } else if (SameName(u"delay", tag)) {
      delay = ParseInt(document.NextValue());
    } else if (SameName(u"loop_delay", tag)) {
      loopDelay = ParseInt(document.NextValue());
    } else if (SameName(u"loop", tag)) {
      loop = ParseBool(document.NextValue());
    } else if (SameName(u"inherit_sub_id", tag)) {
      inheritSubId = ParseBool(document.NextValue());
    } else if (SameName(u"sub_id_wild", tag)) {
      subIdWild = ParseBool(document.NextValue());
    } else if (SameName(u"id", tag)) {
      id = document.NextValue();
    } else if (SameName(u"sub_id", tag)) {
      subId = document.NextValue();
    } else if (SameName(u"trigger", tag)) {
      trigger = document.NextValue();
    } else if (SameName(u"additive_alpha", tag)) {
      additiveAlpha = ParseBool(document.NextValue());
    }
  }
  // A block cut off by the end of the document is closed there like a whole one, so
  // its channel is bound and its units are those of every other fx.
  ConvertUnits();
  BindTarget();
  return true;
}

void ThemeFx::ConvertUnits() {
  float factor = 1.0f;
  if (IsPercentTarget(target)) factor = 0.01f;
  else if (IsAngleTarget(target)) factor = kDegreesToRadians;
  start *= factor;
  end *= factor;
  speed *= factor;
}

void ThemeFx::BindTarget() {
  if (target >= 0 && target < kFxTargetCount) bound = true;
}

float* ThemeFx::Channel() {
  if (!bound) return nullptr;
  graphics::Transform& t = transform;
  switch (static_cast<FxTarget>(target)) {
    case FxTarget::kPositionX: return &t.position.x;
    case FxTarget::kPositionY: return &t.position.y;
    case FxTarget::kPositionZ: return &t.position.z;
    case FxTarget::kScaleX: return &t.scale.x;
    case FxTarget::kScaleY: return &t.scale.y;
    case FxTarget::kScaleZ: return &t.scale.z;
    case FxTarget::kRotateX: return &t.rotation.x;
    case FxTarget::kRotateY: return &t.rotation.y;
    case FxTarget::kRotateZ: return &t.rotation.z;
    case FxTarget::kColourR: return &t.colour.r;
    case FxTarget::kColourG: return &t.colour.g;
    case FxTarget::kColourB: return &t.colour.b;
    case FxTarget::kAlpha: return &t.alpha;
    case FxTarget::kTextureU: return &t.textureOffset.x;
    case FxTarget::kTextureV: return &t.textureOffset.y;
    case FxTarget::kTextureW: return &t.textureOffset.z;
  }
  return nullptr;
}

void ThemeFx::PointAnimatorsHere() {
  tween.target = Channel();
  tween.clock = &elapsed;
  timer.target = &switchState;
  timer.clock = &elapsed;
}

void ThemeFx::Start() {
  active = true;
  startTime = platform::TimeGetTime();
  elapsed = 0;
  PointAnimatorsHere();
  const auto type = static_cast<FxType>(fxType);
  if (type == FxType::kLinear || type == FxType::kPingPong) {
    tween.Start(0, end, Channel(), type == FxType::kPingPong, loop, &elapsed, delay, loopDelay, speed, start);
  } else if (type == FxType::kSwitch || type == FxType::kRandom) {
    timer.Start(&switchState, loop, &elapsed, std::trunc(rate));
  }
}

void ThemeFx::Stop() {
  active = false;
  transform.Reset();
  tween.running = false;
  timer.running = false;
}

void ThemeFx::KeepTweenInSpan() {
  const float lo = std::min(start, end);
  const float hi = std::max(start, end);
  if (tween.current >= lo && tween.current <= hi) return;
  tween.current = std::clamp(tween.current, lo, hi);
  if (float* channel = Channel()) *channel = tween.current;
}

bool ThemeFx::Update(int32_t value) {
  if (!active || !bound || g_secondEye) return false;
  elapsed = platform::TimeGetTime() - startTime;
  PointAnimatorsHere();
  float* channel = Channel();
  switch (static_cast<FxType>(fxType)) {
    case FxType::kLinear:
    case FxType::kPingPong:
      tween.Update();
      KeepTweenInSpan();
      break;
    case FxType::kSwitch:
      timer.Update();
      *channel = switchState ? end : start;
      break;
    case FxType::kRandom:
      timer.Update();
      if (switchState) {
        *channel = RandomRange(start, end);
        switchState = false;
      }
      break;
    case FxType::kSine: {
      const float t = static_cast<float>(elapsed) / 10000.0f * rate;
      *channel = (!loop && t >= kPi) ? start : start + (end - start) * std::sin(t);
      break;
    }
    case FxType::kSet:
      *channel = end;
      break;
    case FxType::kValue: {
      const float p = static_cast<float>(value) * 0.01f;
      *channel = end > start ? end * p : 1.0f - start * p;
      break;
    }
  }
  return true;
}

bool ThemeFx::TriggerBySubId(std::string_view elementId, std::string_view row, std::string_view event) {
  if (!EqualsNoCase(ToNarrow(id), elementId)) return true;
  if (!subIdWild && !EqualsNoCase(ToNarrow(subId), row)) return true;
  const std::string trig = ToNarrow(trigger);
  if (EqualsNoCase(trig, event)) {
    Start();
  } else if (!trig.empty() && MatchSuffixedNames(trig, event)) {
    Stop();
  }
  return true;
}

void FoldFx(graphics::Transform& into, const ThemeFx& fx, bool highlightFollowsColour) {
  const graphics::Transform& f = fx.transform;
  into.position += f.position;
  into.rotation += f.rotation;
  into.textureOffset += f.textureOffset;
  into.scale *= f.scale;
  into.colour *= f.colour;
  if (highlightFollowsColour) into.highlight *= f.colour;
  if (fx.active && fx.additiveAlpha) {
    into.alpha += f.alpha;
  } else {
    into.alpha *= f.alpha;
  }
}

}  // namespace theme
