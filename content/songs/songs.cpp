// The three demo songs: invented titles and artists, a tempo, metre and key each, a
// chord per bar and lyrics written for them.
#include "content/songs/arrangement.h"

namespace demo {
namespace {

enum PitchClass { C = 0, Cs = 1, D = 2, Ds = 3, E = 4, F = 5, Fs = 6, G = 7, Gs = 8, A = 9, As = 10, B = 11 };

Chord Maj(int root) { return {root, false}; }
Chord Min(int root) { return {root, true}; }

SongSpec CopperLanterns() {
  SongSpec s;
  s.folder = "copper_lanterns";
  s.name = "Copper Lanterns";
  s.artist = "The Quiet Meridian";
  s.album = "Harbour Lights";
  s.genre = "Rock";
  s.year = "2024";
  s.loadingPhrase = "Mid-tempo rock in E minor: steady eighths in the verse, open chords in the chorus.";
  s.bpm = 100.0;
  s.beatsPerBar = 4;
  s.keyRoot = E;
  s.minorKey = true;
  s.style = Style::kRock;
  s.seed = 0x1A2B3C4Du;
  s.sections = {
      {"", SectionKind::kLeadIn, {Min(E)}, {}},
      {"Intro", SectionKind::kIntro, {Min(E), Maj(C)}, {}},
      {"Verse 1", SectionKind::kVerse, {Min(E), Maj(C), Maj(G), Maj(D)},
       {"Down by the wa-ter the lan-terns burn low", "Ev-ery light is a name that I know"}},
      {"Chorus 1", SectionKind::kChorus, {Maj(C), Maj(G), Maj(D), Min(E)},
       {"Car-ry me home on the cop-per red tide", "Hold the flame keep it bright-er in-side"}},
      {"Guitar Solo", SectionKind::kSolo, {Min(E), Maj(D), Maj(C), Maj(D)}, {}},
      {"Outro", SectionKind::kOutro, {Min(E), Min(E)}, {}},
  };
  return s;
}

SongSpec NightSignal() {
  SongSpec s;
  s.folder = "night_signal";
  s.name = "Night Signal";
  s.artist = "Velvet Static";
  s.album = "Frequencies After Dark";
  s.genre = "Punk";
  s.year = "2023";
  s.loadingPhrase = "Fast and loud in A major: hold on through the double-kick chorus.";
  s.bpm = 140.0;
  s.beatsPerBar = 4;
  s.keyRoot = A;
  s.minorKey = false;
  s.style = Style::kDrive;
  s.seed = 0x5EED1234u;
  s.sections = {
      {"", SectionKind::kLeadIn, {Maj(A)}, {}},
      {"Intro", SectionKind::kIntro, {Maj(A), Maj(E)}, {}},
      {"Verse 1", SectionKind::kVerse, {Maj(A), Maj(E), Min(Fs), Maj(D)},
       {"Ra-di-o hum-ming a-cross the dark", "Turn-ing the di-al to catch a spark"}},
      {"Chorus 1", SectionKind::kChorus, {Maj(D), Maj(A), Maj(E), Min(Fs)},
       {"Send me a sig-nal I'm wide a-wake", "Light up the wire for the mid-night's sake"}},
      {"Guitar Solo", SectionKind::kSolo, {Min(Fs), Maj(D), Maj(A), Maj(E)}, {}},
      {"Chorus 2", SectionKind::kChorus, {Maj(D), Maj(A), Maj(E), Maj(A)},
       {"Send me a sig-nal I'm wide a-wake", "Light up the wire for the mid-night's sake"}},
      {"Outro", SectionKind::kOutro, {Maj(A)}, {}},
  };
  return s;
}

SongSpec SlowRiverWaltz() {
  SongSpec s;
  s.folder = "slow_river_waltz";
  s.name = "Slow River Waltz";
  s.artist = "Marlow and the Lamplighters";
  s.album = "Mill Town Evenings";
  s.genre = "Folk";
  s.year = "2022";
  s.loadingPhrase = "A slow waltz in D major: count one-two-three and let the chords ring.";
  s.bpm = 76.0;
  s.beatsPerBar = 3;
  s.keyRoot = D;
  s.minorKey = false;
  s.style = Style::kWaltz;
  s.seed = 0xC0FFEE07u;
  s.sections = {
      {"", SectionKind::kLeadIn, {Maj(D)}, {}},
      {"Intro", SectionKind::kIntro, {Maj(D), Maj(A)}, {}},
      {"Verse 1", SectionKind::kVerse, {Maj(D), Maj(G), Maj(A), Maj(D)},
       {"Slow goes the riv-er soft falls the rain", "Round turns the wheel a-gain and a-gain"}},
      {"Chorus 1", SectionKind::kChorus, {Maj(G), Maj(D), Maj(A), Maj(D)},
       {"Dance my dar-ling the wa-ter is wide", "Three steps a-round to the o-ther side"}},
      {"Guitar Solo", SectionKind::kSolo, {Min(B), Maj(G), Maj(A), Maj(D)}, {}},
      {"Chorus 2", SectionKind::kChorus, {Maj(G), Maj(D), Maj(A), Maj(D)},
       {"Dance my dar-ling the wa-ter is wide", "Three steps a-round to the o-ther side"}},
      {"Outro", SectionKind::kOutro, {Maj(D), Maj(D)}, {}},
  };
  return s;
}

}  // namespace

const std::vector<SongSpec>& DemoSongs() {
  static const std::vector<SongSpec> songs = {CopperLanterns(), NightSignal(), SlowRiverWaltz()};
  return songs;
}

}  // namespace demo
