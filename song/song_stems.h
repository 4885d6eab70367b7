// The audio stems of a `Song`, as the song's loaders see them. The stems are played
// by the devices layer, which sits above the song data and cannot be linked from
// here; it plugs in by installing a factory at start-up. Until one is installed a
// song simply has no audio.
#pragma once

#include <memory>
#include <string_view>

struct MixerSettings;
class SongAudio;  // the devices layer's stem player behind a set

class SongStems {
 public:
  virtual ~SongStems() = default;

  // Stem volumes, mute and solo from these settings (not owned; they must outlive
  // the set).
  virtual bool ApplyMixer(const MixerSettings* mix) = 0;
  // Whether the set plays as a preview (the song list's and the jukebox's use).
  virtual void SetPreview(bool preview) = 0;
  // Opens the stems of the folder (ending in '/'); false when none could be loaded.
  virtual bool LoadStems(std::u16string_view folder) = 0;
  // The player itself, for the code that starts, mixes and times it.
  virtual SongAudio* Audio() = 0;
};

using SongStemsFactory = std::unique_ptr<SongStems> (*)();

// Installs the factory every later `Song::LoadAudio` uses (null removes it). Done
// once at start-up, before any loader runs.
void SetSongStemsFactory(SongStemsFactory factory);
// A new, empty set from the installed factory; null when there is none.
std::unique_ptr<SongStems> MakeSongStems();
