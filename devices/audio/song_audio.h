// One song's audio: up to fourteen Ogg Vorbis stems from the song's folder, started
// and stopped together, mixed per stem from the mixer settings and from which
// players are hitting their notes, faded through the set's mastering gain, and the
// play position the song clock can follow.
//
// Four owners each have an object of their own: the song being played, the menus'
// jukebox, the song-list preview and the music studio. The pumping thread calls
// Update while the main thread mixes, fades and reads the position; every operation
// holds the object's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/settings.h"
#include "devices/audio/ogg_stem.h"

class SongAudio {
 public:
  static constexpr int kStemCount = 14;
  static constexpr int kPreviewSlot = 13;
  static constexpr int kCrowdSlot = 12;

  SongAudio() = default;
  ~SongAudio();
  SongAudio(const SongAudio&) = delete;
  SongAudio& operator=(const SongAudio&) = delete;

  // Releases the voices and streams and frees the object.
  static void Delete(SongAudio* audio);

  bool LoadStems(std::u16string_view folder);
  bool LoadPreview(const MixerSettings* mix, std::u16string_view folder, double previewStartMs);
  bool ReleaseVoices();
  bool Update();
  bool Start();
  bool Stop();
  bool Pause();
  bool Resume();
  // A one-second rise of the mastering gain on the silenced stems (every stem when
  // forced); the menus start play with Start afterwards.
  void FadeIn(bool force);
  // A one-second fall of the mastering gain; the pump then pauses the voices.
  void FadeOut();
  bool ApplyMixer(const MixerSettings* mix);
  bool AddPlayer(int32_t instrument);
  bool MarkAudible(int32_t instrument, const uint8_t flags[7]);
  bool UpdateMix();
  bool SetSpeed(double ratio);
  bool IsFinished();
  double GetPositionMs(bool average);
  bool SeekMs(double ms);
  bool SeekToPreviewStart();

  std::unique_ptr<CAudio[]> stems;  // null while nothing is loaded
  float songLength = 0.0f;          // seconds: the longest ready stem
  bool guitarOnly = false;
  int32_t drumSplitMode = 0;
  const MixerSettings* mixer = nullptr;  // not owned
  bool menuMusic = false;
  bool mixerHold = false;
  bool preview = false;
  bool previewFile = false;
  double previewStart = -1.0;  // ms; -1 = not given
  std::u16string folder;       // ends in '/'
  bool playing = false;
  int32_t clockStem = 0;

  std::recursive_mutex mutex;

 private:
  bool UpdateLocked(bool allowReload);
  bool ApplyMixerLocked(const MixerSettings* mix);
  const MixerSettings& Mix() const;
  float MusicVolume() const;
  bool StemHasVoice(int slot) const;

  // The averaged clock's last good value, so that a moment with no valid stem does
  // not make the clock jump.
  double lastAveragedMs_ = 0.0;
};
