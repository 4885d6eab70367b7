#include "core/language.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/test_support.h"

namespace {

constexpr int kQuit = LANG("LANG_MENU_MAIN_QUIT");
constexpr int kCareer = LANG("LANG_MENU_MAIN_CAREER");
static_assert(kQuit == 16 && kCareer == 11);

struct Loaded {
  std::unique_ptr<LanguageTable> table = std::make_unique<LanguageTable>();
  std::vector<std::string> log;
};

// Parses a UTF-8 text written as a UTF-16 language file into a fresh table.
Loaded LoadLanguageText(const testsupport::TempDir& dir, std::string_view utf8) {
  dir.WriteUtf16("lang.txt", utf8);
  dir.WriteBytes("game_log.txt", "");
  Loaded out;
  Language lang;
  EXPECT_TRUE(lang.LoadFile(*out.table, dir.WPath("lang.txt")));
  out.log = dir.GameLogTexts();
  return out;
}

std::string Text(const LanguageTable& t, int id) { return platform::Utf16ToUtf8(t.entries[static_cast<size_t>(id)]); }

}  // namespace

TEST(LanguageTable, StartsWithPlaceholders) {
  auto t = std::make_unique<LanguageTable>();
  for (int id : {0, 9, 16, 1797, 1798, 1799}) EXPECT_EQ(Text(*t, id), "????");
  EXPECT_EQ(Text(*t, 1800), "Lang Line Overflow");
}

TEST(LanguageFile, PairsAndTheirCount) {
  testsupport::TempDir dir;
  const std::string path = dir.Path("lang.txt");

  // An unknown key's pair is read and dropped; the known key's text is stored.
  Loaded a = LoadLanguageText(dir, "\"NOT_A_KEY\" \"dropped\"\r\n\"LANG_MENU_MAIN_QUIT\" \"Quit\"");
  EXPECT_EQ(Text(*a.table, kQuit), "Quit");
  EXPECT_EQ(a.log, (std::vector<std::string>{"Loading:" + path, "Line Count:2"}));

  // Anything after the last quote (a final line break) makes one more empty key.
  Loaded b = LoadLanguageText(dir, "\"NOT_A_KEY\" \"dropped\"\r\n\"LANG_MENU_MAIN_QUIT\" \"Quit\"\r\n");
  EXPECT_EQ(Text(*b.table, kQuit), "Quit");
  EXPECT_EQ(b.log.back(), "Line Count:3");

  // Keys match exactly; a later pair of the same key wins; outside the quotes
  // anything goes.
  Loaded c = LoadLanguageText(dir,
                              "\"lang_menu_main_quit\" \"lower case\"\r\n"
                              "\"LANG_MENU_MAIN_QUIT \" \"trailing blank\"\r\n"
                              "\"\" \"empty key\"\r\n"
                              "\"LANG_MENU_MAIN_CAREER\" = \"first\"\r\n"
                              "junk \"LANG_MENU_MAIN_CAREER\"junk\"Carri\xC3\xA8re \xE2\x99\xAA\"");
  EXPECT_EQ(Text(*c.table, kQuit), "????");
  EXPECT_EQ(Text(*c.table, kCareer), "Carri\xC3\xA8re \xE2\x99\xAA");
  EXPECT_EQ(c.log.back(), "Line Count:5");

  // A key with no text after it at the end of the file gets an empty text.
  Loaded d = LoadLanguageText(dir, "\"LANG_MENU_MAIN_QUIT\"");
  EXPECT_EQ(Text(*d.table, kQuit), "");
  EXPECT_EQ(d.log.back(), "Line Count:1");
}

TEST(LanguageFile, AQuoteInsideATextPutsTheRestOutOfStep) {
  testsupport::TempDir dir;
  Loaded l = LoadLanguageText(dir,
                              "\"LANG_MENU_MAIN_QUIT\" \"Say \"hi\" now\"\r\n"
                              "\"LANG_MENU_MAIN_CAREER\" \"Career\"");
  EXPECT_EQ(Text(*l.table, kQuit), "Say ");
  EXPECT_EQ(Text(*l.table, kCareer), "????");  // its name was read as a text
  EXPECT_EQ(l.log.back(), "Line Count:3");
}

