#include "song/song.h"

#include "core/log.h"
#include "core/md5.h"
#include "platform/paths.h"

namespace {

std::u16string WithSlash(std::u16string folder) {
  folder = platform::ToSlashes(folder);
  if (!folder.empty() && folder.back() != u'/') folder.push_back(u'/');
  return folder;
}

// Difficulty letters of the per-difficulty tracks of keys_adv and keys_real.
constexpr int32_t kPerDifficultyTracks = 4;

}  // namespace

Song::~Song() { FreeParts(); }

bool Song::FreeParts() {
  if (info) info->Clear();
  info.reset();
  scores.reset();
  if (chart) MidiFile::Delete(chart.release());
  audio.reset();
  return true;
}

bool Song::LoadInfo() {
  if (info) info->Clear();
  info = std::make_unique<SongInfo>();
  info->ReadIni(folder);
  return true;
}

bool Song::LoadScores() {
  scores = std::make_unique<ScoreTable>();
  scores->Load(folder);
  return true;
}

bool Song::LoadChart(bool stopWhenComplete) {
  if (chart) MidiFile::Delete(chart.release());
  auto fresh = std::make_unique<MidiFile>();
  const std::u16string path = WithSlash(folder) + u"notes.mid";
  if (!fresh->Load(stopWhenComplete, path)) {
    LogEx(0, "Could not locate 'notes.mid' in song folder");
    MidiFile::Delete(fresh.release());
    if (scores) scores->chartHash.clear();
    return false;
  }
  if (scores) {
    const std::string md5 = GetFileMD5(path);
    scores->chartHash = md5.size() == 32 ? md5 : std::string();
  }
  chart = std::move(fresh);
  return true;
}

bool Song::LoadAudio(const MixerSettings* mix, bool preview) {
  audio.reset();
  std::unique_ptr<SongStems> stems = MakeSongStems();
  if (!stems) {
    LogEx(0, "No audio back end for song stems");
    return false;
  }
  if (mix) stems->ApplyMixer(mix);
  stems->SetPreview(preview);
  if (!stems->LoadStems(WithSlash(folder))) return false;
  audio = std::move(stems);
  return true;
}

bool Song::ComputeAvailability() {
  if (!scores || !chart) return false;
  auto& av = scores->availability;
  for (int32_t i = 0; i < kInstrumentCount; ++i) {
    Availability& a = av[static_cast<size_t>(i)];
    const int32_t track = chart->FindTrack(i, 0);
    if (track < 0) {
      // The record is a cache of this chart alone: nothing of an older chart stays.
      a = Availability();
      continue;
    }
    a.present = 1;
    const auto& flags = chart->tracks[static_cast<size_t>(track)].difficultyPresent;
    for (size_t d = 0; d < 5; ++d) a.difficulty[d] = flags[d] ? 1 : 0;
  }

  for (Instrument i : {Instrument::bass, Instrument::guitar, Instrument::guitar_rhythm, Instrument::guitar_coop}) {
    Availability& a = av[static_cast<size_t>(InstrumentIndex(i))];
    if (a.difficulty[3]) a.difficulty[4] = 1;
  }
  for (Instrument i : {Instrument::keys, Instrument::dance}) {
    Availability& a = av[static_cast<size_t>(InstrumentIndex(i))];
    if (a.difficulty[3]) a.difficulty[4] = 0;
  }

  const Availability& drums = av[static_cast<size_t>(InstrumentIndex(Instrument::drums))];
  if (drums.present) av[static_cast<size_t>(InstrumentIndex(Instrument::drums_adv))].present = 1;

  for (Instrument i : {Instrument::keys_adv, Instrument::keys_real}) {
    Availability& a = av[static_cast<size_t>(InstrumentIndex(i))];
    for (int32_t d = 0; d < kPerDifficultyTracks; ++d) {
      if (chart->FindTrack(i, d) < 0) continue;
      a.present = 1;
      a.difficulty[static_cast<size_t>(d)] = 1;
      a.difficulty[4] = 0;
    }
  }

  auto allButExtra = [](Availability& a) {
    a.present = 1;
    for (size_t d = 0; d < 4; ++d) a.difficulty[d] = 1;
    a.difficulty[4] = 0;
  };
  if (chart->FindTrack(Instrument::vocals, 0) >= 0) allButExtra(av[static_cast<size_t>(InstrumentIndex(Instrument::vocals))]);
  for (int32_t part = 0; part < 3; ++part) {
    if (chart->FindTrack(Instrument::vocals_harm, part) >= 0) {
      allButExtra(av[static_cast<size_t>(InstrumentIndex(Instrument::vocals_harm))]);
      break;
    }
  }

  scores->Save();
  return true;
}

bool Song::Load(std::u16string songFolder) {
  folder = WithSlash(std::move(songFolder));
  return LoadInfo() && LoadScores() && LoadChart(true) && ComputeAvailability();
}
