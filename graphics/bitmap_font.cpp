// Loading font folders and drawing a line of text glyph by glyph.
#include "graphics/bitmap_font.h"

#include <cctype>
#include <vector>

#include "core/folders.h"
#include "core/log.h"
#include "core/utils.h"
#include "platform/text.h"

namespace graphics {

namespace gfx = platform::gfx;

namespace {

bool Drawable(const BitmapFont& font, char16_t c) { return c >= 32 && c <= 255 && font.glyphs[c].texture; }

float HalfWidth(const Image& glyph, float s2) {
  if (s2 == 0.0f) return float(glyph.width);
  return glyph.height > 0 ? float(glyph.width) / float(glyph.height) * s2 : 0.0f;
}

std::vector<FolderEntry> List(uint32_t mask, std::u16string_view folder, std::u16string_view pattern) {
  int32_t n = CountFolderEntries(mask, folder, pattern);
  std::vector<FolderEntry> entries(size_t(std::max(n, 0)));
  if (n > 0 && !ListFolderEntries(entries, mask, false, folder, pattern)) entries.clear();
  return entries;
}

}  // namespace

void FontManager::Init(gfx::RenderDevice* device, GameAssets* assets) {
  device_ = device;
  assets_ = assets;
  quad_ = std::make_unique<Quad>(device);
  quad_->Create();
  material = gfx::Material{gfx::Vec4(1.0f), gfx::Vec4(1.0f), gfx::Vec4(0.0f), gfx::Vec4(1.0f), 0.0f};
  highlightMaterial = material;
}

void FontManager::Release() {
  fonts_.clear();
  if (quad_) quad_->Release();
  quad_.reset();
}

BitmapFont* FontManager::AppendFont() { return &fonts_.emplace_back(); }

bool FontManager::LoadFont(std::u16string_view folder, std::u16string_view name) {
  Log(0, u"Loading Font " + std::u16string(folder));
  BitmapFont* font = AppendFont();
  font->name = std::u16string(name);
  font->folder = std::u16string(folder);
  for (const FolderEntry& e : List(kFileAttribute, folder, u"*.png")) {
    int32_t code = platform::AtoI(e.name);
    if (code < 32 || code > 255) continue;
    font->glyphs[size_t(code)].Load(assets_, std::u16string(folder) + e.name);
  }
  return true;
}

bool FontManager::LoadAll(std::u16string_view fontsFolder) {
  for (const FolderEntry& e : List(kFolderAttribute, fontsFolder, u"*.*")) {
    std::u16string folder = std::u16string(fontsFolder) + e.name + u"/";
    if (!LoadFont(folder, e.name)) Log(0, u"Failed To Load Font " + folder);
  }
  return true;
}

const BitmapFont* FontManager::FindFont(std::u16string_view name) const {
  const BitmapFont* found = nullptr;
  for (const BitmapFont& f : fonts_)
    if (EqualsNoCaseW(f.name, name)) found = &f;
  return found;
}

float FontManager::MeasureText(const BitmapFont& font, std::u16string_view text, float size) {
  float total = 0.0f;
  for (char16_t c : text)
    if (Drawable(font, c)) total += 2.0f * HalfWidth(font.glyphs[c], size * 2.0f);
  return total;
}

bool FontManager::DrawText(const Transform* transform, int32_t textCase, int32_t maxLength, int32_t highlightFirst,
                           int32_t highlightLast, std::u16string_view text, std::u16string_view fontName,
                           float size) {
  if (fonts_.empty() || !transform || !transform->Visible() || !quad_) return false;
  float s2 = size * 2.0f;
  BitmapFont* font = const_cast<BitmapFont*>(FindFont(fontName));
  if (!font) return false;
  // Texts are drawn every frame: the line is built in storage kept from the last one.
  line_.assign(text);
  std::u16string& line = line_;
  if (maxLength != 0 && maxLength > 0 && size_t(maxLength) < line.size()) line.resize(size_t(maxLength));
  // Only the unaccented letters change case, as the C library's per-character rule does.
  for (char16_t& c : line) {
    if (textCase == int32_t(TextCase::kUpper) && c >= u'a' && c <= u'z') c = char16_t(c - 32);
    if (textCase == int32_t(TextCase::kLower) && c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  }
  float total = MeasureText(*font, line, size);
  float offset = transform->justification.x * total;
  const Transform& t = *transform;
  material.diffuse = gfx::Vec4(t.colour, t.alpha);
  material.emissive = gfx::Vec4(t.colour, material.emissive.a);
  highlightMaterial.diffuse = gfx::Vec4(t.highlight, t.alpha);
  highlightMaterial.emissive = gfx::Vec4(t.highlight, highlightMaterial.emissive.a);
  quad_->BindForDraw(&material);
  float cursor = 0.0f;
  for (size_t i = 0; i < line.size(); ++i) {
    bool highlighted = int32_t(i) >= highlightFirst && int32_t(i) <= highlightLast;
    device_->SetMaterial(highlighted ? highlightMaterial : material);
    char16_t c = line[i];
    if (!Drawable(*font, c)) continue;
    Image& glyph = font->glyphs[c];
    glyph.transform = t;
    float hw = HalfWidth(glyph, s2);
    float d = cursor + hw - offset;
    glyph.transform.position.x += d * t.scale.x;
    glyph.transform.pivot.x = -d * t.scale.x;
    quad_->Render3D(glyph, true, s2);
    cursor += 2.0f * hw;
  }
  return true;
}

}  // namespace graphics
