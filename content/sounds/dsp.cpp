// The building blocks of the sound effects; see dsp.h.
#include "content/sounds/dsp.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace sfx {

float Noise::Next() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return static_cast<float>(state_) / 2147483648.0f - 1.0f;
}

int Samples(double seconds) { return std::max(1, static_cast<int>(seconds * kRate)); }

double NoteHz(double midiNote) { return 440.0 * std::pow(2.0, (midiNote - 69.0) / 12.0); }

float Envelope(double t, double attack, double decay60) {
  if (attack > 0 && t < attack) return static_cast<float>(t / attack);
  const double after = t - attack;
  return static_cast<float>(std::exp(-6.9077553 * after / decay60));
}

Buffer SweptSine(double seconds, double startHz, double endHz, double glideSeconds, double decay60) {
  Buffer b(Samples(seconds));
  double phase = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double hz = endHz + (startHz - endHz) * std::exp(-t / glideSeconds);
    phase += 2 * kPi * hz / kRate;
    b[i] = static_cast<float>(std::sin(phase)) * Envelope(t, 0.0005, decay60);
  }
  return b;
}

namespace {

// Chamberlin state-variable filter, band-pass output.
Buffer BandPassOf(const Buffer& in, double centreHz, double q) {
  Buffer out(in.size());
  const double f = 2 * std::sin(kPi * std::min(centreHz, kRate / 6.0) / kRate);
  const double damp = 1.0 / q;
  double low = 0, band = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    const double high = in[i] - low - damp * band;
    band += f * high;
    low += f * band;
    out[i] = static_cast<float>(band);
  }
  return out;
}

}  // namespace

Buffer BandNoise(uint32_t seed, double seconds, double centreHz, double q, double attack, double decay60) {
  Noise noise(seed);
  Buffer raw(Samples(seconds));
  for (float& s : raw) s = noise.Next();
  Buffer b = BandPassOf(raw, centreHz, q);
  for (size_t i = 0; i < b.size(); ++i) b[i] *= Envelope(static_cast<double>(i) / kRate, attack, decay60);
  return b;
}

Buffer HighNoise(uint32_t seed, double seconds, double cutoffHz, double decay60) {
  Noise noise(seed);
  Buffer b(Samples(seconds));
  for (float& s : b) s = noise.Next();
  HighPass(b, cutoffHz);
  for (size_t i = 0; i < b.size(); ++i) b[i] *= Envelope(static_cast<double>(i) / kRate, 0.0005, decay60);
  return b;
}

Buffer MetalCluster(double seconds, double baseHz, double decay60, double cutoffHz) {
  static const double kRatios[] = {1.0, 1.342, 1.2312, 1.6532, 1.9523, 2.1523};
  Buffer b(Samples(seconds));
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double sum = 0;
    for (double r : kRatios) sum += std::sin(2 * kPi * baseHz * r * t) >= 0 ? 1.0 : -1.0;
    b[i] = static_cast<float>(sum / 6.0) * Envelope(t, 0.0005, decay60);
  }
  HighPass(b, cutoffHz);
  return b;
}

Buffer Pluck(uint32_t seed, double hz, double seconds, double damping, double brightness) {
  Noise noise(seed);
  const int period = std::max(2, static_cast<int>(std::lround(kRate / hz)));
  Buffer line(period);
  float smooth = 0;
  for (float& s : line) {
    smooth += static_cast<float>(brightness) * (noise.Next() - smooth);  // softer pick, darker start
    s = smooth;
  }
  Buffer b(Samples(seconds));
  const float keep = static_cast<float>(0.5 * (1.0 - damping * 0.5));
  const float feedback = 0.996f;
  int pos = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    const int next = (pos + 1) % period;
    const float out = line[pos];
    line[pos] = feedback * (keep * line[pos] + (1.0f - keep) * line[next]);
    b[i] = out;
    pos = next;
  }
  HighPass(b, 30.0);
  return b;
}

Buffer Fm(double hz, double seconds, double ratio, double index, double attack, double decay60) {
  Buffer b(Samples(seconds));
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double env = Envelope(t, attack, decay60);
    const double mod = index * env * std::sin(2 * kPi * hz * ratio * t);
    b[i] = static_cast<float>(std::sin(2 * kPi * hz * t + mod) * env);
  }
  return b;
}

