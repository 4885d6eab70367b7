// The fixed table of sound ids and the files behind them.
#include <string>

#include "core/settings.h"
#include "devices/audio/sound_player.h"

namespace {

const char16_t* const kDrumNames[11] = {
    u"/Drum_Bass.wav",    u"/Drum_Snare.wav", u"/Drum_HiHat.wav",     u"/Drum_Tom1.wav",
    u"/Drum_Tom2.wav",    u"/Drum_Tom3.wav",  u"/Drum_Crash.wav",     u"/Drum_Ride.wav",
    u"/Drum_HiHatOpen.wav", u"/Drum_HiHatPedal.wav", u"/Drum_HiHatSizzle.wav",
};

const char16_t* const kDanceNames[4] = {u"/dance_up.wav", u"/dance_down.wav", u"/dance_left.wav",
                                        u"/dance_right.wav"};

const char16_t* const kExtraNames[6] = {u"Cowbell", u"Sleigh_Bells", u"Firework", u"Scream", u"Turkey", u"Harp"};

struct ThemeSound {
  uint32_t id;
  const char16_t* path;
};

// Paths relative to the theme's "static/" folder, in id order.
const ThemeSound kThemeSounds[] = {
    {70, u"sfx/miss_fx/Game_Drum_Miss_1.wav"},   {71, u"sfx/miss_fx/Game_Drum_Miss_2.wav"},
    {72, u"sfx/miss_fx/Game_Drum_Miss_3.wav"},   {73, u"sfx/miss_fx/Game_Drum_Miss_4.wav"},
    {74, u"sfx/miss_fx/Game_Drum_Miss_Bass.wav"}, {75, u"sfx/miss_fx/Game_Bass_Miss_1.wav"},
    {76, u"sfx/miss_fx/Game_Bass_Miss_2.wav"},   {77, u"sfx/miss_fx/Game_Bass_Miss_3.wav"},
    {78, u"sfx/miss_fx/Game_Bass_Miss_4.wav"},   {80, u"sfx/miss_fx/Game_Guitar_Miss_1.wav"},
    {81, u"sfx/miss_fx/Game_Guitar_Miss_2.wav"}, {82, u"sfx/miss_fx/Game_Guitar_Miss_3.wav"},
    {83, u"sfx/miss_fx/Game_Guitar_Miss_4.wav"}, {85, u"sfx/miss_fx/Game_Keys_Miss_1.wav"},
    {86, u"sfx/miss_fx/Game_Keys_Miss_2.wav"},   {87, u"sfx/miss_fx/Game_Keys_Miss_3.wav"},
    {88, u"sfx/miss_fx/Game_Keys_Miss_4.wav"},   {90, u"sfx/Game_Win_1.wav"},
    {91, u"sfx/Game_Win_2.wav"},                 {92, u"sfx/Game_Lose.wav"},
    {93, u"sfx/Game_Combo_Breaker.wav"},         {94, u"sfx/Game_VL_Activate.wav"},
    {95, u"sfx/Game_VL_Finish.wav"},             {96, u"sfx/Game_VL_Sequence.wav"},
    {97, u"sfx/Game_Pause_Activate.wav"},        {98, u"sfx/Game_Player_Fail.wav"},
    {99, u"sfx/Game_Rank_Up.wav"},               {100, u"sfx/Game_Mine.wav"},
    {101, u"sfx/Game_Alert.wav"},                {102, u"sfx/Game_Tick.wav"},
    {103, u"sfx/Game_Combo_Alert.wav"},          {104, u"sfx/Menu_Backwards.wav"},
    {105, u"sfx/Menu_Forwards.wav"},             {106, u"sfx/Menu_NewCtrl.wav"},
    {107, u"sfx/Menu_Switch_Up.wav"},            {108, u"sfx/Menu_Switch_Down.wav"},
    {109, u"sfx/Menu_Error.wav"},                {111, u"sfx/Menu_Client_Connect.wav"},
    {112, u"sfx/Menu_Client_Disconnect.wav"},
};

std::u16string Number(int n) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n > 0);
  return text;
}

std::u16string NoteFile(const char16_t* set, int n) {
  return u"data/sfx/" + std::u16string(set) + u"/" + Number(n) + u".wav";
}

}  // namespace

void LoadInstrumentSounds() {
  SoundPlayer* player = g_SoundPlayer;
  if (!player) return;

  for (int kit = 1; kit <= 6; ++kit) {
    for (int drum = 0; drum < 11; ++drum) {
      player->LoadWave(static_cast<uint32_t>((kit - 1) * 11 + drum), u"data/sfx/drumkit" + Number(kit) + kDrumNames[drum]);
    }
  }
  for (int step = 0; step < 4; ++step) {
    player->LoadWave(static_cast<uint32_t>(290 + step), u"data/sfx/dance" + Number(1) + kDanceNames[step]);
  }
  for (int n = 0; n <= 14; ++n) {
    player->LoadWave(static_cast<uint32_t>(120 + n), NoteFile(u"guitar1", n));
    player->LoadWave(static_cast<uint32_t>(135 + n), NoteFile(u"guitar2", n));
    player->LoadWave(static_cast<uint32_t>(150 + n), NoteFile(u"guitar3", n));
    player->LoadWave(static_cast<uint32_t>(165 + n), NoteFile(u"bass1", n));
  }
  for (int n = 0; n <= 21; ++n) {
    player->LoadWave(static_cast<uint32_t>(180 + n), NoteFile(u"keys1", n));
    player->LoadWave(static_cast<uint32_t>(202 + n), NoteFile(u"keys2", n));
    player->LoadWave(static_cast<uint32_t>(224 + n), NoteFile(u"keys3", n));
    player->LoadWave(static_cast<uint32_t>(246 + n), NoteFile(u"keys4", n));
    player->LoadWave(static_cast<uint32_t>(268 + n), NoteFile(u"keys5", n));
  }
  player->LoadWave(110, u"data/sfx/Menu_Secret.wav");
  for (int set = 0; set < 6; ++set) {
    for (int variant = 1; variant <= 3; ++variant) {
      player->LoadWave(static_cast<uint32_t>(300 + set * 3 + variant - 1),
                       u"data/sfx/Menu_" + std::u16string(kExtraNames[set]) + u"_" + Number(variant) + u".wav");
    }
  }
  for (const ThemeSound& sound : kThemeSounds) {
    player->LoadThemeSound(sound.id, sound.path, g_Settings.themeFolder);
  }

  const float volume = static_cast<float>(g_Settings.mixer.SFXVOL) / 100.0f;
  player->masterVolume = volume;
  if (volume != player->appliedMasterVolume) {
    player->ApplyMasterVolume();
  } else {
    player->appliedMasterVolume = volume;
  }
}
