#include "platform/audio/audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/audio/pcm.h"
#include "platform/console.h"
#include "platform/threads.h"

namespace platform::audio {

// ---------------------------------------------------------------------------------
// The process's device.
namespace {

constexpr uint32_t kSilentRate = 44100;
constexpr uint32_t kSilentPeriodMs = 25;
constexpr float kMinRatio = 1.0f / 1024.0f;

std::atomic<size_t> g_liveVoices{0};
std::atomic<size_t> g_liveEngines{0};
std::array<std::atomic<int>, 4> g_failures{};

bool ShouldFail(testing::Operation op) {
  std::atomic<int>& n = g_failures[static_cast<size_t>(op)];
  int current = n.load();
  while (current > 0) {
    if (n.compare_exchange_weak(current, current - 1)) return true;
  }
  return false;
}

void SetError(int32_t* error, int32_t code) {
  if (error) *error = code;
}

// OpenAL Soft starts its system back ends (PulseAudio, ALSA ...) at its first call.
// A process that only renders through loopback, or plays silent by choice, needs
// none of them, so it keeps OpenAL from starting them (unless the user chose).
void LeaveSystemBackendsAlone() { ::setenv("ALSOFT_DRIVERS", "null", 0); }

bool SilentByChoice() {
  const char* choice = std::getenv("VELORIN_AUDIO");
  return choice && std::strcmp(choice, "null") == 0;
}

void PumpAllBuses();

class Device {
 public:
  ~Device() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (g_liveEngines.load() == 0) {
      CloseLocked();
      return;
    }
    // The process is ending with engines still open (exit() called from a library,
    // as Xlib does when the X server goes away): the device stays for them, but the
    // silent thread must end, or its std::thread ends the process with terminate().
    StopSilentThreadLocked();
  }

  // Opens the device on first use. False only when not even a silent device works.
  bool Ensure() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (context_) return true;
    if (wantLoopback_) return OpenLoopbackLocked(loopbackRate_, false);
    const bool silentByChoice = SilentByChoice();
    if (silentByChoice) LeaveSystemBackendsAlone();
    if (!silentByChoice && OpenRealLocked()) return true;
    DebugOutput(u"audio: no sound device, playing silent\n");
    return OpenLoopbackLocked(kSilentRate, true);
  }

