// One opened song folder and the parts loaded from it: the "song.ini" record, the
// stored scores of "vl.dat", the "notes.mid" chart and the audio stems. Each loader
// replaces only its own part, so a screen loads just what it shows; a part that
// could not be loaded stays null and users check the pointer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "song/midi_file.h"
#include "song/score_table.h"
#include "song/song_info.h"
#include "song/song_stems.h"

struct MixerSettings;

// The program keeps this many `Song` slots for its whole run.
inline constexpr int32_t kSongSlotCount = 26;

class Song {
 public:
  Song() = default;
  ~Song();
  Song(const Song&) = delete;
  Song& operator=(const Song&) = delete;

  // Frees every part that is loaded. Always true.
  bool FreeParts();

  // A new record from the folder's "song.ini" (missing or unreadable files still
  // give a record). Always true.
  bool LoadInfo();
  // A new table from the folder's "vl.dat" (an empty one without the file). Always
  // true.
  bool LoadScores();
  // A new chart from "notes.mid"; the score table takes the file's MD5 (empty when
  // the chart is missing: "Could not locate 'notes.mid' in song folder", false).
  // With stopWhenComplete each track is decoded only until every difficulty it can
  // hold was seen.
  bool LoadChart(bool stopWhenComplete);
  // A new set of stems, mixed by `mix` when given; false (audio null) when no stems
  // could be loaded or no audio back end is installed.
  bool LoadAudio(const MixerSettings* mix, bool preview);
  // The score table's availability per instrument from the chart, then the table is
  // saved. False only when the chart or the table is not loaded.
  bool ComputeAvailability();
  // Information, scores, the chart (stopping when complete) and availability, up to
  // the first that fails.
  bool Load(std::u16string songFolder);

  std::u16string folder = u"NO PATH";  // the song folder, ending in '/'
  std::unique_ptr<SongInfo> info;
  std::unique_ptr<ScoreTable> scores;
  std::unique_ptr<MidiFile> chart;
  std::unique_ptr<SongStems> audio;
};
