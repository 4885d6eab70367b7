// Judging per instrument family: five-fret chords, anchoring, skipped chords, second
// strokes, pending strums, hammer-ons and taps; drums, pro strings, keys and dance;
// breaks, lane spans, the input mapping and the assist.
#include <gtest/gtest.h>

#include <vector>

#include "tests/game/game_fixtures.h"

using namespace gametest;
using testsupport::MidiFileBuilder;
using testsupport::MidiTrackBuilder;

namespace {

struct Note {
  uint32_t tick;
  int note;
  uint32_t length = 30;
  int velocity = 100;
  int channel = 1;
};

std::string Chart(const char* track, const std::vector<Note>& notes, bool energyNote = false) {
  MidiFileBuilder midi(480);
  TempoTrack(midi);
  MidiTrackBuilder& t = midi.Track(track);
  if (energyNote) t.Note(0, 116, 1);
  for (const Note& n : notes) t.Note(n.tick, n.note, n.length, n.velocity, n.channel);
  return midi.Build();
}

PlayerSpec PartOf(int kind, const char* track, int laneCount = 5) {
  PlayerSpec s;
  s.kind = kind;
  s.trackName = track;
  s.laneCount = laneCount;
  return s;
}

Step Press(double t, uint32_t code, int32_t value = 128) { return {t, code, true, value}; }
Step Release(double t, uint32_t code) { return {t, code, false, 0}; }

}  // namespace

// Ticks at 120 beats per minute: 480 ticks = 500 ms, so ms = tick x 25 / 24.
TEST(FiveFret, SingleNotesAllowLowerFretsOnly) {
  struct Case {
    std::vector<uint32_t> held;
    bool hit;
  };
  for (const Case& c : {Case{{2}, true}, Case{{1, 2}, true}, Case{{2, 3}, false}, Case{{1}, false}}) {
    // Lane 2 at 2000 ms; a later note keeps the time after it out of the closing break.
    Harness h(Chart("PART GUITAR", {{1920, 97}, {2880, 96}}));
    Player& p = h.Setup(PlayerSpec());
    std::vector<Step> script;
    for (uint32_t lane : c.held) script.push_back(Press(1990, lane));
    script.push_back(Press(2000, 12));
    h.Run(script, 2500);
    EXPECT_EQ(p.score().hits, c.hit ? 1 : 0) << c.held.size();
    EXPECT_EQ(p.score().overhits, c.hit ? 0 : 1);
  }
}

TEST(FiveFret, ChordsNeedEveryLaneAndNoOtherUnlessItSustains) {
  struct Case {
    const char* name;
    std::vector<uint32_t> held;
    bool hit;
  };
  for (const Case& c : {Case{"exact", {1, 3}, true}, Case{"extra lane", {1, 2, 3}, false}, Case{"part", {1}, false},
                        Case{"higher extra", {1, 3, 4}, false}}) {
    SCOPED_TRACE(c.name);
    Harness h(Chart("PART GUITAR", {{1920, 96}, {1920, 98}}));
    Player& p = h.Setup(PlayerSpec());
    std::vector<Step> script;
    for (uint32_t lane : c.held) script.push_back(Press(1990, lane));
    script.push_back(Press(2000, 12));
    h.Run(script, 2500);
    EXPECT_EQ(p.score().hits, c.hit ? 2 : 0);
  }
  // A held fret whose sustain is still in play may stay down for the next chord.
  Harness h(Chart("PART GUITAR", {{1440, 99, 1440}, {1920, 96}, {1920, 97}}));  // lane 4 from 1500 to 3000
  Player& p = h.Setup(PlayerSpec());
  h.Run({Press(1500, 4), Press(1500, 12), Press(1990, 1), Press(1995, 2), Press(2000, 12)}, 2100);
  EXPECT_EQ(p.score().hits, 3);
  EXPECT_TRUE(p.track.lanes[4].sustaining);  // pressing the next chord's frets kept it
  const float before = p.score().score;
  h.Run({Release(2500, 4)}, 2600);
  EXPECT_FALSE(p.track.lanes[4].sustaining);
  // Sustain points stop with the release: nothing more after 2500 ms.
  const float released = p.score().score;
  EXPECT_GT(released, before);
  h.Run({}, 3200);
  EXPECT_FLOAT_EQ(p.score().score, released);
}