Buffer Additive(double hz, double seconds, const std::vector<double>& harmonics, double attack, double decay60) {
  Buffer b(Samples(seconds));
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double sum = 0;
    for (size_t h = 0; h < harmonics.size(); ++h) {
      if (hz * (h + 1) < kRate / 2.2) sum += harmonics[h] * std::sin(2 * kPi * hz * (h + 1) * t);
    }
    b[i] = static_cast<float>(sum) * Envelope(t, attack, decay60);
  }
  return b;
}

Buffer Saws(double hz, double seconds, double detuneCents, double cutoffHz, double attack, double release) {
  Buffer b(Samples(seconds));
  const double spread = std::pow(2.0, detuneCents / 1200.0);
  double p1 = 0, p2 = 0.37;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    p1 += hz / kRate;
    p2 += hz * spread / kRate;
    p1 -= std::floor(p1);
    p2 -= std::floor(p2);
    const double level = std::min(1.0, t / attack) * std::min(1.0, (seconds - t) / release);
    b[i] = static_cast<float>(((2 * p1 - 1) + (2 * p2 - 1)) * 0.5 * level);
  }
  LowPass(b, cutoffHz);
  return b;
}

void Mix(Buffer& a, const Buffer& b, double gain, int at) {
  if (a.size() < b.size() + at) a.resize(b.size() + at, 0.0f);
  for (size_t i = 0; i < b.size(); ++i) a[i + at] += static_cast<float>(gain * b[i]);
}

void LowPass(Buffer& b, double cutoffHz) {
  const double k = 1.0 - std::exp(-2 * kPi * cutoffHz / kRate);
  double y = 0;
  for (float& s : b) {
    y += k * (s - y);
    s = static_cast<float>(y);
  }
}

void HighPass(Buffer& b, double cutoffHz) {
  const double k = 1.0 - std::exp(-2 * kPi * cutoffHz / kRate);
  double low = 0;
  for (float& s : b) {
    low += k * (s - low);
    s = static_cast<float>(s - low);
  }
}

void Drive(Buffer& b, double gain) {
  for (float& s : b) s = static_cast<float>(std::tanh(gain * s));
}

void Reverb(Buffer& b, double wet, double size, double tailSeconds) {
  static const int kCombs[] = {1116, 1188, 1277, 1356};
  b.resize(b.size() + Samples(tailSeconds), 0.0f);
  Buffer out(b.size(), 0.0f);
  for (int length : kCombs) {
    const int delay = std::max(8, static_cast<int>(length * (0.4 + size)));
    Buffer line(delay, 0.0f);
    int pos = 0;
    for (size_t i = 0; i < b.size(); ++i) {
      const float y = line[pos];
      line[pos] = b[i] + static_cast<float>(0.6 + 0.3 * size) * y;
      out[i] += y * 0.25f;
      pos = (pos + 1) % delay;
    }
  }
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<float>((1 - wet) * b[i] + wet * out[i]);
  FadeTail(b, std::min(tailSeconds, 0.1));
}

void FadeTail(Buffer& b, double seconds) {
  const size_t n = std::min(b.size(), static_cast<size_t>(Samples(seconds)));
  for (size_t i = 0; i < n; ++i) b[b.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(n);
}

bool Finish(Buffer b, const std::string& path) {
  float peak = 0;
  for (float s : b) peak = std::max(peak, std::fabs(s));
  if (peak <= 0) peak = 1;
  // Drop what lies below -40 dB of the peak at the start: the sound begins at once.
  size_t start = 0;
  while (start < b.size() && std::fabs(b[start]) < peak * 0.01f) ++start;
  b.erase(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min(start, b.size() - 1)));
  FadeTail(b, 0.005);

  std::vector<int16_t> pcm(b.size());
  const double gain = kPeak / peak;
  for (size_t i = 0; i < b.size(); ++i) pcm[i] = static_cast<int16_t>(std::lround(b[i] * gain * 32767.0));

  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  std::ofstream file(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { file.put(char(v)).put(char(v >> 8)).put(char(v >> 16)).put(char(v >> 24)); };
  auto u16 = [&](uint16_t v) { file.put(char(v)).put(char(v >> 8)); };
  const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
  file.write("RIFF", 4);
  u32(36 + dataBytes);
  file.write("WAVEfmt ", 8);
  u32(16);
  u16(1);  // integer PCM
  u16(1);  // mono
  u32(kRate);
  u32(kRate * 2);
  u16(2);
  u16(16);
  file.write("data", 4);
  u32(dataBytes);
  for (int16_t s : pcm) u16(static_cast<uint16_t>(s));
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace sfx