  bool UseLoopback(bool on, uint32_t rate, bool followsStreams = false) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (g_liveEngines.load() != 0) return false;
    CloseLocked();
    wantLoopback_ = on;
    loopbackFollows_ = on && followsStreams;
    loopbackRate_ = rate ? rate : 44100;
    if (!on) return true;
    LeaveSystemBackendsAlone();
    return OpenLoopbackLocked(loopbackRate_, false);
  }

  bool Render(uint32_t frames, std::vector<float>* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!context_ || !info_.loopback || info_.silent || !render_) return false;
    float chunk[2 * 1024];
    while (frames > 0) {
      const uint32_t n = std::min<uint32_t>(frames, 1024);
      PumpAllBuses();
      render_(device_, chunk, static_cast<ALCsizei>(n));
      if (out) out->insert(out->end(), chunk, chunk + 2 * n);
      frames -= n;
    }
    return true;
  }

  // Moves the open device to another output rate, so that streams of that rate are
  // mixed without conversion. A test's loopback keeps the rate it asked for unless
  // it chose to follow; a device that refuses keeps its rate.
  bool PreferRate(uint32_t rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!context_ || rate < 8000 || rate > 192000) return false;
    if (info_.sampleRate == rate) return true;
    if (info_.loopback && !info_.silent && !loopbackFollows_) return false;
    auto reset = reinterpret_cast<LPALCRESETDEVICESOFT>(alcGetProcAddress(device_, "alcResetDeviceSOFT"));
    if (!reset) return false;
    if (info_.loopback) {
      const bool silent = info_.silent;
      StopSilentThreadLocked();
      const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,  ALC_FORMAT_TYPE_SOFT,
                              ALC_FLOAT_SOFT,           ALC_FREQUENCY,    static_cast<ALCint>(rate),
                              ALC_HRTF_SOFT,            ALC_FALSE,        ALC_OUTPUT_LIMITER_SOFT,
                              ALC_FALSE,                0};
      if (reset(device_, attrs)) info_.sampleRate = rate;
      if (silent) StartSilentThread(info_.sampleRate);
      return info_.sampleRate == rate;
    }
    const ALCint attrs[] = {ALC_FREQUENCY, static_cast<ALCint>(rate), ALC_HRTF_SOFT, ALC_FALSE, 0};
    if (!reset(device_, attrs)) return false;
    ALCint now = 0;
    alcGetIntegerv(device_, ALC_FREQUENCY, 1, &now);
    info_.sampleRate = static_cast<uint32_t>(now);
    return info_.sampleRate == rate;
  }

  void Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (g_liveEngines.load() == 0) CloseLocked();
  }

  DeviceInfo Info() {
    std::lock_guard<std::mutex> lock(mutex_);
    return info_;
  }

  float gainLimit() const { return gainLimit_; }
  bool directChannels() const { return directChannels_; }
  bool floatFormat() const { return floatFormat_; }

  // Batches property changes of several sources into one mixer update.
  void Defer() {
    if (defer_) defer_();
  }
  void Process() {
    if (process_) process_();
  }

 private:
  bool OpenRealLocked() {
    ALCdevice* dev = alcOpenDevice(nullptr);
    if (!dev) return false;
    const ALCint attrs[] = {ALC_HRTF_SOFT, ALC_FALSE, 0};
    ALCcontext* ctx = alcCreateContext(dev, attrs);
    if (!ctx || !alcMakeContextCurrent(ctx)) {
      if (ctx) alcDestroyContext(ctx);
      alcCloseDevice(dev);
      return false;
    }
    device_ = dev;
    context_ = ctx;
    info_ = {};
    info_.open = true;
    ALCint rate = 0;
    alcGetIntegerv(dev, ALC_FREQUENCY, 1, &rate);
    info_.sampleRate = static_cast<uint32_t>(rate);
    const ALCchar* name = alcGetString(dev, ALC_DEVICE_SPECIFIER);
    info_.name = name ? name : "";
    ReadCapabilities();
    return true;
  }

  bool OpenLoopbackLocked(uint32_t rate, bool silent) {
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto supported =
        reinterpret_cast<LPALCISRENDERFORMATSUPPORTEDSOFT>(alcGetProcAddress(nullptr, "alcIsRenderFormatSupportedSOFT"));
    render_ = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!open || !supported || !render_) return false;
    ALCdevice* dev = open(nullptr);
    if (!dev) return false;
    if (!supported(dev, static_cast<ALCsizei>(rate), ALC_STEREO_SOFT, ALC_FLOAT_SOFT)) {
      alcCloseDevice(dev);
      return false;
    }
    const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,  ALC_FORMAT_TYPE_SOFT,
                            ALC_FLOAT_SOFT,           ALC_FREQUENCY,    static_cast<ALCint>(rate),
                            ALC_HRTF_SOFT,            ALC_FALSE,        ALC_OUTPUT_LIMITER_SOFT,
                            ALC_FALSE,                0};
    ALCcontext* ctx = alcCreateContext(dev, attrs);
    if (!ctx || !alcMakeContextCurrent(ctx)) {
      if (ctx) alcDestroyContext(ctx);
      alcCloseDevice(dev);
      return false;
    }
    device_ = dev;
    context_ = ctx;
    info_ = {};
    info_.open = true;
    info_.loopback = true;
    info_.silent = silent;
    info_.sampleRate = rate;
    info_.name = silent ? "silent" : "loopback";
    ReadCapabilities();
    if (silent) StartSilentThread(rate);
    return true;
  }

  void ReadCapabilities() {
    directChannels_ = alIsExtensionPresent("AL_SOFT_direct_channels");
    floatFormat_ = alIsExtensionPresent("AL_EXT_FLOAT32");
    gainLimit_ = 1.0f;
    if (alIsExtensionPresent("AL_SOFT_gain_clamp_ex")) {
      gainLimit_ = std::max(1.0f, alGetFloat(AL_GAIN_LIMIT_SOFT));
    }
    gainLimit_ = std::min(gainLimit_, 64.0f);
    defer_ = nullptr;
    process_ = nullptr;
    if (alIsExtensionPresent("AL_SOFT_deferred_updates")) {
      defer_ = reinterpret_cast<LPALDEFERUPDATESSOFT>(alGetProcAddress("alDeferUpdatesSOFT"));
      process_ = reinterpret_cast<LPALPROCESSUPDATESSOFT>(alGetProcAddress("alProcessUpdatesSOFT"));
      if (!defer_ || !process_) defer_ = nullptr, process_ = nullptr;
    }
    alGetError();
  }

  // Without a sound device the mix is rendered into nowhere at the real-time pace,
  // so that voices play out and positions advance as they would with sound.
  void StartSilentThread(uint32_t rate) {
    stopSilent_ = false;
    ALCdevice* dev = device_;
    LPALCRENDERSAMPLESSOFT render = render_;
    silentThread_ = std::thread([this, dev, render, rate] {
      // Named as the mixer it stands in for, not after the thread that opened it.
      platform::SetCurrentThreadName("al-silent");
      using clock = std::chrono::steady_clock;
      // Nobody hears this device, so it renders in the period a real device's mixer
      // runs at (about 1024 frames) rather than in 10 ms steps: two fifths of the
      // wakes, and positions still advance in steps no coarser than with sound.
      const uint32_t quantum = std::max<uint32_t>(rate * kSilentPeriodMs / 1000, 1);
      const auto step = std::chrono::nanoseconds(static_cast<int64_t>(quantum) * 1000000000 / rate);
      std::vector<float> scratch(2 * static_cast<size_t>(quantum));
      auto next = clock::now();
      while (!stopSilent_.load()) {
        render(dev, scratch.data(), static_cast<ALCsizei>(quantum));
        next += step;
        const auto now = clock::now();
        if (now - next > std::chrono::milliseconds(200)) next = now;  // fell behind: do not race to catch up
        std::this_thread::sleep_until(next);
      }
    });
  }

  void StopSilentThreadLocked() {
    if (silentThread_.joinable()) {
      stopSilent_ = true;
      silentThread_.join();
    }
  }

  void CloseLocked() {
    StopSilentThreadLocked();
    if (context_) {
      alcMakeContextCurrent(nullptr);
      alcDestroyContext(context_);
    }
    if (device_) alcCloseDevice(device_);
    context_ = nullptr;
    device_ = nullptr;
    info_ = {};
  }

  std::mutex mutex_;
  ALCdevice* device_ = nullptr;
  ALCcontext* context_ = nullptr;
  DeviceInfo info_;
  bool wantLoopback_ = false;
  uint32_t loopbackRate_ = 44100;
  bool loopbackFollows_ = false;
  LPALCRENDERSAMPLESSOFT render_ = nullptr;
  std::thread silentThread_;
  std::atomic<bool> stopSilent_{false};
  float gainLimit_ = 1.0f;
  bool directChannels_ = false;
  bool floatFormat_ = false;
  LPALDEFERUPDATESSOFT defer_ = nullptr;
  LPALPROCESSUPDATESSOFT process_ = nullptr;
};

Device& TheDevice() {
  static Device device;
  return device;
}