TEST(FiveFret, SustainScoresBeatsHeldAndEndsOnRelease) {
  Harness h(Chart("PART GUITAR", {{1920, 96, 960}}));  // 2000 to 3000 ms: two beats
  Player& p = h.Setup(PlayerSpec());
  h.Run({Press(2000, 1), Press(2000, 12)}, 2500);
  EXPECT_NEAR(p.score().score, 25.0f + 1.0f * 5.0f, 1e-3);  // one beat held so far
  // Released at 2750: the release is read before that frame's sustain step, so the
  // last points are those of the frame at 2740 (1.48 beats).
  h.Run({Release(2750, 1)}, 4000);
  EXPECT_NEAR(p.score().score, 25.0f + 1.48f * 5.0f, 1e-3);
  EXPECT_FALSE(p.track.lanes[1].sustaining);
  EXPECT_EQ(h.board.sustainEnds, std::vector<int32_t>({1}));
}

TEST(FiveFret, StrummingALaterChordMissesTheEarlierOne) {
  // Lane 1 at 2000 ms and lane 2 at 2060 ms; lane 2 is strummed at 2050. With a
  // streak the candidates go in time order, without one by distance: either way the
  // note at 2000 is skipped and missed.
  for (bool streak : {false, true}) {
    SCOPED_TRACE(streak);
    std::vector<Note> notes = {{1920, 96}, {1978, 97}};
    if (streak) notes.insert(notes.begin(), Note{960, 98});
    Harness h(Chart("PART GUITAR", notes));
    Player& p = h.Setup(PlayerSpec());
    std::vector<Step> script;
    if (streak) script = {Press(1000, 3), Press(1000, 12), Release(1100, 3)};
    script.push_back(Press(2040, 2));
    script.push_back(Press(2050, 12));
    h.Run(script, 2300);
    EXPECT_EQ(p.score().misses, 1);
    EXPECT_EQ(p.score().hits, streak ? 2 : 1);
    EXPECT_TRUE(p.track.notes[streak ? 2 : 1].missed);
    ASSERT_EQ(h.net.OfCode(14).size(), 1u);
    EXPECT_EQ(h.net.OfCode(14)[0].a3, streak ? 1 : 0);
  }
}

TEST(FiveFret, SecondStrokeOfAChordIsForgivenOnce) {
  Harness h(Chart("PART GUITAR", {{1920, 96}, {3840, 96}}));
  Player& p = h.Setup(PlayerSpec());
  h.Run({Press(1990, 1), Press(2000, 12), Press(2030, 12)}, 2035);
  EXPECT_EQ(p.score().hits, 1);
  EXPECT_EQ(p.score().overhits, 0);
  h.Run({Press(2040, 12)}, 2100);
  EXPECT_EQ(p.score().overhits, 1);
}

TEST(FiveFret, PendingStrumWaitsForItsFrets) {
  {
    Harness h(Chart("PART GUITAR", {{1920, 98}, {2880, 96}}));  // lane 3 at 2000
    Player& p = h.Setup(PlayerSpec());
    h.Run({Press(1990, 12), Press(2010, 3)}, 2100);
    EXPECT_EQ(p.score().hits, 1);
    EXPECT_EQ(p.score().overhits, 0);
    EXPECT_EQ(p.autoStrumCount, 1);
    EXPECT_EQ(p.goodCount, 1);  // replayed in the frame at 2020
  }
  {
    Harness h(Chart("PART GUITAR", {{1920, 98}, {2880, 96}}));
    Player& p = h.Setup(PlayerSpec());
    h.Run({Press(1990, 12), Press(2050, 3)}, 2200);  // 60 ms later: too late
    EXPECT_EQ(p.score().hits, 0);
    EXPECT_EQ(p.score().overhits, 1);
    EXPECT_EQ(p.score().misses, 1);
  }
}

