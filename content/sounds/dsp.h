// Small sound-making toolkit for the game's sound effects: a seeded noise source,
// oscillators, one-pole and state-variable filters, envelopes, a plucked string, two-
// operator FM and a short reverb. Every buffer is mono float at 44.1 kHz; Finish()
// trims leading silence, sets the peak to the shared level and writes the 16-bit PCM
// WAVE file the game reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sfx {

inline constexpr int kRate = 44100;
inline constexpr double kPi = 3.14159265358979323846;
// Every effect peaks here (about -6 dBFS) so that the families sound equally loud.
inline constexpr double kPeak = 0.5;

using Buffer = std::vector<float>;

// Deterministic white noise (xorshift), so two builds write the same bytes.
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed ? seed : 1u) {}
  float Next();

 private:
  uint32_t state_;
};

int Samples(double seconds);
double NoteHz(double midiNote);

// Exponential decay from 1 with the given time to fall by 60 dB, after an attack ramp.
float Envelope(double t, double attack, double decay60);

// A sine whose frequency glides exponentially from `startHz` to `endHz`.
Buffer SweptSine(double seconds, double startHz, double endHz, double glideSeconds, double decay60);
// Noise through a state-variable band-pass (q ~ 0.7 broad .. 8 narrow), decaying.
Buffer BandNoise(uint32_t seed, double seconds, double centreHz, double q, double attack, double decay60);
// Noise through a one-pole high-pass, decaying.
Buffer HighNoise(uint32_t seed, double seconds, double cutoffHz, double decay60);
// Several detuned square partials (a metallic cluster), high-passed.
Buffer MetalCluster(double seconds, double baseHz, double decay60, double cutoffHz);
// Karplus-Strong plucked string; `damping` 0..1 (higher is duller), `brightness` of the pick.
Buffer Pluck(uint32_t seed, double hz, double seconds, double damping, double brightness);
// Two-operator FM: carrier at hz, modulator at ratio x hz, index decaying with the note.
Buffer Fm(double hz, double seconds, double ratio, double index, double attack, double decay60);
// Additive tone from harmonic amplitudes, with an attack and decay.
Buffer Additive(double hz, double seconds, const std::vector<double>& harmonics, double attack, double decay60);
// Detuned saw pair through a low-pass, for leads and pads.
Buffer Saws(double hz, double seconds, double detuneCents, double cutoffHz, double attack, double release);

// Sums b (scaled by gain) into a, from sample `at`, growing a where needed.
void Mix(Buffer& a, const Buffer& b, double gain, int at = 0);
void LowPass(Buffer& b, double cutoffHz);
void HighPass(Buffer& b, double cutoffHz);
// Soft clipping drive (tanh) with the given gain before the curve.
void Drive(Buffer& b, double gain);
// Feedback-comb reverb, `wet` 0..1, `size` 0..1 (room length).
void Reverb(Buffer& b, double wet, double size, double tailSeconds);
// Fades out the last `seconds`.
void FadeTail(Buffer& b, double seconds);

// Trims leading near-silence, normalises the peak to kPeak and writes `path`
// (folders are created). Returns false and prints one line when the file cannot be written.
bool Finish(Buffer b, const std::string& path);

}  // namespace sfx
