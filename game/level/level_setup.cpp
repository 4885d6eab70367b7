// Level set-up: the song's information, scores, audio, background and chart, the
// players with their boards, the lyrics, the rating meter and the clock.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/folders.h"
#include "core/log.h"
#include "core/shell/shell_state.h"
#include "core/utils.h"
#include "devices/audio/song_audio.h"
#include "game/lane_map.h"
#include "game/level/level.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/random.h"
#include "platform/text.h"
#include "song/instrument.h"
#include "song/profile.h"
#include "song/song.h"
#include "song/song_record.h"

namespace {

constexpr double kDefaultHitWindow = 85.0;
constexpr double kDrunkHitWindow = 170.0;
constexpr double kExpertPlusHitWindow = 55.0;
constexpr double kNoAudioTailMs = 3000.0;

std::u16string WithSlash(std::u16string folder) {
  folder = platform::ToSlashes(folder);
  if (!folder.empty() && folder.back() != u'/') folder.push_back(u'/');
  return folder;
}


bool FileExists(const std::u16string& path) {
  return platform::IsRegularFile(platform::ResolvePath(platform::PathToNative(path)));
}

std::u16string ThemeFolder(const Settings& s) {
  return WithSlash(s.themeFolder.empty() ? s.THEME : s.themeFolder);
}

void CopyProfileOptions(const Profile* profile, PlayerOptions& o) {
  o = PlayerOptions();
  if (!profile) return;
  o.name = profile->PLAYERNAME;
  o.neckName = profile->NECK;
  o.leftyGuitar = profile->LEFTY;
  o.leftyDrums = profile->LEFTYDRUMS;
  o.leftyKeys = profile->LEFTYKEYS;
  o.drumAssist = profile->DRUMSASSIST;
  o.fiveFretAssist = profile->GUITARASSIST;
  o.keysAssist = profile->KEYSASSIST;
  o.danceAssist = profile->DANCEASSIST;
  o.assistLevel = std::clamp(profile->BOTSKILL, 0, 5);
  o.noteSpeed = profile->NECKSPEED;
  o.proNoteSpeed = profile->NECKSPEEDREALGUITAR;
  o.whammyDirection = profile->WHAMMYDIRECTION;
  o.tiltOption = profile->GUITARTILT;
  // A real guitar playing a legacy chart strums on one string (0: any) above a cut-off.
  o.strumAxis = std::clamp(profile->REALGUITARLEGACYSTRINGFILTER, 0, 6);
  o.strumAxisThreshold = profile->REALGUITARLEGACYCUTOFF;
  o.keyLayout = profile->LEGACYKEYSFINGERLAYOUT;
  o.drumSwap = profile->RIDECRASHFLIP;
  o.drumBoardOption = profile->REALDRUMLAYOUT;
  o.keysOption1 = o.keysOption2 = profile->REALKEYSLANECOUNT;
}

// The song's own sounds for free play: its drum kit (1..6) and guitar tone (1..3).
void CopySongSoundOptions(const SongInfo* info, PlayerOptions& o) {
  if (!info) return;
  o.drumKit = std::clamp(info->kit_type, 1, 6);
  o.guitarSound = std::clamp(info->guitar_type - 1, 0, 2);
}

SongOptions SongOptionsOf(const SongInfo* info) {
  SongOptions o;
  if (!info) return o;
  o.hopoFrequency = info->hopo_frequency;
  o.eighthNoteHopo = info->eighthnote_hopo;
  o.sysexOpenBass = info->sysex_open_bass;
  o.sysexSlider = info->sysex_slider;
  o.sysexProSlide = info->sysex_pro_slide;
  o.sysexHighHatCtrl = info->sysex_high_hat_ctrl;
  o.multiplierNote = info->multiplier_note;
  o.keysLaneCountLeft = info->real_keys_lane_count_left;
  o.keysLaneCountRight = info->real_keys_lane_count_right;
  o.drumLayoutSwap = info->five_lane_drums;
  return o;
}

bool NoFailKind(int32_t kind) {
  return kind == Instrument::drums_adv || kind == Instrument::bass_real || kind == Instrument::guitar_real ||
         kind == Instrument::keys_adv || kind == Instrument::drums_real || kind == Instrument::keys_real;
}

// The end of the chart's longest track.
double ChartEndMs(const MidiFile* chart) {
  if (!chart) return 0.0;
  double end = 0.0;
  for (const MidiTrack& t : chart->tracks) {
    uint64_t tick = 0;
    for (const MidiEvent* e = t.events; e; e = e->next()) tick += e->delta();
    end = std::max(end, static_cast<double>(chart->TickToMs(tick)));
  }
  return end;
}

int32_t LaneCountFor(const LevelSession& session, const LevelSlot& slot, const Player& p, bool remote) {
  int32_t lanes = p.laneCount;
  if (p.kind == Instrument::drums) {
    const Profile* profile = slot.profile;
    if (session.Online() && remote) {
      lanes = (slot.remoteFiveLaneDrums || (profile && profile->drumLaneSwitch != 0)) ? 5 : 4;
    } else if (slot.controller && slot.controller->IsKeyboard()) {
      lanes = session.settings->KEYBOARDDRUMLANECOUNT;
    } else if (profile && profile->LEGACYDRUMLANECOUNT != 0) {
      lanes = profile->LEGACYDRUMLANECOUNT;
    } else {
      lanes = slot.controller ? slot.controller->DetectedDrumLanes() : 4;
    }
  }
  switch (static_cast<Instrument>(p.kind)) {
    case Instrument::drums_adv:
    case Instrument::drums_real: return 7;
    case Instrument::bass_real:
    case Instrument::guitar_real: return 6;
    case Instrument::keys_adv:
    case Instrument::keys_real: return 88;
    case Instrument::dance: return 4;
    case Instrument::vocals:
    case Instrument::vocals_harm: return 49;
    default: return lanes;
  }
}

int32_t ChartTrackFor(const MidiFile* chart, const Player& p, const Profile* profile) {
  if (!chart) return -1;
  int32_t part = 0;
  if (p.kind == Instrument::bass_real || p.kind == Instrument::guitar_real) {
    part = profile && profile->REALGUITARFRETCOUNT == 22 ? 2 : 1;
  } else if (p.kind == Instrument::keys_adv || p.kind == Instrument::keys_real) {
    part = p.difficulty;
  }
  int32_t track = chart->FindTrack(p.kind, part);
  if (track == -1 && (p.kind == Instrument::bass_real || p.kind == Instrument::guitar_real))
    track = chart->FindTrack(p.kind, 0);
  return track;
}

}  // namespace