float Sanitize(float v, float hi) {
  if (!(v == v)) return 0.0f;
  return std::clamp(v, 0.0f, hi);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Voices and engines.
//
// A voice is either a source of its own, or a member of one of its engine's mixed
// streams (one per sample rate): the stream sums the PCM of its started members,
// each at its own volume, into one block at a time and feeds the blocks to a single
// source, so the device converts and mixes one stream where it would otherwise do
// that once per voice. The master gain and the frequency ratio are the stream
// source's. Members play in step: a block is mixed only as far as every started
// member that has not ended its stream has PCM queued, unless the stream has run
// dry, when the others go on without the late one (as a source of its own would).
// A member's position maps its frames onto the stream's frames through the blocks
// they were mixed into, so it is as exact as a source's own.
//
// The stream is mixed only a short way ahead of what the device has played, so that
// a member's volume change is heard after at most that much.

using VoiceMutex = std::recursive_mutex;

struct Bus;

struct SourceVoice::Impl {
  struct Entry {
    const uint8_t* data = nullptr;  // the caller's bytes, read by the meter
    uint32_t frames = 0;
    uint64_t startFrame = 0;
    ALuint buffer = 0;
  };
  // Frames of the voice mixed into the stream, from a stream frame on.
  struct Segment {
    uint64_t busStart = 0;
    uint64_t voiceStart = 0;
    uint64_t frames = 0;
  };

  // Members of a mixed stream share the stream's lock.
  std::shared_ptr<VoiceMutex> mutexp = std::make_shared<VoiceMutex>();
  VoiceMutex& mutex() const { return *mutexp; }
  ALuint source = 0;
  Bus* bus = nullptr;  // set for a member of a mixed stream
  bool dead = false;
  WaveFormat format;
  pcm::Target target = pcm::Target::kStereo16Direct;
  ALenum alFormat = AL_FORMAT_STEREO16;
  pcm::StereoGains gains{};
  float maxRatio = 2.0f;
  float ratio = 1.0f;
  float volume = 1.0f;
  bool started = false;
  bool meter = false;
  uint64_t meterFrom = 0;
  uint64_t framesDone = 0;  // frames of the buffers already played and taken back
  uint64_t queuedEnd = 0;   // frame count after the last queued buffer
  uint64_t lastPosition = 0;
  std::array<Entry, kMaxQueuedBuffers> ring{};
  uint32_t head = 0;
  uint32_t count = 0;
  std::vector<ALuint> spare;
  std::vector<uint8_t> scratch;
  std::atomic<uint32_t> volumeCalls{0};
  // Mixed stream members only.
  bool endOfStream = false;   // the last buffer submitted ends the stream
  bool late = false;          // the stream went on without it
  uint64_t mixedEnd = 0;      // frames handed to the stream so far
  uint64_t segmentBase = 0;   // position once every segment below has played
  std::deque<Segment> segments;

  ALint State() const {
    ALint s = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &s);
    return s;
  }

  void PopFront() {
    Entry& e = ring[head];
    if (!bus) {
      ALuint b = e.buffer;
      alSourceUnqueueBuffers(source, 1, &b);
      spare.push_back(e.buffer);
    }
    framesDone += e.frames;
    e = Entry{};
    head = (head + 1) % kMaxQueuedBuffers;
    --count;
  }

  // Takes back the buffers the source has played. The source never holds a buffer
  // it has not played while it reads as stopped (Submit sees to that), so the
  // processed count is always the truth.
  void Settle();
  uint64_t Position();
  void ApplyGain(float master);
  // A member's ratio is its whole stream's: the members play in step.
  void ApplyRatio();

  // Where the voice's frames have got to, given the frames the stream has played.
  uint64_t MemberPosition(uint64_t busPlayed) {
    while (!segments.empty() && segments.front().busStart + segments.front().frames <= busPlayed) {
      segmentBase = segments.front().voiceStart + segments.front().frames;
      segments.pop_front();
    }
    if (!segments.empty() && segments.front().busStart < busPlayed) {
      return segments.front().voiceStart + (busPlayed - segments.front().busStart);
    }
    return segmentBase;
  }

  void AddSegment(uint64_t busStart, uint64_t frames) {
    if (!segments.empty()) {
      Segment& last = segments.back();
      if (last.busStart + last.frames == busStart && last.voiceStart + last.frames == mixedEnd) {
        last.frames += frames;
        mixedEnd += frames;
        return;
      }
    }
    segments.push_back({busStart, mixedEnd, frames});
    mixedEnd += frames;
  }

  // Ready to play when started: a paused source resumes, an idle one with buffers starts.
  bool WantsPlay() {
    if (!started || count == 0) return false;
    const ALint s = State();
    return s == AL_PAUSED || s == AL_INITIAL || s == AL_STOPPED;
  }

  void Release();
};

namespace {
constexpr uint32_t kBusBlockMs = 25;

// Adds `samples` little-endian 16-bit samples, each times `gain`, into `out`: the
// stems' own format, mixed into every block of the song's stream. Eight samples a
// step where the processor has SSE2; the same products and sums either way.
void AddScaled16(const uint8_t* data, uint32_t samples, float gain, float* out) {
  uint32_t i = 0;
#if defined(__SSE2__)
  const __m128 g = _mm_set1_ps(gain);
  for (; i + 8 <= samples; i += 8) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 2 * static_cast<size_t>(i)));
    const __m128 lo = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(s, s), 16));
    const __m128 hi = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(s, s), 16));
    _mm_storeu_ps(out + i, _mm_add_ps(_mm_loadu_ps(out + i), _mm_mul_ps(lo, g)));
    _mm_storeu_ps(out + i + 4, _mm_add_ps(_mm_loadu_ps(out + i + 4), _mm_mul_ps(hi, g)));
  }
#endif
  for (; i < samples; ++i) {
    int16_t s;
    std::memcpy(&s, data + 2 * static_cast<size_t>(i), sizeof s);
    out[i] += static_cast<float>(s) * gain;
  }
}
constexpr uint32_t kBusLeadMs = 150;
constexpr size_t kMaxBusBuffers = 16;
}  // namespace

struct Bus {
  std::shared_ptr<VoiceMutex> mutexp = std::make_shared<VoiceMutex>();
  ALuint source = 0;
  bool dead = false;
  uint32_t rate = 0;
  bool floatOut = true;
  float ratio = 1.0f;
  std::vector<SourceVoice::Impl*> members;
  struct Block {
    ALuint buffer = 0;
    uint32_t frames = 0;
  };
  std::deque<Block> queued;
  std::vector<ALuint> spare;
  uint64_t framesDone = 0;  // frames of the blocks played and taken back
  uint64_t queuedEnd = 0;   // frames of every block queued
  uint64_t lastPlayed = 0;
  std::vector<float> mix;
  std::vector<int16_t> narrow;
  std::vector<uint8_t> scratch;

