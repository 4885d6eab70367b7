#include "theme_document_check.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "core/text_document.h"
#include "core/utils.h"
#include "theme/menu_theme.h"
#include "theme/theme_list.h"
#include "theme/theme_model.h"

namespace theme::testing {

namespace fs = std::filesystem;

namespace {

// Log lines that mean a document or one of its files did not load as written.
const char* const kFaultLogMarks[] = {"Loading Default", "Could NOT", "Could Not", "Failed", "No Theme Loaded",
                                      "ERROR", "Not Available", "Not Unicode", "Empty File"};

const std::u16string_view kBlockNames[] = {u"background", u"model", u"image", u"text", u"list", u"fx"};

bool IsBlockOrFlag(std::u16string_view tag) {
  for (std::u16string_view name : kBlockNames) {
    if (SameName(name, tag)) return true;
  }
  return SameName(u"z_clear", tag) || SameName(u"no_culling", tag);
}

bool HasStraySpace(std::u16string_view value) {
  for (char16_t c : value) {
    if (c == u'\r' || c == u'\n' || c == u'\t') return true;
  }
  return !value.empty() && (value.front() == u' ' || value.back() == u' ');
}

std::string Narrow(std::u16string_view text) { return ToNarrow(text); }

// Ids are matched without regard to ASCII case.
std::string Folded(std::u16string_view text) {
  std::string s = ToNarrow(text);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Every fx of the document, wherever it sits, with a description of its holder.
struct FxRef {
  const ThemeFx* fx;
  std::string holder;
};

void CollectImageFxs(const ThemeImage& image, const std::string& holder, std::vector<FxRef>* out) {
  for (const ThemeFx& fx : image.fxs) out->push_back({&fx, holder + " image '" + Narrow(image.id) + "'"});
}

void CollectAll(const MenuTheme& theme, std::vector<FxRef>* fxs, std::vector<const ThemeImage*>* images,
                std::vector<std::u16string>* fonts) {
  for (const auto& image : theme.Images()) {
    CollectImageFxs(*image, "", fxs);
    images->push_back(image.get());
  }
  for (const auto& text : theme.Texts()) {
    for (const ThemeFx& fx : text->fxs) fxs->push_back({&fx, "text '" + Narrow(text->id) + "'"});
    for (const auto& child : text->images) {
      CollectImageFxs(*child, "text '" + Narrow(text->id) + "'", fxs);
      images->push_back(child.get());
    }
    fonts->push_back(text->font);
  }
  for (const auto& element : theme.Lists()) {
    const auto* list = dynamic_cast<const ThemeList*>(element.get());
    if (!list) continue;
    for (const ThemeFx& fx : list->fxs) fxs->push_back({&fx, "list '" + Narrow(list->id) + "'"});
    for (const auto& child : list->images) {
      CollectImageFxs(*child, "list '" + Narrow(list->id) + "'", fxs);
      images->push_back(child.get());
    }
    fonts->push_back(list->font);
  }
  for (const auto& element : theme.Models()) {
    for (const ThemeFx& fx : element->fxs) fxs->push_back({&fx, "model '" + Narrow(element->id) + "'"});
  }
}

bool FileExists(const std::string& folder, std::u16string_view relative) {
  std::string path = folder + Narrow(relative);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool FontComplete(const std::string& fontsFolder, std::u16string_view font) {
  for (int code = 32; code <= 255; ++code) {
    if (!FileExists(fontsFolder, std::u16string(font) + u"/" + ToWide(std::to_string(code)) + u".png")) return false;
  }
  return true;
}

// Two texts may share an id when one of them only stands an icon in for the other's
// words (a generic replacer child): the program sets both with one call.
std::string TextRole(const ThemeText& text) {
  for (const auto& child : text.images) {
    if (child->genericReplacer) return "icon";
  }
  return "words";
}

void CheckTags(const std::string& path, std::vector<std::string>* faults) {
  TextDocument document;
  if (!document.Load(ToWide(path))) {
    faults->push_back("does not read as a UTF-16 document with a byte-order mark");
    return;
  }
  while (document.cursor < document.count) {
    const std::u16string tag = document.NextTag();
    if (tag.empty() || tag[0] == u'/' || IsBlockOrFlag(tag)) continue;
    const std::u16string value = document.NextValue();
    if (HasStraySpace(value)) faults->push_back("value of <" + Narrow(tag) + "> has stray spaces or line breaks");
  }
}

bool AnyFxAnswers(const std::vector<FxRef>& fxs, const std::string& id, const std::string& event) {
  for (const FxRef& ref : fxs) {
    if (SameName(id, ref.fx->id) && SameName(event, ref.fx->trigger)) return true;
  }
  return false;
}

}  // namespace

bool ReadScreenManifest(const std::string& path, std::vector<ManifestRow>* rows, std::vector<std::string>* errors) {
  std::ifstream in(path);
  if (!in) {
    errors->push_back("cannot open " + path);
    return false;
  }
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ManifestRow row;
    row.line = number;
    fields >> row.document >> row.kind >> row.id >> row.event;
    const bool wantsId = row.kind == "list" || row.kind == "text" || row.kind == "image" || row.kind == "event";
    const bool ok = (row.kind == "document" && row.id.empty()) || (wantsId && !row.id.empty() &&
                                                                    (row.kind == "event") == !row.event.empty());
    if (!ok) {
      errors->push_back("manifest line " + std::to_string(number) + " is malformed: " + line);
      continue;
    }
    rows->push_back(row);
  }
  return errors->empty();
}

std::vector<std::string> CheckThemeDocument(const DocumentCheck& check, const std::string& name,
                                            const std::vector<ManifestRow>& manifest) {
  std::vector<std::string> faults;
  const std::string path = check.folder + name + ".ini";
  CheckTags(path, &faults);

  const size_t logBefore = check.logLines ? check.logLines().size() : 0;
  MenuTheme theme(check.context);
  if (!theme.Load(ToWide(check.folder), ToWide(name))) faults.push_back("the theme reader does not load it");
  if (check.logLines) {
    const std::vector<std::string> lines = check.logLines();
    for (size_t i = logBefore; i < lines.size(); ++i) {
      for (const char* mark : kFaultLogMarks) {
        if (lines[i].find(mark) != std::string::npos) {
          faults.push_back("log: " + lines[i]);
          break;
        }
      }
    }
  }

  std::vector<FxRef> fxs;
  std::vector<const ThemeImage*> images;
  std::vector<std::u16string> fonts;
  CollectAll(theme, &fxs, &images, &fonts);

  for (const FxRef& ref : fxs) {
    if (!ref.fx->trigger.empty() && ref.fx->id.empty()) {
      faults.push_back("fx triggered by '" + Narrow(ref.fx->trigger) + "' in" + (ref.holder.empty() ? "" : " ") +
                       ref.holder + " has no id, so no event reaches it");
    }
  }
  for (const ThemeImage* image : images) {
    for (const OptionalText& p : image->paths) {
      if (p.set && !p.text.empty() && !FileExists(check.folder, p.text)) {
        faults.push_back("missing picture " + Narrow(p.text));
      }
    }
  }
  for (const auto& background : theme.Backgrounds()) {
    if (!background->path.empty() && !FileExists(check.folder, background->path)) {
      faults.push_back("missing background picture " + Narrow(background->path));
    }
  }
  std::set<std::u16string> checkedFonts;
  for (const std::u16string& font : fonts) {
    if (!checkedFonts.insert(font).second) continue;
    if (!FontComplete(check.fontsFolder, font)) faults.push_back("missing or incomplete font " + Narrow(font));
  }

  std::map<std::string, int> ids;
  for (const auto& image : theme.Images()) {
    if (!image->id.empty()) ++ids["image '" + Folded(image->id) + "'"];
  }
  for (const auto& text : theme.Texts()) {
    if (!text->id.empty()) ++ids["text '" + Folded(text->id) + "' (" + TextRole(*text) + ")"];
  }
  for (const auto& list : theme.Lists()) {
    if (!list->id.empty()) ++ids["list '" + Folded(list->id) + "'"];
  }
  for (const auto& [what, count] : ids) {
    if (count > 1) faults.push_back("duplicate id: " + std::to_string(count) + " of " + what);
  }

  for (const ManifestRow& row : manifest) {
    if (row.document != name) continue;
    bool met = false;
    if (row.kind == "document") {
      met = !theme.Empty();
    } else if (row.kind == "list") {
      for (const auto& list : theme.Lists()) met = met || SameName(row.id, list->id);
    } else if (row.kind == "text") {
      for (const auto& text : theme.Texts()) met = met || (text->dynamic && SameName(row.id, text->id));
    } else if (row.kind == "image") {
      for (const auto& image : theme.Images()) {
        met = met || (image->dynamic && SameName(row.id, image->id) && !image->path.empty());
      }
    } else if (row.kind == "event") {
      met = AnyFxAnswers(fxs, row.id, row.event);
    }
    if (!met) {
      faults.push_back("manifest line " + std::to_string(row.line) + ": no " + row.kind + " '" + row.id + "'" +
                       (row.event.empty() ? "" : " answering '" + row.event + "'"));
    }
  }
  return faults;
}

}  // namespace theme::testing
