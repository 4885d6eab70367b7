// The language files the build puts into the run folder: each one loads whole, names
// every id exactly once and nothing else, and is stored the way the game reads it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/lang_ids.h"
#include "core/language.h"
#include "core/text_document.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

const char* const kFiles[] = {"english.txt", "french.txt", "spanish.txt", "italian.txt"};

std::string EnvFolder(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream os;
  os << f.rdbuf();
  return os.str();
}

std::string BuiltPath(const char* file) { return EnvFolder("VELORIN_RUN_DIR") + "/data/languages/" + file; }

}  // namespace

TEST(LanguageFiles, StoredAsUtf16WithMarkAndCrLf) {
  ASSERT_FALSE(EnvFolder("VELORIN_RUN_DIR").empty()) << "VELORIN_RUN_DIR is not set";
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    const std::string path = BuiltPath(file);
    ASSERT_TRUE(platform::IsRegularFile(path)) << path << " is missing; build the target velorin_content";
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE", 2));
    EXPECT_EQ(bytes.size() % 2, 0u);
    const std::u16string text = platform::DecodeUtf16LE(bytes);
    size_t lf = 0, crlf = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == u'\n') {
        ++lf;
        if (i > 0 && text[i - 1] == u'\r') ++crlf;
      }
    }
    EXPECT_EQ(lf, crlf) << "every line ends in CR LF";
    EXPECT_EQ(lf, static_cast<size_t>(LanguageKeyNameCount()));
  }
}

TEST(LanguageFiles, EveryIdHasATextAndNoKeyIsUnknown) {
  ASSERT_FALSE(EnvFolder("VELORIN_RUN_DIR").empty()) << "VELORIN_RUN_DIR is not set";
  testsupport::TempDir logs;
  auto english = std::make_unique<LanguageTable>();
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    const std::string path = BuiltPath(file);
    ASSERT_TRUE(platform::IsRegularFile(path)) << path << " is missing; build the target velorin_content";

    // Walk the pairs as the loader does and check each key.
    TextDocument doc;
    ASSERT_TRUE(doc.Load(platform::PathFromNative(path)));
    std::set<int> seen;
    int pairs = 0;
    while (doc.cursor < doc.count) {
      const std::u16string key = doc.NextQuoted();
      const std::u16string text = doc.NextQuoted();
      ++pairs;
      if (key.empty() && doc.cursor >= doc.count) break;  // the line end after the last pair
      const int id = FindLanguageIdByName(key);
      EXPECT_GE(id, 0) << "unknown key " << platform::Utf16ToUtf8(key);
      EXPECT_TRUE(seen.insert(id).second) << "key given twice: " << platform::Utf16ToUtf8(key);
      EXPECT_FALSE(text.empty()) << platform::Utf16ToUtf8(key);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(LanguageKeyNameCount()));

    // The loader's own view: no named id left at the placeholder.
    logs.WriteBytes("game_log.txt", "");
    auto table = std::make_unique<LanguageTable>();
    Language lang;
    lang.LoadFile(*table, platform::PathFromNative(path));
    int missing = 0;
    for (int id = 0; id < kLanguageStringCount; ++id) {
      const std::u16string& t = table->entries[static_cast<size_t>(id)];
      if (LanguageKeyName(id).empty()) {
        EXPECT_EQ(t, u"????") << id;
      } else if (t == u"????" || t.empty()) {
        ++missing;
        ADD_FAILURE() << "no text for " << LanguageKeyName(id);
      }
    }
    EXPECT_EQ(missing, 0);
    const std::vector<std::string> log = logs.GameLogTexts();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "Line Count:" + std::to_string(pairs));

    // A translation, not a copy of the English file.
    if (file == kFiles[0]) {
      english = std::move(table);
    } else {
      int differ = 0;
      for (int id = 0; id < kLanguageStringCount; ++id)
        if (table->entries[static_cast<size_t>(id)] != english->entries[static_cast<size_t>(id)]) ++differ;
      EXPECT_GT(differ, LanguageKeyNameCount() * 3 / 4);
    }
  }
}

