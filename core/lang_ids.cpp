#include "core/lang_ids.h"

#include <unordered_map>
#include <vector>

namespace {

struct KeyIndex {
  std::unordered_map<std::u16string, int> byName;
  std::vector<std::string> byId = std::vector<std::string>(kLanguageStringCount);
  int count = 0;

  KeyIndex() {
    for (const LanguageKeyRun& run : kLanguageKeyRuns) {
      for (std::size_t i = 0; i < run.count; ++i) {
        std::string name = std::string(run.prefix) + std::string(run.suffixes[i]);
        const int id = run.first + static_cast<int>(i);
        byName.emplace(std::u16string(name.begin(), name.end()), id);
        if (id >= 0 && id < kLanguageStringCount) byId[static_cast<std::size_t>(id)] = std::move(name);
        ++count;
      }
    }
  }
};

const KeyIndex& Index() {
  static const KeyIndex index;
  return index;
}

}  // namespace

int FindLanguageIdByName(std::u16string_view name) {
  const auto& m = Index().byName;
  auto it = m.find(std::u16string(name));
  return it == m.end() ? -1 : it->second;
}

std::string LanguageKeyName(int id) {
  if (id < 0 || id >= kLanguageStringCount) return std::string();
  return Index().byId[static_cast<std::size_t>(id)];
}

int LanguageKeyNameCount() { return Index().count; }