  ALint State() const {
    ALint s = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &s);
    return s;
  }

  bool Running() const {
    if (dead) return false;
    for (const SourceVoice::Impl* m : members) {
      if (m->started && !m->dead) return true;
    }
    return false;
  }

  void PopFront() {
    ALuint b = queued.front().buffer;
    alSourceUnqueueBuffers(source, 1, &b);
    spare.push_back(b);
    framesDone += queued.front().frames;
    queued.pop_front();
  }

  void Settle() {
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    while (processed-- > 0 && !queued.empty()) PopFront();
  }

  // Stream frames the device has played.
  uint64_t Played() {
    if (dead) return lastPlayed;
    Settle();
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    const ALint state = State();
    uint64_t pos = framesDone;
    if (state == AL_STOPPED) {
      Settle();
      pos = framesDone;
    } else if (state != AL_INITIAL) {
      pos = framesDone + static_cast<uint64_t>(std::max<ALint>(offset, 0));
    }
    pos = std::min(pos, queuedEnd);
    lastPlayed = std::max(lastPlayed, pos);
    return lastPlayed;
  }

  // Adds frames of a member, from its next unmixed frame, into the block.
  static void MixMember(SourceVoice::Impl& m, uint64_t frames, float* out, std::vector<uint8_t>& scratch) {
    const float gain = Sanitize(m.volume, TheDevice().gainLimit());
    uint64_t at = m.mixedEnd;
    uint64_t left = frames;
    for (uint32_t i = 0; i < m.count && left > 0; ++i) {
      const SourceVoice::Impl::Entry& e = m.ring[(m.head + i) % kMaxQueuedBuffers];
      if (at >= e.startFrame + e.frames) continue;
      const uint32_t offset = static_cast<uint32_t>(at - e.startFrame);
      const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(left, e.frames - offset));
      if (gain > 0.0f) {
        const uint8_t* data = e.data + static_cast<size_t>(offset) * m.format.blockAlign;
        if (m.target == pcm::Target::kStereo16Direct) {
          AddScaled16(data, 2 * n, gain * (1.0f / 32768.0f), out);
        } else if (m.target == pcm::Target::kStereo8Direct || m.target == pcm::Target::kStereo16) {
          // Stereo as it is, or mono on both sides, as a source of its own plays them.
          const uint32_t right = m.format.channels > 1 ? 1 : 0;
          for (uint32_t f = 0; f < n; ++f) {
            out[2 * f] += pcm::SampleAt(m.format, data, f, 0) * gain;
            out[2 * f + 1] += pcm::SampleAt(m.format, data, f, right) * gain;
          }
        } else {
          pcm::Convert(m.format, m.gains, pcm::Target::kStereoFloat, data, n, scratch);
          const float* s = reinterpret_cast<const float*>(scratch.data());
          for (uint32_t f = 0; f < 2 * n; ++f) out[f] += s[f] * gain;
        }
      }
      out += 2 * static_cast<size_t>(n);
      at += n;
      left -= n;
    }
  }

  // Mixes blocks until the stream is a lead ahead of the device or its members have
  // nothing more; starts the source when play is set and a member is started.
  void Pump(bool play) {
    if (dead) return;
    const uint64_t played = Played();
    if (!Running()) return;
    const uint64_t block = std::max<uint64_t>(rate * kBusBlockMs / 1000, 64);
    const uint64_t lead = static_cast<uint64_t>(rate) * kBusLeadMs / 1000;
    size_t fresh = 0;
    while (queuedEnd - played < lead && queued.size() < kMaxBusBuffers) {
      uint64_t step = block;
      bool anyData = false;
      bool waiting = false;
      for (const SourceVoice::Impl* m : members) {
        if (!m->started || m->dead) continue;
        const uint64_t available = m->queuedEnd - m->mixedEnd;
        if (available == 0) {
          waiting = waiting || (!m->endOfStream && !m->late);
          continue;
        }
        anyData = true;
        step = std::min(step, available);
      }
      if (!anyData) break;
      if (waiting && queuedEnd > played) break;  // the late member still has time to catch up
      mix.assign(2 * static_cast<size_t>(step), 0.0f);
      for (SourceVoice::Impl* m : members) {
        if (!m->started || m->dead) continue;
        const uint64_t n = std::min(step, m->queuedEnd - m->mixedEnd);
        // A member the stream had to go on without holds it back no more until it
        // has PCM again; it then plays late, as a source of its own would.
        m->late = n == 0 && !m->endOfStream;
        if (n == 0) continue;
        MixMember(*m, n, mix.data(), scratch);
        m->AddSegment(queuedEnd, n);
      }
      if (!QueueBlock(static_cast<uint32_t>(step))) break;
      ++fresh;
    }
    if (fresh > 0 && State() == AL_STOPPED) {
      // The source ran dry while the blocks were queued: everything ahead of them has played.
      while (queued.size() > fresh) PopFront();
    }
    if (play) StartSource();
  }

  bool WantsPlay() const {
    if (queued.empty() || !Running()) return false;
    const ALint s = State();
    return s == AL_PAUSED || s == AL_INITIAL || s == AL_STOPPED;
  }

  void StartSource() {
    if (WantsPlay()) alSourcePlay(source);
  }

  bool QueueBlock(uint32_t frames) {
    ALuint buffer = 0;
    if (!spare.empty()) {
      buffer = spare.back();
      spare.pop_back();
    } else {
      alGetError();
      alGenBuffers(1, &buffer);
      if (alGetError() != AL_NO_ERROR) return false;
    }
    alGetError();
    if (floatOut) {
      alBufferData(buffer, AL_FORMAT_STEREO_FLOAT32, mix.data(), static_cast<ALsizei>(mix.size() * sizeof(float)),
                   static_cast<ALsizei>(rate));
    } else {
      narrow.resize(mix.size());
      for (size_t i = 0; i < mix.size(); ++i) {
        narrow[i] = static_cast<int16_t>(std::lround(std::clamp(mix[i], -1.0f, 32767.0f / 32768.0f) * 32768.0f));
      }
      alBufferData(buffer, AL_FORMAT_STEREO16, narrow.data(), static_cast<ALsizei>(narrow.size() * sizeof(int16_t)),
                   static_cast<ALsizei>(rate));
    }
    if (alGetError() == AL_NO_ERROR) alSourceQueueBuffers(source, 1, &buffer);
    if (alGetError() != AL_NO_ERROR) {
      spare.push_back(buffer);
      return false;
    }
    queued.push_back({buffer, frames});
    queuedEnd += frames;
    return true;
  }

  void ApplyGain(float master) {
    if (!dead) alSourcef(source, AL_GAIN, Sanitize(master, TheDevice().gainLimit()));
  }

  void Release() {
    if (dead) return;
    Played();
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alDeleteSources(1, &source);
    for (const Block& b : queued) spare.push_back(b.buffer);
    queued.clear();
    if (!spare.empty()) alDeleteBuffers(static_cast<ALsizei>(spare.size()), spare.data());
    spare.clear();
    alGetError();
    source = 0;
    dead = true;
  }
};

