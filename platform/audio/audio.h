// The audio layer: one OpenAL Soft device and context for the whole process, and on
// top of it any number of engines. An engine is a group of source voices with a
// master gain of its own (the mastering voice); a source voice is one OpenAL source
// fed with queued PCM buffers, with its own gain and a frequency ratio (pitch), or a
// mixed voice, summed by the layer with the engine's other mixed voices of its rate
// into one stream that is one OpenAL source (see CreateMixedVoice).
//
// The position of a voice counts source frames consumed, so it is song time whatever
// the frequency ratio, and it keeps counting across Stop/Start and buffer recycling.
// A voice that runs out of buffers while started goes on as soon as the next buffer
// arrives, and Stop keeps the queue (it pauses).
//
// When no sound device can be opened the layer renders into nowhere at the real-time
// pace: everything works and positions advance, only nothing is heard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform::audio {

// Error codes handed back by the failing calls (never 0).
enum ErrorCode : int32_t {
  kOk = 0,
  kErrorNoDevice = static_cast<int32_t>(0x8A010001),
  kErrorNoMastering = static_cast<int32_t>(0x8A010002),
  kErrorBadFormat = static_cast<int32_t>(0x8A010003),
  kErrorNoSource = static_cast<int32_t>(0x8A010004),
  kErrorQueueFull = static_cast<int32_t>(0x8A010005),
  kErrorBadBuffer = static_cast<int32_t>(0x8A010006),
  kErrorEngineGone = static_cast<int32_t>(0x8A010007),
  kErrorInjected = static_cast<int32_t>(0x8A0100FF),
};

enum class SampleType : uint16_t { kPcm = 1, kFloat = 3 };

// The order of the interleaved channels: the RIFF WAVE speaker order, or the order
// Vorbis streams use (centre second for three channels and more).
enum class ChannelOrder : uint8_t { kWave, kVorbis };

struct WaveFormat {
  SampleType type = SampleType::kPcm;
  uint16_t channels = 0;     // 1..8
  uint32_t sampleRate = 0;   // Hz
  uint16_t bitsPerSample = 0;  // 8, 16, 24, 32 integer; 32 float
  uint16_t blockAlign = 0;   // bytes of one frame: channels x bits / 8
  ChannelOrder order = ChannelOrder::kWave;
  uint32_t channelMask = 0;  // WAVE speaker mask; 0 = the default positions

  static WaveFormat Pcm16(uint16_t channels, uint32_t rate, ChannelOrder order = ChannelOrder::kWave);
};

// True when a source voice can play the format.
bool IsPlayable(const WaveFormat& format);

constexpr uint32_t kMaxQueuedBuffers = 64;
constexpr uint32_t kMaxChannels = 8;

struct VoiceState {
  uint32_t buffersQueued = 0;  // submitted and not yet played to their end (the playing one included)
  uint64_t samplesPlayed = 0;  // source frames consumed since the voice was made
};

class Engine;
struct EngineCore;
struct Bus;

class SourceVoice {
 public:
  ~SourceVoice();  // the source is gone when this returns; no buffer is read afterwards
  SourceVoice(const SourceVoice&) = delete;
  SourceVoice& operator=(const SourceVoice&) = delete;

  // Queues bytes of the voice's format; a trailing partial frame is ignored. The
  // memory must stay valid until the buffer has played (the meter reads it).
  bool Submit(const void* data, uint32_t bytes, bool endOfStream, int32_t* error = nullptr);
  VoiceState GetState();
  void Start();
  void Stop();  // keeps the queue and the position
  void SetVolume(float volume);
  float GetVolume() const;
  // Clamped to [1/1024, the voice's maximum ratio].
  void SetFrequencyRatio(float ratio);
  float GetFrequencyRatio() const;
  bool IsStarted() const;
  const WaveFormat& format() const { return format_; }

  // The meter measures the PCM of the voice as it plays, before the voice's gain.
  void EnableMeter(bool on);
  bool MeterEnabled() const;
  // Peak and RMS (0..1 of full scale) of each source channel over the frames played
  // since the previous read; zeros when nothing played. Returns the channels written.
  uint32_t ReadMeter(float* peaks, float* rms, uint32_t channels);

