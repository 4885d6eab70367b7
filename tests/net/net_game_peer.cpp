// net_game_peer: one headless game that joins a game server and plays a song there.
// It runs the game's own pieces as the program plugs them: the song data, the stem
// player on the loopback audio device, the level and its frame dispatch through the
// shell, and the network entries (net::RegisterShellServices) with the one game
// client. What the lobby and player-select screens would do is done here in their
// place: say the song is loaded, join one local player, and (as the leader) start.
//
//   net_game_peer PORT NAME SONG_FOLDER STOP_MS END_MS
//
// The local player is played by a bot that hits every note due before song time
// STOP_MS and nothing after; at END_MS the program prints its result and ends. Lines
// on standard output: "AUTH <own id>", "PLAYERS <local number> <remote number>",
// "START <unix ms>" (the start signal taken), "STOPPED <local hits>", "MIRROR <hits>"
// each time the remote player's hits change, "RESULT <local hits> <remote hits>",
// "DONE"; any failure prints "FAIL <why>" and ends with status 1.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>

#include "core/settings.h"
#include "core/shell/shell.h"
#include "core/shell/shell_state.h"
#include "devices/audio/song_audio.h"
#include "devices/input/input_event.h"
#include "devices/plug/song_audio_stems.h"
#include "game/level/level.h"
#include "game/level/level_session.h"
#include "game/shell_services.h"
#include "net/client/game_client.h"
#include "net/shell_services.h"
#include "platform/audio/audio.h"
#include "platform/clock.h"
#include "platform/gfx/framework.h"
#include "platform/paths.h"
#include "song/shell_services.h"
#include "song/song.h"
#include "tests/support/strum_bot.h"
#include "song/song_stems.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

[[noreturn]] void Fail(const std::string& why) {
  Say("FAIL " + why);
  std::_Exit(1);
}

long long UnixMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Presses the frets of each due chord and strums, before the stop time only.
class Bot : public LevelController {
 public:
  explicit Bot(double stopMs) : stopMs_(stopMs) {
    getEvents = [this](InputEvent* events, int32_t& count) { return Fetch(events, count); };
  }

 private:
  bool Fetch(InputEvent* events, int32_t& count) {
    count = 0;
    LevelState& level = Level();
    if (!level.players || level.playerCount < 1) return true;
    const Player& p = level.players[0];
    const double t = p.songTime;
    if (t >= stopMs_) return true;
    const auto lanes = testsupport::TakeDueChord(p, t, handled_);
    if (lanes) testsupport::PressChord(*lanes, held_, events, count);
    return true;
  }

  double stopMs_;
  std::set<int32_t> handled_;
  std::set<int32_t> held_;
};

// The lobby's and player select's part, as far as the level needs it.
class PeerMenus : public LevelMenus {
 public:
  PeerMenus() {
    addRosterPlayer = [this](const std::string&, int32_t id, int32_t state) {
      if (id >= 0 && id < 32) rosterState[id] = state;
    };
    clearRoster = [this] { rosterState.fill(-1); };
    slotHasController = [](int32_t slot) { return slot == 0; };
    grantPlayerId = [this](int32_t, int32_t id) { localId = id; };
    addRemoteSlot = [this](int32_t id) { remoteId = id; };
    startGame = [this] { startRequested = true; };
    rosterState.fill(-1);
  }
  std::array<int32_t, 32> rosterState{};
  int32_t localId = -1, remoteId = -1;
  bool startRequested = false;
};