void SourceVoice::Impl::Settle() {
  if (bus) {
    const uint64_t pos = MemberPosition(bus->Played());
    while (count > 0 && ring[head].startFrame + ring[head].frames <= pos) PopFront();
    return;
  }
  ALint processed = 0;
  alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
  while (processed-- > 0 && count > 0) PopFront();
}

uint64_t SourceVoice::Impl::Position() {
  uint64_t pos;
  if (bus) {
    Settle();
    pos = MemberPosition(bus->Played());
  } else {
    Settle();
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    const ALint state = State();
    if (state == AL_STOPPED) {
      Settle();
      pos = framesDone;
    } else if (state == AL_INITIAL) {
      pos = framesDone;
    } else {
      pos = framesDone + static_cast<uint64_t>(std::max<ALint>(offset, 0));
    }
  }
  pos = std::min(pos, queuedEnd);
  lastPosition = std::max(lastPosition, pos);
  return lastPosition;
}

void SourceVoice::Impl::ApplyGain(float master) {
  if (bus) {
    bus->ApplyGain(master);  // the voice's own volume is applied as it is mixed
    return;
  }
  const float g = Sanitize(volume * master, TheDevice().gainLimit());
  alSourcef(source, AL_GAIN, g);
}

void SourceVoice::Impl::ApplyRatio() {
  if (bus) {
    bus->ratio = ratio;
    for (Impl* m : bus->members) m->ratio = std::clamp(ratio, kMinRatio, m->maxRatio);
    if (!bus->dead) alSourcef(bus->source, AL_PITCH, ratio);
    return;
  }
  alSourcef(source, AL_PITCH, ratio);
}

void SourceVoice::Impl::Release() {
  if (dead) return;
  Position();  // an orphaned voice keeps reporting where it stopped
  if (bus) {
    auto& list = bus->members;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    // What was mixed of it already plays out beside the other members; its own
    // bytes are no longer read. The last member takes the stream with it.
    if (list.empty()) bus->Release();
    bus = nullptr;
  } else {
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alDeleteSources(1, &source);
  }
  for (uint32_t i = 0; i < count; ++i) {
    Entry& e = ring[(head + i) % kMaxQueuedBuffers];
    if (e.buffer) spare.push_back(e.buffer);
    e = Entry{};
  }
  count = 0;
  if (!spare.empty()) alDeleteBuffers(static_cast<ALsizei>(spare.size()), spare.data());
  spare.clear();
  alGetError();
  source = 0;
  dead = true;
  g_liveVoices.fetch_sub(1);
}

struct EngineCore {
  std::mutex mutex;
  bool alive = true;
  bool mastering = false;
  std::atomic<float> master{1.0f};
  std::vector<SourceVoice::Impl*> voices;
  std::vector<std::shared_ptr<Bus>> buses;  // dead ones stay until the engine goes

  float EffectiveMaster() const { return mastering ? master.load() : 0.0f; }
};

namespace {
std::atomic<bool> g_mixing{true};

// Every mixed stream of the process, for a device rendered on request.
std::mutex g_busListMutex;
std::vector<std::weak_ptr<Bus>> g_busList;

void RegisterBus(const std::shared_ptr<Bus>& bus) {
  std::lock_guard<std::mutex> lock(g_busListMutex);
  std::erase_if(g_busList, [](const std::weak_ptr<Bus>& b) { return b.expired(); });
  g_busList.push_back(bus);
}

// A real device plays while the pumping threads top its mixed streams up; a device
// rendered on request has none running beside it, so it tops them up itself.
void PumpAllBuses() {
  std::vector<std::shared_ptr<Bus>> live;
  {
    std::lock_guard<std::mutex> lock(g_busListMutex);
    for (const std::weak_ptr<Bus>& b : g_busList) {
      if (std::shared_ptr<Bus> bus = b.lock()) live.push_back(std::move(bus));
    }
  }
  for (const std::shared_ptr<Bus>& bus : live) {
    std::lock_guard<VoiceMutex> lock(*bus->mutexp);
    bus->Pump(true);
  }
}
}  // namespace

WaveFormat WaveFormat::Pcm16(uint16_t channels, uint32_t rate, ChannelOrder order) {
  WaveFormat f;
  f.type = SampleType::kPcm;
  f.channels = channels;
  f.sampleRate = rate;
  f.bitsPerSample = 16;
  f.blockAlign = static_cast<uint16_t>(channels * 2);
  f.order = order;
  return f;
}

bool IsPlayable(const WaveFormat& f) {
  if (f.channels < 1 || f.channels > kMaxChannels) return false;
  if (f.sampleRate < 1000 || f.sampleRate > 768000) return false;
  if (f.type == SampleType::kPcm) {
    if (f.bitsPerSample != 8 && f.bitsPerSample != 16 && f.bitsPerSample != 24 && f.bitsPerSample != 32) return false;
  } else if (f.type == SampleType::kFloat) {
    if (f.bitsPerSample != 32) return false;
  } else {
    return false;
  }
  return f.blockAlign == f.channels * (f.bitsPerSample / 8);
}

