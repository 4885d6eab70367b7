// The default theme's documents, checked through the theme reader against what the
// screens need (menus/screen_manifest.txt); the check itself, shown to find each
// fault it looks for; and third-party documents that are broken in many ways, which
// load with log lines and never crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/utils.h"
#include "graphics/game_assets.h"
#include "theme/menu_theme.h"
#include "theme_document_check.h"
#include "theme_fixture.h"

namespace theme {
namespace {

namespace fs = std::filesystem;
using testing::CheckThemeDocument;
using testing::DocumentCheck;
using testing::ManifestRow;
using testing::ThemeScene;

const std::string kRunDir = VELORIN_TEST_RUN_DIR;
const std::string kDefaultDynamic = kRunDir + "/themes/default/dynamic/";

std::vector<ManifestRow> Manifest() {
  std::vector<ManifestRow> rows;
  std::vector<std::string> errors;
  ReadScreenManifest(std::string(VELORIN_TEST_SOURCE_DIR) + "/menus/screen_manifest.txt", &rows, &errors);
  for (const std::string& e : errors) ADD_FAILURE() << e;
  return rows;
}

struct CheckScene : ThemeScene {
  CheckScene() { context.assets = &assets; }
  DocumentCheck For(const std::string& folder) {
    DocumentCheck check;
    check.context = &context;
    check.folder = folder;
    check.fontsFolder = kDefaultDynamic + "fonts/";
    check.logLines = [this] { return dir.GameLogTexts(); };
    return check;
  }
  graphics::GameAssets assets{&device};
};

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".ini") names.push_back(entry.path().stem().string());
  }
  return names;
}

TEST(DefaultThemeDocuments, EveryDocumentLoadsCleanAndHoldsWhatItsScreenNeeds) {
  const std::vector<ManifestRow> manifest = Manifest();
  const std::vector<std::string> names = Names(kDefaultDynamic);
  ASSERT_FALSE(names.empty()) << "no theme documents in " << kDefaultDynamic << " (build velorin_content first)";
  for (const ManifestRow& row : manifest) {
    EXPECT_TRUE(fs::exists(kDefaultDynamic + row.document + ".ini"))
        << "manifest line " << row.line << ": the default theme has no document " << row.document;
  }
  CheckScene scene;
  for (const std::string& name : names) {
    for (const std::string& fault : CheckThemeDocument(scene.For(kDefaultDynamic), name, manifest)) {
      ADD_FAILURE() << name << ": " << fault;
    }
  }
}

TEST(DefaultThemeDocuments, AbstractBackgroundsLoadCleanFromTheirOwnFolders) {
  const std::vector<ManifestRow> manifest = Manifest();
  const std::string abstractRoot = kRunDir + "/data/backgrounds/abstract/";
  int checked = 0;
  CheckScene scene;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(abstractRoot, error)) {
    if (!entry.is_directory()) continue;
    const std::string folder = entry.path().string() + "/";
    ASSERT_TRUE(fs::exists(folder + "abstract_main.ini")) << folder;
    for (const std::string& fault : CheckThemeDocument(scene.For(folder), "abstract_main", manifest)) {
      ADD_FAILURE() << folder << ": " << fault;
    }
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no abstract backgrounds in " << abstractRoot;
}

