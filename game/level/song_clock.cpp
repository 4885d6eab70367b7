#include "game/level/song_clock.h"

#include <cmath>

#include "devices/audio/song_audio.h"
#include "game/level/level_session.h"
#include "platform/clock.h"

namespace {

constexpr double kRampStepMs = 25000.0;
constexpr double kRampWarningMs = 2000.0;
constexpr double kRampIncrement = 0.1;
constexpr int32_t kRampWarningSound = 101;
constexpr int32_t kRampGameType = 5;

double SpeedOfGameType(int32_t type) {
  switch (type) {
    case 2: return 1.2;
    case 3: return 1.4;
    case 4: return 1.6;
    default: return 1.0;
  }
}

}  // namespace

double SnapSpeed(double speed) { return std::round(speed * 1000.0) / 1000.0; }

SongClock::SongClock(LevelSession* sessionValue) : session(sessionValue) {
  // The millisecond clock here always has 1 ms resolution: nothing to raise.
  const Settings* s = session ? session->settings : nullptr;
  timer.Start(s && s->SYNCMETHOD == 1);
}

double SongClock::RawTime() const {
  if (timer.usesCounter) {
    const uint64_t counts = static_cast<uint64_t>(platform::PerformanceCounter() - timer.startCount);
    return static_cast<double>(counts) * timer.secondsPerTick * 1000.0;
  }
  // Unsigned difference: correct across the wrap of the 32-bit clock.
  const uint32_t elapsed = platform::TimeGetTime() - timer.startMs;
  return static_cast<double>(elapsed);
}

double SongClock::Tick() {
  const double raw = RawTime();
  songTime += (raw - lastSongRaw) * speed;
  realTime += raw - lastRealRaw;
  lastSongRaw = raw;
  lastRealRaw = raw;
  return songTime;
}

double SongClock::GetSongTime() const {
  const Settings* s = session ? session->settings : nullptr;
  if (s && s->SYNCMETHOD == 2) {
    // A song without audio has no position to follow: the clock's own time stands in.
    if (SongAudio* audio = session->CurrentAudio()) return audio->GetPositionMs(s->averageStemClock);
  }
  return songTime;
}

void SongClock::Restart(bool keep) {
  const double raw = RawTime();
  lastSongRaw = raw;
  lastRealRaw = raw;
  if (!keep) {
    songTime = 0.0;
    realTime = 0.0;
  }
}

void SongClock::SetSongTime(double songMs) {
  Restart(true);
  songTime = songMs;
}

void SongClock::ApplyGameSpeed() {
  const int32_t type = session ? session->gameType : 0;
  const double newSpeed = SpeedOfGameType(type);
  if (type == kRampGameType) {
    rampStart = 0.0;
    rampLength = kRampStepMs;
    rampIncrement = kRampIncrement;
  }
  if (!session || !session->Slots()) return;
  if (SongAudio* audio = session->CurrentAudio()) audio->SetSpeed(newSpeed);
  Tick();
  speed = newSpeed;
}

void SongClock::UpdateSpeedRamp() {
  eventBits = 0;
  if (!session || session->gameType != kRampGameType) return;
  if (rampWarningArmed && realTime >= rampStart + rampLength - kRampWarningMs && speed < kMaxSpeed) {
    session->PlaySound(kRampWarningSound);
    eventBits |= kSpeedWarningBit;
    rampWarningArmed = false;
  }
  if (realTime >= rampStart + rampLength && speed < kMaxSpeed) {
    rampStart = realTime;
    const double newSpeed = SnapSpeed(speed + rampIncrement);
    if (newSpeed >= kMinSpeed && newSpeed <= kMaxSpeed && session->Slots()) {
      if (SongAudio* audio = session->CurrentAudio()) audio->SetSpeed(newSpeed);
      Tick();
      speed = newSpeed;
    }
    eventBits |= kSpeedStepBit;
    rampWarningArmed = true;
  }
}

bool SongClock::ChangeSpeed(double newSpeed) {
  if (!(newSpeed >= kMinSpeed && newSpeed <= kMaxSpeed)) return false;
  if (session) {
    if (SongAudio* audio = session->CurrentAudio()) audio->SetSpeed(newSpeed);
  }
  Tick();
  speed = newSpeed;
  return true;
}
