// The six drum kits of "data/sfx/drumkit1".."drumkit6": eleven pieces each, built from
// one shared recipe per piece and a table of kit characters (tuning, decay, room and
// drive), so that a tight studio kit, a roomy hall kit, an electronic kit and the rest
// sound clearly apart. Usage: velorin_sfx_drums <run folder>
#include <cstdio>
#include <string>

#include "content/sounds/dsp.h"

namespace {

using sfx::Buffer;

struct Kit {
  const char* character;
  double kickStartHz, kickEndHz, kickDecay;
  double snareToneHz, snareNoiseHz, snareDecay;
  double hatCutoffHz, hatBaseHz;
  double tomLowHz, tomDecay;
  double cymbalDecay;
  double roomWet, roomSize;
  double drive;  // 1 = clean
  bool electronic;  // pure swept sines and white noise, no body resonance
};

// One line per kit, in folder order.
const Kit kKits[6] = {
    {"tight studio", 150, 52, 0.35, 190, 3200, 0.25, 7000, 420, 95, 0.45, 1.6, 0.05, 0.2, 1.0, false},
    {"roomy hall", 120, 45, 0.7, 170, 2500, 0.5, 6000, 380, 82, 0.9, 2.6, 0.45, 0.9, 1.0, false},
    {"electronic", 260, 48, 0.6, 240, 5200, 0.2, 9000, 540, 120, 0.35, 1.2, 0.15, 0.4, 1.0, true},
    {"rock", 140, 55, 0.45, 200, 2800, 0.35, 6500, 400, 90, 0.6, 2.0, 0.2, 0.5, 2.5, false},
    {"jazz brushes", 110, 60, 0.3, 230, 1800, 0.6, 5000, 330, 110, 0.5, 3.0, 0.25, 0.6, 1.0, false},
    {"lo-fi crunch", 180, 58, 0.4, 210, 3800, 0.3, 4200, 470, 100, 0.4, 1.4, 0.1, 0.3, 5.0, true},
};

Buffer Kick(const Kit& k, uint32_t seed) {
  Buffer b = sfx::SweptSine(k.kickDecay + 0.1, k.kickStartHz, k.kickEndHz, 0.03, k.kickDecay);
  if (!k.electronic) sfx::Mix(b, sfx::BandNoise(seed, 0.03, 3000, 1.0, 0.0005, 0.01), 0.3);
  return b;
}
Buffer Snare(const Kit& k, uint32_t seed) {
  Buffer b = sfx::SweptSine(k.snareDecay, k.snareToneHz * 1.4, k.snareToneHz, 0.01, k.snareDecay * 0.4);
  sfx::Mix(b, sfx::BandNoise(seed, k.snareDecay + 0.05, k.snareNoiseHz, 0.8, 0.0005, k.snareDecay), 1.4);
  return b;
}
Buffer Hat(const Kit& k, uint32_t seed, double decay) {
  Buffer b = sfx::MetalCluster(decay + 0.05, k.hatBaseHz, decay, k.hatCutoffHz);
  sfx::Mix(b, sfx::HighNoise(seed, decay + 0.05, k.hatCutoffHz, decay), k.electronic ? 0.9 : 0.5);
  return b;
}
Buffer Tom(const Kit& k, uint32_t seed, double pitch) {
  const double hz = k.tomLowHz * pitch;
  Buffer b = sfx::SweptSine(k.tomDecay + 0.1, hz * 1.5, hz, 0.05, k.tomDecay);
  if (!k.electronic) sfx::Mix(b, sfx::BandNoise(seed, 0.05, hz * 6, 1.2, 0.0005, 0.04), 0.3);
  return b;
}
Buffer Crash(const Kit& k, uint32_t seed) {
  Buffer b = sfx::HighNoise(seed, k.cymbalDecay, k.hatCutoffHz * 0.5, k.cymbalDecay);
  sfx::Mix(b, sfx::MetalCluster(k.cymbalDecay, k.hatBaseHz * 0.8, k.cymbalDecay * 0.7, 2000), 0.6);
  return b;
}
Buffer Ride(const Kit& k, uint32_t seed) {
  Buffer b = sfx::MetalCluster(k.cymbalDecay * 0.8, k.hatBaseHz * 1.2, k.cymbalDecay * 0.6, 3000);
  sfx::Mix(b, sfx::Additive(k.hatBaseHz * 5.1, 0.6, {1.0, 0.0, 0.3}, 0.0005, 0.5), 0.25);
  sfx::Mix(b, sfx::HighNoise(seed, 0.08, 8000, 0.05), 0.4);
  return b;
}
Buffer Sizzle(const Kit& k, uint32_t seed) {
  Buffer b = Hat(k, seed, 0.5);
  sfx::Mix(b, sfx::BandNoise(seed + 1, 0.6, k.hatCutoffHz * 1.2, 3.0, 0.0005, 0.55), 0.8);
  return b;
}

struct Piece {
  const char* file;
  Buffer (*make)(const Kit&, uint32_t seed);
};

// The pieces in the order the game numbers them within a kit.
const Piece kPieces[11] = {
    {"Drum_Bass.wav", Kick},
    {"Drum_Snare.wav", Snare},
    {"Drum_HiHat.wav", [](const Kit& k, uint32_t s) { return Hat(k, s, 0.06); }},
    {"Drum_Tom1.wav", [](const Kit& k, uint32_t s) { return Tom(k, s, 1.6); }},
    {"Drum_Tom2.wav", [](const Kit& k, uint32_t s) { return Tom(k, s, 1.25); }},
    {"Drum_Tom3.wav", [](const Kit& k, uint32_t s) { return Tom(k, s, 1.0); }},
    {"Drum_Crash.wav", Crash},
    {"Drum_Ride.wav", Ride},
    {"Drum_HiHatOpen.wav", [](const Kit& k, uint32_t s) { return Hat(k, s, 0.35); }},
    {"Drum_HiHatPedal.wav", [](const Kit& k, uint32_t s) { return Hat(k, s, 0.03); }},
    {"Drum_HiHatSizzle.wav", Sizzle},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <run folder>\n", argv[0]);
    return 2;
  }
  bool ok = true;
  for (int kit = 0; kit < 6; ++kit) {
    const Kit& k = kKits[kit];
    const std::string folder = std::string(argv[1]) + "/data/sfx/drumkit" + std::to_string(kit + 1) + "/";
    for (int piece = 0; piece < 11; ++piece) {
      Buffer b = kPieces[piece].make(k, static_cast<uint32_t>(1000 + kit * 37 + piece));
      if (k.drive > 1.0) sfx::Drive(b, k.drive);
      if (k.roomWet > 0) sfx::Reverb(b, k.roomWet, k.roomSize, 0.3 + k.roomSize * 0.6);
      ok = sfx::Finish(b, folder + kPieces[piece].file) && ok;
    }
  }
  return ok ? 0 : 1;
}
