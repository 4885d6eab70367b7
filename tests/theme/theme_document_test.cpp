// Theme documents: value syntax, loading with its fall-back and log lines, malformed
// documents, depth spreading, languages and the setters of the container.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/text_document.h"
#include "recording_theme.h"
#include "theme/menu_theme.h"
#include "theme/theme_values.h"

namespace {

using themetest::RecordingTheme;

TEST(ThemeValues, ReadAsDocumentsWriteThem) {
  EXPECT_TRUE(theme::ParseBool(u"TRUE"));
  EXPECT_TRUE(theme::ParseBool(u"Yes"));
  EXPECT_FALSE(theme::ParseBool(u"1"));
  EXPECT_FALSE(theme::ParseBool(u" true"));
  EXPECT_EQ(theme::ParseInt(u"42px"), 42);
  EXPECT_EQ(theme::ParseInt(u"-7"), -7);
  EXPECT_EQ(theme::ParseInt(u"x1"), 0);
  EXPECT_EQ(theme::ParseInt(u"99999999999"), INT32_MAX);
  EXPECT_FLOAT_EQ(theme::ParseFloat(u"0.5"), 0.5f);
  EXPECT_FLOAT_EQ(theme::ParseFloat(u"-1.25e1"), -12.5f);
  EXPECT_FLOAT_EQ(theme::ParseFloat(u"abc"), 0.0f);
  EXPECT_FLOAT_EQ(theme::ParseFloat(u"1e999"), 3.0e38f);
  EXPECT_TRUE(std::isfinite(theme::ParseFloat(std::u16string(400, u'9') + u"e-400"))) << "never NaN or inf";

  struct Case {
    std::u16string_view text;
    theme::ValueUnit unit;
    glm::vec3 expected;
  } cases[] = {
      {u"100,50,25", theme::ValueUnit::kPercent, {1.0f, 0.5f, 0.25f}},
      {u"10", theme::ValueUnit::kAsWritten, {10.0f, 0.0f, 0.0f}},
      {u"", theme::ValueUnit::kPercent, {0.0f, 0.0f, 0.0f}},
      {u"1,2,3,4", theme::ValueUnit::kAsWritten, {1.0f, 2.0f, 3.0f}},
      {u"180,0,90", theme::ValueUnit::kDegrees, {3.1415927f, 0.0f, 1.5707963f}},
      {u",5", theme::ValueUnit::kAsWritten, {0.0f, 5.0f, 0.0f}},
  };
  for (const Case& c : cases) {
    const glm::vec3 v = theme::ParseVector(c.text, c.unit);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v[k], c.expected[k], 1e-5f) << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_TRUE(theme::SameName("List_Name", u"list_name"));
  EXPECT_FALSE(theme::SameName("list_name", u" list_name"));
  EXPECT_EQ(theme::JoinThemePath(u"themes/a/dynamic/", u"images\\x.png"), u"themes/a/dynamic/images/x.png");
}

// Element names given by the program (UTF-8) against names read from documents:
// ASCII letters fold, lengths must agree, and a name with non-ASCII letters matches
// its widened form only.
TEST(ThemeNames, NarrowNamesMatchWideOnesIgnoringAsciiCase) {
  struct Case {
    const char* narrow;
    std::u16string_view wide;
    bool same;
  } cases[] = {
      {"song_name", u"SONG_NAME", true},
      {"song_name", u"song_nam", false},
      {"song_nam", u"song_name", false},
      {"", u"", true},
      {"", u"a", false},
      {"a", u"", false},
      {"b_caf\xc3\xa9", u"B_CAF\u00e9", true},   // ASCII folds, the accented letter as it is
      {"b_caf\xc3\xa9", u"b_caf\u00c9", false},  // no folding beyond ASCII
      {"x_caf\xc3\xa9", u"b_caf\u00e9", false},  // differs before the wide letter
      {"caf\xc3\xa9", u"caf\u00e9s", false},
      {"[name]", u"{name}", false},               // no folding of the other ASCII signs
  };
  for (const Case& c : cases) EXPECT_EQ(theme::SameName(c.narrow, c.wide), c.same) << c.narrow;
}

TEST(MenuThemeLoad, DocumentWithoutElementsLoadsAndDrawsNothing) {
  RecordingTheme h;
  h.WriteDocument("themes/t/dynamic/empty.ini", "<menu><foo>bar</foo></menu>");
  auto theme = h.Load(u"themes/t/dynamic/", u"empty");
  ASSERT_NE(theme, nullptr);
  EXPECT_TRUE(theme->Empty());
  EXPECT_EQ(theme->Folder(), u"themes/t/dynamic/");
  EXPECT_TRUE(h.Render(*theme).empty());
}

TEST(MenuThemeLoad, FallsBackToTheDefaultThemeAndLogsEachStep) {
  RecordingTheme h;
  h.WritePicture("themes/default/dynamic/images/logo.png", 8, 4);
  h.WriteDocument("themes/default/dynamic/menu_main.ini",
                  "<image><path>images\\logo.png</path></image>");
  auto theme = h.Load(u"themes/custom/dynamic/", u"menu_main");
  ASSERT_NE(theme, nullptr);
  EXPECT_EQ(theme->Folder(), u"themes/default/dynamic/");
  ASSERT_EQ(theme->Images().size(), 1u);
  EXPECT_NE(theme->Images()[0]->DisplayedTexture(), nullptr) << "pictures resolve in the folder the document came from";
  const auto log = h.LogTexts();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "Loading Theme Data themes/custom/dynamic/menu_main.ini");
  EXPECT_EQ(log[1], "Could NOT open Theme themes/custom/dynamic/menu_main.ini ... Loading Default");
  EXPECT_EQ(h.CountLogLines("Could Not File File:"), 0u);
}

