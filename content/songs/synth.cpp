#include "content/songs/synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace demo {
namespace {

constexpr double kRate = kSampleRate;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Noise that is the same on every build.
class Noise {
 public:
  explicit Noise(uint32_t seed) : s_(seed * 2654435761u + 1u) {}
  float Next() {  // -1..1
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return static_cast<float>(s_ & 0xFFFFFF) / 8388607.5f - 1.0f;
  }

 private:
  uint32_t s_;
};

// sin(2 pi x) from a table with linear interpolation.
class SineTable {
 public:
  static constexpr int kSize = 4096;
  SineTable() {
    for (int i = 0; i <= kSize; ++i) table_[static_cast<size_t>(i)] = static_cast<float>(std::sin(kTwoPi * i / kSize));
  }
  float operator()(double cycles) const {
    const double x = (cycles - std::floor(cycles)) * kSize;
    const int i = static_cast<int>(x);
    const float f = static_cast<float>(x - i);
    return table_[static_cast<size_t>(i)] + f * (table_[static_cast<size_t>(i) + 1] - table_[static_cast<size_t>(i)]);
  }

 private:
  std::array<float, kSize + 1> table_{};
};

const SineTable& Sin() {
  static const SineTable table;
  return table;
}

double Hz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

Stereo Silence(int64_t frames) {
  Stereo s;
  s.left.assign(static_cast<size_t>(frames), 0.0f);
  s.right.assign(static_cast<size_t>(frames), 0.0f);
  return s;
}

// A mono voice placed in the stereo field (equal power, pan -1 left .. 1 right).
void Place(Stereo& out, int64_t at, const std::vector<float>& mono, float gain, float pan) {
  const double angle = (pan + 1.0) * std::numbers::pi / 4.0;
  const float l = gain * static_cast<float>(std::cos(angle));
  const float r = gain * static_cast<float>(std::sin(angle));
  for (size_t i = 0; i < mono.size(); ++i) {
    const int64_t f = at + static_cast<int64_t>(i);
    if (f < 0 || f >= out.Frames()) continue;
    out.left[static_cast<size_t>(f)] += l * mono[i];
    out.right[static_cast<size_t>(f)] += r * mono[i];
  }
}

int64_t FrameOf(const Arrangement& a, int tick) { return std::llround(a.SecondsAt(tick) * kRate); }

// One-pole low-pass, in place.
void LowPass(std::vector<float>& x, double cutoffHz) {
  const float k = static_cast<float>(1.0 - std::exp(-kTwoPi * cutoffHz / kRate));
  float y = 0.0f;
  for (float& v : x) {
    y += k * (v - y);
    v = y;
  }
}

// One-pole high-pass, in place.
void HighPass(std::vector<float>& x, double cutoffHz) {
  const float k = static_cast<float>(std::exp(-kTwoPi * cutoffHz / kRate));
  float prevIn = 0.0f, y = 0.0f;
  for (float& v : x) {
    y = k * (y + v - prevIn);
    prevIn = v;
    v = y;
  }
}

// ---------------------------------------------------------------------------------
// Plucked strings: a delay line one period long, fed back through a two-tap average
// (the string's loss of highs) and an all-pass that tunes the fractional part of the
// period, started from a burst of filtered noise.

struct PluckTone {
  double decaySeconds = 2.0;    // 60 dB decay while held
  double releaseSeconds = 0.08;  // 60 dB decay after the note ends
  double brightness = 0.5;      // weight of the newer tap in the loop average (0.5: darkest)
  double excitationCutoff = 5000.0;
  float level = 1.0f;
};

std::vector<float> Pluck(double frequency, double seconds, float amplitude, const PluckTone& tone, uint32_t seed) {
  const double period = kRate / frequency;
  const double s = 1.0 - tone.brightness;  // delay of the average at low frequencies
  const int n = std::max(2, static_cast<int>(std::floor(period - s - 0.2)));
  const double fraction = period - s - n;
  const float c = static_cast<float>((1.0 - fraction) / (1.0 + fraction));
  std::vector<float> line(static_cast<size_t>(n));
  Noise noise(seed);
  for (float& v : line) v = noise.Next();
  LowPass(line, tone.excitationCutoff);
  float mean = 0.0f, peak = 1e-6f;
  for (float v : line) mean += v;
  mean /= static_cast<float>(n);
  for (float& v : line) {
    v -= mean;
    peak = std::max(peak, std::fabs(v));
  }
  for (float& v : line) v *= amplitude / peak;

  const float held = static_cast<float>(std::pow(10.0, -3.0 * period / (tone.decaySeconds * kRate)));
  const float released = static_cast<float>(std::pow(10.0, -3.0 * period / (tone.releaseSeconds * kRate)));
  const int64_t heldFrames = static_cast<int64_t>(seconds * kRate);
  const int64_t total = heldFrames + static_cast<int64_t>(tone.releaseSeconds * 1.5 * kRate);
  std::vector<float> out(static_cast<size_t>(total));
  const float a = static_cast<float>(tone.brightness), b = static_cast<float>(1.0 - tone.brightness);
  float previous = 0.0f, apIn = 0.0f, apOut = 0.0f;
  size_t idx = 0;
  for (int64_t i = 0; i < total; ++i) {
    const float current = line[idx];
    out[static_cast<size_t>(i)] = current * tone.level;
    const float averaged = a * current + b * previous;
    previous = current;
    const float tuned = c * averaged + apIn - c * apOut;
    apIn = averaged;
    apOut = tuned;
    line[idx] = tuned * (i < heldFrames ? held : released);
    idx = idx + 1 == line.size() ? 0 : idx + 1;
  }
  // A short ramp where the note ends keeps the damping click-free.
  for (int64_t i = 0; i < 64 && i < total; ++i) out[static_cast<size_t>(total - 1 - i)] *= static_cast<float>(i) / 64.0f;
  return out;
}

struct StringPart {
  PluckTone tone;
  PluckTone muted;
  double strumSeconds = 0.006;  // between the strings of a chord
  float pan = 0.0f;
  float drive = 0.0f;           // 0 clean; otherwise the gain into a soft clipper
  double cabinetHz = 0.0;       // low-pass after the clipper
  uint32_t seed = 1;
};

Stereo PlayStrings(const Arrangement& a, const std::vector<Note>& notes, const StringPart& part, int64_t frames) {
  std::vector<float> mono(static_cast<size_t>(frames), 0.0f);
  uint32_t seed = part.seed;
  int lastTick = -1, strum = 0;
  for (const Note& n : notes) {
    strum = n.tick == lastTick ? strum + 1 : 0;
    lastTick = n.tick;
    const PluckTone& tone = (n.flags & kMuted) ? part.muted : part.tone;
    float amplitude = static_cast<float>(n.velocity) / 127.0f;
    if (n.flags & kLegato) amplitude *= 0.7f;  // a hammered note speaks softer than a picked one
    const double seconds = a.SecondsAt(n.tick + n.length) - a.SecondsAt(n.tick);
    const std::vector<float> v = Pluck(Hz(n.pitch), seconds, amplitude, tone, ++seed);
    const int64_t at = FrameOf(a, n.tick) + static_cast<int64_t>(strum * part.strumSeconds * kRate);
    for (size_t i = 0; i < v.size(); ++i) {
      const int64_t f = at + static_cast<int64_t>(i);
      if (f >= 0 && f < frames) mono[static_cast<size_t>(f)] += v[i];
    }
  }
  HighPass(mono, 60.0);
  if (part.drive > 0.0f) {
    const float norm = 1.0f / std::tanh(part.drive);
    for (float& v : mono) v = std::tanh(part.drive * v) * norm;
  }
  if (part.cabinetHz > 0.0) {
    LowPass(mono, part.cabinetHz);
    LowPass(mono, part.cabinetHz);
  }
  Stereo out = Silence(frames);
  Place(out, 0, mono, 1.0f, part.pan);
  return out;
}

// ---------------------------------------------------------------------------------
// Electric piano: a few decaying partials with a bell on the attack.

void PlayPiano(const Arrangement& a, const std::vector<Note>& notes, float pan, Stereo& out) {
  const SineTable& sin = Sin();
  struct Partial {
    double ratio, amplitude, decay;
  };
  const Partial partials[] = {{1, 1.0, 2.2}, {2, 0.32, 1.1}, {3, 0.1, 0.6}, {4, 0.05, 0.4}, {7.02, 0.05, 0.08}};
  for (const Note& n : notes) {
    const double f0 = Hz(n.pitch);
    const double held = a.SecondsAt(n.tick + n.length) - a.SecondsAt(n.tick);
    const double release = 0.15;
    const int64_t total = static_cast<int64_t>((held + release) * kRate);
    std::vector<float> v(static_cast<size_t>(total));
    const float amp = 0.5f * static_cast<float>(n.velocity) / 127.0f;
    double level[std::size(partials)], fall[std::size(partials)];
    for (size_t k = 0; k < std::size(partials); ++k) {
      level[k] = f0 * partials[k].ratio > 15000.0 ? 0.0 : partials[k].amplitude;
      fall[k] = std::exp(-1.0 / (partials[k].decay * kRate));
    }
    for (int64_t i = 0; i < total; ++i) {
      const double t = i / kRate;
      double s = 0.0;
      for (size_t k = 0; k < std::size(partials); ++k) {
        s += level[k] * sin(f0 * partials[k].ratio * t);
        level[k] *= fall[k];
      }
      const double attack = std::min(1.0, t / 0.003);
      const double tail = t < held ? 1.0 : std::max(0.0, 1.0 - (t - held) / release);
      v[static_cast<size_t>(i)] = static_cast<float>(s * attack * tail) * amp;
    }
    Place(out, FrameOf(a, n.tick), v, 1.0f, pan);
  }
}

// ---------------------------------------------------------------------------------
// Pad: three slightly detuned voices per note with a slow swell.

const double kPadHarmonics[6] = {1.0, 0.406, 0.240, 0.165, 0.123, 0.097};  // k^-1.3

void PlayPad(const Arrangement& a, const std::vector<Note>& notes, Stereo& out) {
  const SineTable& sin = Sin();
  const double detune[3] = {-0.07, 0.0, 0.07};  // semitones
  const float pans[3] = {-0.6f, 0.0f, 0.6f};
  for (const Note& n : notes) {
    const double held = a.SecondsAt(n.tick + n.length) - a.SecondsAt(n.tick);
    const double attack = 0.35, release = 0.6;
    const int64_t total = static_cast<int64_t>((held + release) * kRate);
    for (int voice = 0; voice < 3; ++voice) {
      const double f0 = Hz(n.pitch + detune[voice]);
      std::vector<float> v(static_cast<size_t>(total));
      for (int64_t i = 0; i < total; ++i) {
        const double t = i / kRate;
        double s = 0.0;
        for (int k = 1; k <= 6; ++k) s += kPadHarmonics[k - 1] * sin(k * f0 * t + 0.13 * k * voice);
        const double env = std::min(1.0, t / attack) * (t < held ? 1.0 : std::max(0.0, 1.0 - (t - held) / release));
        v[static_cast<size_t>(i)] = static_cast<float>(0.12 * s * env);
      }
      LowPass(v, 2200.0);
      Place(out, FrameOf(a, n.tick), v, 1.0f, pans[voice]);
    }
  }
}

// ---------------------------------------------------------------------------------
// Voice: a harmonic source shaped by the three formants of the syllable's vowel,
// with vibrato, a glide into slurred notes and a breath of noise for a leading
// unvoiced consonant.

struct Formants {
  double f[3];
  double gain[3];
};

Formants VowelOf(const std::string& sound) {
  for (char c : sound) {
    switch (c) {
      case 'a': return {{750, 1150, 2600}, {1.0, 0.55, 0.25}};
      case 'e': return {{500, 1800, 2550}, {1.0, 0.45, 0.3}};
      case 'i':
      case 'y': return {{320, 2250, 3000}, {1.0, 0.35, 0.3}};
      case 'o': return {{550, 850, 2500}, {1.0, 0.6, 0.15}};
      case 'u': return {{350, 800, 2300}, {1.0, 0.4, 0.1}};
      default: break;
    }
  }
  return {{550, 1500, 2500}, {1.0, 0.45, 0.2}};
}

double FormantGain(const Formants& v, double f) {
  double g = 0.02;
  const double width[3] = {90, 120, 160};
  for (int i = 0; i < 3; ++i) {
    const double x = (f - v.f[i]) / width[i];
    g += v.gain[i] / (1.0 + x * x);
  }
  return g;
}

bool Unvoiced(char c) { return c == 's' || c == 't' || c == 'k' || c == 'p' || c == 'f' || c == 'h' || c == 'c'; }

void Sing(const Arrangement& a, const std::vector<Phrase>& phrases, float gain, float pan, uint32_t seed, Stereo& out) {
  const SineTable& sin = Sin();
  Noise noise(seed);
  for (const Phrase& p : phrases) {
    std::string vowelSound;
    double previousPitch = -1.0;
    int previousEnd = -1000000;
    for (const Syllable& s : p.syllables) {
      if (!s.sound.empty()) vowelSound = s.sound;
      const Formants vowel = VowelOf(vowelSound);
      const double held = a.SecondsAt(s.tick + s.length) - a.SecondsAt(s.tick);
      const double release = 0.07;
      const bool slurred = s.sound.empty() || s.tick - previousEnd <= 40;
      const double glideFrom = slurred && previousPitch > 0 ? previousPitch : s.pitch;
      const int64_t total = static_cast<int64_t>((held + release) * kRate);
      std::vector<float> v(static_cast<size_t>(total));
      double phase = 0.0;
      std::vector<double> amps;
      double norm = 1.0;
      for (int64_t i = 0; i < total; ++i) {
        const double t = i / kRate;
        const double glide = std::min(1.0, t / 0.05);
        const double vibratoDepth = std::clamp((t - 0.15) / 0.2, 0.0, 1.0) * 0.25;
        const double midi = glideFrom + (s.pitch - glideFrom) * glide + vibratoDepth * std::sin(kTwoPi * 5.3 * t);
        const double f0 = Hz(midi);
        if (i % 32 == 0) {  // the spectrum follows the pitch
          amps.clear();
          double energy = 0.0;
          for (int k = 1; k * f0 < 5000.0; ++k) {
            const double g = FormantGain(vowel, k * f0) / k;
            amps.push_back(g);
            energy += g * g;
          }
          norm = 1.0 / std::sqrt(energy);
        }
        phase += f0 / kRate;
        double sample = 0.0;
        for (size_t k = 0; k < amps.size(); ++k) sample += amps[k] * sin(phase * static_cast<double>(k + 1));
        const double attack = slurred ? 1.0 : std::min(1.0, t / 0.03);
        const double tail = t < held ? 1.0 : std::max(0.0, 1.0 - (t - held) / release);
        v[static_cast<size_t>(i)] = static_cast<float>(0.5 * sample * norm * attack * tail);
      }
      if (!s.sound.empty() && Unvoiced(s.sound[0])) {
        std::vector<float> breath(static_cast<size_t>(0.03 * kRate));
        for (size_t i = 0; i < breath.size(); ++i)
          breath[i] = 0.12f * noise.Next() * (1.0f - static_cast<float>(i) / static_cast<float>(breath.size()));
        HighPass(breath, s.sound[0] == 's' ? 4000.0 : 1500.0);
        for (size_t i = 0; i < breath.size() && i < v.size(); ++i) v[i] += breath[i];
      }
      Place(out, FrameOf(a, s.tick), v, gain, pan);
      previousPitch = s.pitch;
      previousEnd = s.tick + s.length;
    }
  }
}

// ---------------------------------------------------------------------------------
// Drums

std::vector<float> DrumSound(DrumPiece piece, float velocity, uint32_t seed) {
  const SineTable& sin = Sin();
  Noise noise(seed);
  auto make = [](double seconds) { return std::vector<float>(static_cast<size_t>(seconds * kRate)); };
  std::vector<float> v;
  switch (piece) {
    case DrumPiece::kKick:
    case DrumPiece::kKickDouble: {
      v = make(0.45);
      double phase = 0.0;
      for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        phase += (48.0 + 100.0 * std::exp(-t / 0.04)) / kRate;
        v[i] = static_cast<float>(0.9 * std::exp(-t / 0.22) * sin(phase) + 0.25 * std::exp(-t / 0.003) * noise.Next());
      }
      break;
    }
    case DrumPiece::kSnare:
    case DrumPiece::kSnareGhost: {
      v = make(0.35);
      std::vector<float> rattle = make(0.35);
      for (float& x : rattle) x = noise.Next();
      HighPass(rattle, 1200.0);
      for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        const double body = 0.45 * (sin(185.0 * t) + 0.6 * sin(330.0 * t)) * std::exp(-t / 0.06);
        v[i] = static_cast<float>(body + 1.1 * rattle[i] * std::exp(-t / 0.12));
      }
      if (piece == DrumPiece::kSnareGhost) velocity *= 0.35f;
      break;
    }
    case DrumPiece::kHiHat:
    case DrumPiece::kHiHatOpen:
    case DrumPiece::kRide:
    case DrumPiece::kCrash: {
      const double decay = piece == DrumPiece::kHiHat ? 0.025 : piece == DrumPiece::kHiHatOpen ? 0.2
                           : piece == DrumPiece::kRide ? 0.45 : 0.9;
      const double level = piece == DrumPiece::kCrash ? 0.7 : piece == DrumPiece::kRide ? 0.22 : 0.45;
      v = make(std::min(2.5, decay * 6.0));
      for (float& x : v) x = noise.Next();
      HighPass(v, piece == DrumPiece::kRide ? 5000.0 : 7000.0);
      HighPass(v, 3000.0);
      for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        double ping = 0.0;
        if (piece == DrumPiece::kRide) ping = 0.12 * (sin(2950.0 * t) + sin(4370.0 * t) + sin(5410.0 * t)) * std::exp(-t / 0.7);
        v[i] = static_cast<float>(level * v[i] * std::exp(-t / decay) * std::min(1.0, t / 0.001) + ping);
      }
      break;
    }
    case DrumPiece::kTomHigh:
    case DrumPiece::kTomMid:
    case DrumPiece::kTomFloor: {
      const double f0 = piece == DrumPiece::kTomHigh ? 200.0 : piece == DrumPiece::kTomMid ? 150.0 : 105.0;
      v = make(0.6);
      double phase = 0.0;
      for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        phase += f0 * (1.0 + 0.5 * std::exp(-t / 0.04)) / kRate;
        v[i] = static_cast<float>(0.8 * std::exp(-t / 0.28) * sin(phase) + 0.12 * std::exp(-t / 0.015) * noise.Next());
      }
      break;
    }
    case DrumPiece::kSticks: {
      v = make(0.06);
      for (size_t i = 0; i < v.size(); ++i) {
        const double t = i / kRate;
        v[i] = static_cast<float>((0.3 * noise.Next() + 0.4 * sin(2200.0 * t)) * std::exp(-t / 0.009));
      }
      break;
    }
  }
  for (float& x : v) x *= velocity;
  return v;
}

