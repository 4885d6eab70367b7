#include "core/language.h"

#include "core/log.h"
#include "core/text_document.h"
#include "platform/text.h"

LanguageTable::LanguageTable() {
  for (int i = 0; i < kLanguageStringCount; ++i) entries[static_cast<size_t>(i)] = u"????";
  entries[kLanguageStringCount] = u"Lang Line Overflow";
}

bool Language::LoadAll(const std::u16string& folder) {
  static const char16_t* const kFiles[kLanguageCount] = {u"english.txt", u"french.txt", u"spanish.txt",
                                                         u"italian.txt"};
  for (int i = 0; i < kLanguageCount; ++i) LoadFile(tables[static_cast<size_t>(i)], folder + kFiles[i]);
  return true;
}

bool Language::LoadFile(LanguageTable& table, const std::u16string& path) {
  Log(0, u"Loading:" + path);
  TextDocument doc;
  doc.Load(path);
  int pairs = 0;
  while (doc.cursor < doc.count) {
    const std::u16string key = doc.NextQuoted();
    ++pairs;
    const int id = key.empty() ? -1 : FindLanguageIdByName(key);
    std::u16string text = doc.NextQuoted();
    if (id >= 0 && id < kLanguageStringCount) table.entries[static_cast<size_t>(id)] = std::move(text);
  }
  Log(0, u"Line Count:" + platform::FormatIntW(pairs));
  doc.Free();
  return true;
}

const std::u16string& Language::GetString(int32_t id) const {
  if (index < 0 || index >= kLanguageCount) return folderOverflowText;
  const LanguageTable& t = tables[static_cast<size_t>(index)];
  if (id < 0 || id >= kLanguageStringCount) return t.entries[kLanguageStringCount];
  return t.entries[static_cast<size_t>(id)];
}

int32_t Language::FindId(const std::u16string& text) const {
  const LanguageTable& english = tables[0];
  for (int i = 0; i < kLanguageStringCount; ++i)
    if (english.entries[static_cast<size_t>(i)] == text) return i;
  return -1;
}
