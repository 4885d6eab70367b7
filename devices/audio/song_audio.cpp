#include "devices/audio/song_audio.h"

#include <vector>

#include "core/log.h"
#include "platform/clock.h"
#include "platform/paths.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Stem files of slots 0..12, and the second choice of the vocal slots.
const char16_t* const kStemFiles[13] = {
    u"drums.ogg",   u"rhythm.ogg",  u"guitar.ogg",  u"keys.ogg",    u"vocals.ogg",
    u"vocals_1.ogg", u"vocals_2.ogg", u"drums_1.ogg", u"drums_2.ogg", u"drums_3.ogg",
    u"drums_4.ogg", u"song.ogg",    u"crowd.ogg",
};
const char16_t* const kVocalFallbacks[3] = {u"vocalsx.ogg", u"vocals_1x.ogg", u"vocals_2x.ogg"};

bool IsDrumSlot(int slot) { return slot == 0 || (slot >= 7 && slot <= 10); }

enum class Part { kDrums, kBass, kGuitar, kKeys, kNone };

Part PartOf(int32_t instrument) {
  switch (instrument) {
    case 0:
    case 5:
    case 13:
      return Part::kDrums;
    case 1:
    case 6:
    case 10:
      return Part::kBass;
    case 2:
    case 7:
    case 11:
      return Part::kGuitar;
    case 3:
    case 8:
    case 14:
      return Part::kKeys;
    default:
      return Part::kNone;
  }
}

}  // namespace

SongAudio::~SongAudio() { ReleaseVoices(); }

void SongAudio::Delete(SongAudio* audio) { delete audio; }

const MixerSettings& SongAudio::Mix() const { return mixer ? *mixer : g_Settings.mixer; }

float SongAudio::MusicVolume() const {
  const MixerSettings& m = Mix();
  const int32_t percent = (!menuMusic && !preview) ? m.GAMEMUSICVOL : m.MENUMUSICVOL;
  return static_cast<float>(percent) / 100.0f;
}

bool SongAudio::StemHasVoice(int slot) const { return stems && stems[slot].sourceVoice != nullptr; }

bool SongAudio::ReleaseVoices() {
  Lock lock(mutex);
  if (stems) {
    for (int i = 0; i < kStemCount; ++i) {
      CAudio& stem = stems[i];
      if (stem.sourceVoice) stem.sourceVoice->Stop();
      stem.playing = false;
      stem.paused = false;
    }
    // Array destruction runs from the last stem to the first, so the stem that owns
    // the engine goes last.
    stems.reset();
  }
  playing = false;
  return true;
}

bool SongAudio::LoadStems(std::u16string_view folderIn) {
  Lock lock(mutex);
  const std::u16string where(folderIn);  // the argument may be our own folder field
  ReleaseVoices();
  folder = where;
  stems = std::make_unique<CAudio[]>(kStemCount);
  if (stems[0].CreateEngine()) {
    for (int i = 1; i < kStemCount; ++i) {
      stems[i].engine = stems[0].engine;
      stems[i].ownsEngine = false;
    }
    for (int slot = 0; slot < 12; ++slot) {
      const bool opened = stems[slot].Open(folder + kStemFiles[slot]);
      if (!opened && slot >= 4 && slot <= 6 && !menuMusic) stems[slot].Open(folder + kVocalFallbacks[slot - 4]);
    }
    if (!preview && !menuMusic && Mix().CROWD) stems[kCrowdSlot].Open(folder + kStemFiles[kCrowdSlot]);
  }

  int readyCount = 0;
  for (int slot = 0; slot < 12; ++slot) readyCount += stems[slot].ready ? 1 : 0;
  guitarOnly = readyCount == 1 && stems[2].ready;

  drumSplitMode = 0;
  if (stems[7].ready) {
    if (stems[8].ready && stems[9].ready && stems[10].ready) {
      drumSplitMode = 1;
    } else if (stems[8].ready && stems[9].ready) {
      drumSplitMode = 2;
    } else if (stems[8].ready) {
      drumSplitMode = 3;
    }
  }
  if (drumSplitMode != 0) {
    stems[0].Close();  // split drums replace the single drum stem
  }

  songLength = 0.0f;
  clockStem = 0;
  double longest = 0.0;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].ready && stems[slot].totalLength > longest) {
      longest = stems[slot].totalLength;
      clockStem = slot;
    }
  }
  songLength = static_cast<float>(longest);
  lastAveragedMs_ = 0.0;
  if (mixer && !mixerHold) ApplyMixerLocked(mixer);
  playing = false;
  return true;
}

