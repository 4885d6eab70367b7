// The achievement checks of a playing level: every frame each local player whose
// profile can take them is checked against the 23 conditions; one met for the first
// time sets its flag, saves the profile and queues a pop-up. Two families count songs
// across plays in the profile's lists: songs finished with the top rating (list 0)
// and songs finished on expert without a miss (list 1).
#pragma once

#include <cstdint>
#include <string>

class Player;
class Profile;

constexpr int32_t kAchievementKinds = 23;
constexpr int32_t kTopRatedList = 0;
constexpr int32_t kFullComboList = 1;

namespace Achievement {

// Passed with the top rating and notes in the part: the song enters the top-rated
// list once; true when the list then holds at least `threshold` songs.
bool CheckThreshold(Profile& profile, const Player& player, int32_t threshold, const std::string& songHash,
                    bool passed, float rating);
// Passed on expert with every note hit: the song enters the full-combo list once.
bool CheckCompletion(Profile& profile, const Player& player, int32_t threshold, const std::string& songHash,
                     bool passed);
bool AllPlayersAbove(const Player* players, int32_t count, bool passed, float rating);
// Another player's profile is named "your mother" (in any case).
bool OtherPlayerNamed(const Player* players, int32_t count, int32_t index);

}  // namespace Achievement

// The language id of achievement k's title.
int32_t AchievementTitleId(int32_t kind);
