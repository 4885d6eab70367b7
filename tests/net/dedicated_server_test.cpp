// The dedicated server program as a child process on loopback: its console lines,
// the join with and without the password, the road of one game with the leader's
// rules, a client that vanishes mid-song, SIGTERM, a port it cannot use, and the
// libraries it links.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/settings.h"
#include "tests/net/net_test_support.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace {

using net::NetMessage;
using nettest::Bytes;
using nettest::OfCode;
using nettest::RawPeer;

// The program copied into a folder of its own with an optional settings file.
class ServerProcess {
 public:
  explicit ServerProcess(const testsupport::TempDir& dir) : dir_(dir) {
    const std::string program = dir.Path("velorin_server");
    std::filesystem::copy_file(VELORIN_SERVER_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
  }
  ~ServerProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  void WriteConfig(const std::string& port, const std::string& password, int limit, bool isPrivate) {
    dir_.MakeDir("settings");
    Settings s;
    s.Load(dir_.WPath("settings/config.ini"));
    s.LASTPORT = port;
    s.LASTPASSWORD = password;
    s.PLAYERLIMIT = limit;
    s.LASTPRIVATEHOST = isPrivate;
    s.SERVERNAME = "Test Box";
    s.SERVERDESC = "loopback";
    ASSERT_TRUE(s.Save());
  }

  bool Start() {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    const std::string program = dir_.Path("velorin_server");
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    out_ = pipe_fds[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
    return rc == 0;
  }

  // Reads the console until the line appears or the program ends.
  bool WaitForLine(const std::string& line, int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      if (HasLine(line)) return true;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, 20) == 1) {
        char buf[1024];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) return HasLine(line);
        text_.append(buf, static_cast<size_t>(n));
      }
    }
    return HasLine(line);
  }

  bool HasLine(const std::string& line) const { return Position(line) != std::string::npos; }
  size_t Position(const std::string& line) const {
    const size_t at = ("\n" + text_).find("\n" + line + "\n");
    return at;
  }

  // Sends the signal and waits for the exit status (-1 when it did not end).
  int Signal(int sig, int timeoutMs = 10000) {
    kill(pid_, sig);
    return Wait(timeoutMs);
  }

  int Wait(int timeoutMs = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }

  std::vector<std::string> ServerLog() const { return dir_.ServerLogTexts(); }

 private:
  const testsupport::TempDir& dir_;
  pid_t pid_ = -1;
  int out_ = -1;
  std::string text_;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(DedicatedServer, PrintsItsSettingsAndAdmitsOnlyThePassword) {
  testsupport::TempDir dir;
  ServerProcess server(dir);
  const uint16_t port = nettest::FreePort();
  server.WriteConfig(std::to_string(port), "letmein", 4, true);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(server.WaitForLine("Server Running..."));
  const std::vector<std::string> expected = {
      "Velorin Dedicated Server Version 1.27", "Server Name: Test Box", "Server Description: loopback",
      "Server Private: Yes", "Server Max Players: 4", "Server Port: " + std::to_string(port),
      "Server Password: letmein", "Server Running..."};
  size_t last = 0;
  for (const std::string& line : expected) {
    SCOPED_TRACE(line);
    ASSERT_TRUE(server.HasLine(line));
    EXPECT_GE(server.Position(line), last);
    last = server.Position(line);
  }
  EXPECT_FALSE(server.HasLine("Could NOT Find Config. Using Defaults. . ."));

  RawPeer intruder;
  ASSERT_TRUE(intruder.Connect(port));
  EXPECT_EQ(intruder.Join("Eve", ""), -1);
  EXPECT_EQ(OfCode(intruder.seen, 1, 103).size(), 1u);
  EXPECT_TRUE(intruder.WaitClosed());

  RawPeer player;
  ASSERT_TRUE(player.Connect(port));
  EXPECT_GE(player.Join("Ann", "letmein"), 0);

  // SIGTERM: every client hears the farewell and the program ends cleanly.
  EXPECT_EQ(server.Signal(SIGTERM), 0);
  EXPECT_TRUE(player.WaitFor(1, 2));
  const auto log = server.ServerLog();
  EXPECT_TRUE(Contains(log, "Server Running!"));
  EXPECT_TRUE(Contains(log, "Recieve:Password Failed"));
  EXPECT_TRUE(Contains(log, "Recieve:User Authenticated"));
  for (const std::string& line : log) EXPECT_EQ(line.find("letmein"), std::string::npos) << line;
}