TEST(MenuThemeLoad, MissingEverywhereReturnsFalseWithThreeLinesInOrder) {
  RecordingTheme h;
  auto theme = std::make_unique<theme::MenuTheme>(&h.context);
  EXPECT_FALSE(theme->Load(u"themes/custom/dynamic/", u"nothing"));
  EXPECT_TRUE(theme->Empty());
  const std::vector<std::string> expected = {
      "Loading Theme Data themes/custom/dynamic/nothing.ini",
      "Could NOT open Theme themes/custom/dynamic/nothing.ini ... Loading Default",
      "Could NOT open Theme themes/default/dynamic/nothing.ini ... No Theme Loaded For This Menu!"};
  EXPECT_EQ(h.LogTexts(), expected);
}

TEST(MenuThemeLoad, PictureMissingInTheThemeComesFromTheDefaultWithOneLine) {
  RecordingTheme h;
  h.WritePicture("themes/default/dynamic/images/bar.png", 16, 8);
  h.WriteDocument("themes/t/dynamic/m.ini", "<image><path>images/bar.png</path></image>");
  auto theme = h.Load(u"themes/t/dynamic/", u"m");
  ASSERT_NE(theme, nullptr);
  EXPECT_NE(theme->Images()[0]->DisplayedTexture(), nullptr);
  EXPECT_EQ(h.CountLogLines("Could Not File File: themes/t/dynamic/images/bar.png Loading Default"), 1u);
  EXPECT_EQ(h.Render(*theme).size(), 1u);
}

// Every one of these must load without a crash or hang and keep what it can.
TEST(MenuThemeLoad, MalformedDocuments) {
  struct Case {
    const char* name;
    std::string bytes;  // raw file bytes
    bool loads;
    size_t images, texts;
  };
  const auto u16 = [](std::string_view s) { return testsupport::Utf16Bytes(std::u16string(s.begin(), s.end())); };
  const Case cases[] = {
      {"utf-8 without mark", "<image></image>", false, 0, 0},
      {"big-endian mark", std::string("\xFE\xFF\0<", 4), false, 0, 0},
      {"one byte", "\xFF", false, 0, 0},
      {"odd trailing byte", u16("<image></image>") + "x", true, 1, 0},
      {"no tags at all", u16("just words"), true, 0, 0},
      {"comment hides an element", u16("<!-- <image> --><text></text>"), true, 0, 1},
      {"unterminated comment", u16("<!-- <image><image>"), true, 0, 0},
      {"block without end tag", u16("<image><id>a</id>"), true, 1, 0},
      {"value swallowing a block", u16("<text><id>x<fx></text><image></image>"), true, 1, 1},
      {"image nested in a child image", u16("<text><image><image></image></image></text>"), true, 0, 1},
      {"fx cut off", u16("<image><fx><target>alpha"), true, 1, 0},
      {"unclosed tag reads to the end", u16("<image"), true, 1, 0},
      {"lone end tags", u16("</image></text></fx>"), true, 0, 0},
  };
  for (const Case& c : cases) {
    RecordingTheme h;
    h.dir.WriteBytes("themes/default/dynamic/bad.ini", c.bytes);
    auto theme = h.Load(u"themes/default/dynamic/", u"bad");
    EXPECT_EQ(theme != nullptr, c.loads) << c.name;
    if (!theme) continue;
    EXPECT_EQ(theme->Images().size(), c.images) << c.name;
    EXPECT_EQ(theme->Texts().size(), c.texts) << c.name;
    h.Render(*theme);
    theme->TriggerEvent("", "", "hover_on");
    h.Render(*theme);
  }
}