LevelState& Level() {
  static LevelState level;
  return level;
}

double LevelSongTime() {
  const LevelState& level = Level();
  return level.clock ? level.clock->GetSongTime() : 0.0;
}

double LevelSongLengthSeconds() {
  const LevelSession& session = Session();
  if (SongAudio* audio = session.CurrentAudio(); audio && audio->songLength > 0.0f) return audio->songLength;
  const Song* song = session.CurrentSong();
  if (song && song->info && song->info->song_length > 0) return song->info->song_length / 1000.0;
  return Level().fallbackLengthMs / 1000.0;
}

double LevelChartTime(double songTime) {
  const LevelSession& session = Session();
  const Song* song = session.CurrentSong();
  const int32_t delay = song && song->info ? song->info->delay : 0;
  return songTime - session.settings->AUDIOCALIBRATION - delay;
}

void ApplySongTrackOptions(const SongInfo& info, MidiFile& chart) {
  const int32_t count = std::min<int32_t>(chart.header.trackCount, kMidiTrackSlots);
  for (int32_t i = 0; i < count; ++i) {
    MidiTrack& t = chart.tracks[static_cast<size_t>(i)];
    t.keysLaneCountLeft = info.real_keys_lane_count_left;
    t.keysLaneCountRight = info.real_keys_lane_count_right;
    t.fiveLaneDrums = info.five_lane_drums;
    t.drumFallbackBlue = info.drum_fallback_blue;
    if (info.multiplier_note != 0) t.energyNote = info.multiplier_note;
  }
}

