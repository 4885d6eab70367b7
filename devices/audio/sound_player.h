// The sound-effect player: every effect is a WAV file held whole in memory under a
// fixed sound id (0..317); playing takes one of 50 voices, stealing the one started
// earliest when all are busy, and returns a play handle with which the sound can be
// faded out later. One instance serves the whole game (g_SoundPlayer).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio/audio.h"

struct SoundSlot {
  platform::audio::WaveFormat format;
  uint32_t byteCount = 0;     // bytes of PCM held
  std::vector<uint8_t> data;  // the whole data chunk
  bool loaded = false;

  void Clear();
};

struct SfxVoice {
  std::unique_ptr<platform::audio::SourceVoice> sourceVoice;  // empty while idle
  // The one buffer the voice plays: the slot's bytes (not owned), flagged end of stream.
  const uint8_t* bufferData = nullptr;
  uint32_t bufferBytes = 0;
  bool bufferEndOfStream = false;
  bool inUse = false;
  int32_t playHandle = 0;  // 0 while idle
  bool fading = false;
  float fadeDuration = 50.0f;   // ms
  float frequencyRatio = 1.0f;  // the ratio the sound was started with
  uint32_t fadeStart = 0;       // TimeGetTime ms

  void Reset();
};

class SoundPlayer {
 public:
  static constexpr uint32_t kSlotCount = 318;
  static constexpr int kVoiceCount = 50;
  static constexpr int32_t kTableSoundCount = 298;  // ids the sound table fills
  static constexpr float kMaxFrequencyRatio = 2.0f;

  SoundPlayer();
  // Ends the engine (and with it every voice) before the sounds are freed.
  ~SoundPlayer();
  SoundPlayer(const SoundPlayer&) = delete;
  SoundPlayer& operator=(const SoundPlayer&) = delete;

  bool LoadWave(uint32_t id, std::u16string_view path);
  // path relative to the theme's "static/" folder; themeFolder relative, ending in '/'.
  bool LoadThemeSound(uint32_t id, std::u16string_view relativePath, std::u16string_view themeFolder);
  // The play handle, or -1 when nothing plays.
  int32_t Play(uint32_t id, float frequencyRatio, float volume);
  // Fades the sound of the handle from full volume to silence. False when no voice
  // carries the handle.
  bool FadeOut(int32_t handle, float durationMs);
  bool Update();
  bool ApplyMasterVolume();
  int AcquireVoice();

  std::unique_ptr<platform::audio::Engine> engine;
  bool hasMastering = false;
  std::array<SoundSlot, kSlotCount> slots;
  std::array<SfxVoice, kVoiceCount> voices;
  float masterVolume = 1.0f;
  float appliedMasterVolume = 1.0f;
  int32_t nextPlayHandle = 1;
  std::atomic<int32_t> loadCount{0};  // read by the loading screen while the Task thread loads
};

// The one player (created by the start-up load, deleted at shutdown).
extern SoundPlayer* g_SoundPlayer;

// Loads the sound table into g_SoundPlayer, then sets its master volume from SFXVOL.
void LoadInstrumentSounds();

// The time source of the song clock: the high-resolution counter, or the millisecond
// clock when that is not wished for.
struct HiResTimer {
  int64_t frequency = 1000;        // ticks per second
  double secondsPerTick = 0.001;
  uint32_t startMs = 0;
  uint32_t lastMs = 0;
  bool usesCounter = false;
  int64_t startCount = 0;
  int64_t lastCount = 0;

  bool Start(bool wishCounter);
};
