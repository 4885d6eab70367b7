#include "game/lyrics.h"

#include <string_view>

#include "song/midi_file.h"

namespace {

constexpr int32_t kPhraseNoteA = 105;
constexpr int32_t kPhraseNoteB = 106;

bool IsPhraseNote(const MidiEvent& e) { return e.data1() == kPhraseNoteA || e.data1() == kPhraseNoteB; }
bool HasBracket(std::string_view text) { return text.find('[') != std::string_view::npos; }

// Writes a word into the phrase's next slot; only a word without '[' is counted, so a
// stage direction is overwritten by the word after it.
void PutWord(LyricPhrase& phrase, std::string_view text, float time) {
  if (phrase.wordCount >= LyricPhrase::kMaxWords) return;
  LyricWord& w = phrase.words[phrase.wordCount];
  w.text = text;
  w.time = time;
  w.sung = false;
  if (!HasBracket(text)) ++phrase.wordCount;
}

// The word as shown: the first '-' joins the next syllable, the first '=' shows as
// '-' and joins too, the first '/', '#' and '^' are dropped; other words get a space.
std::string DisplayForm(const std::string& word) {
  std::string s = word;
  const bool joins = word.find('-') != std::string::npos || word.find('=') != std::string::npos;
  if (size_t i = s.find('-'); i != std::string::npos) s.erase(i, 1);
  if (size_t i = s.find('/'); i != std::string::npos) s.erase(i, 1);
  if (size_t i = s.find('='); i != std::string::npos) s[i] = '-';
  if (size_t i = s.find('#'); i != std::string::npos) s.erase(i, 1);
  if (size_t i = s.find('^'); i != std::string::npos) s.erase(i, 1);
  if (!joins) s.push_back(' ');
  return s;
}

}  // namespace

bool VocalTrack::Clear() {
  // Unlinked one by one: a long list must not be freed by recursion.
  std::unique_ptr<LyricPhrase> p = std::move(first);
  while (p) p = std::move(p->next);
  current = nullptr;
  last_ = nullptr;
  phraseCount_ = 0;
  return true;
}

LyricPhrase* VocalTrack::AppendPhrase() {
  auto phrase = std::make_unique<LyricPhrase>();
  LyricPhrase* raw = phrase.get();
  if (last_) {
    last_->next = std::move(phrase);
  } else {
    first = std::move(phrase);
  }
  last_ = raw;
  ++phraseCount_;
  return raw;
}

void VocalTrack::Build() {
  Clear();
  if (!chart) return;
  const int32_t trackSlots = static_cast<int32_t>(chart->tracks.size());
  const MidiTrack* vocals = nullptr;
  for (int32_t i = 0; i < trackSlots; ++i) {
    if (chart->tracks[static_cast<size_t>(i)].name == "PART VOCALS") {
      vocals = &chart->tracks[static_cast<size_t>(i)];
      break;
    }
  }
  if (!vocals) return;

  // Times in single precision, the tempo map walked in step with the vocal track.
  // A division of 0 or a time-code division has no ticks per quarter: every time is 0.
  const uint16_t division = chart->header.division;
  const bool timed = division > 0 && (division & 0x8000) == 0;
  const float ticksPerQuarter = static_cast<float>(division);
  const MidiEvent* tempo = chart->tracks[0].events;
  uint64_t tempoTick = tempo ? tempo->delta() : 0;
  float msPerQuarter = 0.0f;  // before the first tempo event
  float time = 0.0f;
  uint64_t timeTick = 0;
  uint64_t tick = 0;
  auto advance = [&](uint64_t to) {
    if (timed) time += static_cast<float>(to - timeTick) * msPerQuarter / ticksPerQuarter;
    timeTick = to;
  };

  LyricPhrase* phrase = nullptr;
  bool pending = false;
  std::string pendingText;
  float pendingTime = 0.0f;
  int32_t wordKind = 0;  // 0 until the first real word decides between text and lyric events

  for (const MidiEvent* e = vocals->events; e; e = e->next()) {
    tick += e->delta();
    // The tempo track's last event never changes the tempo.
    while (tempo && tempo->next() && tempoTick <= tick) {
      if (tempo->kind() == kMetaTempo) {
        advance(tempoTick);
        msPerQuarter = static_cast<float>(tempo->data1()) / 1000.0f;
      }
      tempo = tempo->next();
      tempoTick += tempo->delta();
    }
    advance(tick);

    if (e->kind() == kMidiNoteOn && IsPhraseNote(*e)) {
      if (phrase && phrase->start == time) continue;
      if (phraseCount_ >= kMaxPhrases) {
        phrase = nullptr;
        continue;
      }
      phrase = AppendPhrase();
      phrase->start = time;
      if (pending && pendingTime == time) PutWord(*phrase, pendingText, pendingTime);
      pending = false;
    } else if (e->kind() == kMidiNoteOff && IsPhraseNote(*e)) {
      if (phrase) phrase->end = time;
      phrase = nullptr;
    } else if (e->kind() == kMetaText || e->kind() == kMetaLyric) {
      if (wordKind != 0 && e->kind() != wordKind) continue;
      const bool direction = HasBracket(e->text());
      if (!phrase) {
        pending = true;
        pendingText = e->text();
        pendingTime = direction ? 0.0f : time;
      } else {
        if (phrase->wordCount >= LyricPhrase::kMaxWords) continue;
        PutWord(*phrase, e->text(), time);
      }
      if (!direction) wordKind = e->kind();
    }
  }
}

void VocalTrack::Advance(float t) {
  changed = false;
  current = first.get();
  int32_t done = 0;
  for (LyricPhrase* p = first.get(); p && p->end <= t; p = p->next.get()) {
    if (!p->next) break;
    current = p->next.get();
    if (p->hasText < 0) {
      int32_t a = 0, b = 0;
      p->hasText = PhraseText(p, a, b).empty() ? 0 : 1;
    }
    if (p->hasText) ++done;
  }
  if (current) {
    for (int32_t i = 0; i < current->wordCount; ++i) current->words[i].sung = current->words[i].time <= t;
  }
  if (done != finished) changed = true;
  finished = done;
}

std::string VocalTrack::PhraseText(const LyricPhrase* phrase, int32_t& firstSung, int32_t& lastSung) {
  std::string text;
  firstSung = -1;
  lastSung = -1;
  if (!phrase) return text;
  for (int32_t i = 0; i < phrase->wordCount && i < LyricPhrase::kWordSlots; ++i) {
    const LyricWord& w = phrase->words[i];
    if (w.text.find('+') != std::string::npos) continue;
    const std::string shown = DisplayForm(w.text);
    if (w.sung) {
      const int32_t before = static_cast<int32_t>(text.size());
      if (firstSung == -1) firstSung = before;
      lastSung = before + static_cast<int32_t>(shown.size()) - 1;
    }
    text += shown;
  }
  return text;
}
