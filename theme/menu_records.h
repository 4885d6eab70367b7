// Small records the menu screens and the network lobby keep in arrays: the chat line
// history, a lobby roster entry, a jukebox slot and a timed section of the credits.
// They hold no drawing code.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/animators.h"

namespace theme {

// The lobby's chat history: the newest `limit` lines, oldest first.
struct TextLines {
  static constexpr int32_t kCapacity = 50;
  static constexpr int32_t kDefaultLimit = 10;

  // Empties the history and keeps the default number of lines.
  void Reset();
  // Appends a line without logging it; at the limit the oldest line is dropped.
  void AppendQuiet(std::string line);

  std::array<std::string, kCapacity> lines;
  int32_t limit = 0;
  int32_t count = 0;
};

struct RosterSlot {
  std::string name = "Blank";
  int32_t id = -1;  // -1: no player
  void* player = nullptr;
};

struct JukeboxSlot {
  std::u16string songPath;
  uint8_t flagA = 0;
  uint8_t flagB = 0;
};

enum class CreditsState : int32_t {
  kIdle = 0,
  kFadingIn = 1,
  kHolding = 2,
  kFadingOut = 3,
  kDone = 4,
};

// One page of the credits: fades in, holds, fades out. Its animators point at its own
// values, so a section stays where it was made (it cannot be copied).
class CreditsSection {
 public:
  static constexpr int32_t kMaxLines = 20;

  CreditsSection() = default;
  CreditsSection(const CreditsSection&) = delete;
  CreditsSection& operator=(const CreditsSection&) = delete;

  // Begins fading in; the owner sets the state to kFadingIn right after.
  void Start();
  void FadeOut();
  // Advances the fades and the state; once per frame for the shown section.
  void Update();

  std::u16string title;
  std::array<std::u16string, kMaxLines> lines;
  int32_t lineCount = 0;
  int32_t holdMs = 5000;
  uint32_t holdEnd = 0;
  float fadeSpeed = 2.0f;  // opacity units per second
  float fadeValue = 1.0f;  // the section's opacity
  float secondValue = 0.0f;
  CreditsState state = CreditsState::kIdle;
  uint8_t secondValueEnabled = 0;  // set by the owner while a stereo mode is on
  uint8_t logo = 0;                // the section shows the game's logo
  ValueAnimator fadeAnimator;
  ValueAnimator secondAnimator;
};

}  // namespace theme