SourceVoice::SourceVoice(std::shared_ptr<EngineCore> core, std::unique_ptr<Impl> impl, const WaveFormat& format)
    : core_(std::move(core)), impl_(std::move(impl)), format_(format) {}

SourceVoice::~SourceVoice() {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  auto& list = core_->voices;
  list.erase(std::remove(list.begin(), list.end(), impl_.get()), list.end());
  std::lock_guard<VoiceMutex> lock(impl_->mutex());
  impl_->Release();
}

bool SourceVoice::Submit(const void* data, uint32_t bytes, bool endOfStream, int32_t* error) {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  if (v.dead) return SetError(error, kErrorEngineGone), false;
  if (ShouldFail(testing::Operation::kSubmit)) return SetError(error, kErrorInjected), false;
  if (!data && bytes) return SetError(error, kErrorBadBuffer), false;
  const uint32_t frames = bytes / format_.blockAlign;
  if (frames == 0) return true;  // nothing whole to play
  v.Settle();
  if (v.count >= kMaxQueuedBuffers) return SetError(error, kErrorQueueFull), false;

  if (v.bus) {
    // The stream reads the caller's bytes as it mixes them.
    Impl::Entry& e = v.ring[(v.head + v.count) % kMaxQueuedBuffers];
    e.data = static_cast<const uint8_t*>(data);
    e.frames = frames;
    e.startFrame = v.queuedEnd;
    ++v.count;
    v.queuedEnd += frames;
    v.endOfStream = endOfStream;
    v.bus->Pump(true);
    return true;
  }

  ALuint buffer = 0;
  if (!v.spare.empty()) {
    buffer = v.spare.back();
    v.spare.pop_back();
  } else {
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) return SetError(error, kErrorBadBuffer), false;
  }
  const uint8_t* src = static_cast<const uint8_t*>(data);
  const void* feed = src;
  size_t feedBytes = static_cast<size_t>(frames) * format_.blockAlign;
  if (v.target == pcm::Target::kStereo16 || v.target == pcm::Target::kStereoFloat) {
    pcm::Convert(format_, v.gains, v.target, src, frames, v.scratch);
    feed = v.scratch.data();
    feedBytes = static_cast<size_t>(frames) * pcm::TargetFrameBytes(v.target);
  }
  alGetError();
  alBufferData(buffer, v.alFormat, feed, static_cast<ALsizei>(feedBytes), static_cast<ALsizei>(format_.sampleRate));
  if (alGetError() != AL_NO_ERROR) {
    v.spare.push_back(buffer);
    return SetError(error, kErrorBadBuffer), false;
  }
  alSourceQueueBuffers(v.source, 1, &buffer);
  if (alGetError() != AL_NO_ERROR) {
    v.spare.push_back(buffer);
    return SetError(error, kErrorBadBuffer), false;
  }
  Impl::Entry& e = v.ring[(v.head + v.count) % kMaxQueuedBuffers];
  e.data = src;
  e.frames = frames;
  e.startFrame = v.queuedEnd;
  e.buffer = buffer;
  ++v.count;
  v.queuedEnd += frames;

  const ALint state = v.State();
  if (state == AL_STOPPED) {
    // The source ran dry (before or while the buffer was queued): everything ahead
    // of the new buffer has played; the new one has not.
    while (v.count > 1) v.PopFront();
    if (v.started) {
      alSourcePlay(v.source);
    } else {
      alSourceRewind(v.source);
    }
  } else if (state == AL_INITIAL && v.started) {
    alSourcePlay(v.source);
  }
  return true;
}

VoiceState SourceVoice::GetState() {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  VoiceState s;
  if (v.dead) {
    s.samplesPlayed = v.lastPosition;
    return s;
  }
  if (v.bus) v.bus->Pump(true);  // whoever watches a member keeps its stream topped up
  s.samplesPlayed = v.Position();
  s.buffersQueued = v.count;
  return s;
}

void SourceVoice::Start() {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  if (v.dead) return;
  v.started = true;
  if (v.bus) {
    v.bus->Pump(true);
    return;
  }
  v.Settle();
  if (v.WantsPlay()) alSourcePlay(v.source);
}

void SourceVoice::Stop() {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  if (v.dead) return;
  v.started = false;
  if (v.bus) {
    // What is mixed of it already still plays unless the whole stream stops.
    if (!v.bus->Running() && v.bus->State() == AL_PLAYING) alSourcePause(v.bus->source);
    return;
  }
  if (v.State() == AL_PLAYING) alSourcePause(v.source);
}

bool SourceVoice::IsStarted() const {
  std::lock_guard<VoiceMutex> lock(impl_->mutex());
  return impl_->started && !impl_->dead;
}

void SourceVoice::SetVolume(float volume) {
  Impl& v = *impl_;
  v.volumeCalls.fetch_add(1);
  std::lock_guard<VoiceMutex> lock(v.mutex());
  v.volume = (volume == volume) ? volume : 0.0f;
  if (!v.dead) v.ApplyGain(core_->EffectiveMaster());
}

float SourceVoice::GetVolume() const {
  std::lock_guard<VoiceMutex> lock(impl_->mutex());
  return impl_->volume;
}

uint32_t SourceVoice::SetVolumeCalls() const { return impl_->volumeCalls.load(); }

void SourceVoice::SetFrequencyRatio(float ratio) {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  if (!(ratio == ratio)) ratio = 1.0f;
  v.ratio = std::clamp(ratio, kMinRatio, v.maxRatio);
  if (!v.dead) v.ApplyRatio();
}

float SourceVoice::GetFrequencyRatio() const {
  std::lock_guard<VoiceMutex> lock(impl_->mutex());
  return impl_->ratio;
}

void SourceVoice::EnableMeter(bool on) {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  v.meter = on;
  if (on && !v.dead) v.meterFrom = v.Position();
}