float DrumPan(DrumPiece piece, int index) {
  switch (piece) {
    case DrumPiece::kHiHat:
    case DrumPiece::kHiHatOpen: return 0.35f;
    case DrumPiece::kRide: return -0.35f;
    case DrumPiece::kCrash: return index % 2 ? 0.45f : -0.45f;
    case DrumPiece::kTomHigh: return 0.25f;
    case DrumPiece::kTomMid: return -0.1f;
    case DrumPiece::kTomFloor: return -0.4f;
    default: return 0.0f;
  }
}

// ---------------------------------------------------------------------------------

// RMS over the parts of a signal that sound (50 ms blocks above a floor).
double ActiveRms(const Stereo& s) {
  const size_t block = static_cast<size_t>(0.05 * kRate);
  double sum = 0.0;
  size_t count = 0;
  for (size_t at = 0; at + block <= s.left.size(); at += block) {
    double e = 0.0;
    for (size_t i = at; i < at + block; ++i) e += double(s.left[i]) * s.left[i] + double(s.right[i]) * s.right[i];
    if (e / (2.0 * block) > 1e-7) {
      sum += e;
      count += 2 * block;
    }
  }
  return count ? std::sqrt(sum / static_cast<double>(count)) : 0.0;
}

void Scale(Stereo& s, double gain) {
  for (float& v : s.left) v = static_cast<float>(v * gain);
  for (float& v : s.right) v = static_cast<float>(v * gain);
}