  // How many SetVolume calls the voice received (lets callers check they do not
  // resend an unchanged volume).
  uint32_t SetVolumeCalls() const;

 private:
  friend class Engine;
  friend struct EngineCore;
  friend struct Bus;
  struct Impl;
  SourceVoice(std::shared_ptr<EngineCore> core, std::unique_ptr<Impl> impl, const WaveFormat& format);
  std::shared_ptr<EngineCore> core_;
  std::unique_ptr<Impl> impl_;
  WaveFormat format_;
};

class Engine {
 public:
  // A new engine on the process's device (opened on first use). Fails only when the
  // layer cannot run at all.
  static std::unique_ptr<Engine> Create(int32_t* error = nullptr);
  // Destroys every voice of the engine that still exists (their objects stay valid
  // and silent).
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The master gain stage; voices play only once it exists.
  bool CreateMastering(int32_t* error = nullptr);
  bool HasMastering() const;
  void DestroyMastering();
  void SetMasterVolume(float volume);
  float GetMasterVolume() const;

  std::unique_ptr<SourceVoice> CreateSourceVoice(const WaveFormat& format, float maxFrequencyRatio,
                                                 int32_t* error = nullptr);
  // A voice the layer mixes with the engine's other mixed voices of the same rate into
  // one stream to the device, so the device converts and mixes that one stream rather
  // than each voice (a song's stems). It behaves as a voice of its own except that:
  // the mixed voices of a rate play in step and share one frequency ratio (setting
  // one's sets them all); a volume change, or a Stop while others play on, is heard
  // after the short stretch already mixed ahead (at most 175 ms).
  std::unique_ptr<SourceVoice> CreateMixedVoice(const WaveFormat& format, float maxFrequencyRatio,
                                                int32_t* error = nullptr);
  size_t VoiceCount() const;

  // Several voices at once: they change at the same output frame.
  void StartVoices(std::span<SourceVoice* const> voices);
  void StopVoices(std::span<SourceVoice* const> voices);
  void SetFrequencyRatios(std::span<SourceVoice* const> voices, float ratio);

 private:
  explicit Engine(std::shared_ptr<EngineCore> core);
  std::unique_ptr<SourceVoice> MakeVoice(const WaveFormat& format, float maxFrequencyRatio, bool mixed,
                                         int32_t* error);
  std::shared_ptr<EngineCore> core_;
};

struct DeviceInfo {
  bool open = false;
  bool silent = false;    // no sound device: rendering into nowhere
  bool loopback = false;  // rendered only on request (tests)
  uint32_t sampleRate = 0;
  std::string name;
};
DeviceInfo GetDeviceInfo();

// Asks the open device to run at this output rate (a song's stems at their own rate
// are then mixed without rate conversion). True when the device now runs at it;
// false when it cannot change (it keeps its rate) or no device is open. Voices
// that exist keep playing; only their conversion changes.
bool PreferSampleRate(uint32_t rate);

// Closes the process's device once no engine is left (the game calls it at exit).
void Shutdown();

namespace testing {
// Replaces the device by a loopback device that renders only through Render. Fails
// while engines exist. Its rate stays as asked unless followsStreams lets
// PreferSampleRate change it, as a real device's would.
bool UseLoopback(uint32_t sampleRate = 44100, bool followsStreams = false);
// Back to the normal device choice (opened on the next engine).
bool UseDefaultDevice();
// Renders frames of the loopback device; the stereo float output is appended to out.
bool Render(uint32_t frames, std::vector<float>* out = nullptr);

// False makes CreateMixedVoice give voices of their own (to compare the two paths).
void MixVoices(bool on);

enum class Operation { kCreateEngine, kCreateMastering, kCreateSource, kSubmit };
// The next count calls of the operation fail with kErrorInjected.
void FailNext(Operation op, int count = 1);
void ClearFailures();

size_t LiveVoiceCount();   // source voices alive in the process
size_t LiveEngineCount();
}  // namespace testing

}  // namespace platform::audio
