#include "game/level/level_audio.h"

#include "devices/audio/sound_player.h"

namespace {

SfxVoice* VoiceOf(int32_t handle) {
  if (!g_SoundPlayer || handle <= 0) return nullptr;
  for (SfxVoice& v : g_SoundPlayer->voices) {
    if (v.playHandle == handle && v.sourceVoice) return &v;
  }
  return nullptr;
}

int32_t PlayEffect(int32_t id, float frequencyRatio, float volume) {
  if (!g_SoundPlayer || id < 0) return -1;
  return g_SoundPlayer->Play(static_cast<uint32_t>(id), frequencyRatio, volume);
}

void SetEffectVolume(int32_t handle, float volume) {
  if (!g_SoundPlayer) return;
  if (volume <= 0.0f) {
    g_SoundPlayer->FadeOut(handle, 50.0f);
  } else if (SfxVoice* v = VoiceOf(handle)) {
    v->sourceVoice->SetVolume(volume);
  }
}

float EffectBaseRatio(int32_t handle) {
  const SfxVoice* v = VoiceOf(handle);
  return v ? v->frequencyRatio : -1.0f;
}

void SetEffectRatio(int32_t handle, float ratio) {
  if (SfxVoice* v = VoiceOf(handle)) v->sourceVoice->SetFrequencyRatio(ratio);
}

void UpdateEffects() {
  if (g_SoundPlayer) g_SoundPlayer->Update();
}

}  // namespace

SoundPlayerSound::SoundPlayerSound() {
  play = PlayEffect;
  setVolume = SetEffectVolume;
  baseRatio = EffectBaseRatio;
  setRatio = SetEffectRatio;
  update = UpdateEffects;
}
