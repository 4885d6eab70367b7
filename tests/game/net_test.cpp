// The game messages of a player and the remote player they drive: a loopback of two
// players in one process, the message packing, and messages that must be dropped.
#include <gtest/gtest.h>

#include <bit>
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "tests/game/game_fixtures.h"

using namespace gametest;

namespace {

std::vector<Step> Reference(int skip = -1) {
  std::vector<std::pair<double, int32_t>> notes;
  for (int k = 0; k < 12; ++k) {
    if (k != skip) notes.push_back({2000.0 + 500.0 * k, 1 + k % 3});
  }
  return StrumNotes(notes);
}

// A local player and its remote mirror, stepped frame by frame; each frame's
// messages of the local one reach the remote one before the remote's frame.
struct Loopback {
  Loopback() : local(ReferenceGuitarChart(true)), mirror(ReferenceGuitarChart(true)) {
    local.Setup(PlayerSpec());
    Player& r = mirror.Setup(PlayerSpec());
    r.remote = true;
    mirror.context.net = nullptr;
  }
  void Run(const std::vector<Step>& script, double endMs) {
    for (double t = 0; t <= endMs; t += 1.0) {
      bool scripted = std::fmod(t, 10.0) == 0;
      for (const Step& s : script) {
        if (s.time == t) {
          local.input.Push(s.code, s.pressed, s.value);
          scripted = true;
        }
      }
      if (!scripted) continue;
      local.Frame(t);
      for (; delivered < local.net.sent.size(); ++delivered) {
        const GameMessage& m = local.net.sent[delivered];
        if (m.code == 12 || m.code == 10 || m.code == 11 || m.code == 13 || m.code == 14 || m.code == 34 ||
            m.code == 35) {
          EXPECT_TRUE(mirror.player->ApplyRemoteMessage(m)) << m.code;
        }
      }
      mirror.SetWallClock(t);
      mirror.player->Update(false, false, t, 1.0f);
    }
  }
  Harness local;
  Harness mirror;
  size_t delivered = 0;
};

}  // namespace

TEST(Net, RemotePlayerMirrorsTheLocalOne) {
  Loopback loop;
  std::vector<Step> script = Reference();
  script.push_back({5750.0, 19, true, 128});
  loop.Run(script, 8000);
  const PlayerScore& a = loop.local.player->score();
  const PlayerScore& b = loop.mirror.player->score();
  EXPECT_EQ(a.hits, 12);
  EXPECT_EQ(b.hits, a.hits);
  EXPECT_EQ(b.streak, a.streak);
  EXPECT_EQ(b.maxStreak, a.maxStreak);
  EXPECT_EQ(b.multiplier, a.multiplier);
  EXPECT_EQ(b.stepHits, a.stepHits);
  EXPECT_FLOAT_EQ(b.score, a.score);
  EXPECT_FLOAT_EQ(b.rockMeter, a.rockMeter);
  EXPECT_EQ(loop.mirror.player->perfectCount, 12);
  // The remote board counted the phrases itself and took the energy message.
  EXPECT_TRUE(b.energyActive);
  EXPECT_EQ(b.energyActivations, 1);
  EXPECT_EQ(b.misses + b.overhits, 0);
}

TEST(Net, RemoteMissesCountAsOverhitsAndBreakTheStreak) {
  Loopback loop;
  loop.Run(Reference(4), 4200);
  const PlayerScore& b = loop.mirror.player->score();
  EXPECT_EQ(loop.local.player->score().misses, 1);
  EXPECT_EQ(b.overhits, 1);
  EXPECT_EQ(b.misses, 0);
  EXPECT_EQ(b.streak, 0);
}

