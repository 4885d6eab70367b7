// Image elements: parsing, the language's picture and replace id, drawing.
#include "theme/theme_image.h"

#include "core/log.h"
#include "core/settings.h"
#include "core/text_document.h"
#include "graphics/scene_context.h"
#include "platform/gfx/device.h"

namespace theme {

namespace {

int CurrentLanguageSlot(const graphics::SceneContext* owner) {
  return (owner && owner->settings) ? LanguageSlot(owner->settings->language.index) : 0;
}

}  // namespace

bool ThemeImage::Parse(TextDocument& document, graphics::SceneContext* ownerContext, std::u16string_view themeFolder) {
  owner = ownerContext;
  folder = std::u16string(themeFolder);
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"image")) break;
    if (ParseCommonKey(tag, document)) continue;
    if (SameName(u"path", tag)) {
      paths[0].Set(document.NextValue());
    } else if (SameName(u"path_french", tag)) {
      paths[1].Set(document.NextValue());
    } else if (SameName(u"path_spanish", tag)) {
      paths[2].Set(document.NextValue());
    } else if (SameName(u"path_italian", tag)) {
      paths[3].Set(document.NextValue());
    } else if (SameName(u"texture_coords", tag)) {
      transform.textureOffset = ParseVector(document.NextValue(), ValueUnit::kPercent);
    } else if (SameName(u"replace_id", tag)) {
      replaceIds[0].Set(document.NextValue());
    } else if (SameName(u"replace_id_french", tag)) {
      replaceIds[1].Set(document.NextValue());
    } else if (SameName(u"replace_id_spanish", tag)) {
      replaceIds[2].Set(document.NextValue());
    } else if (SameName(u"replace_id_italian", tag)) {
      replaceIds[3].Set(document.NextValue());
    } else if (SameName(u"selector", tag)) {
      selector = ParseBool(document.NextValue());
    } else if (SameName(u"generic_replacer", tag)) {
      genericReplacer = ParseBool(document.NextValue());
    } else if (SameName(u"scrollbar", tag)) {
      scrollbar = ParseBool(document.NextValue());
    } else if (SameName(u"dynamic", tag)) {
      dynamic = ParseBool(document.NextValue());
    }
  }
  LoadTexture();
  return true;
}

void ThemeImage::LoadTexture() {
  const int slot = CurrentLanguageSlot(owner);
  // A word of the english table written once stands for its translation too, so a
  // row that shows the translated word still finds its icon.
  if (slot != 0 && replaceIds[0].set && !replaceIds[slot].set && owner && owner->settings) {
    const Language& language = owner->settings->language;
    const int32_t stringId = language.FindId(replaceIds[0].text);
    if (stringId >= 0) replaceIds[slot].Set(language.GetString(stringId));
  }
  replaceText = replaceIds[slot].set ? replaceIds[slot].text : replaceIds[0].text;
  path = paths[slot].set ? paths[slot].text : paths[0].text;
  if (path.empty()) return;
  graphics::GameAssets* assets = owner ? owner->assets : nullptr;
  const std::u16string full = JoinThemePath(folder, path);
  if (!image.Load(assets, full)) {
    Log(0, u"Could Not File File: " + full + u" Loading Default");
    image.Load(assets, JoinThemePath(kDefaultDynamicFolder, path));
  }
  ownWidth_ = image.width;
  ownHeight_ = image.height;
}

void ThemeImage::Display(const platform::gfx::Texture* texture) {
  if (texture) {
    image.texture = texture;
    image.width = texture->Width();
    image.height = texture->Height();
  } else {
    image.RestoreOwnTexture();
    image.width = ownWidth_;
    image.height = ownHeight_;
  }
}

void ThemeImage::ShowTexture(std::shared_ptr<const platform::gfx::Texture> texture) {
  Display(texture.get());
  shownTexture_ = std::move(texture);
}

void ThemeImage::ShowUnownedTexture(const platform::gfx::Texture* texture) {
  Display(texture);
  shownTexture_.reset();
}

bool ThemeImage::Draw(const graphics::Transform* parent, int32_t value) {
  BeginDrawStates();
  graphics::Transform t = parent ? CombineForImage(transform, *parent) : transform;
  RunFxs(t, value, false);
  image.material.diffuse = platform::gfx::Vec4(t.colour, t.alpha);
  image.material.emissive = platform::gfx::Vec4(t.colour, image.material.emissive.a);
  if (ApplyScreenAnchor(t) && owner && owner->quad) {
    image.transform = t;
    owner->quad->Render3D(image, false, 0.0f);
  }
  EndDrawStates();
  return true;
}

}  // namespace theme