TEST(FiveFret, HammerOnsNeedTheStrumFlagAndTapsDoNot) {
  // Lane 1 at 2000 and lane 2 one tenth of a beat later: a hammer-on.
  for (bool first : {true, false}) {
    SCOPED_TRACE(first);
    Harness h(Chart("PART GUITAR", {{1920, 96}, {2016, 97}}));
    Player& p = h.Setup(PlayerSpec());
    std::vector<Step> script;
    if (first) script = {Press(2000, 1), Press(2000, 12)};
    script.push_back(Press(2100, 2));
    h.Run(script, 2400);
    EXPECT_EQ(p.score().hits, first ? 2 : 0);
  }
  MidiFileBuilder midi(480);
  TempoTrack(midi);
  midi.Track("PART GUITAR").ChartSysEx(1900, 3, 4, 1).Note(1920, 97, 30).ChartSysEx(2000, 3, 4, 0);
  Harness h(midi.Build());
  h.context.song.sysexSlider = true;
  Player& p = h.Setup(PlayerSpec());
  ASSERT_TRUE(p.track.notes[1].tap);
  h.Run({Press(2000, 2)}, 2200);
  EXPECT_EQ(p.score().hits, 1);
}

TEST(Drums, OldestNoteOfTheLaneFirstAndPadVariants) {
  Harness h(Chart("PART DRUMS", {{1920, 97}, {1997, 97}}));  // red at 2000 and 2080
  Player& p = h.Setup(PartOf(0, "PART DRUMS", 4));
  h.Run({Press(2040, 2)}, 2050);
  EXPECT_TRUE(p.track.notes[1].hit);
  EXPECT_FALSE(p.track.notes[2].hit);

  MidiFileBuilder midi(480);
  TempoTrack(midi);
  midi.Track("PART REAL_DRUMS_VL").ChartSysEx(1900, 3, 5, 1).Note(1920, 98, 30).Note(2880, 98, 30).Note(3840, 98, 30);
  const std::string bytes = midi.Build();
  struct Case {
    uint32_t assist;
    uint32_t code;
    bool hit;
  };
  // The hi-hat notes have variant 1: variant 3 is accepted for it, 2 is not, unless
  // the hi-hat assist is on.
  for (const Case& c : {Case{0, 27, true}, Case{0, 25, true}, Case{0, 26, false}, Case{0, 24, false}, Case{4, 26, true}}) {
    SCOPED_TRACE(testing::Message() << c.assist << " " << c.code);
    Harness hh(bytes);
    hh.context.song.sysexHighHatCtrl = true;
    PlayerOptions o;
    o.drumAssist = c.assist == 4 ? 3 : 0;
    Player& d = hh.Setup(PartOf(13, "PART REAL_DRUMS_VL", 7), o);
    ASSERT_EQ(d.track.notes[1].padVariant, 1);
    hh.Run({Press(2000, c.code)}, 2100);
    EXPECT_EQ(d.score().hits, c.hit ? 1 : 0);
  }
}

TEST(Drums, HiHatPedalIsNeverAnOverhit) {
  Harness h(Chart("PART REAL_DRUMS_VL", {{1920, 97}, {2880, 97}}));
  Player& p = h.Setup(PartOf(13, "PART REAL_DRUMS_VL", 7));
  h.Run({Press(2500, 11, 127), Press(2600, 3)}, 2700);
  EXPECT_EQ(p.score().overhits, 1);  // the yellow pad, not the pedal
  EXPECT_EQ(p.pedalState, 0);
}

TEST(ProStrings, ChordGroupsWaitForTheirPlucksAndFrets) {
  // Strings 1 and 2 at 2000 ms, frets 3 and 5.
  Harness h(Chart("PART REAL_GUITAR", {{1920, 96, 30, 103}, {1920, 97, 30, 105}}));
  Player& p = h.Setup(PartOf(7, "PART REAL_GUITAR", 6));
  // Frets are held on strings 1 and 2 (codes 41, 42); a stray pluck of string 3 is
  // parked and then belongs to the chord.
  h.Run({Press(1980, 41, 3), Press(1980, 42, 5), Press(2000, 37, 100), Press(2010, 35, 90)}, 2200);
  EXPECT_EQ(p.score().hits, 2);
  EXPECT_FLOAT_EQ(p.score().score, 120.0f);
  EXPECT_EQ(p.score().overhits, 0);
}

