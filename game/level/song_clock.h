// The time base of a level: the song time in milliseconds, advanced from the
// high-resolution counter (SYNCMETHOD 1) or the millisecond clock (others) and scaled
// by the playback speed, and an unscaled real time. With SYNCMETHOD 2 the song time
// read by the game is the stems' play position instead. The speed comes from the game
// type: the faster types play at 1.2, 1.4 or 1.6, and last man standing ramps from
// 1.0 to 2.0 in steps of 0.1 every 25 seconds of real time.
#pragma once

#include <cstdint>

#include "devices/audio/sound_player.h"

struct LevelSession;

class SongClock {
 public:
  // Event bits of the frame (cleared by UpdateSpeedRamp).
  static constexpr uint32_t kSpeedStepBit = 1;
  static constexpr uint32_t kSpeedWarningBit = 2;
  static constexpr double kMinSpeed = 0.0;
  static constexpr double kMaxSpeed = 2.0;

  explicit SongClock(LevelSession* session);
  SongClock(const SongClock&) = delete;
  SongClock& operator=(const SongClock&) = delete;

  // Advances both times by the raw time since the last call; the song time scaled by
  // the speed. Returns the song time.
  double Tick();
  // SYNCMETHOD 2 with song audio: the stems' position; otherwise the stored song time
  // (no timer is read).
  double GetSongTime() const;
  // Re-bases both times to now; `keep` false also puts them back to 0.
  void Restart(bool keep);
  // Re-bases to now with the song time at `songMs` (a seek).
  void SetSongTime(double songMs);
  void ApplyGameSpeed();
  void UpdateSpeedRamp();
  // A speed change on the running clock: the song audio's rate, the time up to now
  // counted at the old speed, then the new speed. False (nothing changed) when the
  // speed lies outside 0.0..2.0.
  bool ChangeSpeed(double newSpeed);
  // The raw time: ms since the timer started.
  double RawTime() const;

  uint32_t eventBits = 0;
  LevelSession* session = nullptr;
  HiResTimer timer;
  double lastSongRaw = 0.0;
  double songTime = 0.0;
  double speed = 1.0;
  double lastRealRaw = 0.0;
  double realTime = 0.0;
  double rampStart = 0.0;
  double rampLength = 0.0;
  double rampIncrement = 0.0;
  bool rampWarningArmed = true;
};

// A speed on the grid of 0.001: sums of steps of 0.1 or 0.05 land exactly on the
// values they name (ten steps of 0.1 from 1.0 make 2.0, not 2.0000000000000004).
double SnapSpeed(double speed);
