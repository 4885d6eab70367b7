// Model elements: reading the block, loading the shared model with the default theme's
// fall-back, and drawing it with the element's placement and fxs.
#include "theme/theme_model.h"

#include "core/log.h"
#include "core/text_document.h"
#include "graphics/game_assets.h"
#include "graphics/model.h"
#include "graphics/scene_context.h"
#include "theme/element_makers.h"

namespace theme {

std::unique_ptr<ThemeElement> MakeThemeModel() { return std::make_unique<ThemeModel>(); }

bool ThemeModel::Parse(TextDocument& document, graphics::SceneContext* ownerContext, std::u16string_view themeFolder) {
  owner = ownerContext;
  folder = std::u16string(themeFolder);
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (IsEndTag(tag, u"model")) break;
    if (SameName(u"system", tag)) {
      const std::u16string v = document.NextValue();
      if (SameName(u"z_clear", v)) flags |= kZClear;
      else if (SameName(u"no_culling", v)) flags |= kNoCulling;
    } else if (SameName(u"z_clear", tag) || SameName(u"no_culling", tag)) {
      // Models take their flags only through "system".
    } else if (SameName(u"path", tag)) {
      path = document.NextValue();
      LoadModel();
    } else if (SameName(u"texture_coords", tag)) {
      transform.textureOffset = ParseVector(document.NextValue(), ValueUnit::kPercent);
    } else if (SameName(u"replace_id", tag)) {
      replaceId = document.NextValue();
    } else {
      ParseCommonKey(tag, document);
    }
  }
  return true;
}

void ThemeModel::LoadModel() {
  model = nullptr;
  graphics::GameAssets* assets = owner ? owner->assets : nullptr;
  if (!assets) return;
  const std::u16string full = JoinThemePath(folder, path);
  if (assets->GetModel(&model, full)) return;
  Log(0, u"Failed To Load Model: " + full + u" Loading Default");
  if (!assets->GetModel(&model, JoinThemePath(kDefaultDynamicFolder, path))) model = nullptr;
}

bool ThemeModel::Draw(const graphics::Transform* parent) {
  BeginDrawStates();
  graphics::Transform t = parent ? transform.Combine(*parent) : transform;
  RunFxs(t, 0, false);
  if (ApplyScreenAnchor(t)) {
    lastPlacement_ = t;
    if (model) {
      model->transform = t;
      model->Render();
    }
  }
  EndDrawStates();
  return true;
}

}  // namespace theme
