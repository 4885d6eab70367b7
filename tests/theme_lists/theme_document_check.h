// The check of theme documents the tests run over the default theme: the screens'
// manifest (menus/screen_manifest.txt) says which named elements each document must
// hold; every document is read through the theme reader and through a plain walk of
// its tags, and every fault found is described in one line.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace graphics {
struct SceneContext;
}

namespace theme::testing {

struct ManifestRow {
  std::string document;
  std::string kind;  // "document", "list", "text", "image", "event"
  std::string id;
  std::string event;
  int line = 0;
};

// Reads the manifest; malformed lines are reported in errors.
bool ReadScreenManifest(const std::string& path, std::vector<ManifestRow>* rows, std::vector<std::string>* errors);

struct DocumentCheck {
  graphics::SceneContext* context = nullptr;  // with assets, so pictures really load
  std::string folder;                         // the document's folder, ending in '/'
  std::string fontsFolder;                    // where the bitmap fonts are, ending in '/'
  // The game log's lines so far (the check compares before and after loading).
  std::function<std::vector<std::string>()> logLines;
};

// The faults of folder + name + ".ini": a document that does not read, a log line of a
// fall-back or a failed load, a value with stray spaces or line breaks, an fx with a
// trigger but no id, a missing picture or font, two elements of one kind and role with
// the same id, and every manifest row of the document that is not met.
std::vector<std::string> CheckThemeDocument(const DocumentCheck& check, const std::string& name,
                                            const std::vector<ManifestRow>& manifest);

}  // namespace theme::testing
