#include "devices/audio/ogg_stem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/audio/vorbis_stream.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace {

// Gaps in a stream are skipped, but only so many in a row: a stream made of nothing
// else is over.
constexpr int kMaxHolesInRow = 64;

}  // namespace

CAudio::CAudio() : stream(std::make_unique<platform::audio::VorbisStream>()) {
  Reset();
  sampleRate = 0;
  channels = 0;
}

CAudio::~CAudio() {
  if (sourceVoice) {
    sourceVoice->Stop();
    sourceVoice.reset();
  }
  if (streamOpen) {
    stream->Close();
    streamOpen = false;
    ready = false;
  }
  if (ownsEngine && engine) {
    engine->DestroyMastering();
    delete engine;
  }
  engine = nullptr;
  meterAttached = false;
}

void CAudio::Reset() {
  streamOpen = false;
  playing = paused = endOfStreamSubmitted = finished = ended = false;
  ringIndex = 0;
  ready = false;
  totalLength = 0.0;
  fadeOutActive = fadeInActive = false;
  fadeDuration = 2000;
  fadeStart = 0;
  fadeOutDone = false;
  baseVolume = mixFactor = appliedVolume = fadeInTarget = fadeOutStartVolume = 1.0f;
  baseFrames = 0;
  streamAtEnd = false;
  unsubmitted_ = false;
  unsubmittedBytes_ = 0;
}

bool CAudio::HasMastering() const { return engine && engine->HasMastering(); }

bool CAudio::CreateEngine() {
  if (ownsEngine && engine) {
    delete engine;
    engine = nullptr;
  }
  std::unique_ptr<platform::audio::Engine> made = platform::audio::Engine::Create();
  if (!made) return false;
  engine = made.release();
  ownsEngine = true;
  return engine->CreateMastering();
}

uint32_t CAudio::FillLimit(uint32_t channelCount) {
  const uint32_t frame = 2 * (channelCount ? channelCount : 1);
  return kBufferBytes - kBufferBytes % frame;
}

bool CAudio::Open(std::u16string_view path) {
  if (streamOpen) {
    if (sourceVoice) sourceVoice->Stop();
    sourceVoice.reset();
    stream->Close();
    Reset();
  }
  FILE* file = platform::OpenFile(path, "rb");
  if (!file) return false;
  if (!stream->Open(file)) {
    std::fclose(file);
    return false;
  }
  streamOpen = true;
  channels = static_cast<uint32_t>(stream->Channels());
  sampleRate = static_cast<int64_t>(stream->Rate());

  platform::audio::WaveFormat format;
  format.type = platform::audio::SampleType::kPcm;
  format.channels = static_cast<uint16_t>(std::min<uint32_t>(channels, 0xFFFF));
  format.sampleRate = static_cast<uint32_t>(std::clamp<int64_t>(sampleRate, 0, 0xFFFFFFFF));
  format.bitsPerSample = 16;
  format.blockAlign = static_cast<uint16_t>(format.channels * 2);
  format.order = platform::audio::ChannelOrder::kVorbis;

  // Every buffer is written before it is read (a fill zeroes what the stream leaves),
  // so the ring is not cleared: that would touch 1.9 MB per stem for nothing.
  if (!ring) ring = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(kRingBuffers) * kBufferBytes);
  std::memset(ring.get() + static_cast<size_t>(ringIndex) * kBufferBytes, 0, kBufferBytes);
  const double total = stream->TotalSeconds();
  totalLength = total > 0.0 ? total : 0.0;

  // A stream of more channels than a voice can play stays open but not ready.
  if (!engine) return false;
  // The set's first stem to play asks for the device at the stems' own rate, so that
  // they are mixed as they are rather than each converted on its way to the device.
  // That is the first voice on the set's engine, whichever slot it is in: many songs
  // have no stem in the slot that owns the engine.
  if (engine->VoiceCount() == 0) platform::audio::PreferSampleRate(format.sampleRate);
  sourceVoice = engine->CreateMixedVoice(format, 2.0f);
  if (!sourceVoice) return false;
  AttachMeter();
  ready = true;
  return true;
}

void CAudio::Close() {
  if (sourceVoice) {
    sourceVoice->Stop();
    sourceVoice.reset();
  }
  if (streamOpen) stream->Close();
  Reset();
  meterAttached = false;
}

bool CAudio::AttachMeter() {
  if (!sourceVoice) return false;
  sourceVoice->EnableMeter(true);
  meterAttached = true;
  meterPeaks.assign(channels, 0.0f);
  meterRms.assign(channels, 0.0f);
  return true;
}

