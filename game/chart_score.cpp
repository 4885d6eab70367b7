#include "game/chart_score.h"

#include "song/instrument.h"
#include "song/midi_file.h"

ChartScore::ChartScore() {
  for (auto& row : lanes_)
    for (Span& s : row) s = Span();
  for (auto& row : keys_)
    for (Span& s : row) s = Span();
  Reset();
}

void ChartScore::Reset() {
  for (int32_t d = 0; d < kDifficulties; ++d) {
    baseScore[d] = 0;
    noteCount[d] = 0;
    chordSize_[d] = 0;
    lastStart_[d] = -1;
  }
  tick_ = 0;
}

void ChartScore::Apply(Span& slot, int32_t d, bool noteOn) {
  if (noteOn) {
    slot.start = tick_;
    return;
  }
  slot.end = tick_;
  const uint32_t length = slot.end - slot.start;
  if (length > static_cast<uint32_t>(ticksPerQuarter / 4)) {
    baseScore[d] += static_cast<float>(length / (ticksPerQuarter * 0.5) * 5.0);
  }
  if (kind == Instrument::bass_real || kind == Instrument::guitar_real) {
    // At most 120 for a chord of any size.
    if (lastStart_[d] == static_cast<int64_t>(slot.start)) {
      chordSize_[d] += 1;
      if (chordSize_[d] < 3) baseScore[d] += 60;
    } else {
      chordSize_[d] = 1;
      baseScore[d] += 60;
    }
  } else {
    baseScore[d] += 25;
  }
  noteCount[d] += 1;
  lastStart_[d] = slot.start;
  slot = Span();
}

bool ChartScore::Compute(const MidiFile* chart, const MidiEvent* first, int32_t kindValue, int32_t difficultyValue) {
  Reset();
  kind = kindValue;
  difficulty = difficultyValue;
  const int32_t division = chart ? chart->header.division : 0;
  ticksPerQuarter = (division > 0 && division < 0x8000) ? division : 480;
  const bool drums = kind == Instrument::drums || kind == Instrument::drums_adv || kind == Instrument::drums_real;
  const bool fiveLane = kind == Instrument::bass || kind == Instrument::guitar || kind == Instrument::keys ||
                        kind == Instrument::guitar_rhythm || kind == Instrument::guitar_coop;
  const bool pro = kind == Instrument::bass_real || kind == Instrument::guitar_real;
  const bool keysDifficulty = difficulty >= 0 && difficulty < kDifficulties;

  for (const MidiEvent* e = first; e; e = e->next()) {
    tick_ += e->delta();
    const bool on = e->kind() == kMidiNoteOn;
    if (!on && e->kind() != kMidiNoteOff) continue;
    const int32_t n = e->data1();
    if (drums) {
      if (n == 95) {
        Apply(lanes_[0][4], 4, on);
        continue;
      }
      for (int32_t d = 0; d < 4; ++d) {
        const int32_t lo = 60 + 12 * d;
        if (n < lo || n > lo + 5) continue;
        Apply(lanes_[n - lo][d], d, on);
        if (d == 3) Apply(lanes_[n - lo][4], 4, on);
      }
    } else if (fiveLane) {
      for (int32_t d = 0; d < 4; ++d) {
        const int32_t lo = 60 + 12 * d;
        if (n < lo || n > lo + 4) continue;
        Apply(lanes_[n - lo][d], d, on);
        if (d == 3) Apply(lanes_[n - lo][4], 4, on);
      }
    } else if (pro) {
      if (e->channel() == 2) continue;
      for (int32_t d = 0; d < 4; ++d) {
        const int32_t lo = 24 + 24 * d;
        if (n >= lo && n <= lo + 5) Apply(lanes_[n - lo][d], d, on);
      }
    } else if (kind == Instrument::dance) {
      if (e->channel() == 2) continue;
      for (int32_t d = 0; d < 4; ++d) {
        const int32_t lo = 60 + 12 * d;
        if (n >= lo && n <= lo + 3) Apply(lanes_[n - lo][d], d, on);
      }
    } else if (kind == Instrument::keys_adv && keysDifficulty) {
      if (n >= 48 && n <= 72) Apply(keys_[n - 48][difficulty], difficulty, on);
    } else if (kind == Instrument::keys_real && keysDifficulty) {
      if (n >= 21 && n <= 108) Apply(keys_[n - 21][difficulty], difficulty, on);
    }
  }
  return true;
}