bool SongAudio::LoadPreview(const MixerSettings* mix, std::u16string_view folderIn, double previewStartMs) {
  Lock lock(mutex);
  const std::u16string where(folderIn);
  ReleaseVoices();
  folder = where;
  mixer = mix;
  preview = true;
  previewFile = false;
  previewStart = previewStartMs;

  const std::u16string previewPath = folder + u"preview.ogg";
  if (Mix().SONGPREVIEWTYPE == 1 && platform::IsRegularFile(platform::PathToNative(previewPath))) {
    stems = std::make_unique<CAudio[]>(kStemCount);
    if (stems[0].CreateEngine()) {
      for (int i = 1; i < kStemCount; ++i) {
        stems[i].engine = stems[0].engine;
        stems[i].ownsEngine = false;
      }
      if (!stems[kPreviewSlot].Open(previewPath)) {
        Log(0, u"Tried but FAILED to Load:" + previewPath);
        ReleaseVoices();
        return false;
      }
      previewFile = true;
      songLength = 0.0f;
      clockStem = 0;
      lastAveragedMs_ = 0.0;
      if (mixer) ApplyMixerLocked(mixer);
      return true;
    }
  }
  LoadStems(folder);
  SeekToPreviewStart();
  mixerHold = true;
  if (mixer) ApplyMixerLocked(mixer);
  return true;
}

bool SongAudio::SeekToPreviewStart() {
  Lock lock(mutex);
  if (!stems) return false;
  const double seconds = previewStart == -1.0 ? static_cast<double>(songLength) * 200.0 / 1000.0 : previewStart / 1000.0;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].sourceVoice) stems[slot].SeekSeconds(seconds);
  }
  lastAveragedMs_ = seconds > 0.0 ? seconds * 1000.0 : 0.0;
  return true;
}

bool SongAudio::Update() {
  Lock lock(mutex);
  return UpdateLocked(true);
}

bool SongAudio::UpdateLocked(bool allowReload) {
  if (!stems) return false;
  if (mixer && !mixerHold) ApplyMixerLocked(mixer);
  for (int slot = 0; slot < kStemCount; ++slot) stems[slot].Update();

  bool fadeEnded = false;
  for (int slot = 0; slot < kStemCount; ++slot) fadeEnded = fadeEnded || stems[slot].fadeOutDone;
  if (fadeEnded) {
    for (int slot = 0; slot < kStemCount; ++slot) {
      CAudio& stem = stems[slot];
      if (!stem.HasMastering() || !stem.sourceVoice) continue;
      if (stem.fadeOutActive && !stem.paused) {
        stem.sourceVoice->Stop();
        stem.paused = true;
      }
      stem.fadeOutDone = false;
      stem.fadeOutActive = false;
      stem.fadeInActive = false;
      stem.engine->SetMasterVolume(0.0f);
      stem.silenced = true;
    }
  }

  // A finished preview starts over. The reload pumps once itself, but never reloads
  // again from inside: a folder with nothing playable would otherwise recurse forever.
  if (allowReload && preview && IsFinished()) {
    const MixerSettings* mix = mixer;
    const std::u16string where = folder;
    const double start = previewStart;
    if (LoadPreview(mix, where, start)) {
      UpdateLocked(false);
      if (!(previewFile && Mix().SONGPREVIEWTYPE != 2)) FadeIn(true);
      Start();
    }
  }
  return true;
}

bool SongAudio::Start() {
  Lock lock(mutex);
  if (!stems) return false;
  std::vector<platform::audio::SourceVoice*> voices;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].sourceVoice) voices.push_back(stems[slot].sourceVoice.get());
  }
  if (!voices.empty() && stems[0].engine) stems[0].engine->StartVoices(voices);
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    if (!stem.sourceVoice) continue;
    stem.playing = stem.sourceVoice->GetState().buffersQueued > 0;
    stem.paused = false;
    stem.endOfStreamSubmitted = false;
    stem.finished = false;
    stem.ended = false;
  }
  playing = true;
  return true;
}

