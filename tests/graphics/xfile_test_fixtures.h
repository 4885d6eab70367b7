// Reading the .X fixtures of tests/graphics/fixtures for the model tests.
#pragma once

#include <gtest/gtest.h>

#include <glm/glm.hpp>
#include <string>

#include "platform/model/xfile.h"

namespace velorin_test {

std::string XFixturePath(const char* name);
// Loads a fixture; a failure is reported to GoogleTest and leaves the model empty.
platform::model::XModel LoadXFixture(const char* name);

// A point carried through a matrix of the column-vector form glm keeps.
inline glm::vec3 Place(const glm::mat4& m, glm::vec3 p) { return glm::vec3(m * glm::vec4(p, 1.0f)); }

inline void ExpectNear(glm::vec3 got, glm::vec3 want) {
  EXPECT_NEAR(got.x, want.x, 1e-4f);
  EXPECT_NEAR(got.y, want.y, 1e-4f);
  EXPECT_NEAR(got.z, want.z, 1e-4f);
}

}  // namespace velorin_test