TEST(Net, MessagePacking) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  p.SendPress(5, 0x1234, 80);
  p.SendLaneState(88, 200, true);
  p.score().stepHits = 7;
  p.score().multiplier = 4;
  p.score().hits = 70000;  // only the low 16 bits travel
  p.score().maxStreak = 12;
  p.perfectCount = 3;
  p.goodCount = 9;
  p.score().score = 1234.5f;
  p.SendScoreState();
  ASSERT_EQ(h.net.sent.size(), 3u);
  const GameMessage& press = h.net.sent[0];
  EXPECT_EQ(press.type, 2);
  EXPECT_EQ(press.code, 11);
  EXPECT_EQ(press.a2, 3);
  EXPECT_EQ(press.a3, 5);
  EXPECT_EQ(press.a4, 80 * 65536 + 0x1234);
  const GameMessage& lane = h.net.sent[1];
  EXPECT_EQ(lane.a3, 88 + 200 * 256 + 65536);
  const GameMessage& state = h.net.sent[2];
  EXPECT_EQ(state.code, 34);
  EXPECT_EQ(state.a2, 3 + 7 * 256 + 4 * 65536);
  EXPECT_EQ(state.a3, 3 + 9 * 65536);
  EXPECT_EQ(state.a4, (70000 & 0xFFFF) + 12 * 65536);
  EXPECT_EQ(std::bit_cast<float>(state.a6), 1234.5f);
  EXPECT_EQ(std::bit_cast<float>(state.a7), 75.0f);

  h.net.connected = false;
  p.SendPress(1, 0, 128);
  p.SendScoreState();
  EXPECT_EQ(h.net.sent.size(), 3u);
}

TEST(Net, BadMessagesAreDropped) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  GameMessage m;
  m.type = 2;
  m.code = 12;
  m.a2 = 3;
  m.a3 = 1 + 128 * 256 + 65536;
  EXPECT_FALSE(p.ApplyRemoteMessage(m));  // a local player takes no remote messages
  p.remote = true;
  EXPECT_TRUE(p.ApplyRemoteMessage(m));
  EXPECT_TRUE(p.track.lanes[1].held);
  EXPECT_EQ(p.track.lanes[1].value, 128);

  struct Case {
    const char* name;
    int32_t code, a2, a3, a4, a6, a7;
  };
  const int32_t nan = std::bit_cast<int32_t>(std::numeric_limits<float>::quiet_NaN());
  const int32_t inf = std::bit_cast<int32_t>(std::numeric_limits<float>::infinity());
  const int32_t fifty = std::bit_cast<int32_t>(50.0f);
  for (const Case& c : {Case{"lane beyond the board", 12, 3, 6 + 65536, 0, 0, 0},
                        Case{"lane beyond the slots", 12, 3, 255 + 65536, 0, 0, 0},
                        Case{"press lane", 11, 3, 92, 128 << 16, 0, 0},
                        Case{"negative press lane", 11, 3, -5, 128 << 16, 0, 0},
                        Case{"score NaN", 34, 3, 0, 0, nan, fifty},
                        Case{"meter infinite", 34, 3, 0, 0, fifty, inf},
                        Case{"other slot", 10, 4, 0, 0, 0, 0},
                        Case{"other slot in the score state", 34, 4 + (3 << 8), 0, 0, fifty, fifty},
                        Case{"unknown code", 99, 3, 0, 0, 0, 0}}) {
    SCOPED_TRACE(c.name);
    GameMessage bad;
    bad.type = 2;
    bad.code = c.code;
    bad.a2 = c.a2;
    bad.a3 = c.a3;
    bad.a4 = c.a4;
    bad.a6 = c.a6;
    bad.a7 = c.a7;
    const float scoreBefore = p.score().score;
    EXPECT_FALSE(p.ApplyRemoteMessage(bad));
    EXPECT_EQ(p.score().score, scoreBefore);
    EXPECT_EQ(p.score().overhits, 0);
  }
  // A press value beyond the lane-span counters is looked up safely: an overhit.
  GameMessage press;
  press.type = 2;
  press.code = 11;
  press.a2 = 3;
  press.a3 = 2;
  press.a4 = (128 << 16) | 0xFFFF;
  EXPECT_TRUE(p.ApplyRemoteMessage(press));
  EXPECT_EQ(p.score().overhits, 1);
  // A hit for a serial that is not in the window changes nothing.
  m.code = 10;
  m.a3 = 999;
  EXPECT_TRUE(p.ApplyRemoteMessage(m));
  EXPECT_EQ(p.score().hits, 0);
}