TEST(ProStrings, WrongFretIsParkedThenAnOverhit) {
  Harness h(Chart("PART REAL_GUITAR", {{1920, 96, 30, 103}, {2880, 96, 30, 103}}));
  Player& p = h.Setup(PartOf(7, "PART REAL_GUITAR", 6));
  h.Run({Press(1990, 41, 2), Press(2000, 35, 100)}, 2060);
  EXPECT_EQ(p.score().overhits, 0);  // still parked
  h.Run({}, 2070);
  EXPECT_EQ(p.score().overhits, 1);
  EXPECT_EQ(p.score().misses, 0);
  h.Run({}, 2200);
  EXPECT_EQ(p.score().misses, 1);
}

TEST(ProStrings, LeftyMirrorsFretsAndPlucks) {
  // String 6 (lane 9) at 2000 ms with fret 7.
  Harness h(Chart("PART REAL_GUITAR", {{1920, 101, 30, 107}}));
  PlayerOptions o;
  o.leftyGuitar = true;
  Player& p = h.Setup(PartOf(7, "PART REAL_GUITAR", 6), o);
  h.Run({Press(1990, 41, 7), Press(2000, 35, 100)}, 2100);  // the first fret and pluck codes
  EXPECT_EQ(p.score().hits, 1);
}

TEST(InputHistory, ParksDedupesFlushesAndRefusesWhenFull) {
  InputHistory history;
  EXPECT_TRUE(history.Record(2, 3, 100, 1000.0));
  EXPECT_TRUE(history.Record(2, 3, 100, 1050.0));  // same lane and value within 100 ms
  ParkedPress out[InputHistory::kSlots];
  EXPECT_EQ(history.TakeDue(out, 1064.0), 0);
  EXPECT_EQ(history.TakeDue(out, 1065.0), 1);
  EXPECT_EQ(out[0].lane, 2);
  EXPECT_EQ(history.TakeDue(out, 2000.0), 0);

  EXPECT_TRUE(history.Record(1, 0, 90, 3000.0));
  history.Flush(3030.0);
  EXPECT_EQ(history.TakeDue(out, 4000.0), 0);     // flushed with the chord
  EXPECT_TRUE(history.Record(4, 1, 90, 3090.0));  // within 65 ms of the flush: done
  EXPECT_EQ(history.TakeDue(out, 4000.0), 0);

  InputHistory full;
  for (int i = 0; i < InputHistory::kSlots; ++i) EXPECT_TRUE(full.Record(i, i, 100, 5000.0 + i * 200));
  EXPECT_FALSE(full.Record(30, 1, 100, 9500.0));
}

TEST(Keys, RealKeysMapOnlyThePianosKeys) {
  Harness h(Chart("PART REAL_KEYS_VL_X", {{1920, 21}, {2400, 108}}));
  Player& p = h.Setup(PartOf(14, "PART REAL_KEYS_VL_X", 88));
  h.Run({Press(2000, 121), Press(2300, 100), Press(2400, 119), Press(2450, 240)}, 2460);
  EXPECT_EQ(p.score().hits, 1);
  EXPECT_EQ(p.score().overhits, 0);  // codes without a key lane are ignored
  h.Run({Press(2500, 208)}, 2600);
  EXPECT_EQ(p.score().hits, 2);
}

TEST(Keys, FiveLaneKeysFollowTheKeyLayout) {
  struct Case {
    int layout;
    uint32_t code;
  };
  // Lane 2 of each layout: D in the default one, C# in layout 1, F# in layout 2.
  for (const Case& c : {Case{0, 100 + 62}, Case{1, 100 + 61}, Case{2, 100 + 54}}) {
    SCOPED_TRACE(c.layout);
    Harness h(Chart("PART KEYS", {{1920, 97}}));
    PlayerOptions o;
    o.keyLayout = c.layout;
    Player& p = h.Setup(PartOf(3, "PART KEYS"), o);
    h.Run({Press(2000, c.code)}, 2100);
    EXPECT_EQ(p.score().hits, 1);
  }
}