bool SourceVoice::MeterEnabled() const {
  std::lock_guard<VoiceMutex> lock(impl_->mutex());
  return impl_->meter;
}

uint32_t SourceVoice::ReadMeter(float* peaks, float* rms, uint32_t channels) {
  Impl& v = *impl_;
  std::lock_guard<VoiceMutex> lock(v.mutex());
  const uint32_t n = std::min<uint32_t>(channels, format_.channels);
  double sum[kMaxChannels] = {};
  float peak[kMaxChannels] = {};
  uint64_t measured = 0;
  if (v.meter && !v.dead) {
    const uint64_t pos = v.Position();
    // Only buffers still queued are read: the caller may already refill the others.
    for (uint32_t i = 0; i < v.count; ++i) {
      const Impl::Entry& e = v.ring[(v.head + i) % kMaxQueuedBuffers];
      const uint64_t from = std::max(v.meterFrom, e.startFrame);
      const uint64_t to = std::min(pos, e.startFrame + e.frames);
      if (from >= to) continue;
      for (uint64_t f = from; f < to; ++f) {
        const uint32_t frame = static_cast<uint32_t>(f - e.startFrame);
        for (uint32_t c = 0; c < n; ++c) {
          const float s = std::fabs(pcm::SampleAt(format_, e.data, frame, c));
          peak[c] = std::max(peak[c], std::min(s, 1.0f));
          sum[c] += static_cast<double>(s) * s;
        }
      }
      measured += to - from;
    }
    v.meterFrom = std::max(v.meterFrom, pos);
  }
  for (uint32_t c = 0; c < n; ++c) {
    if (peaks) peaks[c] = peak[c];
    if (rms) rms[c] = measured ? static_cast<float>(std::sqrt(sum[c] / static_cast<double>(measured))) : 0.0f;
  }
  return n;
}

Engine::Engine(std::shared_ptr<EngineCore> core) : core_(std::move(core)) { g_liveEngines.fetch_add(1); }

std::unique_ptr<Engine> Engine::Create(int32_t* error) {
  if (ShouldFail(testing::Operation::kCreateEngine)) return SetError(error, kErrorInjected), nullptr;
  if (!TheDevice().Ensure()) return SetError(error, kErrorNoDevice), nullptr;
  return std::unique_ptr<Engine>(new Engine(std::make_shared<EngineCore>()));
}

Engine::~Engine() {
  {
    std::lock_guard<std::mutex> coreLock(core_->mutex);
    core_->alive = false;
    core_->mastering = false;
    for (SourceVoice::Impl* v : core_->voices) {
      std::lock_guard<VoiceMutex> lock(v->mutex());
      v->Release();
    }
    core_->voices.clear();
    for (const std::shared_ptr<Bus>& bus : core_->buses) {
      std::lock_guard<VoiceMutex> lock(*bus->mutexp);
      bus->Release();
    }
  }
  g_liveEngines.fetch_sub(1);
}

bool Engine::CreateMastering(int32_t* error) {
  if (ShouldFail(testing::Operation::kCreateMastering)) return SetError(error, kErrorInjected), false;
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  core_->mastering = true;
  for (SourceVoice::Impl* v : core_->voices) {
    std::lock_guard<VoiceMutex> lock(v->mutex());
    if (!v->dead) v->ApplyGain(core_->EffectiveMaster());
  }
  return true;
}

bool Engine::HasMastering() const {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  return core_->mastering;
}

void Engine::DestroyMastering() {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  core_->mastering = false;
  for (SourceVoice::Impl* v : core_->voices) {
    std::lock_guard<VoiceMutex> lock(v->mutex());
    if (!v->dead) v->ApplyGain(0.0f);
  }
}

void Engine::SetMasterVolume(float volume) {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  core_->master = (volume == volume) ? volume : 0.0f;
  TheDevice().Defer();
  for (SourceVoice::Impl* v : core_->voices) {
    std::lock_guard<VoiceMutex> lock(v->mutex());
    if (!v->dead) v->ApplyGain(core_->EffectiveMaster());
  }
  TheDevice().Process();
}

float Engine::GetMasterVolume() const { return core_->master.load(); }

std::unique_ptr<SourceVoice> Engine::CreateSourceVoice(const WaveFormat& format, float maxRatio, int32_t* error) {
  return MakeVoice(format, maxRatio, false, error);
}

std::unique_ptr<SourceVoice> Engine::CreateMixedVoice(const WaveFormat& format, float maxRatio, int32_t* error) {
  return MakeVoice(format, maxRatio, g_mixing.load(), error);
}

