// What a scripted player who hits every note does on a five-fret board: find the
// earliest chord that is due, hold its frets and strum. Shared by the level tests, the
// network peer and play_check, which each add their own rules around it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>

#include "devices/input/input_event.h"
#include "game/player.h"

namespace testsupport {

// The fret lanes of the earliest chord due by `timeMs` whose notes are not in `taken`
// (notes less than 1 ms apart are one chord; an open note has no fret lane); its
// notes' serials join `taken`. Nothing when no note is due.
inline std::optional<std::set<int32_t>> TakeDueChord(const Player& p, double timeMs, std::set<int32_t>& taken) {
  auto due = [&](const NoteRecord& n) {
    return n.active && !n.hit && !n.missed && !n.activation && n.time <= timeMs && !taken.count(n.serial);
  };
  float chord = std::numeric_limits<float>::infinity();
  for (const NoteRecord& n : p.track.notes) {
    if (due(n)) chord = std::min(chord, n.time);
  }
  if (std::isinf(chord)) return std::nullopt;
  std::set<int32_t> lanes;
  for (const NoteRecord& n : p.track.notes) {
    if (!due(n) || std::fabs(n.time - chord) >= 1.0f) continue;
    taken.insert(n.serial);
    if (n.lane >= 1) lanes.insert(n.lane);
  }
  return lanes;
}

// Appends the presses of one chord: the held frets it does not use let go, its own
// frets pressed, then a strum. `held` becomes the chord's frets.
inline void PressChord(const std::set<int32_t>& lanes, std::set<int32_t>& held, InputEvent* events, int32_t& count) {
  auto push = [&](uint32_t id, bool pressed) {
    if (count >= static_cast<int32_t>(kMaxFetchEvents)) return;
    InputEvent& e = events[count++];
    e = InputEvent();
    e.id = id;
    e.pressed = pressed;
    e.value = pressed ? kDigitalPressValue : 0;
  };
  for (int32_t lane : held) {
    if (!lanes.count(lane)) push(static_cast<uint32_t>(lane), false);
  }
  for (int32_t lane : lanes) {
    if (!held.count(lane)) push(static_cast<uint32_t>(lane), true);
  }
  held = lanes;
  push(button::kStrumUp, true);
}

}  // namespace testsupport