TEST(Dance, MinesCostAndStepsNeverOverhit) {
  Harness h(Chart("PART DANCE", {{1920, 96}, {2880, 97, 30, 100, 2}, {3840, 98, 30, 100, 2}}));
  Player& p = h.Setup(PartOf(12, "PART DANCE", 4));
  // Lane 2 (code 2) at 2000; a mine on lane 4 at 3000 (stepped on) and one on lane 3
  // at 4000 (avoided); a stray step at 2500.
  h.Run({Press(2000, 2), Press(2500, 1), Press(3000, 4)}, 5000);
  const PlayerScore& s = p.score();
  EXPECT_EQ(s.hits, 1);
  EXPECT_EQ(s.overhits, 1);  // the mine only
  EXPECT_EQ(s.misses, 0);
  EXPECT_NEAR(s.rockMeter, 75.0f + 1.33f - 2.0f, 1e-3);  // a mine gains nothing
  EXPECT_EQ(h.sound.Count(100), 1);
}

TEST(Drums, EachFrameNamesTheDrumPiecesHitAndMissed) {
  // Expert: a snare (piece 2) at 2 s, a hi-hat (piece 3) at 3 s.
  Harness h(Chart("PART DRUMS", {{1920, 97}, {2880, 98}}));
  Player& p = h.Setup(PartOf(0, "PART DRUMS", 5));
  h.Run({Press(2000, 2)}, 2000);
  EXPECT_TRUE(p.pieceHit[2]);
  EXPECT_FALSE(p.pieceMissed[2]);
  // The hi-hat passes unplayed: its miss is named in the frame that counts it, alone.
  bool missedHat = false, missedOther = false;
  for (double t = 2010; t <= 3200 && !missedHat; t += 10) {
    h.Frame(t);
    missedHat = p.pieceMissed[3];
    for (int k : {1, 2, 4, 5, 6}) missedOther = missedOther || p.pieceMissed[k];
  }
  EXPECT_TRUE(missedHat);
  EXPECT_FALSE(missedOther);
  EXPECT_FALSE(p.pieceHit[2]);  // one frame's state only
  EXPECT_EQ(p.score().misses, 1);
}

TEST(Breaks, PressesPlayFreeSoundsAndCostNothing) {
  Harness h(Chart("PART GUITAR", {{9600, 96}}));  // the first note at 10 s
  Player& p = h.Setup(PlayerSpec());
  h.Run({Press(1000, 1), Press(1000, 12), Press(1200, 12)}, 1300);
  EXPECT_EQ(p.score().overhits, 0);
  EXPECT_FLOAT_EQ(p.score().rockMeter, 75.0f);
  EXPECT_EQ(h.sound.Count(121), 2);  // guitar bank 120 + lane 1
  EXPECT_EQ(h.net.OfCode(11).size(), 2u);
  h.settings.mixer.FREESTYLESFX = 0;
  h.Run({Press(1400, 12)}, 1500);
  EXPECT_EQ(h.sound.Count(121), 2);

  // Drums: the kit's bank plus the piece of the lane (kit 2, red pad: 11 + 1).
  Harness d(Chart("PART DRUMS", {{9600, 96}}));
  PlayerOptions o;
  o.drumKit = 2;
  Player& drummer = d.Setup(PartOf(0, "PART DRUMS", 4), o);
  d.Run({Press(1000, 2), Press(1100, 10)}, 1200);
  EXPECT_EQ(d.sound.Count(12), 1);
  EXPECT_EQ(d.sound.Count(11), 1);  // the kick
  EXPECT_EQ(drummer.score().overhits, 0);
  // The previous voice of a lane fades when the lane sounds again.
  d.Run({Press(1300, 2)}, 1400);
  ASSERT_FALSE(d.sound.volumes.empty());
  EXPECT_FLOAT_EQ(d.sound.volumes.back().second, 0.0f);
  d.settings.mixer.DRUMPLAYALONG = true;
  d.Run({Press(1500, 2)}, 1600);
  EXPECT_EQ(d.sound.Count(12), 2);
}

