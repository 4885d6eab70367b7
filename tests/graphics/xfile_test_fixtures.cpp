// Fixture loading for the model tests.
#include "xfile_test_fixtures.h"

#include <gtest/gtest.h>

namespace velorin_test {

std::string XFixturePath(const char* name) {
  return std::string(VELORIN_TEST_SOURCE_DIR) + "/tests/graphics/fixtures/" + name;
}

platform::model::XModel LoadXFixture(const char* name) {
  platform::model::XModel model;
  std::string error;
  EXPECT_TRUE(platform::model::LoadXFile(XFixturePath(name), model, &error)) << name << ": " << error;
  return model;
}

}  // namespace velorin_test
