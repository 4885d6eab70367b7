// The menu theme set: registration, reload in order with the fall-back, the load
// count and the shell entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/shell/services.h"
#include "recording_theme.h"
#include "theme/shell_services.h"
#include "theme/theme_set.h"

namespace {

TEST(ThemeSet, ReloadsEverySlotThenTheFonts) {
  themetest::RecordingTheme h;
  h.WriteDocument("themes/default/dynamic/menu_container.ini", "<text><english>a</english></text>");
  h.WriteDocument("themes/custom/dynamic/message_box.ini", "<text></text><text></text>");
  h.WriteFont("themes/custom/dynamic/fonts", "default", u"a");
  theme::ThemeSet set;
  std::vector<theme::MenuTheme*> seen;
  set.Register(u"menu_container", [&](theme::MenuTheme* t) { seen.push_back(t); });
  set.Register(u"message_box");
  set.Register(u"menu_nothing", [&](theme::MenuTheme* t) { seen.push_back(t); });
  EXPECT_EQ(set.LoadAll(&h.context, u"themes/custom/"), 2);
  EXPECT_EQ(set.StepsLoaded(), 4);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], set.ThemeOf(u"MENU_CONTAINER"));
  EXPECT_EQ(seen[1], nullptr) << "a slot without a document is told it has no theme";
  EXPECT_EQ(set.ThemeOf(u"menu_container")->Folder(), u"themes/default/dynamic/");
  EXPECT_EQ(set.ThemeOf(u"message_box")->Texts().size(), 2u);
  EXPECT_NE(h.context.fonts.FindFont(u"default"), nullptr);
  EXPECT_EQ(h.CountLogLines("Font Load Failed!"), 0u);

  h.WriteDocument("themes/custom/dynamic/message_box.ini", "<text></text>");
  set.LoadAll(&h.context, u"themes/custom/");
  EXPECT_EQ(set.ThemeOf(u"message_box")->Texts().size(), 1u) << "a reload builds each theme anew";
  set.ControlAllVideos(1);
  set.Clear();
  EXPECT_EQ(set.SlotCount(), 0u);
}

TEST(ThemeSet, ReloadListenersRunAfterTheSlotsAndTheFonts) {
  themetest::RecordingTheme h;
  h.WriteDocument("themes/custom/dynamic/menu_container.ini", "<text></text>");
  h.WriteFont("themes/custom/dynamic/fonts", "default", u"a");
  theme::ThemeSet set;
  std::vector<std::string> order;
  set.Register(u"menu_container", [&](theme::MenuTheme*) { order.push_back("slot"); });
  set.AddReloadListener([&](std::u16string_view folder) {
    EXPECT_EQ(folder, u"themes/custom/");
    EXPECT_NE(set.ThemeOf(u"menu_container"), nullptr);
    EXPECT_NE(h.context.fonts.FindFont(u"default"), nullptr) << "the fonts are in before the listener runs";
    order.push_back("listener");
  });
  set.LoadAll(&h.context, u"themes/custom/");
  set.LoadAll(&h.context, u"themes/custom/");
  EXPECT_EQ(order, (std::vector<std::string>{"slot", "listener", "slot", "listener"}));
  set.Clear();
  set.LoadAll(&h.context, u"themes/custom/");
  EXPECT_EQ(order.size(), 4u) << "Clear drops the listeners";
}

TEST(ThemeSet, MissingFontsAreLogged) {
  themetest::RecordingTheme h;
  theme::ThemeSet set;
  set.LoadAll(&h.context, u"themes/nowhere/");
  EXPECT_EQ(h.CountLogLines("Font Load Failed!"), 1u);
  EXPECT_EQ(set.StepsLoaded(), 1);
}

TEST(ThemeSet, ShellEntriesWorkOnTheSharedSet) {
  shell::Services services;
  theme::RegisterShellServices(services);
  ASSERT_TRUE(services.menus.loadMenuThemes);
  ASSERT_TRUE(services.menus.controlAllVideos);
  ASSERT_TRUE(services.menus.themesLoaded);
  themetest::RecordingTheme h;
  theme::MenuThemes().Clear();
  theme::MenuThemes().Register(u"menu_overlay");
  h.WriteDocument("themes/default/dynamic/menu_overlay.ini", "<image></image>");
  services.menus.loadMenuThemes(u"themes/default/");  // no scene context here: the themes load without one
  EXPECT_EQ(services.menus.themesLoaded(), 2);
  ASSERT_NE(theme::MenuThemes().ThemeOf(u"menu_overlay"), nullptr);
  services.menus.controlAllVideos(3);
  theme::MenuThemes().Clear();
}

}  // namespace