TEST(LanguageFile, UnreadableFilesLeaveTheTable) {
  testsupport::TempDir dir;
  auto table = std::make_unique<LanguageTable>();
  table->entries[kQuit] = u"kept";
  Language lang;

  dir.WriteBytes("game_log.txt", "");
  EXPECT_TRUE(lang.LoadFile(*table, dir.WPath("missing.txt")));
  EXPECT_EQ(dir.GameLogTexts(), (std::vector<std::string>{"Loading:" + dir.Path("missing.txt"), "Line Count:0"}));

  dir.WriteUtf16("nobom.txt", "\"LANG_MENU_MAIN_QUIT\" \"lost\"", false);
  dir.WriteBytes("game_log.txt", "");
  EXPECT_TRUE(lang.LoadFile(*table, dir.WPath("nobom.txt")));
  EXPECT_EQ(dir.GameLogTexts(),
            (std::vector<std::string>{"Loading:" + dir.Path("nobom.txt"),
                                      "ERROR:Not Unicode Document:" + dir.Path("nobom.txt"), "Line Count:0"}));
  EXPECT_EQ(Text(*table, kQuit), "kept");
}

TEST(Language, LoadAllAndLookUps) {
  testsupport::TempDir dir;
  const char* files[] = {"english.txt", "french.txt", "spanish.txt", "italian.txt"};
  const char* quit[] = {"Quit", "Quitter", "Salir", "Esci"};
  for (int i = 0; i < 4; ++i)
    dir.WriteUtf16(std::string("languages/") + files[i],
                   std::string("\"LANG_MENU_MAIN_QUIT\" \"") + quit[i] + "\"\r\n\"LANG_COUNTRY_GABON\" \"Gabon\"\r\n");
  dir.WriteBytes("game_log.txt", "");

  auto lang = std::make_unique<Language>();
  EXPECT_TRUE(lang->LoadAll(dir.WPath("languages/")));
  std::vector<std::string> loading;
  for (const std::string& line : dir.GameLogTexts())
    if (line.rfind("Loading:", 0) == 0) loading.push_back(line);
  ASSERT_EQ(loading.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(loading[i], "Loading:" + dir.Path(std::string("languages/") + files[i]));

  // The index picks the table at every look-up.
  for (int i = 0; i < 4; ++i) {
    lang->index = i;
    EXPECT_EQ(platform::Utf16ToUtf8(lang->GetString(kQuit)), quit[i]);
    EXPECT_EQ(lang->GetString(LANG("LANG_COUNTRY_GABON")), u"Gabon");
    EXPECT_EQ(lang->GetString(kCareer), u"????");
    EXPECT_EQ(lang->GetString(9), u"????");  // an id without a name
    for (int id : {-1, 1800, 1801, INT32_MIN, INT32_MAX}) EXPECT_EQ(lang->GetString(id), u"Lang Line Overflow");
  }
  for (int bad : {-1, 4, 100}) {
    lang->index = bad;
    EXPECT_EQ(lang->GetString(kQuit), u"Lang Folder Overflow");
    EXPECT_EQ(lang->GetString(5000), u"Lang Folder Overflow");
  }
}

TEST(Language, FindIdSearchesTheEnglishTable) {
  auto lang = std::make_unique<Language>();
  for (auto& table : lang->tables)
    for (auto& e : table.entries) e = u"x";  // every id has some text
  lang->tables[0].entries[300] = u"Shared";
  lang->tables[0].entries[120] = u"Shared";
  lang->tables[0].entries[1797] = u"Bot";
  lang->tables[1].entries[500] = u"Seulement";
  lang->tables[0].entries[1800] = u"Overflow only";

  EXPECT_EQ(lang->FindId(u"Shared"), 120);  // the lower of two ids
  EXPECT_EQ(lang->FindId(u"Bot"), 1797);
  EXPECT_EQ(lang->FindId(u"bot"), -1);        // case counts
  EXPECT_EQ(lang->FindId(u"Seulement"), -1);  // other languages are not searched
  EXPECT_EQ(lang->FindId(u"Overflow only"), -1);
  lang->index = 2;  // the current language does not matter
  EXPECT_EQ(lang->FindId(u"Shared"), 120);
}