bool SongAudio::Stop() {
  Lock lock(mutex);
  if (!stems) return false;
  std::vector<platform::audio::SourceVoice*> voices;
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    if (stem.sourceVoice) voices.push_back(stem.sourceVoice.get());
    stem.playing = false;
    stem.paused = false;
  }
  if (!voices.empty() && stems[0].engine) stems[0].engine->StopVoices(voices);
  playing = false;
  return true;
}

bool SongAudio::Pause() {
  Lock lock(mutex);
  if (!stems) return false;
  std::vector<platform::audio::SourceVoice*> voices;
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    if (stem.sourceVoice && !stem.paused) {
      voices.push_back(stem.sourceVoice.get());
      stem.paused = true;
    }
  }
  if (!voices.empty() && stems[0].engine) stems[0].engine->StopVoices(voices);
  playing = false;
  return true;
}

bool SongAudio::Resume() {
  Lock lock(mutex);
  if (!stems) return false;
  std::vector<platform::audio::SourceVoice*> voices;
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    if (stem.sourceVoice && stem.paused) {
      voices.push_back(stem.sourceVoice.get());
      stem.paused = false;
    }
  }
  if (!voices.empty() && stems[0].engine) stems[0].engine->StartVoices(voices);
  playing = true;
  return true;
}

void SongAudio::FadeIn(bool force) {
  Lock lock(mutex);
  if (stems) {
    const uint32_t now = platform::TimeGetTime();
    for (int slot = 0; slot < kStemCount; ++slot) {
      CAudio& stem = stems[slot];
      if (!(stem.silenced || force) || !stem.HasMastering() || !stem.sourceVoice) continue;
      stem.engine->SetMasterVolume(0.0f);
      stem.fadeInTarget = MusicVolume();
      stem.silenced = false;
      stem.fadeInActive = true;
      stem.fadeOutActive = false;
      stem.fadeDuration = 1000;
      stem.fadeStart = now;
    }
  }
  mixerHold = false;
}

void SongAudio::FadeOut() {
  Lock lock(mutex);
  if (stems) {
    const uint32_t now = platform::TimeGetTime();
    for (int slot = 0; slot < kStemCount; ++slot) {
      CAudio& stem = stems[slot];
      if (stem.silenced || !stem.HasMastering() || !stem.sourceVoice) continue;
      stem.fadeOutStartVolume = stem.engine->GetMasterVolume();
      stem.fadeStart = now;
      stem.fadeDuration = 1000;
      stem.fadeOutActive = true;
      stem.fadeInActive = false;
      stem.silenced = true;
    }
  }
  mixerHold = true;
}

bool SongAudio::ApplyMixer(const MixerSettings* mix) {
  Lock lock(mutex);
  return ApplyMixerLocked(mix);
}

bool SongAudio::ApplyMixerLocked(const MixerSettings* mix) {
  mixer = mix;
  if (!stems || !mix) return false;
  const MixerSettings& m = *mix;
  if (stems[0].HasMastering()) stems[0].engine->SetMasterVolume(MusicVolume());

  bool anySolo = false;
  for (int slot = 0; slot < kMixerStemCount; ++slot) anySolo = anySolo || m.stemSolo[slot];
  for (int slot = 0; slot < kMixerStemCount; ++slot) {
    CAudio& stem = stems[slot];
    // Mute, the drums of a play-along drummer and solo are folded into one level
    // before it is sent, so a voice never gets two levels in one pass.
    const bool silent = m.stemMute[slot] || (IsDrumSlot(slot) && m.DRUMPLAYALONG && m.drumPlayer) ||
                        (anySolo && !m.stemSolo[slot]);
    stem.baseVolume = silent ? 0.0f : static_cast<float>(m.stemVolume[slot]) / 100.0f;
    const float volume = stem.mixFactor * stem.baseVolume;
    if (stem.sourceVoice && volume != stem.appliedVolume) {
      stem.sourceVoice->SetVolume(volume);
      stem.appliedVolume = volume;
    }
  }
  return true;
}

