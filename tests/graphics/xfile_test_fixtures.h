// Reading the .X fixtures of tests/graphics/fixtures for the model tests.
#pragma once

#include <string>

#include "platform/model/xfile.h"

namespace velorin_test {

std::string XFixturePath(const char* name);
// Loads a fixture; a failure is reported to GoogleTest and leaves the model empty.
platform::model::XModel LoadXFixture(const char* name);

}  // namespace velorin_test
