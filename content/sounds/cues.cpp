// The game's and the menus' own sounds: the miss sounds of each instrument, the win,
// lose and rank-up arpeggios, alerts and ticks of the default theme
// ("themes/default/static/sfx/"), the dance steps, and the novelty extras of "data/sfx/".
// Menu sounds are short and soft-edged. Usage: velorin_sfx_cues <run folder>
#include <cstdio>
#include <string>
#include <vector>

#include "content/sounds/dsp.h"

namespace {

using sfx::Buffer;

// A run of notes played one after another with a bell-like FM voice.
Buffer Arpeggio(const std::vector<double>& midiNotes, double step, double noteSeconds, double ratio, double index) {
  Buffer b;
  for (size_t i = 0; i < midiNotes.size(); ++i) {
    sfx::Mix(b, sfx::Fm(sfx::NoteHz(midiNotes[i]), noteSeconds, ratio, index, 0.002, noteSeconds * 0.8), 1.0,
             sfx::Samples(step * static_cast<double>(i)));
  }
  return b;
}
Buffer Blip(double midi, double seconds) { return sfx::Fm(sfx::NoteHz(midi), seconds, 2.0, 0.6, 0.002, seconds * 0.7); }
Buffer Chirp(double fromHz, double toHz, double seconds) {
  return sfx::SweptSine(seconds, fromHz, toHz, seconds * 0.4, seconds * 0.9);
}
// A dull, slightly detuned thud with a string buzz: the sound of a fumbled note.
Buffer Fumble(double midi, uint32_t seed, double damping) {
  Buffer b = sfx::Pluck(seed, sfx::NoteHz(midi), 0.35, damping, 0.9);
  sfx::Mix(b, sfx::Pluck(seed + 3, sfx::NoteHz(midi + 0.6), 0.35, damping, 0.9), 0.8);
  sfx::Drive(b, 4.0);
  sfx::LowPass(b, 2500);
  sfx::FadeTail(b, 0.1);
  return b;
}
Buffer DrumMiss(double hz, uint32_t seed) {
  Buffer b = sfx::BandNoise(seed, 0.2, hz, 2.0, 0.0005, 0.12);
  sfx::Mix(b, sfx::SweptSine(0.2, hz * 0.3, hz * 0.15, 0.02, 0.1), 0.7);
  return b;
}
Buffer KeysMiss(double midi) {
  Buffer b = sfx::Additive(sfx::NoteHz(midi), 0.3, {1.0, 0.5, 0.3}, 0.002, 0.25);
  sfx::Mix(b, sfx::Additive(sfx::NoteHz(midi + 1), 0.3, {1.0, 0.5, 0.3}, 0.002, 0.25), 1.0);  // a clashing second
  return b;
}
Buffer Whoosh(uint32_t seed, double seconds, double fromHz, double toHz) {
  Buffer b;
  const int slices = 12;
  for (int i = 0; i < slices; ++i) {
    const double hz = fromHz + (toHz - fromHz) * i / (slices - 1);
    sfx::Mix(b, sfx::BandNoise(seed + i, seconds / slices * 2, hz, 3.0, seconds / slices, seconds / slices), 1.0,
             sfx::Samples(seconds / slices * i));
  }
  return b;
}
Buffer Soft(Buffer b) {
  sfx::LowPass(b, 4000);
  return b;
}

struct Cue {
  const char* path;  // below the run folder
  Buffer (*make)();
};

#define THEME "themes/default/static/sfx/"
const Cue kCues[] = {
    {THEME "miss_fx/Game_Drum_Miss_1.wav", [] { return DrumMiss(900, 11); }},
    {THEME "miss_fx/Game_Drum_Miss_2.wav", [] { return DrumMiss(1200, 12); }},
    {THEME "miss_fx/Game_Drum_Miss_3.wav", [] { return DrumMiss(1600, 13); }},
    {THEME "miss_fx/Game_Drum_Miss_4.wav", [] { return DrumMiss(2100, 14); }},
    {THEME "miss_fx/Game_Drum_Miss_Bass.wav", [] { return DrumMiss(400, 15); }},
    {THEME "miss_fx/Game_Bass_Miss_1.wav", [] { return Fumble(33, 21, 0.7); }},
    {THEME "miss_fx/Game_Bass_Miss_2.wav", [] { return Fumble(35, 22, 0.7); }},
    {THEME "miss_fx/Game_Bass_Miss_3.wav", [] { return Fumble(38, 23, 0.7); }},
    {THEME "miss_fx/Game_Bass_Miss_4.wav", [] { return Fumble(40, 24, 0.7); }},
    {THEME "miss_fx/Game_Guitar_Miss_1.wav", [] { return Fumble(52, 31, 0.3); }},
    {THEME "miss_fx/Game_Guitar_Miss_2.wav", [] { return Fumble(55, 32, 0.3); }},
    {THEME "miss_fx/Game_Guitar_Miss_3.wav", [] { return Fumble(57, 33, 0.3); }},
    {THEME "miss_fx/Game_Guitar_Miss_4.wav", [] { return Fumble(59, 34, 0.3); }},
    {THEME "miss_fx/Game_Keys_Miss_1.wav", [] { return KeysMiss(60); }},
    {THEME "miss_fx/Game_Keys_Miss_2.wav", [] { return KeysMiss(63); }},
    {THEME "miss_fx/Game_Keys_Miss_3.wav", [] { return KeysMiss(66); }},
    {THEME "miss_fx/Game_Keys_Miss_4.wav", [] { return KeysMiss(69); }},
    {THEME "Game_Win_1.wav", [] { return Arpeggio({60, 64, 67, 72, 76, 79, 84}, 0.09, 0.9, 1.0, 1.2); }},
    {THEME "Game_Win_2.wav", [] { return Arpeggio({67, 71, 74, 79, 83, 86}, 0.12, 1.1, 2.0, 0.9); }},
    {THEME "Game_Lose.wav", [] { return Arpeggio({64, 60, 57, 52}, 0.22, 0.8, 1.0, 0.7); }},
    {THEME "Game_Combo_Breaker.wav", [] { return Fumble(45, 41, 0.2); }},
    {THEME "Game_VL_Activate.wav", [] { return Arpeggio({72, 79, 84, 91}, 0.05, 0.6, 3.5, 1.5); }},
    {THEME "Game_VL_Finish.wav", [] { return Arpeggio({91, 84, 79}, 0.06, 0.5, 3.5, 1.2); }},
    {THEME "Game_VL_Sequence.wav", [] { return Arpeggio({84, 88}, 0.05, 0.3, 3.5, 1.0); }},
    {THEME "Game_Pause_Activate.wav", [] { return Soft(Chirp(900, 500, 0.15)); }},
    {THEME "Game_Player_Fail.wav", [] { return Arpeggio({55, 54, 53}, 0.15, 0.5, 1.5, 2.5); }},
    {THEME "Game_Rank_Up.wav", [] { return Arpeggio({60, 67, 72, 76, 79}, 0.07, 0.7, 1.0, 1.0); }},
    {THEME "Game_Mine.wav", [] { return sfx::BandNoise(51, 0.4, 300, 0.9, 0.0005, 0.3); }},
    {THEME "Game_Alert.wav", [] { return Arpeggio({81, 81}, 0.14, 0.12, 1.0, 0.4); }},
    {THEME "Game_Tick.wav", [] { return sfx::BandNoise(52, 0.03, 5000, 4.0, 0.0005, 0.015); }},
    {THEME "Game_Combo_Alert.wav", [] { return Arpeggio({76, 83}, 0.08, 0.25, 2.0, 0.8); }},
    {THEME "Menu_Backwards.wav", [] { return Soft(Chirp(700, 450, 0.08)); }},
    {THEME "Menu_Forwards.wav", [] { return Soft(Chirp(450, 700, 0.08)); }},
    {THEME "Menu_NewCtrl.wav", [] { return Soft(Arpeggio({72, 76, 79}, 0.05, 0.2, 1.0, 0.5)); }},
    {THEME "Menu_Switch_Up.wav", [] { return Soft(Blip(79, 0.06)); }},
    {THEME "Menu_Switch_Down.wav", [] { return Soft(Blip(74, 0.06)); }},
    {THEME "Menu_Error.wav", [] { return Soft(Arpeggio({58, 58}, 0.09, 0.08, 1.41, 2.0)); }},
    {THEME "Menu_Client_Connect.wav", [] { return Soft(Arpeggio({67, 74}, 0.07, 0.2, 1.0, 0.5)); }},
    {THEME "Menu_Client_Disconnect.wav", [] { return Soft(Arpeggio({74, 67}, 0.07, 0.2, 1.0, 0.5)); }},
    {"data/sfx/dance1/dance_up.wav", [] { return Soft(Chirp(600, 1200, 0.1)); }},
    {"data/sfx/dance1/dance_down.wav", [] { return Soft(Chirp(1200, 600, 0.1)); }},
    {"data/sfx/dance1/dance_left.wav", [] { return Soft(Blip(69, 0.1)); }},
    {"data/sfx/dance1/dance_right.wav", [] { return Soft(Blip(76, 0.1)); }},
    {"data/sfx/Menu_Secret.wav", [] { return Arpeggio({72, 74, 76, 79, 81, 84, 86, 88}, 0.045, 0.4, 2.0, 1.0); }},
    {"data/sfx/Menu_Cowbell_1.wav", [] { return sfx::MetalCluster(0.3, 560, 0.2, 500); }},
    {"data/sfx/Menu_Cowbell_2.wav", [] { return sfx::MetalCluster(0.3, 640, 0.18, 500); }},
    {"data/sfx/Menu_Cowbell_3.wav", [] { return sfx::MetalCluster(0.3, 720, 0.16, 500); }},
    {"data/sfx/Menu_Sleigh_Bells_1.wav", [] { return Arpeggio({96, 98, 96, 99}, 0.03, 0.25, 3.7, 1.2); }},
    {"data/sfx/Menu_Sleigh_Bells_2.wav", [] { return Arpeggio({98, 96, 100, 97}, 0.035, 0.25, 3.7, 1.2); }},
    {"data/sfx/Menu_Sleigh_Bells_3.wav", [] { return Arpeggio({97, 99, 101}, 0.04, 0.3, 3.7, 1.2); }},
    {"data/sfx/Menu_Firework_1.wav", [] { Buffer b = Whoosh(61, 0.4, 500, 3000); sfx::Mix(b, sfx::BandNoise(62, 0.6, 800, 0.7, 0.0005, 0.5), 1.5, sfx::Samples(0.4)); return b; }},
    {"data/sfx/Menu_Firework_2.wav", [] { Buffer b = Whoosh(63, 0.5, 400, 2500); sfx::Mix(b, sfx::BandNoise(64, 0.7, 600, 0.7, 0.0005, 0.6), 1.5, sfx::Samples(0.5)); return b; }},
    {"data/sfx/Menu_Firework_3.wav", [] { Buffer b = Whoosh(65, 0.3, 700, 3500); sfx::Mix(b, sfx::BandNoise(66, 0.5, 1100, 0.7, 0.0005, 0.4), 1.5, sfx::Samples(0.3)); return b; }},
    {"data/sfx/Menu_Scream_1.wav", [] { Buffer b = sfx::Saws(700, 0.6, 40, 2500, 0.02, 0.2); sfx::Drive(b, 3); return b; }},
    {"data/sfx/Menu_Scream_2.wav", [] { Buffer b = sfx::Saws(850, 0.5, 50, 2800, 0.02, 0.2); sfx::Drive(b, 3); return b; }},
    {"data/sfx/Menu_Scream_3.wav", [] { Buffer b = sfx::Saws(600, 0.7, 35, 2200, 0.02, 0.25); sfx::Drive(b, 3); return b; }},
    {"data/sfx/Menu_Turkey_1.wav", [] { return Arpeggio({62, 66, 62, 66, 62}, 0.05, 0.08, 0.5, 4.0); }},
    {"data/sfx/Menu_Turkey_2.wav", [] { return Arpeggio({64, 68, 64, 68}, 0.055, 0.08, 0.5, 4.0); }},
    {"data/sfx/Menu_Turkey_3.wav", [] { return Arpeggio({60, 65, 60, 65, 60, 65}, 0.045, 0.08, 0.5, 4.0); }},
    {"data/sfx/Menu_Harp_1.wav", [] { Buffer b; for (int i = 0; i < 6; ++i) sfx::Mix(b, sfx::Pluck(70 + i, sfx::NoteHz(60 + i * 4), 1.0, 0.1, 0.3), 1.0, sfx::Samples(0.04 * i)); return b; }},
    {"data/sfx/Menu_Harp_2.wav", [] { Buffer b; for (int i = 0; i < 6; ++i) sfx::Mix(b, sfx::Pluck(80 + i, sfx::NoteHz(79 - i * 4), 1.0, 0.1, 0.3), 1.0, sfx::Samples(0.04 * i)); return b; }},
    {"data/sfx/Menu_Harp_3.wav", [] { Buffer b; for (int i = 0; i < 8; ++i) sfx::Mix(b, sfx::Pluck(90 + i, sfx::NoteHz(55 + i * 3), 1.2, 0.1, 0.3), 1.0, sfx::Samples(0.03 * i)); return b; }},
};
#undef THEME

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <run folder>\n", argv[0]);
    return 2;
  }
  bool ok = true;
  for (const Cue& cue : kCues) ok = sfx::Finish(cue.make(), std::string(argv[1]) + "/" + cue.path) && ok;
  return ok ? 0 : 1;
}