TEST(DedicatedServer, OneGameFromTheLobbyToTheEndWithAClientLostMidSong) {
  testsupport::TempDir dir;
  ServerProcess server(dir);
  const uint16_t port = nettest::FreePort();
  server.WriteConfig(std::to_string(port), "", 15, true);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(server.WaitForLine("Server Running..."));
  RawPeer a, b, c;
  for (RawPeer* p : {&a, &b, &c}) ASSERT_TRUE(p->Connect(port));
  ASSERT_EQ(a.Join("A", ""), 0);
  ASSERT_EQ(b.Join("B", ""), 1);
  ASSERT_EQ(c.Join("C", ""), 2);

  // Only the leader's song counts; everybody hears it.
  b.Send(Bytes().Header(1, 27).Int(1).Str("Not - Leader").Str(std::string(32, '1')).str());
  a.Send(Bytes().Header(1, 27).Int(777).Str("Band - Tune").Str(std::string(32, 'e')).str());
  NetMessage song;
  for (RawPeer* p : {&a, &b, &c}) {
    ASSERT_TRUE(p->WaitFor(2, 28, &song));
    EXPECT_EQ(song.str1, "Band - Tune");
    EXPECT_EQ(song.a3, 777);
  }
  a.Send(nettest::ControlA3Bytes(28, 2));
  b.Send(nettest::ControlA3Bytes(28, 2));
  c.Send(nettest::ControlA3Bytes(28, 1));
  // The roster shows each client's state once everything is in.
  const auto rosterShows = [&](RawPeer& p, std::vector<int32_t> states) {
    for (int i = 0; i < 200; ++i) {
      p.Drain(10);
      std::vector<int32_t> last(3, -1);
      for (const NetMessage& m : OfCode(p.seen, 2, 30))
        if (m.a3 >= 0 && m.a3 < 3) last[static_cast<size_t>(m.a3)] = m.a4;
      if (last == states) return true;
    }
    return false;
  };
  ASSERT_TRUE(rosterShows(c, {2, 2, 1}));
  b.Send(nettest::ControlBytes(29));  // not the leader: nothing happens
  a.Send(nettest::ControlBytes(29));
  ASSERT_TRUE(a.WaitFor(1, 38));
  ASSERT_TRUE(b.WaitFor(1, 38));
  ASSERT_TRUE(c.WaitFor(1, 37));
  ASSERT_TRUE(b.WaitFor(2, 31));
  ASSERT_TRUE(rosterShows(c, {3, 3, 1}));

  // Player select, load and the start signal.
  a.Send(nettest::ControlA3Bytes(20, 0));
  b.Send(nettest::ControlA3Bytes(20, 0));
  NetMessage mine;
  ASSERT_TRUE(a.WaitFor(2, 17, &mine));
  ASSERT_TRUE(b.WaitFor(2, 27));
  a.Send(nettest::ControlBytes(23));
  ASSERT_TRUE(a.WaitFor(2, 21));
  ASSERT_TRUE(b.WaitFor(2, 20));
  a.Send(nettest::ControlBytes(24));
  b.Send(nettest::ControlBytes(24));
  ASSERT_TRUE(a.WaitFor(2, 22));
  ASSERT_TRUE(b.WaitFor(2, 22));

  // Play: a's note reaches b only; chat reaches both.
  a.Send(Bytes().Header(2, 10).Int(mine.a2).Int(5).str());
  a.Send(Bytes().Header(2, 25).Str("A: go").str());
  ASSERT_TRUE(b.WaitFor(2, 10));
  ASSERT_TRUE(c.WaitFor(2, 25));
  EXPECT_TRUE(OfCode(c.seen, 2, 10).empty());

  // b vanishes without a farewell; the others hear of it and the game goes on.
  b.Close();
  ASSERT_TRUE(a.WaitFor(2, 40));
  ASSERT_TRUE(c.WaitFor(2, 40));
  a.Send(Bytes().Header(2, 10).Int(mine.a2).Int(6).str());
  a.Send(nettest::ControlBytes(26));  // back to the menus
  ASSERT_TRUE(c.WaitFor(1, 38));  // unlocked first, then the others go back
  ASSERT_TRUE(c.WaitFor(2, 23));
  NetMessage leader;
  ASSERT_TRUE(c.WaitFor(2, 26, &leader));
  EXPECT_EQ(leader.a3, 2);

  EXPECT_EQ(server.Signal(SIGINT), 0);
  const auto log = server.ServerLog();
  for (const char* line : {"New Song: Band - Tune", "ServerLock:Server Is Now Locked", "GameCheck:Game Start Signal Sent",
                           "Recieve:Client:1 disconnected!", "Kill Socket:Killed Player:1", "Recieve:Returning To Menu"}) {
    EXPECT_TRUE(Contains(log, line)) << line;
  }
  EXPECT_FALSE(Contains(log, "New Song: Not - Leader"));
}

