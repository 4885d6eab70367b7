#include "devices/plug/song_audio_stems.h"

#include <mutex>

namespace devices {

bool SongAudioStems::ApplyMixer(const MixerSettings* mix) {
  audio_.ApplyMixer(mix);
  return mix != nullptr;
}

void SongAudioStems::SetPreview(bool preview) {
  std::lock_guard<std::recursive_mutex> lock(audio_.mutex);
  audio_.menuMusic = preview;
}

bool SongAudioStems::LoadStems(std::u16string_view folder) {
  std::lock_guard<std::recursive_mutex> lock(audio_.mutex);
  audio_.LoadStems(folder);
  if (audio_.stems) {
    for (int slot = 0; slot < SongAudio::kStemCount; ++slot) {
      if (audio_.stems[slot].ready) return true;
    }
  }
  audio_.ReleaseVoices();
  return false;
}

std::unique_ptr<SongStems> MakeSongAudioStems() { return std::make_unique<SongAudioStems>(); }

}  // namespace devices