uint32_t CAudio::Fill(uint8_t* buffer) {
  const uint32_t limit = FillLimit(channels);
  uint32_t filled = 0;
  int holes = 0;
  while (filled < limit && !streamAtEnd) {
    const long got = stream->Read(buffer + filled, static_cast<int>(limit - filled));
    if (got == 0) break;
    if (got == platform::audio::VorbisStream::kHole) {
      if (++holes > kMaxHolesInRow) streamAtEnd = true;
      continue;
    }
    if (got < 0 || static_cast<uint32_t>(got) > limit - filled) {
      streamAtEnd = true;  // a broken stream ends here
      break;
    }
    holes = 0;
    // A chained stream whose next part has another channel count cannot go on
    // through this voice: its samples are dropped and the stem ends.
    if (static_cast<uint32_t>(stream->Channels()) != channels) {
      streamAtEnd = true;
      break;
    }
    filled += static_cast<uint32_t>(got);
  }
  // What the stream did not fill plays as silence.
  std::memset(buffer + filled, 0, kBufferBytes - filled);
  return filled;
}

void CAudio::Update() {
  if (!sourceVoice) return;
  const uint32_t now = platform::TimeGetTime();
  if (fadeInActive) {
    const uint32_t elapsed = now - fadeStart;
    if (elapsed < fadeDuration) {
      if (HasMastering()) {
        engine->SetMasterVolume(static_cast<float>(elapsed) / static_cast<float>(fadeDuration) * fadeInTarget);
      }
    } else {
      fadeInActive = false;
      if (HasMastering()) engine->SetMasterVolume(fadeInTarget);
    }
  }
  if (fadeOutActive) {
    const uint32_t elapsed = now - fadeStart;
    if (elapsed < fadeDuration) {
      if (HasMastering()) {
        engine->SetMasterVolume((1.0f - static_cast<float>(elapsed) / static_cast<float>(fadeDuration)) *
                                fadeOutStartVolume);
      }
    } else {
      if (HasMastering()) engine->SetMasterVolume(0.0f);
      fadeOutDone = true;
    }
  }

  platform::audio::VoiceState state = sourceVoice->GetState();
  if (state.buffersQueued >= kMaxQueued) return;
  if (!finished) {
    for (;;) {
      if (endOfStreamSubmitted) {
        if (state.buffersQueued == 0) finished = true;
        return;
      }
      uint8_t* buffer = ring.get() + static_cast<size_t>(ringIndex) * kBufferBytes;
      const uint32_t limit = FillLimit(channels);
      if (!unsubmitted_) {
        unsubmittedBytes_ = Fill(buffer);
        unsubmitted_ = true;
      }
      const bool last = unsubmittedBytes_ < limit;
      // The whole buffer is played: the zeroed tail of a short last buffer is silence.
      // A buffer the voice refused is offered again at the next pump.
      if (!sourceVoice->Submit(buffer, limit, last)) return;
      unsubmitted_ = false;
      if (last) endOfStreamSubmitted = true;
      ringIndex = (ringIndex + 1) % kRingBuffers;
      if (endOfStreamSubmitted) return;
      state = sourceVoice->GetState();
      if (state.buffersQueued >= kMaxQueued) return;
    }
  }
  sourceVoice->Stop();
  playing = false;
  paused = false;
  ended = true;
}

double CAudio::GetPositionMs() {
  if (!sourceVoice || sampleRate <= 0) return 0.0;
  const uint64_t frames = sourceVoice->GetState().samplesPlayed + baseFrames;
  const double ms = static_cast<double>(frames) / (static_cast<double>(sampleRate) * 0.001);
  return ms > kPositionLimitMs ? 0.0 : ms;
}

float CAudio::ReadMeter() {
  if (!sourceVoice || channels == 0) return 0.0f;
  meterPeaks.resize(channels);
  meterRms.resize(channels);
  const uint32_t n = sourceVoice->ReadMeter(meterPeaks.data(), meterRms.data(), channels);
  float sum = 0.0f;
  for (uint32_t c = 0; c < n; ++c) {
    if (meterPeaks[c] > 0.001f) sum += meterPeaks[c];
  }
  return sum / static_cast<float>(channels);
}

bool CAudio::SeekSeconds(double seconds) {
  if (!streamOpen || !sourceVoice) return false;
  if (!(seconds > 0.0)) seconds = 0.0;  // negative and NaN times are the start
  const int64_t total = stream->TotalFrames();
  const double target = seconds * static_cast<double>(sampleRate);
  if (total >= 0 && target >= static_cast<double>(total)) {
    baseFrames = static_cast<uint64_t>(total);
    streamAtEnd = true;
    return true;
  }
  if (stream->SeekSeconds(seconds)) {
    const int64_t at = stream->TellFrames();
    baseFrames = at > 0 ? static_cast<uint64_t>(at) : 0;
    return true;
  }
  // A stream that cannot be positioned would play from the wrong place: it stays silent.
  baseFrames = static_cast<uint64_t>(std::max(0.0, std::floor(target)));
  streamAtEnd = true;
  return false;
}