TEST(DedicatedServer, APortItCannotUseEndsWithStatusOne) {
  for (const char* port : {"abc", "0", "70000"}) {
    SCOPED_TRACE(port);
    testsupport::TempDir dir;
    ServerProcess server(dir);
    server.WriteConfig(port, "", 5, true);
    ASSERT_TRUE(server.Start());
    EXPECT_EQ(server.Wait(), 1);
    EXPECT_FALSE(server.HasLine("Server Running..."));
    EXPECT_TRUE(Contains(server.ServerLog(), "Unable to bind socket!"));
  }
}

TEST(DedicatedServer, WithoutSettingsItSaysSoAndUsesTheDefaults) {
  testsupport::TempDir dir;
  ServerProcess server(dir);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(server.WaitForLine("Server Port: 27960"));
  EXPECT_TRUE(server.HasLine("Could NOT Find Config. Using Defaults. . ."));
  EXPECT_TRUE(server.HasLine("Server Name: Unnamed Server"));
  EXPECT_TRUE(server.HasLine("Server Private: No"));
  // The default port may be taken on this machine; then the start fails cleanly.
  if (server.WaitForLine("Server Running...", 3000)) {
    EXPECT_EQ(server.Signal(SIGTERM), 0);
  } else {
    EXPECT_EQ(server.Wait(), 1);
  }
}

TEST(DedicatedServer, LinksNoWindowSoundOrGraphicsLibrary) {
  FILE* pipe = popen((std::string("ldd '") + VELORIN_SERVER_PROGRAM + "'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buf[512];
  while (fgets(buf, sizeof buf, pipe)) text += buf;
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_NE(text.find("libc.so"), std::string::npos);
  for (const char* lib : {"SDL", "libGL", "libEGL", "epoxy", "openal", "vorbis", "freetype", "assimp", "avcodec"}) {
    EXPECT_EQ(text.find(lib), std::string::npos) << lib << " in\n" << text;
  }
}

}  // namespace

namespace {

// One headless game (tests/net/net_game_peer.cpp) as a child process in a folder of
// its own, with its console read line by line.
class GamePeer {
 public:
  GamePeer(const testsupport::TempDir& dir, const std::string& name) : folder_(dir.Path(name)) {
    std::filesystem::create_directories(folder_);
  }
  ~GamePeer() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  bool Start(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> all = {VELORIN_GAME_PEER};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = posix_spawn(&pid_, all[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
    return rc == 0;
  }

  // The first line (from the one after the last line taken) that begins with the
  // prefix; empty when the program ends or fails first, or the bound passes. The
  // bound catches a hang: a sanitizer build on a busy machine loads a song slowly.
  std::string WaitForLine(const std::string& prefix, int boundMs = 240000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
      while (taken_ < lines_.size()) {
        const std::string& line = lines_[taken_++];
        if (line.rfind(prefix, 0) == 0) return line;
        if (line.rfind("FAIL", 0) == 0) {
          ADD_FAILURE() << folder_ << ": " << line;
          return std::string();
        }
      }
      if (std::chrono::steady_clock::now() >= end || !ReadSome()) return std::string();
    }
  }
  // The number after the prefix in the next line that begins with it; -1 when none.
  long long WaitForNumber(const std::string& prefix, int boundMs = 240000) {
    const std::string line = WaitForLine(prefix + " ", boundMs);
    return line.empty() ? -1 : std::atoll(line.c_str() + prefix.size() + 1);
  }

  // Whether the exact line was printed at any time so far, waiting for it up to the
  // bound; lines taken by the waits above count too.
  bool SawLine(const std::string& line, int boundMs = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
      if (std::find(lines_.begin(), lines_.end(), line) != lines_.end()) return true;
      if (std::chrono::steady_clock::now() >= end || !ReadSome()) {
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
      }
    }
  }

  int Kill() {
    kill(pid_, SIGKILL);
    return Wait(10000);
  }
  int Wait(int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ReadSome();
    }
    return -1;
  }

 private:
  // False once the program's output has ended.
  bool ReadSome() {
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, 20) != 1) return true;
    char buf[1024];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    partial_.append(buf, static_cast<size_t>(n));
    for (size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
      lines_.push_back(partial_.substr(0, nl));
      partial_.erase(0, nl + 1);
    }
    return true;
  }

  std::string folder_;
  pid_t pid_ = -1;
  int out_ = -1;
  std::string partial_;
  std::vector<std::string> lines_;
  size_t taken_ = 0;
};