TEST(MenuThemeLoad, NotUnicodeDocumentIsReportedByName) {
  RecordingTheme h;
  h.dir.WriteBytes("themes/default/dynamic/plain.ini", "<image></image>");
  EXPECT_EQ(h.Load(u"themes/default/dynamic/", u"plain"), nullptr);
  EXPECT_EQ(h.CountLogLines("ERROR:Not Unicode Document:"), 2u);  // the theme's, then the default's
}

TEST(MenuThemeLoad, ValuesWithSpacesOrLineBreaksDoNotMatchIds) {
  RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/m.ini",
                  "<text><id>\nscore\n</id><dynamic>true</dynamic></text>"
                  "<text><id>score</id><dynamic>1</dynamic></text>"
                  "<text><ID>score</ID><Dynamic>YES</Dynamic></text>");
  auto theme = h.Load(u"themes/default/dynamic/", u"m");
  ASSERT_NE(theme, nullptr);
  theme->SetText("score", u"12");
  EXPECT_EQ(theme->Texts()[0]->text, u"");
  EXPECT_EQ(theme->Texts()[1]->text, u"") << "\"1\" is not a true value";
  EXPECT_EQ(theme->Texts()[2]->text, u"12") << "keys are read without regard to case";
}

TEST(MenuThemeDepths, EqualDepthsAreSpreadAcrossKinds) {
  RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/d.ini",
                  "<text><position>0,0,10</position></text>"
                  "<image><position>0,0,10</position></image>"
                  "<image><position>0,0,10</position></image>"
                  "<image><position>0,0,10</position></image>"
                  "<image><position>0,0,4</position></image>"
                  "<background><path>x.png</path></background>");
  auto theme = h.Load(u"themes/default/dynamic/", u"d");
  ASSERT_NE(theme, nullptr);
  const auto& images = theme->Images();
  EXPECT_FLOAT_EQ(images[0]->transform.position.z, 10.0f);
  EXPECT_FLOAT_EQ(images[1]->transform.position.z, 9.5f);
  EXPECT_FLOAT_EQ(images[2]->transform.position.z, 9.0f);
  EXPECT_FLOAT_EQ(images[3]->transform.position.z, 4.0f);
  EXPECT_FLOAT_EQ(theme->Texts()[0]->transform.position.z, 8.5f) << "texts come after images in the shared table";
}

TEST(MenuThemeDepths, OnlyTwoHundredDistinctDepthsAreTracked) {
  RecordingTheme h;
  std::string doc;
  for (int i = 0; i < 201; ++i) doc += "<image><position>0,0," + std::to_string(i) + "</position></image>";
  doc += "<image><position>0,0,200</position></image><image><position>0,0,0</position></image>";
  h.WriteDocument("themes/default/dynamic/d.ini", doc);
  auto theme = h.Load(u"themes/default/dynamic/", u"d");
  ASSERT_NE(theme, nullptr);
  EXPECT_FLOAT_EQ(theme->Images()[201]->transform.position.z, 200.0f) << "the 201st depth is not recorded";
  EXPECT_FLOAT_EQ(theme->Images()[202]->transform.position.z, -0.5f);
}

