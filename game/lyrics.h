// The lyrics of a chart's vocal part, one phrase at a time: the "PART VOCALS" track
// turned into a list of phrases of timed words once per level, and for a song time
// the current phrase, which of its words are sung, and its display text with the
// character range of the sung part.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class MidiFile;

struct LyricWord {
  std::string text;
  float time = 0.0f;  // ms
  bool sung = false;
};

struct LyricPhrase {
  static constexpr int32_t kWordSlots = 100;
  static constexpr int32_t kMaxWords = 99;

  LyricWord words[kWordSlots];
  float start = 0.0f;  // ms of the phrase marker's note-on
  float end = 0.0f;    // ms of its note-off; 0 until then
  int32_t wordCount = 0;
  std::unique_ptr<LyricPhrase> next;
  int8_t hasText = -1;  // whether the display text is empty: -1 not yet known
};

class VocalTrack {
 public:
  // A chart cannot make more phrases than this (a long song has a few hundred).
  static constexpr int32_t kMaxPhrases = 2000;

  explicit VocalTrack(const MidiFile* chart = nullptr) : chart(chart) {}
  ~VocalTrack() { Clear(); }
  VocalTrack(const VocalTrack&) = delete;
  VocalTrack& operator=(const VocalTrack&) = delete;

  // Rebuilds the phrases from the chart; nothing without a chart.
  void Build();
  // Frees every phrase. Always true.
  bool Clear();
  // A new empty phrase linked at the end of the list.
  LyricPhrase* AppendPhrase();
  // The phrase to show at song time t, its sung words and the finished count.
  void Advance(float t);
  // The display text of a phrase; firstSung and lastSung are the byte positions of
  // the sung part in it (-1 when no word is sung).
  static std::string PhraseText(const LyricPhrase* phrase, int32_t& firstSung, int32_t& lastSung);

  const MidiFile* chart = nullptr;  // not owned
  std::unique_ptr<LyricPhrase> first;
  LyricPhrase* current = nullptr;
  int32_t finished = 0;
  bool changed = false;

 private:
  LyricPhrase* last_ = nullptr;
  int32_t phraseCount_ = 0;
};
