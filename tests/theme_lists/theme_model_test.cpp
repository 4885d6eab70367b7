// Model elements: a model missing from the theme falls back to the default theme with
// one log line, the screen anchor, and which fxs start on reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "graphics/game_assets.h"
#include "theme/theme_model.h"
#include "theme_fixture.h"

namespace theme {
namespace {

using testing::ThemeScene;

TEST(ThemeModelTest, MissingModelLogsItsFallBackOnceAndDrawsNothing) {
  ThemeScene scene;
  graphics::GameAssets assets(&scene.device);
  scene.context.assets = &assets;
  auto model = scene.Parse<ThemeModel>("<path>models\\none.x</path><replace_id>r</replace_id></model>");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->model, nullptr);
  EXPECT_EQ(model->replaceId, u"r");
  const auto lines = scene.dir.GameLogTexts();
  const auto fallBacks = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.rfind("Failed To Load Model: ", 0) == 0 && l.find("models") != std::string::npos &&
           l.find(" Loading Default") != std::string::npos;
  });
  EXPECT_EQ(fallBacks, 1);
  const size_t drawsBefore = scene.device.draws.size();
  EXPECT_TRUE(model->Draw(nullptr));
  EXPECT_EQ(scene.device.draws.size(), drawsBefore);
}

TEST(ThemeModelTest, AnchorAndFxsPlaceTheModel) {
  struct Case {
    const char* keys;
    float wantX, wantY;
  };
  const Case cases[] = {
      {"<screen_pos>50,50</screen_pos><position>10,20,30</position>", 10, 20},
      {"<screen_pos>100,50</screen_pos>", 1280, 0},  // half the 16:9 width
      {"<screen_pos>0,0</screen_pos>", -1280, 720},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    ThemeScene scene;
    auto model = scene.Parse<ThemeModel>(std::string(c.keys) + "</model>");
    ASSERT_TRUE(model);
    model->Draw(nullptr);
    EXPECT_NEAR(model->LastPlacement().position.x, c.wantX, 1e-3f);
    EXPECT_NEAR(model->LastPlacement().position.y, c.wantY, 1e-3f);
  }

  ThemeScene scene;
  auto model = scene.Parse<ThemeModel>(
      "<system>z_clear</system><fx><target>position_x</target><fx_type>set</fx_type><end>5</end></fx>"
      "<fx><id>m</id><trigger>hover_on</trigger><target>scale_x</target><fx_type>set</fx_type><end>200</end></fx>"
      "</model>");
  ASSERT_TRUE(model);
  EXPECT_EQ(model->flags, kZClear);
  model->Reset();
  EXPECT_TRUE(model->fxs[0].Active());
  EXPECT_FALSE(model->fxs[1].Active());
  model->TriggerFxBySubId("m", "", "hover_on");
  model->Draw(nullptr);
  EXPECT_NEAR(model->LastPlacement().position.x, 5.0f, 1e-4f);
  EXPECT_NEAR(model->LastPlacement().scale.x, 2.0f, 1e-4f);
}

}  // namespace
}  // namespace theme
