// The transposition table in a host-wide segment, driven through the real
// binary started directly and under mpiexec with one process: where the
// segment lives, that every way out removes it, that a killed job's segment
// is removed by the next job, that parallel jobs never share a segment, and
// that a full shared-memory directory leaves the engine with a private table.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kShm = "/dev/shm/";
// Bytes of the table of "Hash" 16 and 32: 2^20 and 2^21 entries of 16 bytes,
// 3 more for the last cluster, and the 4-byte lock word.
constexpr uint64_t kTable16 = ((uint64_t{1} << 20) + 3) * 16 + 4;
constexpr uint64_t kTable32 = ((uint64_t{1} << 21) + 3) * 16 + 4;

// A processor name of its own for every engine of the test: it is part of the
// segment names, which tells this test's segments from anyone else's.
std::string unique_host() {
  static std::atomic<int> counter{0};
  return "shmtest-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Entries of the shared-memory directory that belong to a host name.
std::vector<std::string> entries_of(const std::string& host) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kShm)) {
    const std::string name = entry.path().filename().string();
    if (name.find("." + host) != std::string::npos) names.push_back(name);
  }
  return names;
}

uint64_t size_of(const std::string& name) {
  struct stat status {};
  return stat((std::string(kShm) + name).c_str(), &status) == 0 ? static_cast<uint64_t>(status.st_size) : 0;
}

// Reads up to the "bestmove" line; true when it came.
bool search_ends(EngineProcess& engine) {
  while (auto line = engine.read_line(60s)) {
    if (line->rfind("bestmove ", 0) == 0) return true;
  }
  return false;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SharedTableEngine : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override {
    for (const std::string& host : hosts_) {
      for (const std::string& name : entries_of(host)) {
        ADD_FAILURE() << "left behind: " << name;
        fs::remove(std::string(kShm) + name);
      }
    }
    fs::remove_all(dir_);
  }
  // Starts an engine (directly, or under mpiexec -n 1) on a host of its own
  // and waits until its tables exist.
  std::unique_ptr<EngineProcess> start_ready(int processes, std::string* host, const std::string& cwd = "") {
    *host = unique_host();
    hosts_.push_back(*host);
    auto engine = std::make_unique<EngineProcess>(engine_command(processes), cwd.empty() ? dir_ : cwd,
                                                  std::vector<std::string>{"QUORREL_PROCESSOR_NAME=" + *host});
    engine->send_line("isready");
    EXPECT_EQ(engine->read_until("readyok").back(), "readyok");
    return engine;
  }
  std::string dir_;
  std::vector<std::string> hosts_;
};

class SharedTableEngineEachWay : public SharedTableEngine, public ::testing::WithParamInterface<int> {};

TEST_P(SharedTableEngineEachWay, TableLivesInASegmentOfItsSize) {
  std::string host;
  auto engine = start_ready(GetParam(), &host);
  auto names = entries_of(host);
  ASSERT_EQ(names.size(), 1u);
  const std::string prefix = "SharedMemory_Id_quorrel.";
  const std::string suffix = "." + host + "_5997";
  ASSERT_EQ(names[0].rfind(prefix, 0), 0u) << names[0];
  ASSERT_GT(names[0].size(), prefix.size() + suffix.size());
  ASSERT_EQ(names[0].substr(names[0].size() - suffix.size()), suffix);
  const std::string job = names[0].substr(prefix.size(), names[0].size() - prefix.size() - suffix.size());
  EXPECT_EQ(job.find_first_not_of("0123456789"), std::string::npos) << names[0];
  // Alone, the engine's own process is its job; under mpiexec its proxy is.
  if (GetParam() == 0) {
    EXPECT_EQ(job, std::to_string(engine->pid()));
  }
  EXPECT_EQ(size_of(names[0]), kTable16);

  engine->send_line("setoption name Hash value 32");
  engine->send_line("isready");
  engine->read_until("readyok");
  names = entries_of(host);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(size_of(names[0]), kTable32);

  engine->send_line("go depth 6");
  EXPECT_TRUE(search_ends(*engine));

  // Not shared any more from the next allocation on.
  engine->send_line("setoption name Share Hash Table value false");
  engine->send_line("setoption name Hash value 16");
  engine->send_line("isready");
  engine->read_until("readyok");
  EXPECT_TRUE(entries_of(host).empty());
  engine->send_line("quit");
  EXPECT_EQ(engine->wait_exit(), 0);
}