void SetupBackground() {
  LevelSession& session = Session();
  Settings& s = *session.settings;
  LevelVisuals& visuals = session.Visuals();
  s.songVideoBackgroundOn = false;
  s.songImageBackgroundOn = false;

  if (session.practice) {
    visuals.DeleteReactive();
    visuals.LoadReactive("game_practice_background", ThemeFolder(s) + u"dynamic/");
    return;
  }
  const Song* song = session.CurrentSong();
  const SongInfo* info = song ? song->info.get() : nullptr;
  const std::u16string folder = song ? WithSlash(song->folder) : std::u16string();

  if (info && s.USESONGVID && !info->video.empty()) {
    const std::u16string path = folder + platform::ToSlashes(ToWide(info->video));
    if (!FileExists(path)) {
      Log(0, u"Could Not Find " + path);
    } else {
      visuals.DeleteVideo();
      if (visuals.LoadSongVideo(path)) {
        s.songVideoBackgroundOn = true;
        return;
      }
      LogEx(0, "Could Not Setup Local Video Background! - Reverting to Default");
      visuals.DeleteVideo();
    }
  }
  if (info && s.USESONGIMAGE && !info->background.empty()) {
    const std::u16string path = folder + platform::ToSlashes(ToWide(info->background));
    visuals.ReleaseBackgroundImage();
    if (visuals.LoadSongImage(path)) {
      s.songImageBackgroundOn = true;
      return;
    }
    Log(0, u"ERROR! Could Not Load Local Song Image:" + path);
    visuals.ReleaseBackgroundImage();
  }
  switch (s.BACKGROUND) {
    case 0: {
      const std::u16string file = PickRandomFile(0, u"data/backgrounds/2d/", s.BGIMAGENAME, u"*.png");
      visuals.ReleaseBackgroundImage();
      if (!visuals.LoadBackgroundImage(file)) {
        Log(0, u"ERROR! Could Not Load Background Image:" + file);
        visuals.ReleaseBackgroundImage();
      }
      break;
    }
    case 1: {
      visuals.DeleteReactive();
      std::u16string abstract = PickRandomFile(0, u"data/backgrounds/abstract/", s.ABSTRACTNAME, u"*.*");
      // An abstract background is a folder of its own.
      if (!abstract.empty() && abstract.back() != u'/' && platform::IsDirectory(platform::PathToNative(abstract)))
        abstract += u'/';
      visuals.LoadReactive("abstract_main", abstract);
      break;
    }
    case 2:
      visuals.EnsureStage();
      break;
    case 3: {
      visuals.DeleteVideo();
      const std::u16string file = PickRandomFile(0, u"data/backgrounds/video/", s.BGVIDEONAME, u"*.avi");
      if (!visuals.LoadBackgroundVideo(file)) {
        LogEx(0, "Could Not Setup Video Background!");
        visuals.DeleteVideo();
      }
      break;
    }
    default:
      break;
  }
}