net::NetMessage Control(uint32_t code, int32_t a3 = 0) {
  net::NetMessage m;
  m.type = net::kControlMessage;
  m.code = code;
  m.a3 = a3;
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) Fail("usage: net_game_peer PORT NAME SONG_FOLDER STOP_MS END_MS");
  const uint16_t port = static_cast<uint16_t>(std::atoi(argv[1]));
  const std::string name = argv[2];
  const std::u16string folder = platform::PathFromNative(argv[3]);
  const double stopMs = std::atof(argv[4]);
  const double endMs = std::atof(argv[5]);

  g_Settings.SetDefaults();
  g_Settings.BACKGROUND = 4;  // no background pictures to look for
  g_Settings.USESONGVID = false;
  g_Settings.USESONGIMAGE = false;
  g_Settings.NETNAME = name;
  if (!platform::audio::testing::UseLoopback(44100)) Fail("no loopback audio");

  shell::Services services;
  song::RegisterShellServices(services);
  SetSongStemsFactory(&devices::MakeSongAudioStems);
  game::RegisterShellServices(services);
  net::RegisterShellServices(services);
  services.song.updateSongAudio = [](int slot) {
    Song* s = song::SongSlot(slot);
    return s && s->audio && s->audio->Audio() ? s->audio->Audio()->Update() : false;
  };
  services.song.longestStemSeconds = [](int slot) {
    Song* s = song::SongSlot(slot);
    return s && s->audio && s->audio->Audio() ? static_cast<double>(s->audio->Audio()->songLength) : 0.0;
  };
  services.song.createSongSlots();
  song::SongSlot(0)->folder = folder;
  services.net.installMessageHandler();
  platform::gfx::NullFramework framework;
  shell::AttachForTesting(&framework, std::move(services));
  shell::SingletonState made{};
  made.songSlots = true;
  made.sceneContext = true;
  shell::SetSingletonsForTesting(made);
  shell::StartLoadingScreen();

  PeerMenus menus;
  Bot bot(stopMs);
  LevelSession& session = Session();
  session.menus = &menus;
  session.songs = nullptr;
  shell::GameState.store(static_cast<int>(shell::State::kMenus));

  net::GameClient& client = net::Client();
  client.SetName(&g_Settings.NETNAME);
  client.SetPassword("");
  if (!client.Connect(port, "127.0.0.1")) Fail("connect");

  // One frame: 10 ms of the loopback device, then the shell's frame update (which
  // receives what the server sent).
  auto frame = [] {
    platform::audio::testing::Render(441);
    shell::UpdateFrame();
    platform::SleepMs(5);
  };
  auto until = [&](const char* what, int boundMs, auto done) {
    const uint32_t start = platform::TimeGetTime();
    while (!done()) {
      if (!client.Connected()) Fail(std::string("disconnected while waiting for ") + what);
      if (platform::TimeGetTime() - start > static_cast<uint32_t>(boundMs)) Fail(std::string("no ") + what);
      frame();
    }
  };

  until("authentication", 20000, [&] { return client.Authenticated(); });
  const int32_t own = client.OwnId();
  Say("AUTH " + std::to_string(own));
  client.Send(Control(net::control::kRosterState, 2));  // the song is here
  // The other game hears of a player joined only while it is connected: both join
  // theirs once the roster shows them both.
  until("second game", 120000, [&] {
    int present = 0;
    for (int32_t s : menus.rosterState) present += s >= 0 ? 1 : 0;
    return present >= 2;
  });
  client.Send(Control(net::control::kJoinPlayer, 0));  // one player, from box 0
  until("player number", 20000, [&] { return menus.localId >= 0; });
  until("other player", 60000, [&] { return menus.remoteId >= 0; });
  Say("PLAYERS " + std::to_string(menus.localId) + " " + std::to_string(menus.remoteId));

  if (session.leaderId == own) {
    // Both boxes say the song is loaded before the leader starts.
    until("loaded roster", 20000, [&] {
      int loaded = 0;
      for (int32_t s : menus.rosterState) loaded += s == 2 ? 1 : 0;
      return loaded >= 2;
    });
    client.Send(Control(net::control::kStartGame));
    client.Send(Control(net::control::kLoadGame));
  }
  until("load order", 20000, [&] { return menus.startRequested; });

  session.rosterCount = 2;
  session.roster[0] = LevelSlot();
  session.roster[0].kind = 2;
  session.roster[0].difficulty = 3;
  session.roster[0].netSlot = menus.localId;
  session.roster[0].controller = &bot;
  session.roster[1] = LevelSlot();
  session.roster[1].kind = 2;
  session.roster[1].difficulty = 3;
  session.roster[1].remote = true;
  session.roster[1].netSlot = menus.remoteId;
  shell::GameState.store(static_cast<int>(shell::State::kSongLoading));

  // Loading, 120 frames in the online start, the ready message, then the start signal.
  until("start signal", 120000, [] { return shell::CurrentState() == shell::State::kPlaying; });
  Say("START " + std::to_string(UnixMs()));
  bool stopped = false;
  int32_t mirrored = 0;
  LevelState& level = Level();
  if (level.playerCount != 2 || level.players[0].remote || !level.players[1].remote) Fail("players");
  const uint32_t start = platform::TimeGetTime();
  while (LevelSongTime() < endMs) {
    if (shell::CurrentState() != shell::State::kPlaying) Fail("left the song");
    if (platform::TimeGetTime() - start > 300000) Fail("the song does not advance");
    if (!stopped && LevelSongTime() >= stopMs) {
      stopped = true;
      Say("STOPPED " + std::to_string(level.players[0].score().hits));
    }
    frame();
    if (level.players[1].score().hits != mirrored) {
      mirrored = level.players[1].score().hits;
      Say("MIRROR " + std::to_string(mirrored));
    }
  }
  Say("RESULT " + std::to_string(level.players[0].score().hits) + " " +
      std::to_string(level.players[1].score().hits));
  client.Disconnect();
  Say("DONE");
  std::fflush(stdout);
  // The shell's threads hold the song; ending here skips their orderly shutdown,
  // which the shell's own tests cover.
  std::_Exit(0);
}