// The format has no escape: a double quote inside a text would put every later pair
// out of step, so the sources hold exactly one "KEY" "text" pair per line.
TEST(LanguageFiles, SourcesHoldNoQuoteInsideATextAndFollowTheTable) {
  const std::string source = EnvFolder("VELORIN_SOURCE_DIR");
  ASSERT_FALSE(source.empty()) << "VELORIN_SOURCE_DIR is not set";
  const std::regex pair("\"(LANG_[A-Z0-9_]+)\" \"([^\"]+)\"");
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    std::ifstream in(source + "/content/languages/" + file, std::ios::binary);
    ASSERT_TRUE(in.good());
    std::string line;
    int lineNo = 0, expectedId = -1;
    while (std::getline(in, line)) {
      ++lineNo;
      std::smatch m;
      ASSERT_TRUE(std::regex_match(line, m, pair)) << file << ":" << lineNo << ": " << line;
      const std::string text = m[2];
      EXPECT_NE(text.front(), ' ') << file << ":" << lineNo;
      EXPECT_NE(text.back(), ' ') << file << ":" << lineNo;
      // Keys follow the id order, so the four files can be read side by side.
      const int id = FindLanguageIdByName(platform::Utf8ToUtf16(m[1].str()));
      EXPECT_GT(id, expectedId) << file << ":" << lineNo;
      expectedId = id;
    }
    EXPECT_EQ(lineNo, LanguageKeyNameCount());
  }
}

// The hint under a finished song names both keys and what each does there: Confirm
// goes on after a pass but plays the song again after a failure, and Back plays again
// after a pass but quits after a failure. The key names are the file's own, as its
// calibration hints spell them ("Confirm: ...", "Back: ...").
TEST(LanguageFiles, TheSongEndHintsNameBothKeysAndWhatConfirmDoesThere) {
  ASSERT_FALSE(EnvFolder("VELORIN_RUN_DIR").empty()) << "VELORIN_RUN_DIR is not set";
  testsupport::TempDir logs;
  logs.WriteBytes("game_log.txt", "");
  auto keyName = [](const std::u16string& hint) { return hint.substr(0, hint.find(u':')); };
  auto trimmed = [](std::u16string s) {
    while (!s.empty() && s.back() == u' ') s.pop_back();
    return s;
  };
  for (const char* file : kFiles) {
    SCOPED_TRACE(file);
    auto table = std::make_unique<LanguageTable>();
    Language lang;
    ASSERT_TRUE(lang.LoadFile(*table, platform::PathFromNative(BuiltPath(file))));
    auto text = [&](int id) { return table->entries[static_cast<size_t>(id)]; };
    const std::u16string confirm = trimmed(keyName(text(LANG("LANG_GAME_CALIBRATE_HELPER_1A"))));
    const std::u16string back = trimmed(keyName(text(LANG("LANG_GAME_CALIBRATE_HELPER_1B"))));
    ASSERT_FALSE(confirm.empty());
    ASSERT_FALSE(back.empty());
    // What follows the Confirm key up to the Back key: the action it names.
    auto confirmAction = [&](const std::u16string& hint) {
      const size_t c = hint.find(confirm);
      const size_t b = hint.find(back, c == std::u16string::npos ? 0 : c);
      if (c == std::u16string::npos || b == std::u16string::npos) return std::u16string();
      return hint.substr(c + confirm.size(), b - c - confirm.size());
    };
    const std::u16string passed = text(LANG("LANG_GAME_INFO_HELPER_1A"));
    const std::u16string failed = text(LANG("LANG_GAME_INFO_HELPER_1B"));
    for (const std::u16string* hint : {&passed, &failed}) {
      EXPECT_NE(hint->find(confirm), std::u16string::npos) << platform::Utf16ToUtf8(*hint);
      EXPECT_NE(hint->find(back), std::u16string::npos) << platform::Utf16ToUtf8(*hint);
    }
    EXPECT_FALSE(confirmAction(passed).empty()) << platform::Utf16ToUtf8(passed);
    EXPECT_NE(confirmAction(passed), confirmAction(failed))
        << "Confirm restarts a failed song: its hint must not promise what it does after a pass";
  }
}