void SetupLevel(bool full) {
  LevelSession& session = Session();
  LevelState& level = Level();
  Settings& settings = *session.settings;

  Log(0, u"Setup Level Start");
  level.clock = std::make_unique<SongClock>(&session);
  const int32_t count = session.career ? 1 : std::clamp(session.rosterCount, 0, kMaxLevelPlayers);

  // The stems are replaced below: the Music thread must not be servicing them.
  shell::PauseMusicThread();

  Song* song = session.CurrentSong();
  if (song) {
    Log(0, u"Loading Song Info");
    song->LoadInfo();
    Log(0, u"Loading Scores");
    song->LoadScores();
    Log(0, u"Loading Audio");
    song->LoadAudio(&settings.mixer, false);
  }
  SongInfo* info = song ? song->info.get() : nullptr;
  SongAudio* audio = session.CurrentAudio();

  if (song && info) {
    std::vector<std::pair<std::string, std::string>> keys;
    // A song whose stems could not be read keeps the length it has.
    if (audio && audio->songLength > 0.0f) {
      info->song_length = static_cast<int32_t>(std::trunc(static_cast<double>(audio->songLength) * 1000.0));
      keys.emplace_back("song_length", std::to_string(info->song_length));
    }
    info->last_play = ToNarrow(GetTimeStamp(true));
    keys.emplace_back("last_play", info->last_play);
    SetSongIniValues(song->folder, keys);
    if (session.library) {
      if (SongRecord* record = session.library->FindByPath(WithSlash(song->folder))) record->lastPlay = info->last_play;
    }
  }

  Log(0, u"Loading Background");
  if (full || !session.practice) SetupBackground();

  if (full && song) {
    Log(0, u"Loading MIDI");
    song->LoadChart(false);
    song->ComputeAvailability();
  }
  MidiFile* chart = song ? song->chart.get() : nullptr;
  if (chart && info) ApplySongTrackOptions(*info, *chart);
  level.fallbackLengthMs = ChartEndMs(chart) + kNoAudioTailMs;

  Log(0, u"Event Check");
  if (full && chart) {
    chart->ReadSections();
    InGameState& ui = session.ingame;
    ui.sectionCount = std::clamp(chart->sectionCount, 0, kChartSectionSlots);
    for (int32_t i = 0; i < ui.sectionCount; ++i)
      ui.sections[static_cast<size_t>(i)] = chart->sections[static_cast<size_t>(i)];
  }

  // The context every player of the level reads.
  GameContext& ctx = level.context;
  ctx.settings = &settings;
  ctx.sound = session.sound;
  ctx.net = session.net;
  ctx.recorder = &level.recorder;
  ctx.playback = &level.playback;
  ctx.practice = session.practice;
  ctx.career = session.career;
  ctx.gameMode = session.gameType;
  ctx.playerCount = count;
  ctx.song = SongOptionsOf(info);

  Log(0, u"Creating Players");
  session.Visuals().DestroyBoards();
  level.players = count > 0 ? std::make_unique<Player[]>(static_cast<size_t>(count)) : nullptr;
  level.playerCount = count;
  level.info.fill(LevelPlayerInfo());

  Log(0, u"Configuring Players");
  const bool online = session.Online();
  settings.mixer.drumPlayer = false;
  for (int32_t i = 0; i < count; ++i) {
    Player& p = level.players[static_cast<size_t>(i)];
    const LevelSlot& slot = session.career ? session.careerSlot : session.roster[static_cast<size_t>(i)];
    LevelPlayerInfo& pi = level.info[static_cast<size_t>(i)];
    pi.profile = slot.profile;
    pi.guest = slot.guest;
    pi.controller = slot.remote && !session.career ? nullptr : slot.controller;

    p.context = &ctx;
    p.remote = session.career ? false : slot.remote;
    p.netSlot = session.career ? 0 : slot.netSlot;
    p.difficulty = std::clamp(slot.difficulty, 0, 4);
    p.kind = IsInstrumentIndex(slot.kind) ? slot.kind : InstrumentIndex(Instrument::guitar);
    p.demoIndex = i;
    p.input = pi.controller;
    CopyProfileOptions(slot.profile, p.options);
    CopySongSoundOptions(info, p.options);

    bool noFail = false;
    if (!online && !session.career) {
      noFail = session.practice || settings.NOFAILMODE == 1 || (settings.NOFAILMODE == 2 && NoFailKind(p.kind));
    }
    p.score().noFail = noFail;
    if (audio) audio->AddPlayer(p.kind);

    if (!p.remote && LaneMap::IsDrumKind(p.kind)) {
      // A local drummer plays the drum part: the play-along setting then silences its stems.
      settings.mixer.drumPlayer = true;
    }
    // The controller swaps its pads for a left-handed drummer.
    if (pi.controller) pi.controller->SetLefty(LaneMap::IsDrumKind(p.kind) && p.options.leftyDrums);

    p.laneCount = LaneCountFor(session, slot, p, p.remote);
    p.hitWindow = (!online && settings.DRUNK && !session.career) ? kDrunkHitWindow : kDefaultHitWindow;
    if ((p.kind == Instrument::bass || p.kind == Instrument::guitar || p.kind == Instrument::guitar_rhythm ||
         p.kind == Instrument::guitar_coop) &&
        p.difficulty == 4)
      p.hitWindow = kExpertPlusHitWindow;

    session.Visuals().CreateBoard(p, i);
    const int32_t track = ChartTrackFor(chart, p, slot.profile);
    Log(0, u"Creating Board:" + platform::FormatIntW(i));
    p.SetupBoard(chart, track);
    if (track != -1 && chart) {
      p.chartScore.Compute(chart, chart->tracks[static_cast<size_t>(track)].events, p.kind, p.difficulty);
      p.score().noteCount = p.chartScore.noteCount[static_cast<size_t>(p.difficulty)];
    }
  }
  Log(0, u"Players Created");

  level.lyrics = std::make_unique<VocalTrack>(chart);
  level.lyrics->Build();

  InGameScreens& screens = session.Screens();
  screens.Start(count);

  if (full) {
    InGameState& ui = session.ingame;
    ui.practiceSelected = 0;
    ui.rangeFlag = true;
    ui.sectionChoice = {-1, -1, -1, -1};
    ui.rangeStart = 0.0;
    ui.jumpPoint = 0.0;
    ui.rangeEnd = ui.savedRangeEnd = LevelSongLengthSeconds() * 1000.0 + 1000.0;
    screens.BuildPracticeLists();
  }

  LevelVisuals& visuals = session.Visuals();
  if (visuals.HasStage()) visuals.BindStage(level.players.get(), count);
  visuals.ResetCameras();

  level.rating = std::make_unique<ScoreRating>();
  level.rating->players = level.players.get();
  level.rating->playerCount = count;
  float base = 0.0f;
  for (int32_t i = 0; i < count; ++i) {
    const Player& p = level.players[static_cast<size_t>(i)];
    base += p.chartScore.baseScore[static_cast<size_t>(p.difficulty)];
  }
  level.rating->totalBaseScore = base;

  if (info && info->vl_calibrator) {
    for (int32_t i = 0; i < count; ++i) level.players[static_cast<size_t>(i)].score().noFail = true;
  }

  level.clock->ApplyGameSpeed();

  level.recorder.Reset();
  level.recorder.value1 = count;
  level.recorder.value2 = session.gameType;
  level.recorder.text1 = info ? info->name : std::string();
  level.recorder.text2 = song && song->scores ? song->scores->chartHash : std::string();
  level.recorder.text3 = "Christmas";
  if (session.demoPlayback && count > 0) level.players[0].demoPlayback = true;

  Log(0, u"First Audio Update");
  if (audio) audio->Update();
  shell::ResumeMusicThread();

  if (session.resetHeld) session.resetHeld(false);
  bool allRemote = true;
  for (int32_t i = 0; i < count; ++i) allRemote = allRemote && level.players[static_cast<size_t>(i)].remote;
  level.allRemote = allRemote;
  shell::LastSyncSongTime.store(0.0);
}

void DestroyLevelObjects() {
  LevelState& level = Level();
  level.players.reset();
  Session().Visuals().DestroyBoards();
  level.playerCount = 0;
  level.info.fill(LevelPlayerInfo());
  level.rating.reset();
  level.clock.reset();
  level.lyrics.reset();
}

void ResetLevelState() {
  DestroyLevelObjects();
  LevelState& level = Level();
  level.allRemote = false;
  level.context = GameContext();
  level.recorder.Reset();
  level.playback.Reset();
  level.playFade = LevelFade();
  level.onlineFrames = 0;
  level.onlineReady = false;
  level.fallbackLengthMs = 0.0;
  level.deferredFlowCode = 0;
}
