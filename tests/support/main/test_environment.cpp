// Compiled into every test program: the environment the tests expect, set before any
// test runs (CTest would split these values if they were passed as test properties).
#include <cstdlib>

namespace {
struct TestEnvironment {
  TestEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("VELORIN_SOURCE_DIR", VELORIN_TEST_SOURCE_DIR, 0);
    setenv("VELORIN_RUN_DIR", VELORIN_TEST_RUN_DIR, 0);
  }
} g_testEnvironment;
}  // namespace
