#include "devices/audio/sound_player.h"

#include <cstdio>

#include "core/log.h"
#include "core/utils.h"
#include "devices/audio/wave_file.h"
#include "platform/clock.h"
#include "platform/console.h"

SoundPlayer* g_SoundPlayer = nullptr;

namespace {

std::string HexCode(int32_t code) {
  char text[32];
  std::snprintf(text, sizeof text, "%#X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

void SoundSlot::Clear() {
  format = {};
  byteCount = 0;
  data.clear();
  data.shrink_to_fit();
  loaded = false;
}

void SfxVoice::Reset() {
  sourceVoice.reset();
  bufferData = nullptr;
  bufferBytes = 0;
  bufferEndOfStream = false;
  inUse = false;
  playHandle = 0;
  fading = false;
  fadeDuration = 50.0f;
  frequencyRatio = 1.0f;
  fadeStart = 0;
}

SoundPlayer::SoundPlayer() {
  int32_t error = 0;
  engine = platform::audio::Engine::Create(&error);
  if (!engine) {
    platform::ConsoleWriteLine("Failed to init XAudio2 engine: " + HexCode(error));
    return;
  }
  if (!engine->CreateMastering(&error)) {
    platform::ConsoleWriteLine("Failed creating mastering voice: " + HexCode(error));
    engine.reset();
    return;
  }
  hasMastering = true;
}

SoundPlayer::~SoundPlayer() {
  // Voices end with the engine; only then are the sounds they read freed.
  engine.reset();
  hasMastering = false;
  for (SfxVoice& v : voices) v.Reset();
  for (SoundSlot& s : slots) s.Clear();
}

bool SoundPlayer::LoadWave(uint32_t id, std::u16string_view path) {
  loadCount.fetch_add(1);
  wavefile::WaveData wave;
  if (id >= kSlotCount || wavefile::Load(path, &wave) != wavefile::Result::kOk) {
    Log(0, u"Could Not Open:" + std::u16string(path));
    return false;
  }
  SoundSlot& slot = slots[id];
  slot.format = wave.format;
  slot.byteCount = static_cast<uint32_t>(wave.data.size());
  slot.data = std::move(wave.data);
  slot.loaded = true;
  return true;
}

bool SoundPlayer::LoadThemeSound(uint32_t id, std::u16string_view relativePath, std::u16string_view themeFolder) {
  const std::u16string base = GetCurrentFolder() + u"/";
  std::u16string path = base + std::u16string(themeFolder) + u"static/" + std::u16string(relativePath);
  if (LoadWave(id, path)) return true;
  loadCount.fetch_sub(1);
  Log(0, u"ERROR! Could Not Load SFX:" + path);
  if (themeFolder == u"themes/default/") return false;
  path = base + u"themes/default/static/" + std::u16string(relativePath);
  Log(0, u"Loading Default:" + path);
  if (LoadWave(id, path)) return true;
  Log(0, u"ERROR! Could Not Load SFX:" + path);
  return false;
}

int SoundPlayer::AcquireVoice() {
  for (SfxVoice& v : voices) {
    if (v.inUse && (!v.sourceVoice || v.sourceVoice->GetState().buffersQueued == 0)) v.Reset();
  }
  for (int i = 0; i < kVoiceCount; ++i) {
    if (!voices[i].inUse) return i;
  }
  int oldest = 0;
  for (int i = 1; i < kVoiceCount; ++i) {
    if (voices[i].playHandle < voices[oldest].playHandle) oldest = i;
  }
  voices[oldest].Reset();  // the source goes without being stopped first
  return oldest;
}

int32_t SoundPlayer::Play(uint32_t id, float frequencyRatio, float volume) {
  if (id >= kSlotCount || !slots[id].loaded) return -1;
  if (!engine || !hasMastering) return -1;
  const SoundSlot& slot = slots[id];
  SfxVoice& v = voices[AcquireVoice()];
  v.inUse = true;
  v.sourceVoice = engine->CreateSourceVoice(slot.format, kMaxFrequencyRatio);
  if (!v.sourceVoice) {
    v.Reset();
    return -1;
  }
  v.bufferData = slot.data.data();
  v.bufferBytes = slot.byteCount;
  v.bufferEndOfStream = true;
  if (!v.sourceVoice->Submit(v.bufferData, v.bufferBytes, v.bufferEndOfStream)) {
    v.Reset();
    return -1;
  }
  v.frequencyRatio = frequencyRatio;
  v.sourceVoice->SetFrequencyRatio(frequencyRatio);
  v.sourceVoice->SetVolume(volume);
  v.sourceVoice->Start();
  v.playHandle = nextPlayHandle++;
  return v.playHandle;
}

bool SoundPlayer::FadeOut(int32_t handle, float durationMs) {
  if (handle <= 0) return false;  // 0 marks idle voices, -1 a sound that never played
  for (SfxVoice& v : voices) {
    if (v.playHandle != handle) continue;
    if (v.sourceVoice) {
      v.fadeDuration = durationMs;
      v.fading = true;
      v.fadeStart = platform::TimeGetTime();
    }
    return true;
  }
  return false;
}

bool SoundPlayer::Update() {
  for (SfxVoice& v : voices) {
    if (!v.sourceVoice || !v.fading) continue;
    const uint32_t elapsed = platform::TimeGetTime() - v.fadeStart;
    if (static_cast<float>(elapsed) < v.fadeDuration) {
      v.sourceVoice->SetVolume(1.0f - static_cast<float>(elapsed) / v.fadeDuration);
    } else {
      v.sourceVoice->SetVolume(0.0f);
      v.fading = false;
    }
  }
  return true;
}

bool SoundPlayer::ApplyMasterVolume() {
  if (engine && hasMastering) engine->SetMasterVolume(masterVolume);
  appliedMasterVolume = masterVolume;
  return true;
}

bool HiResTimer::Start(bool wishCounter) {
  // The performance counter always exists here; the wish alone decides.
  if (wishCounter) {
    frequency = platform::PerformanceFrequency();
    usesCounter = true;
    startCount = platform::PerformanceCounter();
    lastCount = startCount;
    secondsPerTick = 1.0 / static_cast<double>(frequency);
    return true;
  }
  usesCounter = false;
  startMs = platform::TimeGetTime();
  lastMs = startMs;
  secondsPerTick = 0.001;
  frequency = 1000;
  return false;
}
