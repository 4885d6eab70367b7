#include "game/tempo_map.h"

#include <algorithm>
#include <cmath>

void TempoMap::Reset(int32_t ticksPerQuarter) {
  // A chart header with 0 ticks per quarter would make every conversion divide by 0.
  tpq_ = ticksPerQuarter > 0 ? ticksPerQuarter : 480;
  segments_.clear();
  segments_.push_back({0.0, 0.0, kDefaultMsPerQuarter});
  meters_.clear();
  meters_.push_back({0, 4});
  keySignatures_.clear();
}

void TempoMap::AddTempo(double tick, uint32_t microsecondsPerQuarter) {
  if (tick < segments_.back().tick) tick = segments_.back().tick;
  const Segment& last = segments_.back();
  const double ms = last.ms + (tick - last.tick) * last.msPerQuarter / tpq_;
  // A tempo of 0 cannot be played; keep the clock moving at the slowest tempo a
  // file can hold instead.
  const double msPerQuarter = microsecondsPerQuarter > 0 ? microsecondsPerQuarter / 1000.0 : 16777.215;
  if (tick == last.tick) {
    segments_.back() = {tick, ms, msPerQuarter};
  } else {
    segments_.push_back({tick, ms, msPerQuarter});
  }
}

void TempoMap::AddTimeSignature(double tick, int32_t numerator) {
  const int64_t beat = static_cast<int64_t>(std::ceil(tick / tpq_ - 1e-9));
  const int32_t n = numerator > 0 ? numerator : 4;
  if (beat <= meters_.back().firstBeat) {
    meters_.back() = {std::max<int64_t>(beat, meters_.back().firstBeat), n};
  } else {
    meters_.push_back({beat, n});
  }
}

void TempoMap::AddKeySignature(double tick, int32_t first, int32_t second) {
  keySignatures_.push_back({tick, first, second});
}

const TempoMap::Segment& TempoMap::SegmentAtTick(double tick) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), tick,
                             [](double t, const Segment& s) { return t < s.tick; });
  if (it == segments_.begin()) return segments_.front();
  return *(it - 1);
}

double TempoMap::TickToMs(double tick) const {
  const Segment& s = SegmentAtTick(tick);
  return s.ms + (tick - s.tick) * s.msPerQuarter / tpq_;
}

double TempoMap::MsToTick(double ms) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), ms,
                             [](double t, const Segment& s) { return t < s.ms; });
  const Segment& s = it == segments_.begin() ? segments_.front() : *(it - 1);
  return s.tick + (ms - s.ms) * tpq_ / s.msPerQuarter;
}

double TempoMap::MsPerQuarterAt(double tick) const { return SegmentAtTick(tick).msPerQuarter; }

bool TempoMap::IsMeasureStart(int64_t k) const {
  auto it = std::upper_bound(meters_.begin(), meters_.end(), k,
                             [](int64_t b, const Meter& m) { return b < m.firstBeat; });
  const Meter& m = it == meters_.begin() ? meters_.front() : *(it - 1);
  const int64_t into = k - m.firstBeat;
  return into >= 0 && into % m.numerator == 0;
}
