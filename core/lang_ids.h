// Language string ids: the numbers (0-1799) by which code names its texts, and the
// key names ("LANG_" + an upper-case path) by which the language files name them.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

constexpr int kLanguageStringCount = 1800;

struct LanguageKeyRun {
  int first;
  std::string_view prefix;
  const std::string_view* suffixes;
  std::size_t count;
};

#include "core/lang_ids_table.inc"

// The id of a key name at compile time; a name that is not in the table does not
// compile. Code writes LANG("LANG_MENU_MAIN_QUIT") where it needs id 16.
consteval int LANG(std::string_view name) {
  for (const LanguageKeyRun& run : kLanguageKeyRuns) {
    if (name.substr(0, run.prefix.size()) != run.prefix) continue;
    const std::string_view rest = name.substr(run.prefix.size());
    for (std::size_t i = 0; i < run.count; ++i)
      if (run.suffixes[i] == rest) return run.first + static_cast<int>(i);
  }
  throw "unknown language key name";
}

// The id of a key name read from a file (exact, case-sensitive), or -1.
int FindLanguageIdByName(std::u16string_view name);
// The key name of an id, or an empty text when the id has none.
std::string LanguageKeyName(int id);
// The number of key names in the table.
int LanguageKeyNameCount();
