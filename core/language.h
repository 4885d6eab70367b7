// Language tables: four tables of 1800 texts (english, french, spanish, italian)
// looked up by string id in the current language.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/lang_ids.h"

struct LanguageTable {
  LanguageTable();
  // Entries 0-1799 are the texts of the ids; entry 1800 is the line-overflow text.
  std::array<std::u16string, kLanguageStringCount + 1> entries;
};

class Language {
 public:
  static constexpr int kLanguageCount = 4;

  // Loads folder + "english.txt", "french.txt", "spanish.txt", "italian.txt".
  bool LoadAll(const std::u16string& folder);
  bool LoadFile(LanguageTable& table, const std::u16string& path);
  const std::u16string& GetString(int32_t id) const;
  // The lowest id whose English text equals the text, or -1.
  int32_t FindId(const std::u16string& text) const;

  std::array<LanguageTable, kLanguageCount> tables;
  std::u16string folderOverflowText = u"Lang Folder Overflow";
  int32_t index = 0;
};