std::unique_ptr<SourceVoice> Engine::MakeVoice(const WaveFormat& format, float maxRatio, bool mixed,
                                               int32_t* error) {
  if (ShouldFail(testing::Operation::kCreateSource)) return SetError(error, kErrorInjected), nullptr;
  if (!IsPlayable(format)) return SetError(error, kErrorBadFormat), nullptr;
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  if (!core_->alive) return SetError(error, kErrorEngineGone), nullptr;
  if (!core_->mastering) return SetError(error, kErrorNoMastering), nullptr;

  auto impl = std::make_unique<SourceVoice::Impl>();
  impl->format = format;
  impl->target = pcm::TargetFor(format);
  if (impl->target == pcm::Target::kStereoFloat && !TheDevice().floatFormat()) {
    return SetError(error, kErrorBadFormat), nullptr;
  }
  switch (impl->target) {
    case pcm::Target::kStereo8Direct:
      impl->alFormat = AL_FORMAT_STEREO8;
      break;
    case pcm::Target::kStereo16Direct:
    case pcm::Target::kStereo16:
      impl->alFormat = AL_FORMAT_STEREO16;
      break;
    case pcm::Target::kStereoFloat:
      impl->alFormat = AL_FORMAT_STEREO_FLOAT32;
      break;
  }
  impl->gains = pcm::DownmixGains(format);
  impl->maxRatio = std::clamp(maxRatio == maxRatio ? maxRatio : 2.0f, kMinRatio, 1024.0f);

  if (mixed) {
    Bus* bus = nullptr;
    for (const std::shared_ptr<Bus>& b : core_->buses) {
      if (!b->dead && b->rate == format.sampleRate) bus = b.get();
    }
    if (!bus) {
      auto made = std::make_shared<Bus>();
      made->rate = format.sampleRate;
      made->floatOut = TheDevice().floatFormat();
      alGetError();
      alGenSources(1, &made->source);
      if (alGetError() != AL_NO_ERROR) return SetError(error, kErrorNoSource), nullptr;
      alSourcei(made->source, AL_SOURCE_RELATIVE, AL_TRUE);
      alSource3f(made->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
      alSourcef(made->source, AL_ROLLOFF_FACTOR, 0.0f);
      alSourcef(made->source, AL_MAX_GAIN, TheDevice().gainLimit());
      if (TheDevice().directChannels()) alSourcei(made->source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
      made->ApplyGain(core_->EffectiveMaster());
      alGetError();
      bus = made.get();
      RegisterBus(made);
      core_->buses.push_back(std::move(made));
    }
    std::lock_guard<VoiceMutex> lock(*bus->mutexp);
    impl->bus = bus;
    impl->mutexp = bus->mutexp;
    impl->ratio = std::clamp(bus->ratio, kMinRatio, impl->maxRatio);
    bus->members.push_back(impl.get());
    g_liveVoices.fetch_add(1);
    core_->voices.push_back(impl.get());
    return std::unique_ptr<SourceVoice>(new SourceVoice(core_, std::move(impl), format));
  }

  alGetError();
  alGenSources(1, &impl->source);
  if (alGetError() != AL_NO_ERROR) return SetError(error, kErrorNoSource), nullptr;
  alSourcei(impl->source, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(impl->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
  alSourcef(impl->source, AL_ROLLOFF_FACTOR, 0.0f);
  alSourcef(impl->source, AL_MAX_GAIN, TheDevice().gainLimit());
  if (TheDevice().directChannels()) alSourcei(impl->source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
  impl->ApplyGain(core_->EffectiveMaster());
  alGetError();
  g_liveVoices.fetch_add(1);

  core_->voices.push_back(impl.get());
  return std::unique_ptr<SourceVoice>(new SourceVoice(core_, std::move(impl), format));
}

size_t Engine::VoiceCount() const {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  return core_->voices.size();
}

void Engine::StartVoices(std::span<SourceVoice* const> voices) {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  std::vector<std::unique_lock<VoiceMutex>> locks;
  std::vector<ALuint> play;
  std::vector<Bus*> buses;
  locks.reserve(voices.size());
  for (SourceVoice* voice : voices) {
    if (!voice) continue;
    SourceVoice::Impl& v = *voice->impl_;
    locks.emplace_back(v.mutex());
    if (v.dead) continue;
    v.started = true;
    if (v.bus) {
      if (std::find(buses.begin(), buses.end(), v.bus) == buses.end()) buses.push_back(v.bus);
      continue;
    }
    v.Settle();
    if (v.WantsPlay()) play.push_back(v.source);
  }
  // Every member is marked before its stream mixes, so they all begin on one frame.
  for (Bus* bus : buses) {
    bus->Pump(false);
    if (bus->WantsPlay()) play.push_back(bus->source);
  }
  if (!play.empty()) alSourcePlayv(static_cast<ALsizei>(play.size()), play.data());
}

void Engine::StopVoices(std::span<SourceVoice* const> voices) {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  std::vector<std::unique_lock<VoiceMutex>> locks;
  std::vector<ALuint> pause;
  std::vector<Bus*> buses;
  locks.reserve(voices.size());
  for (SourceVoice* voice : voices) {
    if (!voice) continue;
    SourceVoice::Impl& v = *voice->impl_;
    locks.emplace_back(v.mutex());
    if (v.dead) continue;
    v.started = false;
    if (v.bus) {
      if (std::find(buses.begin(), buses.end(), v.bus) == buses.end()) buses.push_back(v.bus);
      continue;
    }
    if (v.State() == AL_PLAYING) pause.push_back(v.source);
  }
  for (Bus* bus : buses) {
    if (!bus->Running() && !bus->dead && bus->State() == AL_PLAYING) pause.push_back(bus->source);
  }
  if (!pause.empty()) alSourcePausev(static_cast<ALsizei>(pause.size()), pause.data());
}

void Engine::SetFrequencyRatios(std::span<SourceVoice* const> voices, float ratio) {
  std::lock_guard<std::mutex> coreLock(core_->mutex);
  std::vector<std::unique_lock<VoiceMutex>> locks;
  locks.reserve(voices.size());
  for (SourceVoice* voice : voices) {
    if (voice) locks.emplace_back(voice->impl_->mutex());
  }
  if (!(ratio == ratio)) ratio = 1.0f;
  TheDevice().Defer();
  for (SourceVoice* voice : voices) {
    if (!voice) continue;
    SourceVoice::Impl& v = *voice->impl_;
    v.ratio = std::clamp(ratio, kMinRatio, v.maxRatio);
    if (!v.dead) v.ApplyRatio();
  }
  TheDevice().Process();
}

DeviceInfo GetDeviceInfo() { return TheDevice().Info(); }

bool PreferSampleRate(uint32_t rate) { return TheDevice().PreferRate(rate); }

void Shutdown() { TheDevice().Shutdown(); }

namespace testing {

bool UseLoopback(uint32_t sampleRate, bool followsStreams) {
  return TheDevice().UseLoopback(true, sampleRate, followsStreams);
}
bool UseDefaultDevice() { return TheDevice().UseLoopback(false, 0); }
bool Render(uint32_t frames, std::vector<float>* out) { return TheDevice().Render(frames, out); }

void MixVoices(bool on) { g_mixing.store(on); }

void FailNext(Operation op, int count) { g_failures[static_cast<size_t>(op)].store(count); }
void ClearFailures() {
  for (auto& f : g_failures) f.store(0);
}

size_t LiveVoiceCount() { return g_liveVoices.load(); }
size_t LiveEngineCount() { return g_liveEngines.load(); }

}  // namespace testing

}  // namespace platform::audio
