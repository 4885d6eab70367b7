#include "game/level/level_net.h"

#include "core/log.h"
#include "core/menu_ids.h"
#include "core/shell/shell_state.h"
#include "game/level/level.h"
#include "platform/text.h"

namespace {

constexpr int32_t kMaxRemoteDevices = 50;

uint8_t Byte(int32_t value, int index) { return static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * index)); }

void Send(SessionCode code, const std::string& str1 = std::string()) {
  LevelSession& session = Session();
  if (!session.Online()) return;
  GameMessage m;
  m.Set(code);
  m.str1 = str1;
  session.net->Send(m);
}

void LogIgnored(int32_t code, shell::State state) {
  Log(0, u"Recieve: Game Message " + platform::FormatIntW(code) + u" Ignored In Game State " +
             platform::FormatIntW(static_cast<int32_t>(state)));
}

// Reload of the level for everybody (the restart order): the level is built again here and the
// game waits in the online start for the host's start.
void ReloadLevel() {
  LevelState& level = Level();
  TeardownLevel(false);
  SetupLevel(false);
  shell::SetState(shell::State::kOnlineStart);
  level.onlineFrames = 0;
  level.onlineReady = false;
}

void LobbyDispatch(const GameMessage& m) {
  LevelSession& session = Session();
  LevelMenus& menus = session.Menus();
  const shell::State state = shell::CurrentState();
  switch (m.AsGameCode()) {
    case GameCode::kChat: menus.AddChatLine(m.str1); break;
    case GameCode::kLeader:
      session.leaderId = m.a3;
      menus.BuildRoster();
      break;
    case GameCode::kCurrentSong: menus.SetChosenSong(m.str1, m.str2, m.a3); break;
    case GameCode::kRosterBegin: menus.ClearRoster(); break;
    case GameCode::kRosterEntry: menus.AddRosterPlayer(m.str1, m.a3, m.a4); break;
    case GameCode::kCrowdSound: {
      const int32_t cowbell = session.settings->COWBELL;
      if ((cowbell != 0 && state == shell::State::kMenus) || (cowbell == 2 && state == shell::State::kPlaying)) menus.PlayCrowdSound();
      break;
    }
    case GameCode::kClientJoined: session.PlaySound(111); break;
    case GameCode::kClientDropped: session.PlaySound(112); break;
    case GameCode::kCommonListBegin: session.songHashes.Clear(); break;
    case GameCode::kCommonListHash:
      if (session.songHashes.count >= kMaxNetSongHashes) {
        if (session.songHashes.count == kMaxNetSongHashes) Log(0, u"Recieve: Song Hash List Full");
        break;
      }
      if (SongRecord* record = session.songHashes.Append()) record->md5 = m.str1;
      break;
    case GameCode::kSongListRequest: SendSongList(); break;
    default: break;
  }
}

void FlowDispatch(const GameMessage& m) {
  LevelSession& session = Session();
  LevelState& level = Level();
  const shell::State state = shell::CurrentState();
  switch (m.AsGameCode()) {
    case GameCode::kBackToMenus:
    case GameCode::kRestart:
      // Only a level that exists can be aborted or reloaded; one still loading on the
      // Task thread takes the order once it is done.
      if (state == shell::State::kPlaying || state == shell::State::kOnlineStart) {
        if (m.Is(GameCode::kBackToMenus)) {
          QuitToMenus(false);
        } else {
          ReloadLevel();
        }
      } else if (state == shell::State::kSongLoading) {
        level.deferredFlowCode = m.code;
      } else {
        LogIgnored(m.code, state);
      }
      break;
    case GameCode::kLocked:
      session.Menus().EndChatEditing();
      session.Menus().SetCurrentMenu(menu::kPlayerSelect);
      break;
    case GameCode::kUnlocked:
      session.Menus().SetCurrentMenu(menu::kLobby);
      session.Menus().ResetSlots();
      break;
    default: break;
  }
}

void MenuDispatch(const GameMessage& m) {
  LevelSession& session = Session();
  LevelMenus& menus = session.Menus();
  switch (m.AsGameCode()) {
    case GameCode::kOtherPlayerLeft: menus.RemovePlayer(m.a2); break;
    case GameCode::kYourPlayerJoined:
      if (m.a3 < 0 || m.a3 >= kMaxLevelPlayers) {
        LogIgnored(m.code, shell::State::kMenus);
        break;
      }
      if (menus.SlotHasController(m.a3)) menus.GrantPlayerId(m.a3, m.a2);
      break;
    case GameCode::kSlotState: menus.ApplyRemoteSlot(m); break;
    case GameCode::kLoadingOthers:
    case GameCode::kLoadingSender: menus.StartGame(); break;
    case GameCode::kOtherPlayerJoined:
      if (menus.SlotCount() >= kMaxLevelPlayers || m.a2 < 0 || m.a2 >= kMaxRemoteDevices) {
        LogIgnored(m.code, shell::State::kMenus);
        break;
      }
      menus.AddRemoteSlot(m.a2);
      break;
    case GameCode::kPlayerInfo: {
      const uint8_t flags = Byte(m.a4, 3);
      const uint8_t a3[4] = {Byte(m.a3, 0), Byte(m.a3, 1), Byte(m.a3, 2), Byte(m.a3, 3)};
      const uint8_t a4[3] = {Byte(m.a4, 0), Byte(m.a4, 1), Byte(m.a4, 2)};
      menus.ApplyRemotePlayer(m.a2, m.a5, (flags & 2) != 0, (flags & 4) != 0, (flags & 1) != 0, a3, a4,
                              (flags & 8) != 0, m.str1);
      break;
    }
    case GameCode::kGameType:
      session.gameType = m.a3;
      session.PlaySound(107);
      break;
    default: break;
  }
}

void PlayDispatch(const GameMessage& m) {
  LevelState& level = Level();
  for (int32_t i = 0; i < level.playerCount; ++i) level.players[static_cast<size_t>(i)].ApplyRemoteMessage(m);
}

void StartDispatch(const GameMessage& m) {
  if (!m.Is(GameCode::kStartSignal)) return;
  LevelState& level = Level();
  shell::SetState(shell::State::kPlaying);
  level.onlineReady = false;
  StartSongPlayback();
  level.onlineFrames = 0;
}

}  // namespace

void OnNetMessage(const GameMessage& message) {
  const bool limbo = Session().InLimbo();
  LobbyDispatch(message);
  if (!limbo) FlowDispatch(message);
  switch (shell::CurrentState()) {
    case shell::State::kMenus:
      if (!limbo) MenuDispatch(message);
      break;
    case shell::State::kPlaying:
      PlayDispatch(message);
      break;
    case shell::State::kOnlineStart:
      StartDispatch(message);
      break;
    default:
      break;
  }
}

bool SendSongList() {
  LevelSession& session = Session();
  if (!session.Online()) return true;
  Send(SessionCode::kSongListBegin);
  for (const SongRecord* r = session.songHashes.head; r; r = r->next) Send(SessionCode::kSongListHash, r->md5);
  Send(SessionCode::kSongListEnd);
  return true;
}

void RestartLevelOnline(bool notifyServer) {
  if (notifyServer) Send(SessionCode::kRestart);
  ReloadLevel();
}

void ApplyDeferredFlow() {
  LevelState& level = Level();
  const int32_t code = level.deferredFlowCode;
  level.deferredFlowCode = 0;
  if (code == static_cast<int32_t>(GameCode::kBackToMenus)) {
    QuitToMenus(false);
  } else if (code == static_cast<int32_t>(GameCode::kRestart)) {
    ReloadLevel();
  }
}
