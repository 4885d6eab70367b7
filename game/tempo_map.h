// The tempo track of a chart as a table: ticks to milliseconds and back, beats and
// measure starts, and the key signature changes. Built once per board from the first
// track's events.
#pragma once

#include <cstdint>
#include <vector>

class TempoMap {
 public:
  // The tempo in force before the first tempo event (120 beats per minute).
  static constexpr double kDefaultMsPerQuarter = 500.0;

  struct KeySignature {
    double tick = 0;
    int32_t first = 0;
    int32_t second = 0;
  };

  void Reset(int32_t ticksPerQuarter);
  // Events in tick order.
  void AddTempo(double tick, uint32_t microsecondsPerQuarter);
  void AddTimeSignature(double tick, int32_t numerator);
  void AddKeySignature(double tick, int32_t first, int32_t second);

  int32_t ticksPerQuarter() const { return tpq_; }
  double TickToMs(double tick) const;
  double MsToTick(double ms) const;
  double BeatToMs(double beat) const { return TickToMs(beat * tpq_); }
  double MsToBeat(double ms) const { return MsToTick(ms) / tpq_; }
  // Whether beat `k` (at tick k x ticks per quarter) starts a measure.
  bool IsMeasureStart(int64_t k) const;
  // Milliseconds per quarter note in force at the tick.
  double MsPerQuarterAt(double tick) const;

  const std::vector<KeySignature>& keySignatures() const { return keySignatures_; }

 private:
  struct Segment {
    double tick;
    double ms;
    double msPerQuarter;
  };
  struct Meter {
    int64_t firstBeat;
    int32_t numerator;
  };
  const Segment& SegmentAtTick(double tick) const;

  int32_t tpq_ = 480;
  std::vector<Segment> segments_;
  std::vector<Meter> meters_;
  std::vector<KeySignature> keySignatures_;
};
