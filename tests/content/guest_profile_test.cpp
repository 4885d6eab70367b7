// The run folder ships the guest profile the menus hand to every player without a
// default profile of their own.
#include <gtest/gtest.h>

#include "core/utils.h"
#include "song/profile.h"

TEST(GuestProfile, TheRunFolderHoldsAReadableGuestProfile) {
  Profile guest;
  ASSERT_TRUE(guest.Load(ToWide(std::string(VELORIN_SHELL_RUN_DIR) + "/profiles/Guest.dat")));
  EXPECT_EQ(guest.PLAYERNAME, "Guest");
  Profile defaults;
  defaults.SetDefaults();
  EXPECT_EQ(guest.FAVOURITEGUITAR, defaults.FAVOURITEGUITAR);
  EXPECT_EQ(guest.NECKSPEED, defaults.NECKSPEED);
  EXPECT_FALSE(guest.READONLY);
}
