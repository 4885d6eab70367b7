// Lyric phrases from the chart's "PART VOCALS" track.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/lyrics.h"
#include "song/midi_file.h"
#include "tests/support/midi_builder.h"

namespace {

// 120 beats per minute at 480 ticks per quarter: 1 ms is 0.96 ticks; times below are
// in ticks chosen to be whole milliseconds (multiples of 24 ticks = 25 ms).
constexpr uint32_t Ms(uint32_t ms) { return ms * 24 / 25; }

struct Chart {
  testsupport::MidiFileBuilder midi{480};
  testsupport::MidiTrackBuilder& tempo = midi.Track("tempo").Tempo(0, 500000);
  testsupport::MidiTrackBuilder& vocals = midi.Track("PART VOCALS");
  MidiFile file;

  VocalTrack& Build() {
    tempo.Text(Ms(60000), "end");  // the tempo track's last event
    file.LoadFromBytes(false, midi.Build());
    track = std::make_unique<VocalTrack>(&file);
    track->Build();
    return *track;
  }
  std::unique_ptr<VocalTrack> track;
};

std::vector<const LyricPhrase*> Phrases(const VocalTrack& t) {
  std::vector<const LyricPhrase*> out;
  for (const LyricPhrase* p = t.first.get(); p; p = p->next.get()) out.push_back(p);
  return out;
}

std::string Text(const LyricPhrase* p) {
  int32_t a = 0, b = 0;
  return VocalTrack::PhraseText(p, a, b);
}

TEST(LevelLyricsTest, WordsJoinAndLoseTheirMarkersAsShown) {
  struct Case {
    std::vector<std::string> words;
    std::string shown;
  };
  const Case cases[] = {
      {{"hel-", "lo"}, "hello "},
      {{"a=", "b"}, "a-b "},
      {{"[play]", "word"}, "word "},          // a stage direction is never shown
      {{"long", "+", "note"}, "long note "},  // "+" continues the pitch
      {{"a-b-", "c"}, "ab-c "},               // only the first marker of a kind
      {{"yes#", "no^", "ma/y"}, "yes no may "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    Chart chart;
    chart.vocals.NoteOn(Ms(1000), 105);
    for (size_t i = 0; i < c.words.size(); ++i) chart.vocals.Lyric(Ms(1000 + 100 * static_cast<uint32_t>(i)), c.words[i]);
    chart.vocals.NoteOff(Ms(3000), 105);
    VocalTrack& t = chart.Build();
    ASSERT_EQ(Phrases(t).size(), 1u);
    EXPECT_EQ(Text(t.first.get()), c.shown);
  }
}

TEST(LevelLyricsTest, PhrasesFromTheMarkersAndTheWordsThatJoinThem) {
  Chart chart;
  chart.vocals.Lyric(Ms(500), "lost");     // before its phrase: lost
  chart.vocals.Lyric(Ms(1000), "first");   // exactly at the phrase start: joins it
  chart.vocals.NoteOn(Ms(1000), 105).NoteOn(Ms(1000), 106);  // together: one phrase
  chart.vocals.Lyric(Ms(1500), "second");
  chart.vocals.NoteOff(Ms(2000), 105).NoteOff(Ms(2000), 106);
  chart.vocals.NoteOn(Ms(3000), 106).Lyric(Ms(3000), "third").NoteOff(Ms(4000), 106);
  VocalTrack& t = chart.Build();
  const auto phrases = Phrases(t);
  ASSERT_EQ(phrases.size(), 2u);
  EXPECT_FLOAT_EQ(phrases[0]->start, 1000.0f);
  EXPECT_FLOAT_EQ(phrases[0]->end, 2000.0f);
  EXPECT_EQ(Text(phrases[0]), "first second ");
  EXPECT_FLOAT_EQ(phrases[1]->start, 3000.0f);
  EXPECT_EQ(Text(phrases[1]), "third ");
}

TEST(LevelLyricsTest, AdvanceMarksSungWordsAndCountsFinishedPhrases) {
  Chart chart;
  chart.vocals.NoteOn(Ms(1000), 105).Lyric(Ms(1000), "one").Lyric(Ms(1500), "two").NoteOff(Ms(2000), 105);
  chart.vocals.NoteOn(Ms(3000), 105).Lyric(Ms(3000), "three").NoteOff(Ms(4000), 105);
  VocalTrack& t = chart.Build();
  const auto phrases = Phrases(t);
  ASSERT_EQ(phrases.size(), 2u);

  t.Advance(1200.0f);
  EXPECT_EQ(t.current, phrases[0]);
  int32_t a = 0, b = 0;
  EXPECT_EQ(VocalTrack::PhraseText(t.current, a, b), "one two ");
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 3);  // "one " sung
  EXPECT_EQ(t.finished, 0);
  EXPECT_FALSE(t.changed);

  t.Advance(1500.0f);  // a word at exactly the time is sung
  VocalTrack::PhraseText(t.current, a, b);
  EXPECT_EQ(b, 7);

  t.Advance(2000.0f);
  EXPECT_EQ(t.current, phrases[1]);
  EXPECT_EQ(t.finished, 1);
  EXPECT_TRUE(t.changed);
  t.Advance(2100.0f);
  EXPECT_FALSE(t.changed);
  // The last phrase stays current and never counts as finished.
  t.Advance(90000.0f);
  EXPECT_EQ(t.current, phrases[1]);
  EXPECT_EQ(t.finished, 1);
}

TEST(LevelLyricsTest, NinetyNineWordsAPhraseAndTheFirstRealWordChoosesTheEventKind) {
  Chart chart;
  chart.vocals.NoteOn(Ms(1000), 105);
  chart.vocals.Text(Ms(1000), "[idle]");  // a direction does not choose
  for (uint32_t i = 0; i < 100; ++i) chart.vocals.Lyric(Ms(1000) + i, "w" + std::to_string(i));
  chart.vocals.Text(Ms(1100), "text");  // lyric events were chosen: ignored
  chart.vocals.NoteOff(Ms(2000), 105);
  VocalTrack& t = chart.Build();
  ASSERT_NE(t.first, nullptr);
  EXPECT_EQ(t.first->wordCount, 99);
  EXPECT_EQ(t.first->words[98].text, "w98");
  EXPECT_EQ(Text(t.first.get()).find("text"), std::string::npos);
}

TEST(LevelLyricsTest, NoVocalPartOrNoChartGivesNothing) {
  testsupport::MidiFileBuilder other(480);
  other.Track("tempo").Tempo(0, 500000);
  other.Track("PART GUITAR").Note(0, 96, 60);
  MidiFile file;
  file.LoadFromBytes(false, other.Build());
  VocalTrack t(&file);
  t.Build();
  EXPECT_EQ(t.first, nullptr);
  t.Advance(1000.0f);
  EXPECT_EQ(t.current, nullptr);
  int32_t a = 0, b = 0;
  EXPECT_EQ(VocalTrack::PhraseText(t.current, a, b), "");
  EXPECT_EQ(a, -1);
  EXPECT_EQ(b, -1);
  VocalTrack none(nullptr);
  none.Build();
  EXPECT_EQ(none.first, nullptr);
}

TEST(LevelLyricsTest, ACorruptChartCannotMakePhrasesWithoutEnd) {
  Chart chart;
  for (uint32_t i = 0; i < VocalTrack::kMaxPhrases + 500; ++i) {
    chart.vocals.NoteOn(i * 2, 105).NoteOff(i * 2 + 1, 105);
  }
  VocalTrack& t = chart.Build();
  EXPECT_EQ(Phrases(t).size(), static_cast<size_t>(VocalTrack::kMaxPhrases));
}

}  // namespace