TEST(ThemeDocumentCheckTest, FindsEachFault) {
  struct Case {
    const char* name;
    const char* document;  // nullptr: raw bytes below
    const char* wantFault;
  };
  const Case cases[] = {
      {"fx without id", "<image><fx><trigger>hover_on</trigger></fx></image>", "has no id"},
      {"stray spaces", "<list><id> list_message</id></list>", "stray spaces"},
      {"line break in a value", "<text><id>a\r\n</id><dynamic>true</dynamic></text>", "stray spaces"},
      {"missing picture", "<image><path>images/nothing_here.png</path></image>", "missing picture images/nothing_here.png"},
      {"missing font", "<text><font>no_such_font</font></text>", "missing or incomplete font no_such_font"},
      {"duplicate id", "<list><id>l</id></list><list><id>L</id></list>", "duplicate id: 2 of list 'l'"},
      {"manifest list missing", "<list><id>list_other</id></list>", "no list 'list_wanted'"},
      {"manifest text not dynamic", "<text><id>caption</id></text><list><id>list_wanted</id></list>", "no text 'caption'"},
      {"manifest event nobody answers",
       "<list><id>list_wanted</id><fx><id>list_wanted</id><trigger>hover_on</trigger></fx></list>",
       "no event 'list_wanted' answering 'select_on'"},
  };
  std::vector<ManifestRow> manifest = {
      {"doc", "list", "list_wanted", "", 1},
      {"doc", "event", "list_wanted", "select_on", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckScene scene;
    scene.dir.WriteUtf16("theme/doc.ini", c.document);
    std::vector<ManifestRow> rows = manifest;
    if (std::string(c.name) == "manifest text not dynamic") rows.push_back({"doc", "text", "caption", "", 3});
    const std::vector<std::string> faults = CheckThemeDocument(scene.For(scene.dir.Path("theme/")), "doc", rows);
    bool found = false;
    for (const std::string& f : faults) found = found || f.find(c.wantFault) != std::string::npos;
    EXPECT_TRUE(found) << "faults found:\n" << ::testing::PrintToString(faults);
  }

  // Not UTF-16, and a document only the default theme would have: both are faults.
  CheckScene scene;
  scene.dir.WriteBytes("theme/doc.ini", "<list><id>list_wanted</id></list>");
  const std::vector<std::string> faults = CheckThemeDocument(scene.For(scene.dir.Path("theme/")), "doc", {});
  bool notUnicode = false, logged = false;
  for (const std::string& f : faults) {
    notUnicode = notUnicode || f.find("does not read as a UTF-16") != std::string::npos;
    logged = logged || f.find("log: ") != std::string::npos;
  }
  EXPECT_TRUE(notUnicode);
  EXPECT_TRUE(logged);
}

TEST(ThemeDocumentCheckTest, ACleanDocumentHasNoFaults) {
  CheckScene scene;
  scene.dir.WriteUtf16("theme/doc.ini",
                       "<!-- fine -->\n<list><id>list_wanted</id><font>default</font>\n"
                       " <fx><id>list_wanted</id><inherit_sub_id>true</inherit_sub_id><trigger>select_on</trigger></fx>"
                       "</list>\n<text><id>t</id><dynamic>true</dynamic></text>");
  const std::vector<ManifestRow> rows = {{"doc", "list", "list_wanted", "", 1},
                                         {"doc", "event", "list_wanted", "select_on", 2},
                                         {"doc", "text", "t", "", 3}};
  EXPECT_EQ(CheckThemeDocument(scene.For(scene.dir.Path("theme/")), "doc", rows), std::vector<std::string>());
}

TEST(ThirdPartyThemes, BrokenDocumentsLoadWithLogLinesAndNeverCrash) {
  struct Case {
    const char* name;
    std::string bytes;
    bool utf16;
  };
  const std::string many(20000, '<');
  const Case cases[] = {
      {"no byte-order mark", "<list><id>a</id></list>", false},
      {"one byte", "<", false},
      {"odd trailing byte", std::string("\xff\xfe<\0l\0", 6) + "i", false},
      {"unterminated list", "<list><id>a</id><fx><trigger>x</trigger><image><selector>true", true},
      {"unterminated comment", "<list><!-- <image> ", true},
      {"value swallowing a block", "<list><id>x<fx><target>alpha</target></fx></list>", true},
      {"nested child images", "<list><image><image><image><path>a.png</path></image></image></image></list>", true},
      {"huge view count and negative leading",
       "<list><view_count>2147483647</view_count><leading>-1e30</leading><size>nan</size></list>", true},
      {"many open tags", many, true},
      {"model that is not there", "<model><path>models/none.x</path><system>no_culling</system></model>", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckScene scene;
    if (c.utf16) scene.dir.WriteUtf16("theme/menu_x.ini", c.bytes);
    else scene.dir.WriteBytes("theme/menu_x.ini", c.bytes);
    MenuTheme theme(&scene.context);
    theme.Load(scene.dir.WPath("theme/"), u"menu_x");
    std::vector<MenuListEntry> rows(30);
    int32_t selected = 29;
    theme.SetListItems(rows.data(), &selected, 30, "a");
    theme.SetListItems(rows.data(), &selected, 30, "x");
    theme.TriggerEvent("x", "3", "hover_on");
    EXPECT_TRUE(theme.Render());
    EXPECT_FALSE(scene.dir.GameLogTexts().empty());
  }
}

}  // namespace
}  // namespace theme