// The first demo song of the built run folder, copied for one player; empty when the
// run folder has none.
std::string CopyDemoSong(const testsupport::TempDir& dir, const std::string& as) {
  namespace fs = std::filesystem;
  std::vector<fs::path> demos;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(fs::path(VELORIN_TEST_RUN_DIR) / "music", ec)) {
    if (e.is_directory() && fs::exists(e.path() / "notes.mid")) demos.push_back(e.path());
  }
  if (demos.empty()) return std::string();
  std::sort(demos.begin(), demos.end());
  fs::copy(demos.front(), dir.Path(as), fs::copy_options::recursive);
  return dir.Path(as) + "/";
}

}  // namespace

// Two games play the same song through the server: both wait for its start signal,
// each one's player is mirrored hit for hit on the other's board, and when one is
// killed mid-song the other plays on and the server keeps serving.
TEST(DedicatedServer, TwoGamesPlayOneSongInLockStepAndOneSurvivesTheOthersDeath) {
  testsupport::TempDir dir;
  const std::string songA = CopyDemoSong(dir, "songA");
  if (songA.empty()) GTEST_SKIP() << "no demo song in the run folder's music/";
  const std::string songB = CopyDemoSong(dir, "songB");
  ServerProcess server(dir);
  const uint16_t port = nettest::FreePort();
  server.WriteConfig(std::to_string(port), "", 5, true);
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(server.WaitForLine("Server Running..."));

  // The bots hit every note of the first 8 s; A plays on to 14 s, B until it is killed.
  GamePeer a(dir, "gameA"), b(dir, "gameB");
  ASSERT_TRUE(a.Start({std::to_string(port), "Ann", songA, "8000", "14000"}));
  ASSERT_EQ(a.WaitForNumber("AUTH"), 0);  // the first to join leads
  ASSERT_TRUE(b.Start({std::to_string(port), "Bob", songB, "8000", "600000"}));
  ASSERT_EQ(b.WaitForNumber("AUTH"), 1);

  const long long startA = a.WaitForNumber("START");
  const long long startB = b.WaitForNumber("START");
  ASSERT_GT(startA, 0);
  ASSERT_GT(startB, 0);
  // Neither starts on its own: each took the one start signal, however long its load
  // took. A frame or two apart on a busy machine, never a load apart.
  EXPECT_LT(std::llabs(startA - startB), 1500);

  const long long hitsA = a.WaitForNumber("STOPPED");
  const long long hitsB = b.WaitForNumber("STOPPED");
  ASSERT_GT(hitsA, 0) << "the bot hit nothing in the first 8 s of the demo song";
  ASSERT_GT(hitsB, 0);
  // Each board shows the other's player with every hit it made.
  EXPECT_TRUE(a.SawLine("MIRROR " + std::to_string(hitsB)));
  EXPECT_TRUE(b.SawLine("MIRROR " + std::to_string(hitsA)));

  EXPECT_EQ(b.Kill(), 128 + SIGKILL);
  const std::string result = a.WaitForLine("RESULT");
  EXPECT_EQ(result, "RESULT " + std::to_string(hitsA) + " " + std::to_string(hitsB));
  EXPECT_FALSE(a.WaitForLine("DONE").empty());
  EXPECT_EQ(a.Wait(60000), 0);

  // The server lost one client without a farewell and still takes a new one.
  RawPeer late;
  ASSERT_TRUE(late.Connect(port));
  EXPECT_GE(late.Join("Cy", ""), 0);
  EXPECT_EQ(server.Signal(SIGTERM), 0);
  const auto log = server.ServerLog();
  EXPECT_TRUE(Contains(log, "GameCheck:Game Start Signal Sent"));
}
