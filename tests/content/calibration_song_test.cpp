// The calibration song the build ships in "data/calibrator/": song select finds it
// there, its song.ini flags it as the calibrator, and its chart carries a note on
// every beat for the drums, bass and guitar.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/utils.h"
#include "song/instrument.h"
#include "song/midi_file.h"
#include "song/song_info.h"

namespace {

std::string CalibratorFolder() {
  const char* run = std::getenv("VELORIN_RUN_DIR");
  return std::string(run ? run : "") + "/data/calibrator/calibration";
}

TEST(CalibrationSong, IsFlaggedAndLoadsWithANoteOnEveryBeat) {
  const std::string folder = CalibratorFolder();
  ASSERT_TRUE(std::filesystem::exists(folder + "/song.ogg")) << folder;
  SongInfo info;
  ASSERT_TRUE(info.ReadIni(ToWide(folder + "/")));
  EXPECT_TRUE(info.vl_calibrator);
  MidiFile chart;
  ASSERT_TRUE(chart.Load(false, folder + "/notes.mid"));
  for (Instrument kind : {Instrument::drums, Instrument::bass, Instrument::guitar}) {
    const int index = chart.FindTrack(kind, 0);
    ASSERT_GE(index, 0) << static_cast<int>(kind);
    int expertNotes = 0;
    uint64_t tick = 0;
    for (const MidiEvent* e = chart.tracks[static_cast<size_t>(index)].events; e; e = e->next()) {
      tick += e->delta();
      if (e->kind() != kMidiNoteOn || e->data1() < 96 || e->data1() > 100) continue;
      // Every expert note sits on a beat (500 ms apart at 120 beats per minute).
      const double ms = chart.TickToMs(tick);
      EXPECT_NEAR(std::fmod(ms, 500.0), 0.0, 0.5) << ms;
      ++expertNotes;
    }
    EXPECT_EQ(expertNotes, 32);
  }
}

}  // namespace