TEST(Net, UnreportedNotesAreMissedAfterASecondWithoutBreakingTheStreak) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  p.remote = true;
  p.RemoteHit(0);
  p.RemoteHit(1);
  EXPECT_EQ(p.score().streak, 2);
  h.SetWallClock(3999);
  p.Update(false, false, 2999.0, 1.0f);  // N3 at 3000
  EXPECT_FALSE(p.track.notes[3].missed);
  p.Update(false, false, 4000.0, 1.0f);
  EXPECT_TRUE(p.track.notes[3].missed);
  EXPECT_EQ(p.score().overhits, 1);
  EXPECT_EQ(p.score().streak, 2);
}

TEST(Net, RemoteFailureWaitsForTheGraceTime) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  p.remote = true;
  h.SetWallClock(0);
  p.score().graceUntil = Harness::kWallBase + 2000;
  p.RemoteState(0, 1, 0.0f, 0, 0, 0, 0, 10.0f);
  EXPECT_FALSE(p.failed());
  h.SetWallClock(2000);
  p.RemoteState(0, 1, 0.0f, 0, 0, 0, 0, 10.0f);
  EXPECT_TRUE(p.failed());
  p.RemoteState(0, 1, 0.0f, 0, 0, 0, 0, 10.0f);
  EXPECT_EQ(h.sound.Count(98), 1);
}

// The missed-note check sends the score state every frame; a board drawn a thousand
// times a second must still stay far inside what the host relays for one client (600
// messages a second), and the last state must still reach the others.
TEST(Net, ScoreStateIsPacedAtAThousandFramesASecond) {
  Harness h(ReferenceGuitarChart());
  Player& p = h.Setup(PlayerSpec());
  std::map<double, std::vector<Step>> byTime;
  for (const Step& s : Reference()) byTime[s.time].push_back(s);
  std::vector<double> stateSentAt, sentAt;
  size_t seen = 0;
  for (double t = 0; t <= 8500; t += 1.0) {
    if (auto it = byTime.find(t); it != byTime.end()) {
      for (const Step& s : it->second) h.input.Push(s.code, s.pressed, s.value);
    }
    h.Frame(t);
    for (; seen < h.net.sent.size(); ++seen) {
      sentAt.push_back(t);
      if (h.net.sent[seen].code == 34) stateSentAt.push_back(t);
    }
  }
  ASSERT_EQ(p.score().hits, 12);
  // Every message of any one second (hits, presses, lane states, score states) stays
  // well inside the host's budget.
  for (size_t first = 0, end = 0; first < sentAt.size(); ++first) {
    while (end < sentAt.size() && sentAt[end] < sentAt[first] + 1000.0) ++end;
    EXPECT_LT(end - first, 100u) << "in the second from " << sentAt[first] << " ms";
  }
  for (size_t i = 0; i + 1 < stateSentAt.size(); ++i) {
    EXPECT_GE(stateSentAt[i + 1] - stateSentAt[i], static_cast<double>(Player::kScoreStateIntervalMs));
  }
  EXPECT_LE(stateSentAt.size(), 8500u / Player::kScoreStateIntervalMs + 1);
  // Before the first note nothing changes: the state is only repeated.
  const auto idle = std::count_if(stateSentAt.begin(), stateSentAt.end(), [](double t) { return t < 1900.0; });
  EXPECT_LE(idle, static_cast<long>(1900 / Player::kScoreStateRepeatMs + 1));
  EXPECT_GE(idle, 1);
  // The newest state went out after the last judgement.
  const GameMessage* last = nullptr;
  for (const GameMessage& m : h.net.sent) {
    if (m.code == 34) last = &m;
  }
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(std::bit_cast<float>(last->a6), p.score().score);
  EXPECT_EQ(last->a4 & 0xFFFF, 12);
}
