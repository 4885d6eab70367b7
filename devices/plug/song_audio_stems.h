// The songs' stem sets as the song data loads them, played by the devices layer's
// SongAudio. Installed as the song data's stem factory at start-up.
#pragma once

#include <memory>
#include <string_view>

#include "devices/audio/song_audio.h"
#include "song/song_stems.h"

namespace devices {

class SongAudioStems : public SongStems {
 public:
  // Keeps the settings for the stems still to be loaded (and applies them to any
  // loaded already). False without settings.
  bool ApplyMixer(const MixerSettings* mix) override;
  // The flag the song's loader passes: set for the menus' jukebox, which plays at
  // the menu music volume without the "x" vocal stems and the crowd.
  void SetPreview(bool preview) override;
  // False, with nothing left open, when not one stem of the folder can be played.
  bool LoadStems(std::u16string_view folder) override;
  SongAudio* Audio() override { return &audio_; }

 private:
  SongAudio audio_;
};

std::unique_ptr<SongStems> MakeSongAudioStems();

}  // namespace devices