TEST(MenuThemeLanguages, TextsPicturesAndReplaceIdsFollowTheLanguage) {
  struct Case {
    int32_t language;
    std::u16string text;
    bool frenchPicture;
    std::u16string replaceText;
  } cases[] = {
      {0, u"Play", false, u"Guitar"},
      {1, u"Jouer", true, u"Guitare"},
      {2, u"Play", false, u"Guitarra"},
      {3, u"Play", false, u"Chitarra"},
      {7, u"Play", false, u"Guitar"},
  };
  for (const Case& c : cases) {
    RecordingTheme h;
    auto& tables = h.settings.language.tables;
    tables[0].entries[5] = u"Guitar";
    tables[1].entries[5] = u"Guitare";
    tables[2].entries[5] = u"Guitarra";
    tables[3].entries[5] = u"Chitarra";
    h.SetLanguage(c.language);
    h.WritePicture("themes/default/dynamic/fr.png", 4, 4);
    h.WriteDocument("themes/default/dynamic/l.ini",
                    "<text><english>Play</english><french>Jouer</french></text>"
                    "<image><path_french>fr.png</path_french></image>"
                    "<image><replace_id>Guitar</replace_id></image>");
    auto theme = h.Load(u"themes/default/dynamic/", u"l");
    ASSERT_NE(theme, nullptr);
    EXPECT_EQ(theme->Texts()[0]->text, c.text) << c.language;
    EXPECT_EQ(theme->Images()[0]->DisplayedTexture() != nullptr, c.frenchPicture) << c.language;
    EXPECT_EQ(theme->Images()[1]->replaceText, c.replaceText) << c.language;
    EXPECT_EQ(h.CountLogLines("Could Not File File:"), 0u) << "an image without a path loads nothing";
  }
}

TEST(MenuThemeLanguages, ALanguageSwitchShowsOnTheNextLoad) {
  RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/l.ini", "<text><english>Play</english><italian>Gioca</italian></text>");
  auto before = h.Load(u"themes/default/dynamic/", u"l");
  ASSERT_NE(before, nullptr);
  h.SetLanguage(3);
  EXPECT_EQ(before->Texts()[0]->text, u"Play") << "a loaded theme keeps its language";
  auto after = h.Load(u"themes/default/dynamic/", u"l");
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->Texts()[0]->text, u"Gioca");
}

TEST(MenuThemeSetters, DynamicTextsAndHighlights) {
  RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/s.ini",
                  "<text><id>title</id><english>Fixed</english></text>"
                  "<text><id>score</id><dynamic>true</dynamic></text>"
                  "<text><id>SCORE</id><dynamic>true</dynamic></text>");
  auto theme = h.Load(u"themes/default/dynamic/", u"s");
  ASSERT_NE(theme, nullptr);
  theme->SetText("title", u"Changed");
  EXPECT_EQ(theme->Texts()[0]->text, u"Fixed");
  theme->SetText("Score", u"1,234");
  EXPECT_EQ(theme->Texts()[1]->text, u"1,234");
  EXPECT_EQ(theme->Texts()[2]->text, u"1,234");
  EXPECT_EQ(theme->GetText("score"), u"1,234");
  EXPECT_EQ(theme->GetText("title"), u"") << "only dynamic texts answer";
  EXPECT_EQ(theme->GetText("nothing"), u"");
  theme->SetTextHighlight(0, 2, "score");
  EXPECT_EQ(theme->Texts()[1]->highlightFrom, 0);
  EXPECT_EQ(theme->Texts()[1]->highlightTo, 2);
  theme->SetTextHighlight(-1, -1, "score");
  EXPECT_EQ(theme->Texts()[2]->highlightFrom, -1);
  EXPECT_TRUE(theme->SetListItems(nullptr, nullptr, 0, "nothing"));
  EXPECT_TRUE(theme->TriggerEvent("nothing", "", "hover_on"));
}

TEST(MenuThemeLoad, AListsChildImagesStayInTheList) {
  RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/k.ini",
                  "<list><image><id>inner</id></image></list><model><path>m.x</path></model>"
                  "<list></list><image><id>after</id></image>");
  auto theme = h.Load(u"themes/default/dynamic/", u"k");
  ASSERT_NE(theme, nullptr);
  EXPECT_EQ(theme->Lists().size(), 2u);
  ASSERT_EQ(theme->Images().size(), 1u) << "the list's child image is not a top-level image";
  EXPECT_EQ(theme->Images()[0]->id, u"after");
  EXPECT_EQ(h.CountLogLines("Theme Element Kind Not Available"), 0u);
}

}  // namespace