// Brings a part to a loudness relative to the drums (in dB, at active RMS 0.1).
void Level(Stereo& s, double db) {
  const double rms = ActiveRms(s);
  if (rms > 0.0) Scale(s, 0.1 * std::pow(10.0, db / 20.0) / rms);
}

void Mix(Stereo& into, const Stereo& from) {
  for (size_t i = 0; i < into.left.size(); ++i) {
    into.left[i] += from.left[i];
    into.right[i] += from.right[i];
  }
}

void FadeOut(Stereo& s, double seconds) {
  const int64_t n = std::min<int64_t>(s.Frames(), static_cast<int64_t>(seconds * kRate));
  for (int64_t i = 0; i < n; ++i) {
    const size_t f = static_cast<size_t>(s.Frames() - 1 - i);
    const float g = static_cast<float>(i) / static_cast<float>(n);
    s.left[f] *= g;
    s.right[f] *= g;
  }
}

}  // namespace

Stems Render(const Arrangement& a) {
  const int64_t frames = std::llround((a.SecondsAt(a.endTick) + kTailSeconds) * kRate);
  Stems s;

  s.drums = Silence(frames);
  int index = 0;
  for (const DrumHit& h : a.drums) {
    const std::vector<float> v = DrumSound(h.piece, static_cast<float>(h.velocity) / 127.0f, 1000u + index);
    Place(s.drums, FrameOf(a, h.tick), v, 1.0f, DrumPan(h.piece, index));
    ++index;
  }
  Level(s.drums, 0.0);

  StringPart bass;
  bass.tone = {1.6, 0.06, 0.5, 900.0, 1.0f};
  bass.muted = bass.tone;
  bass.seed = 11;
  Stereo bassPart = PlayStrings(a, a.bass, bass, frames);
  Level(bassPart, -2.0);

  StringPart rhythm;
  rhythm.tone = {1.2, 0.05, 0.55, 3500.0, 1.0f};
  rhythm.muted = {0.15, 0.04, 0.5, 1500.0, 1.0f};
  rhythm.strumSeconds = 0.008;
  rhythm.pan = 0.55f;
  rhythm.cabinetHz = 6000.0;
  rhythm.seed = 23;
  Stereo rhythmPart = PlayStrings(a, a.rhythm, rhythm, frames);
  Level(rhythmPart, -9.0);
  s.rhythm = bassPart;
  Mix(s.rhythm, rhythmPart);

  StringPart lead;
  lead.tone = {3.0, 0.08, 0.6, 6000.0, 1.0f};
  lead.muted = {0.12, 0.05, 0.5, 1800.0, 1.0f};
  lead.pan = -0.35f;
  lead.drive = 2.2f;
  lead.cabinetHz = 4500.0;
  lead.seed = 37;
  Stereo leadPart = PlayStrings(a, a.guitar, lead, frames);
  Level(leadPart, -3.0);
  StringPart second;
  second.tone = {2.0, 0.07, 0.55, 4500.0, 1.0f};
  second.muted = second.tone;
  second.pan = 0.4f;
  second.drive = 1.5f;
  second.cabinetHz = 5000.0;
  second.seed = 53;
  Stereo secondPart = PlayStrings(a, a.guitar2, second, frames);
  Level(secondPart, -8.0);
  s.guitar = leadPart;
  Mix(s.guitar, secondPart);

  s.keys = Silence(frames);
  PlayPiano(a, a.keysLeft, -0.2f, s.keys);
  PlayPiano(a, a.keysRight, 0.2f, s.keys);
  Level(s.keys, -7.0);

  s.vocals = Silence(frames);
  Sing(a, a.lead, 1.0f, 0.0f, 71, s.vocals);
  Stereo harmonies = Silence(frames);
  Sing(a, a.harmonyHigh, 1.0f, 0.3f, 73, harmonies);
  Sing(a, a.harmonyLow, 1.0f, -0.3f, 79, harmonies);
  Level(s.vocals, -1.0);
  if (ActiveRms(harmonies) > 0.0) {
    Level(harmonies, -9.0);
    Mix(s.vocals, harmonies);
  }

  s.song = Silence(frames);
  PlayPad(a, a.pad, s.song);
  Level(s.song, -14.0);

  // One gain for every stem, so that the full mix peaks well below full scale.
  Stereo full = Silence(frames);
  for (const Stereo* stem : {&s.drums, &s.rhythm, &s.guitar, &s.keys, &s.vocals, &s.song}) Mix(full, *stem);
  float peak = 1e-6f;
  for (size_t i = 0; i < full.left.size(); ++i) peak = std::max({peak, std::fabs(full.left[i]), std::fabs(full.right[i])});
  for (Stereo* stem : {&s.drums, &s.rhythm, &s.guitar, &s.keys, &s.vocals, &s.song}) {
    Scale(*stem, 0.8 / peak);
    FadeOut(*stem, 1.2);
  }
  return s;
}

Stereo PreviewMix(const Stems& stems, double fromSeconds, double seconds) {
  const int64_t from = static_cast<int64_t>(fromSeconds * kRate);
  const int64_t frames = static_cast<int64_t>(seconds * kRate);
  Stereo out = Silence(frames);
  for (const Stereo* stem : {&stems.drums, &stems.rhythm, &stems.guitar, &stems.keys, &stems.vocals, &stems.song}) {
    for (int64_t i = 0; i < frames && from + i < stem->Frames(); ++i) {
      out.left[static_cast<size_t>(i)] += stem->left[static_cast<size_t>(from + i)];
      out.right[static_cast<size_t>(i)] += stem->right[static_cast<size_t>(from + i)];
    }
  }
  const int64_t fadeIn = static_cast<int64_t>(1.0 * kRate);
  for (int64_t i = 0; i < fadeIn && i < frames; ++i) {
    const float g = static_cast<float>(i) / static_cast<float>(fadeIn);
    out.left[static_cast<size_t>(i)] *= g;
    out.right[static_cast<size_t>(i)] *= g;
  }
  FadeOut(out, 2.0);
  return out;
}

}  // namespace demo
