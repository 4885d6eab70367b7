// The RIFF WAVE reader of the sound effects from any bytes: it must stay inside the
// buffer and either refuse the bytes or give a format a voice can play with whole
// frames of data taken from the file; what it accepts then plays through a voice of
// the loopback device without harm.
#include <cstdint>
#include <memory>
#include <string_view>

#include "devices/audio/wave_file.h"
#include "platform/audio/audio.h"

namespace {

platform::audio::Engine* LoopbackEngine() {
  static std::unique_ptr<platform::audio::Engine> engine = [] {
    std::unique_ptr<platform::audio::Engine> e;
    if (platform::audio::testing::UseLoopback(44100)) e = platform::audio::Engine::Create();
    if (e && !e->CreateMastering()) e.reset();
    return e;
  }();
  return engine.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::audio::Engine* engine = LoopbackEngine();
  if (!engine) __builtin_trap();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  wavefile::WaveData wave;
  wave.data.assign(3, 0xEE);  // a reused record: nothing of an earlier sound may stay
  if (wavefile::Parse(bytes, &wave) != wavefile::Result::kOk) return 0;

  const platform::audio::WaveFormat& f = wave.format;
  if (!platform::audio::IsPlayable(f)) __builtin_trap();
  if (f.blockAlign == 0 || wave.data.size() % f.blockAlign != 0) __builtin_trap();
  if (wave.data.size() + 12 > size) __builtin_trap();  // the data came out of the file
  if (!wave.data.empty() && bytes.find(std::string_view(reinterpret_cast<const char*>(wave.data.data()),
                                                        wave.data.size())) == std::string_view::npos) {
    __builtin_trap();
  }

  std::unique_ptr<platform::audio::SourceVoice> voice = engine->CreateSourceVoice(f, 2.0f);
  if (!voice) __builtin_trap();  // a playable format always gets its voice
  if (!wave.data.empty()) {
    // The voice reads the data only while it plays; cut long sounds short.
    const uint32_t frames = static_cast<uint32_t>(wave.data.size() / f.blockAlign);
    const uint32_t bytesToPlay = (frames < 4096 ? frames : 4096) * f.blockAlign;
    if (!voice->Submit(wave.data.data(), bytesToPlay, true)) __builtin_trap();
    voice->Start();
    platform::audio::testing::Render(512);
    float peaks[platform::audio::kMaxChannels];
    float rms[platform::audio::kMaxChannels];
    const uint32_t n = voice->ReadMeter(peaks, rms, platform::audio::kMaxChannels);
    for (uint32_t c = 0; c < n; ++c) {
      if (!(peaks[c] >= 0.0f) || !(rms[c] >= 0.0f)) __builtin_trap();  // NaN fails too
    }
  }
  voice.reset();  // gone before the data it read
  return 0;
}