TEST(LaneSpans, CoveredPressesAreNotOverhits) {
  MidiFileBuilder midi(480);
  TempoTrack(midi);
  // A lane span from 1000 to 3000 ms holding notes on lane 1; the song plays on.
  midi.Track("PART DRUMS").Note(960, 126, 1920).Note(960, 100, 30).Note(1440, 100, 30).Note(3840, 97, 30);
  Harness h(midi.Build());
  Player& p = h.Setup(PartOf(0, "PART DRUMS", 4));
  h.Run({Press(1200, 1), Press(1300, 2), Press(2500, 1), Press(3300, 1)}, 3400);
  // Green (lane 1) is covered inside the span, also once its notes have passed; red
  // is not, nor green after the span.
  EXPECT_EQ(p.score().overhits, 2);
}

TEST(InputMapping, ButtonsToLanes) {
  struct Case {
    const char* name;
    int kind, laneCount;
    bool lefty;
    int keyLayout;
    std::vector<InputEvent> events;
    std::vector<int> slots;   // fret slots of the lane messages sent
    std::vector<int> values;
  };
  auto ev = [](uint32_t id, int32_t value = 128) {
    InputEvent e;
    e.id = id;
    e.pressed = value != 0;
    e.value = value;
    return e;
  };
  const std::vector<Case> cases = {
      {"4-lane drums ignore orange", 0, 4, false, 0, {ev(5), ev(1)}, {4}, {0}},
      {"5-lane drums orange", 0, 5, false, 0, {ev(5), ev(10)}, {4, 0}, {0, 0}},
      {"kick pedals", 5, 7, false, 0, {ev(10), ev(11)}, {0, 0}, {0, 0}},
      {"hi-hat pedal", 13, 7, false, 0, {ev(11, 127)}, {2}, {2}},
      {"hi-hat pedal lefty", 13, 7, true, 0, {ev(11, 127)}, {6}, {2}},
      {"pedal states", 13, 7, false, 0, {ev(11, 79), ev(3), ev(11, 100), ev(3)}, {2, 2, 2, 2}, {2, 1, 2, 3}},
      {"yellow variants", 13, 7, false, 0, {ev(26)}, {2}, {2}},
      {"toms", 13, 7, false, 0, {ev(7), ev(8), ev(9)}, {3, 5, 7}, {0, 0, 0}},
      {"guitar has no tom lanes", 2, 5, false, 0, {ev(7), ev(5)}, {5}, {0}},
      {"keys default layout", 3, 5, false, 0, {ev(160), ev(167)}, {1, 5}, {0, 0}},
      {"keys layout 2", 3, 5, false, 2, {ev(104), ev(111)}, {1, 5}, {0, 0}},
      {"pro keys", 8, 88, false, 0, {ev(147), ev(148), ev(172), ev(173)}, {28, 52}, {0, 0}},
      {"real keys", 14, 88, false, 0, {ev(120), ev(121), ev(208), ev(209)}, {1, 88}, {0, 0}},
      // Strings 1 and 6 are lanes 2 and 9, on fret slots 1 and 6.
      {"pro frets", 7, 6, false, 0, {ev(41, 3), ev(46, 12)}, {1, 6}, {3, 12}},
      {"pro frets lefty", 7, 6, true, 0, {ev(41, 3), ev(46, 12)}, {6, 1}, {3, 12}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h(Chart("PART GUITAR", {}));
    PlayerOptions o;
    o.leftyDrums = o.leftyGuitar = c.lefty;
    o.keyLayout = c.keyLayout;
    PlayerSpec params = PartOf(c.kind, "PART GUITAR", c.laneCount);
    Player& p = h.Setup(params, o);
    for (const InputEvent& e : c.events) h.input.queue.push_back(e);
    h.Frame(100);
    std::vector<int> slots, values;
    for (const GameMessage& m : h.net.OfCode(12)) {
      slots.push_back(m.a3 & 255);
      values.push_back((m.a3 >> 8) & 255);
    }
    EXPECT_EQ(slots, c.slots);
    EXPECT_EQ(values, c.values);
    (void)p;
  }
}

TEST(InputMapping, WhammyMenusPauseAndTilt) {
  Harness h(Chart("PART GUITAR", {}));
  PlayerOptions o;
  o.tiltOption = 1;
  o.tiltSensitivity = 50;
  Player& p = h.Setup(PlayerSpec(), o);
  p.score().energy = 60.0f;
  h.input.Push(21, true, 40000, 65535, 0);
  h.input.Push(17, true, 128);
  h.Frame(100);
  EXPECT_EQ(h.net.OfCode(35).size(), 1u);
  EXPECT_TRUE(p.menuRequest);
  EXPECT_EQ(p.menuRequestCode, 3);
  EXPECT_FALSE(p.score().energyActive);
  // Tilt: range 0 below rest 1000 counts at value 500 or less.
  h.input.Push(23, true, 501, 0, 1000);
  h.Frame(110);
  EXPECT_FALSE(p.score().energyActive);
  h.input.Push(23, true, 500, 0, 1000);
  h.Frame(120);
  EXPECT_TRUE(p.score().energyActive);
  // The whammy ends 100 ms after its last input.
  h.SetWallClock(199);
  p.WhammyTimeout();
  EXPECT_TRUE(p.track.whammyActive);
  h.Frame(200);
  EXPECT_FALSE(p.track.whammyActive);
  EXPECT_EQ(h.net.OfCode(35).size(), 2u);
  EXPECT_EQ(h.net.OfCode(35)[1].a3, 0);

  h.input.Push(18, true, 128);
  h.Frame(210);
  EXPECT_EQ(p.menuRequestCode, 1);

  Harness d(Chart("PART DANCE", {}));
  Player& dancer = d.Setup(PartOf(12, "PART DANCE", 4));
  d.input.Push(21, true, 40000, 65535, 0);
  d.Frame(100);
  EXPECT_TRUE(d.net.OfCode(35).empty());
  EXPECT_FALSE(dancer.track.whammyActive);
}

TEST(InputMapping, FailedPlayerMovesFretsButIsNotJudged) {
  Harness h(Chart("PART GUITAR", {{1920, 96}}));
  Player& p = h.Setup(PlayerSpec());
  p.score().failed = true;
  p.score().energy = 60.0f;
  h.Run({Press(2000, 1), Press(2000, 12), Press(2000, 19)}, 2050);
  EXPECT_EQ(h.net.OfCode(12).size(), 1u);
  EXPECT_TRUE(p.track.lanes[1].held);
  EXPECT_EQ(p.score().hits, 0);
  EXPECT_EQ(p.score().overhits, 0);
  EXPECT_FALSE(p.score().energyActive);
}

TEST(Assist, PlaysEveryNoteOrTheKicksOnly) {
  {
    Harness h(ReferenceGuitarChart());
    PlayerOptions o;
    o.fiveFretAssist = 1;
    Player& p = h.Setup(PlayerSpec(), o);
    EXPECT_EQ(p.assistBits, 1u);
    h.Run({}, 8000);
    EXPECT_EQ(p.score().hits, 12);
    EXPECT_EQ(p.perfectCount, 12);
    EXPECT_FLOAT_EQ(p.score().score, 375.0f);
  }
  {
    Harness h(Chart("PART DRUMS", {{1920, 96}, {1920, 97}, {2400, 96}, {2880, 98}}));
    PlayerOptions o;
    o.drumAssist = 2;
    Player& p = h.Setup(PartOf(0, "PART DRUMS", 4), o);
    EXPECT_EQ(p.assistBits, 2u);
    h.Run({}, 4000);
    EXPECT_EQ(p.score().hits, 2);
    EXPECT_EQ(p.score().misses, 2);
  }
  {
    // In a career the profile's assist is not used.
    Harness h(ReferenceGuitarChart());
    h.context.career = true;
    PlayerOptions o;
    o.fiveFretAssist = 1;
    EXPECT_EQ(h.Setup(PlayerSpec(), o).assistBits, 0u);
  }
}
