// The shared parts of theme elements: common keys, fx handling, anchor and the
// device states of the flags.
#include "theme/theme_element.h"

#include "core/text_document.h"
#include "graphics/scene_context.h"
#include "platform/gfx/render_device.h"

namespace theme {

namespace gfx = platform::gfx;

bool IsEndTag(std::u16string_view tag, std::u16string_view blockName) {
  return !tag.empty() && tag[0] == u'/' && SameName(tag.substr(1), blockName);
}

void SkipBlock(TextDocument& document, std::u16string_view blockName) {
  while (document.cursor < document.count) {
    if (IsEndTag(document.NextTag(), blockName)) return;
  }
}

graphics::Transform CombineForImage(const graphics::Transform& own, const graphics::Transform& parent) {
  graphics::Transform t = own.Combine(parent);
  t.pivot = own.pivot + parent.pivot;
  t.highlight = own.highlight;
  t.justification = own.justification;
  return t;
}

void ThemeElement::TriggerFxBySubId(std::string_view elementId, std::string_view row, std::string_view event) {
  for (ThemeFx& fx : fxs) fx.TriggerBySubId(elementId, row, event);
}

void ThemeElement::Reset() {
  for (ThemeFx& fx : fxs) {
    if (fx.trigger.empty()) fx.Start();
  }
}

void ThemeElement::StopFx() {
  for (ThemeFx& fx : fxs) fx.Stop();
}

ThemeFx* ThemeElement::AddFx() {
  fxs.emplace_back();
  return &fxs.back();
}

float ThemeElement::WindowAspect() const {
  if (!owner || !owner->screenWidth || !owner->screenHeight) return 0.0f;
  const int w = *owner->screenWidth;
  const int h = *owner->screenHeight;
  if (w <= 0 || h <= 0) return 0.0f;
  return static_cast<float>(w) / static_cast<float>(h);
}

bool ThemeElement::ParseCommonKey(std::u16string_view key, TextDocument& document) {
  if (SameName(u"position", key)) {
    transform.position = ParseVector(document.NextValue(), ValueUnit::kAsWritten);
  } else if (SameName(u"screen_pos", key)) {
    screenPos = ParseVector(document.NextValue(), ValueUnit::kPercent);
  } else if (SameName(u"scale", key)) {
    transform.scale = ParseVector(document.NextValue(), ValueUnit::kPercent);
  } else if (SameName(u"rotate", key)) {
    transform.rotation = ParseVector(document.NextValue(), ValueUnit::kDegrees);
  } else if (SameName(u"colour", key)) {
    transform.colour = ParseVector(document.NextValue(), ValueUnit::kPercent);
  } else if (SameName(u"alpha", key)) {
    transform.alpha = ParsePercent(document.NextValue());
  } else if (SameName(u"id", key)) {
    id = document.NextValue();
  } else if (SameName(u"system", key)) {
    document.NextValue();
  } else if (SameName(u"z_clear", key)) {
    flags |= kZClear;
  } else if (SameName(u"no_culling", key)) {
    flags |= kNoCulling;
  } else if (SameName(u"fx", key)) {
    AddFx()->Parse(document, owner);
  } else {
    return false;
  }
  return true;
}

void ThemeElement::BeginDrawStates() const {
  gfx::RenderDevice* device = owner ? owner->device : nullptr;
  if (!device) return;
  if (flags & kZClear) device->Clear(gfx::clear::kZBuffer, 0xFF000000u, 1.0f, 0);
  if (flags & kNoCulling) device->SetRenderState(gfx::RenderState::kCullMode, static_cast<uint32_t>(gfx::CullMode::kNone));
}

void ThemeElement::EndDrawStates() const {
  gfx::RenderDevice* device = owner ? owner->device : nullptr;
  if (!device) return;
  if (flags & kNoCulling) {
    device->SetRenderState(gfx::RenderState::kCullMode, static_cast<uint32_t>(gfx::CullMode::kCounterClockwise));
  }
}

bool ThemeElement::ApplyScreenAnchor(graphics::Transform& t) const {
  const float aspect = WindowAspect();
  if (aspect <= 0.0f) return false;
  t.position.x = aspect * kMenuSpaceHeight * (screenPos.x - 0.5f) + t.position.x;
  t.position.y = t.position.y - (screenPos.y - 0.5f) * kMenuSpaceHeight;
  return true;
}

void ThemeElement::RunFxs(graphics::Transform& t, int32_t value, bool activeOnly, bool highlightFollowsColour) {
  for (ThemeFx& fx : fxs) {
    fx.Update(value);
    if (!activeOnly || fx.Active()) FoldFx(t, fx, highlightFollowsColour);
  }
}

}  // namespace theme