bool SongAudio::AddPlayer(int32_t instrument) {
  Lock lock(mutex);
  if (!stems) return false;
  switch (PartOf(instrument)) {
    case Part::kDrums:
      for (int slot : {0, 7, 8, 9, 10}) ++stems[slot].playerCount;
      break;
    case Part::kBass:
      ++stems[1].playerCount;
      break;
    case Part::kGuitar:
      if (guitarOnly) return false;
      ++stems[2].playerCount;
      break;
    case Part::kKeys:
      ++stems[3].playerCount;
      break;
    case Part::kNone:
      break;
  }
  return true;
}

bool SongAudio::MarkAudible(int32_t instrument, const uint8_t flags[7]) {
  Lock lock(mutex);
  if (!stems || !flags) return false;
  auto mark = [&](int slot, int flag) {
    if (flags[flag]) ++stems[slot].audibleCount;
  };
  switch (PartOf(instrument)) {
    case Part::kDrums:
      switch (drumSplitMode) {
        case 0:
          // Without a split a lone "drums_1.ogg" plays beside (or instead of)
          // "drums.ogg"; it follows the drummer like the drum stem does.
          mark(0, 0);
          mark(7, 0);
          break;
        case 1:
          mark(7, 1), mark(8, 2), mark(9, 3), mark(10, 4);
          break;
        case 2:
          mark(7, 1), mark(8, 2), mark(9, 5);
          break;
        case 3:
          mark(7, 1), mark(8, 6);
          break;
        default:
          break;
      }
      break;
    case Part::kBass:
      mark(1, 0);
      break;
    case Part::kGuitar:
      if (guitarOnly) return false;
      mark(2, 0);
      break;
    case Part::kKeys:
      mark(3, 0);
      break;
    case Part::kNone:
      break;
  }
  return true;
}

bool SongAudio::UpdateMix() {
  Lock lock(mutex);
  if (!stems) return false;
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    if (stem.playerCount <= 0) continue;
    stem.mixFactor = static_cast<float>(stem.audibleCount) / static_cast<float>(stem.playerCount);
    const float volume = stem.baseVolume * stem.mixFactor;
    if (stem.sourceVoice && volume != stem.appliedVolume) {
      stem.sourceVoice->SetVolume(volume);
      stem.appliedVolume = volume;
    }
  }
  return true;
}

bool SongAudio::SetSpeed(double ratio) {
  Lock lock(mutex);
  if (!stems) return false;
  std::vector<platform::audio::SourceVoice*> voices;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].sourceVoice) voices.push_back(stems[slot].sourceVoice.get());
  }
  if (!voices.empty() && stems[0].engine) stems[0].engine->SetFrequencyRatios(voices, static_cast<float>(ratio));
  return true;
}

bool SongAudio::IsFinished() {
  Lock lock(mutex);
  if (!stems) return false;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].ready && !stems[slot].ended) return false;
  }
  return true;
}

double SongAudio::GetPositionMs(bool average) {
  Lock lock(mutex);
  if (!stems) return 0.0;
  if (!average) {
    CAudio& clock = stems[clockStem];
    if (clock.ended) return clock.totalLength * 1000.0;
    if (!clock.sourceVoice) return 0.0;
    return clock.GetPositionMs();
  }
  double sum = 0.0;
  int count = 0;
  bool anyRunning = false;
  for (int slot = 0; slot < kStemCount; ++slot) {
    CAudio& stem = stems[slot];
    // A stem that has played its last buffer stands still: it is left out.
    if (!stem.ready || stem.ended || stem.finished) continue;
    anyRunning = true;
    const double ms = stem.GetPositionMs();
    if (ms > 0.0 && ms <= CAudio::kPositionLimitMs) {
      sum += ms;
      ++count;
    }
  }
  if (count > 0) {
    lastAveragedMs_ = sum / count;
    return lastAveragedMs_;
  }
  if (!anyRunning) return static_cast<double>(songLength) * 1000.0;
  return lastAveragedMs_;
}

bool SongAudio::SeekMs(double ms) {
  Lock lock(mutex);
  if (!stems) return false;
  const std::u16string where = folder;
  LoadStems(where);
  const double seconds = ms > 0.0 ? ms / 1000.0 : 0.0;
  for (int slot = 0; slot < kStemCount; ++slot) {
    if (stems[slot].ready && stems[slot].sourceVoice) stems[slot].SeekSeconds(seconds);
  }
  lastAveragedMs_ = seconds * 1000.0;
  UpdateLocked(true);
  Start();
  return true;
}
