#include "theme/menu_records.h"

#include <algorithm>
#include <utility>

#include "platform/clock.h"

namespace theme {

// ---------------------------------------------------------------------------
// TextLines

void TextLines::Reset() {
  for (std::string& line : lines) line.clear();
  limit = kDefaultLimit;
  count = 0;
}

void TextLines::AppendQuiet(std::string line) {
  // A record that was never reset (limit 0) or given a limit beyond its slots still
  // keeps its lines inside the array.
  const int32_t kept = std::clamp(limit, 1, kCapacity);
  count = std::clamp(count, 0, kept);
  if (count < kept) {
    lines[count++] = std::move(line);
    return;
  }
  for (int32_t i = 1; i < kept; ++i) lines[i - 1] = std::move(lines[i]);
  lines[count - 1] = std::move(line);
}

// ---------------------------------------------------------------------------
// CreditsSection

namespace {
constexpr float kSecondValueSpeed = 0.1f;  // per second
}

void CreditsSection::Start() {
  fadeValue = 0.0f;
  fadeAnimator.Start(&fadeValue, false, false, 0, fadeSpeed, 1.0f);
  secondValue = 0.0f;
  if (secondValueEnabled) secondAnimator.Start(&secondValue, false, false, 0, kSecondValueSpeed, 1.0f);
}

void CreditsSection::FadeOut() {
  fadeValue = 1.0f;
  fadeAnimator.Start(&fadeValue, false, false, 0, fadeSpeed, 0.0f);
}

void CreditsSection::Update() {
  fadeAnimator.Update();
  if (secondValueEnabled) secondAnimator.Update();
  const uint32_t now = platform::TimeGetTime();
  switch (state) {
    case CreditsState::kFadingIn:
      if (!fadeAnimator.running) {
        holdEnd = now + static_cast<uint32_t>(std::max(holdMs, 0));
        state = CreditsState::kHolding;
      }
      break;
    case CreditsState::kHolding:
      // A difference, so a hold across the clock's wrap-around ends on time.
      if (static_cast<int32_t>(now - holdEnd) >= 0) {
        FadeOut();
        state = CreditsState::kFadingOut;
      }
      break;
    case CreditsState::kFadingOut:
      if (!fadeAnimator.running) state = CreditsState::kDone;
      break;
    default:
      break;
  }
}

}  // namespace theme
