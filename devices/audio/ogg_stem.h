// One streamed audio stem: an Ogg Vorbis file decoded into a ring of PCM buffers that
// feed one mixed voice (the set's stems of one rate reach the device as one stream). The first stem of a song's set owns the set's engine (its
// mastering gain carries the fades); the others share it. The stem also carries the
// mixing state the song's stem set drives.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/audio/audio.h"

namespace platform::audio {
class VorbisStream;
}

class CAudio {
 public:
  static constexpr uint32_t kBufferBytes = 65536;
  static constexpr uint32_t kRingBuffers = 30;
  static constexpr uint32_t kMaxQueued = 29;  // the buffer being filled is never one still queued
  static constexpr double kPositionLimitMs = 9999999.0;

  CAudio();
  virtual ~CAudio();
  CAudio(const CAudio&) = delete;
  CAudio& operator=(const CAudio&) = delete;

  void Reset();
  bool CreateEngine();
  bool Open(std::u16string_view path);
  // Stops and destroys the voice and closes the stream; the engine stays.
  void Close();
  bool AttachMeter();
  void Update();
  double GetPositionMs();
  float ReadMeter();
  // Moves a freshly opened stream to a time. A time at or past the end leaves the
  // stem at its end (it plays out silence and ends); a negative time is 0.
  bool SeekSeconds(double seconds);

  // Frame size rounding of the buffer: the bytes a fill may use with this channel count.
  static uint32_t FillLimit(uint32_t channels);

  int32_t playerCount = 0;
  int32_t audibleCount = 0;
  float baseVolume = 1.0f;
  float mixFactor = 1.0f;
  float appliedVolume = 1.0f;
  bool silenced = false;
  bool fadeOutDone = false;
  float fadeInTarget = 1.0f;
  float fadeOutStartVolume = 1.0f;

  platform::audio::Engine* engine = nullptr;  // shared; owned while ownsEngine is set
  std::unique_ptr<platform::audio::SourceVoice> sourceVoice;
  bool meterAttached = false;
  std::vector<float> meterPeaks;
  std::vector<float> meterRms;

  std::unique_ptr<uint8_t[]> ring;  // kRingBuffers x kBufferBytes, made on first open
  bool streamOpen = false;
  std::unique_ptr<platform::audio::VorbisStream> stream;

  bool playing = false;
  bool paused = false;
  bool endOfStreamSubmitted = false;
  bool finished = false;
  bool ownsEngine = true;
  bool ended = false;
  uint32_t ringIndex = 0;
  bool ready = false;
  double totalLength = 0.0;  // seconds
  bool fadeOutActive = false;
  bool fadeInActive = false;
  uint32_t fadeDuration = 2000;  // ms
  uint32_t fadeStart = 0;
  int64_t sampleRate = 0;
  uint32_t channels = 0;

  // Where the voice's first frame lies in the stream (after a seek), and whether the
  // stream has nothing more to give (seeked to its end, or broken).
  uint64_t baseFrames = 0;
  bool streamAtEnd = false;

  bool HasMastering() const;

 private:
  uint32_t Fill(uint8_t* buffer);

  bool unsubmitted_ = false;  // the buffer at the ring index is filled but not yet taken
  uint32_t unsubmittedBytes_ = 0;
};