TEST_P(SharedTableEngineEachWay, KilledJobsSegmentGoesWhenTheNextJobEnds) {
  std::string killed_host;
  auto killed = start_ready(GetParam(), &killed_host);
  ASSERT_EQ(entries_of(killed_host).size(), 1u);
  kill(-killed->pid(), SIGKILL);
  killed->wait_exit();
  // Nobody removed it: every process of the job was killed.
  ASSERT_EQ(entries_of(killed_host).size(), 1u);

  std::string next_host;
  auto next = start_ready(GetParam(), &next_host);
  next->send_line("quit");
  EXPECT_EQ(next->wait_exit(), 0);
  EXPECT_TRUE(entries_of(killed_host).empty());
  EXPECT_TRUE(entries_of(next_host).empty());
}

INSTANTIATE_TEST_SUITE_P(DirectAndUnderMpiexec, SharedTableEngineEachWay, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Direct" : "Mpiexec"; });

// Every way out: "quit", end of input, a fatal error; directly and under mpiexec.
class SharedTableEngineExit : public SharedTableEngine,
                              public ::testing::WithParamInterface<std::tuple<int, std::string>> {};

TEST_P(SharedTableEngineExit, SegmentIsDeletedInOrder) {
  const auto& [processes, way] = GetParam();
  fs::create_directory(dir_ + "/Error");
  std::string host;
  auto engine = start_ready(processes, &host);
  ASSERT_EQ(entries_of(host).size(), 1u);
  engine->send_line("setoption name Log To Common File value true");
  int expected_exit = 0;
  if (way == "quit") {
    engine->send_line("quit");
  } else if (way == "eof") {
    engine->close_input();
  } else {
    engine->send_line("remote ");  // a missing argument is fatal
    expected_exit = 1;
  }
  EXPECT_EQ(engine->wait_exit(), expected_exit);
  EXPECT_TRUE(entries_of(host).empty());
  const std::string log = read_file(dir_ + "/Error/SLog_9999.txt");
  EXPECT_NE(log.find("    0:INFO successful detach and delete of shared memory for key 5997\n"), std::string::npos)
      << log;
}

INSTANTIATE_TEST_SUITE_P(EveryWayOut, SharedTableEngineExit,
                         ::testing::Combine(::testing::Values(0, 1), ::testing::Values("quit", "eof", "fatal")),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) == 0 ? "Direct_" : "Mpiexec_") +
                                  std::get<1>(info.param);
                         });

TEST_F(SharedTableEngine, ParallelJobsNeverShareASegment) {
  // Four jobs of one executable on one host name at once.
  const std::string host = unique_host();
  hosts_.push_back(host);
  std::vector<std::unique_ptr<EngineProcess>> engines;
  for (const int processes : {0, 0, 1, 1}) {
    engines.push_back(std::make_unique<EngineProcess>(engine_command(processes), dir_,
                                                      std::vector<std::string>{"QUORREL_PROCESSOR_NAME=" + host}));
    engines.back()->send_line("isready");
  }
  for (auto& engine : engines) EXPECT_EQ(engine->read_until("readyok").back(), "readyok");
  const auto names = entries_of(host);
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 4u);
  for (auto& engine : engines) engine->send_line("quit");
  for (auto& engine : engines) EXPECT_EQ(engine->wait_exit(), 0);
  EXPECT_TRUE(entries_of(host).empty());
}

TEST_F(SharedTableEngine, FullSharedMemoryLeavesAPrivateTable) {
  // The engine in a mount namespace of its own whose shared-memory directory
  // holds 8 MB, about half of which MPI takes at start-up: the table of
  // "Hash" 8 does not fit.
  const std::string host = unique_host();
  EngineProcess engine({"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                        "mount --make-rprivate / && mount -t tmpfs -o size=8m tmpfs /dev/shm && exec \"$0\"",
                        QUORREL_BINARY},
                       dir_, {"QUORREL_PROCESSOR_NAME=" + host});
  // Start-up log lines may come before the banner (no ./Error here).
  bool started = false;
  for (int i = 0; i < 5 && !started; ++i) {
    const auto line = engine.read_line(10s);
    if (!line) break;
    started = line->rfind("Quorrel", 0) == 0;
  }
  if (!started) GTEST_SKIP() << "no mount namespace here: " << engine.stderr_text();
  engine.send_line("setoption name Log To Stdout value true");
  engine.send_line("setoption name Debug Level value 1");
  engine.send_line("setoption name Hash value 8");
  engine.send_line("isready");
  const auto lines = engine.read_until("readyok");
  const auto has = [&](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(has("ERROR YBWCManager_InitSharedMem(... failed at hMapObject = CreateFileMapping(INVALID_HANDLE_VALUE, "
                  "NULL, PAGE_READWRITE, 0, 8388660, SharedMemory_Id_quorrel."));
  EXPECT_TRUE(has("_5997)), result = " + std::to_string(ENOSPC)));
  EXPECT_TRUE(has("ERROR trans_alloc(... no shared memory for the table (8388660 bytes), using private memory"));
  engine.send_line("go depth 6");
  EXPECT_TRUE(search_ends(engine));
  engine.send_line("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
