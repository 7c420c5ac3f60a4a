// Jobs of several processes through the real binary under mpiexec: whole
// sessions and their log-off statistics, options and the hash size reaching
// every rank, remote tests, simulated hosts (also over MPICH's TCP path), the
// command line on every rank, and a rank killed in the middle of a search.
// Every job runs under a processor name of its own, which tags its shared
// segments: nothing of it may be left in /dev/shm.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kShm = "/dev/shm/";
// The table of "Hash" 64: 2^22 entries of 16 bytes, 3 more, and the lock word.
constexpr uint64_t kTable64 = ((uint64_t{1} << 22) + 3) * 16 + 4;

// The engine under a name of its own: a job that ends removes the segments
// its executable's killed jobs left behind, and those of other tests' jobs
// (the engine's own name) must stay theirs.
class ClusterBinary {
 public:
  ClusterBinary() {
    dir_ = make_temp_dir();
    path_ = dir_ + "/quorrel-cluster";
    fs::copy_file(QUORREL_BINARY, path_);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add);
  }
  ~ClusterBinary() { fs::remove_all(dir_); }
  const std::string& path() const { return path_; }

 private:
  std::string dir_;
  std::string path_;
};

const std::string& cluster_binary() {
  static const ClusterBinary binary;
  return binary.path();
}

// The engine alone (0) or under mpiexec with n processes.
std::vector<std::string> job_command(int processes, const std::vector<std::string>& args = {}) {
  std::vector<std::string> command;
  if (processes > 0) command = {QUORREL_MPIEXEC, "-n", std::to_string(processes)};
  command.push_back(cluster_binary());
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

std::string unique_host(const char* what) {
  static std::atomic<int> counter{0};
  return std::string("job") + what + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

std::vector<std::string> shm_entries_of(const std::string& host) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kShm)) {
    const std::string name = entry.path().filename().string();
    if (name.find("." + host) != std::string::npos) names.push_back(name);
  }
  return names;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The messages of one rank in a log file ("dd.mm.yyyy hh:mm:ss.mmm %4d:text").
std::vector<std::string> messages_of(const std::string& log, int rank) {
  char tag[16];
  std::snprintf(tag, sizeof tag, " %4d:", rank);
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.size() > 29 && line.compare(23, 6, tag) == 0) lines.push_back(line.substr(29));
  }
  return lines;
}

// Index of the first message starting with `prefix` at or after `from`; -1 when none.
int find_from(const std::vector<std::string>& lines, const std::string& prefix, int from = 0) {
  for (int i = from; i < static_cast<int>(lines.size()); i++)
    if (lines[i].rfind(prefix, 0) == 0) return i;
  return -1;
}

// True when the messages hold every prefix, in this order.
::testing::AssertionResult in_order(const std::vector<std::string>& lines, const std::vector<std::string>& prefixes) {
  int at = 0;
  for (const std::string& prefix : prefixes) {
    const int found = find_from(lines, prefix, at);
    if (found < 0) return ::testing::AssertionFailure() << "missing after line " << at << ": " << prefix;
    at = found + 1;
  }
  return ::testing::AssertionSuccess();
}

bool starts_with(const std::string& line, const std::string& prefix) { return line.rfind(prefix, 0) == 0; }

// Reads up to the "bestmove" line; the line, or empty when none came in time.
std::string read_bestmove(EngineProcess& engine, std::chrono::milliseconds timeout = 60s) {
  const auto deadline = Clock::now() + timeout;
  while (Clock::now() < deadline) {
    auto line = engine.read_line(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
    if (!line) return "";
    if (starts_with(*line, "bestmove ")) return *line;
  }
  return "";
}

// Parent and state letter of a process; parent -1 when it is gone.
std::pair<pid_t, char> parent_and_state(pid_t pid) {
  const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 4 > stat.size()) return {-1, '?'};
  return {std::atoi(stat.c_str() + close + 4), stat[close + 2]};
}

// Every process started below `root` (mpiexec, its proxies and the ranks,
// which the proxies put in process groups of their own).
std::vector<pid_t> descendants(pid_t root) {
  std::vector<std::pair<pid_t, pid_t>> all;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    all.emplace_back(pid, parent_and_state(pid).first);
  }
  std::vector<pid_t> found{root};
  for (std::size_t i = 0; i < found.size(); i++)
    for (const auto& [pid, parent] : all)
      if (parent == found[i]) found.push_back(pid);
  found.erase(found.begin());
  return found;
}

bool alive(pid_t pid) {
  const auto [parent, state] = parent_and_state(pid);
  return parent >= 0 && state != 'Z';
}

// True when one of the processes still runs a second after the job's end (a
// process killed by the launcher may take a moment to go).
bool any_alive(const std::vector<pid_t>& pids) {
  const auto deadline = Clock::now() + 1s;
  for (pid_t pid : pids)
    while (alive(pid)) {
      if (Clock::now() >= deadline) return true;
      usleep(10000);
    }
  return false;
}

// The ranks of a job started by `root`, with their MPI rank.
std::vector<std::pair<pid_t, int>> ranks_of_job(pid_t root) {
  std::vector<std::pair<pid_t, int>> ranks;
  for (pid_t pid : descendants(root)) {
    const std::string dir = "/proc/" + std::to_string(pid);
    if (read_file(dir + "/comm").rfind("quorrel", 0) != 0) continue;
    const std::string environment = read_file(dir + "/environ");
    const std::string key = "PMI_RANK=";
    for (std::size_t at = 0; at < environment.size(); at = environment.find('\0', at) + 1) {
      if (environment.compare(at, key.size(), key) == 0) {
        ranks.emplace_back(pid, std::atoi(environment.c_str() + at + key.size()));
        break;
      }
      if (environment.find('\0', at) == std::string::npos) break;
    }
  }
  return ranks;
}

int niceness_of(pid_t pid) {
  const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream in(stat.substr(stat.rfind(')') + 2));
  std::string field;
  for (int i = 0; i < 17 && in >> field; i++) {
  }
  return std::stoi(field);  // the 19th field of the line
}

class ClusterJob : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    fs::create_directory(dir_ + "/Error");
  }
  void TearDown() override {
    for (const std::string& host : hosts_) {
      for (const std::string& name : shm_entries_of(host)) {
        if (!stale_expected_) ADD_FAILURE() << "left behind: " << name;
        fs::remove(std::string(kShm) + name);
      }
    }
    fs::remove_all(dir_);
  }

  // A job of n processes on one simulated host of its own.
  std::unique_ptr<EngineProcess> start(int processes, const std::vector<std::string>& args = {},
                                       std::vector<std::string> env = {}) {
    hosts_.push_back(unique_host("host"));
    env.push_back("QUORREL_PROCESSOR_NAME=" + hosts_.back());
    return std::make_unique<EngineProcess>(job_command(processes, args), dir_, env);
  }

  // Four processes: two on host A, two on host B.
  std::unique_ptr<EngineProcess> start_two_hosts(const std::vector<std::string>& env = {}) {
    hosts_.push_back(unique_host("a"));
    hosts_.push_back(unique_host("b"));
    const std::string a = hosts_[hosts_.size() - 2];
    const std::string b = hosts_.back();
    return std::make_unique<EngineProcess>(
        std::vector<std::string>{QUORREL_MPIEXEC, "-n", "2", "-env", "QUORREL_PROCESSOR_NAME", a, cluster_binary(),
                                 ":", "-n", "2", "-env", "QUORREL_PROCESSOR_NAME", b, cluster_binary()},
        dir_, env);
  }

  void logs_on(EngineProcess& engine) {
    engine.send_line("setoption name Log To Common File value true");
    engine.send_line("setoption name Log To Specific File value true");
  }

  std::string common_log() { return read_file(dir_ + "/Error/SLog_9999.txt"); }
  std::string rank_log(int rank) {
    char name[32];
    std::snprintf(name, sizeof name, "/Error/SLog_%04d.txt", rank);
    return read_file(dir_ + name);
  }

  // "quit" (or the end of input), then the whole job must end within `bound`.
  void end_session(EngineProcess& engine, bool by_quit, std::chrono::milliseconds bound = 10s) {
    const std::vector<pid_t> processes = descendants(engine.pid());
    const auto start = Clock::now();
    if (by_quit)
      engine.send_line("quit");
    else
      engine.close_input();
    EXPECT_EQ(engine.wait_exit(bound), 0);
    EXPECT_FALSE(any_alive(processes));
    EXPECT_LT(Clock::now() - start, bound);
  }

  std::string dir_;
  std::vector<std::string> hosts_;
  bool stale_expected_ = false;
};

// ---- Whole sessions -----------------------------------------------------------------------

class Session : public ClusterJob, public ::testing::WithParamInterface<int> {};

TEST_P(Session, PlaysAsOneEngineAndEveryRankLogsOffInOrder) {
  const int processes = GetParam();
  auto engine = start(processes);
  logs_on(*engine);
  engine->send_line("uci");
  ASSERT_EQ(engine->read_until("uciok").back(), "uciok");
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");
  engine->send_line("ucinewgame");
  engine->send_line("position startpos moves e2e4 e7e5 g1f3");
  engine->send_line("go depth 8");
  const std::string best = read_bestmove(*engine);
  ASSERT_FALSE(best.empty());
  EXPECT_NE(best.find("bestmove "), std::string::npos);
  // Three processes end by the end of input, two by "quit".
  end_session(*engine, processes == 2);

  const std::string log = common_log();
  const auto root = messages_of(log, 0);
  std::vector<std::string> root_order = {"INFO nTotalWorkRequestedCount ", "INFO nTotalWorkStartedCount ",
                                         "INFO nTotalWorkAbortedCount ", "INFO nTotalWorkFinishedCount ",
                                         "INFO nTotalWorkAbortSendCount ", "INFO nTotalUpdateSearchWindowSendCount ",
                                         "INFO nTotalForcedWindowUpdateRerunCount "};
  for (int rank = 1; rank < processes; rank++) root_order.push_back("Processor <");
  root_order.insert(root_order.end(), {"INFO total nodes searched ", "INFO total time "});
  for (int rank = 1; rank < processes; rank++) root_order.push_back("Processor <");
  root_order.push_back("done");
  EXPECT_TRUE(in_order(root, root_order));
  int logged_off = 0;
  int shut_down = 0;
  for (const std::string& line : root) {
    logged_off += line.find(") on <") != std::string::npos && line.find("> logged off") != std::string::npos;
    shut_down += line.find("> has shutdown") != std::string::npos;
  }
  EXPECT_EQ(logged_off, processes - 1);
  EXPECT_EQ(shut_down, processes - 1);

  for (int rank = 1; rank < processes; rank++) {
    const auto lines = messages_of(log, rank);
    EXPECT_TRUE(in_order(lines, {"INFO nTotalWorkRequestedCount ", "INFO nTotalWorkStartedCount ",
                                 "INFO nTotalWorkAbortedCount ", "INFO nTotalWorkFinishedCount ",
                                 "INFO nTotalWorkAbortSendCount ", "INFO nTotalUpdateSearchWindowSendCount ",
                                 "INFO nTotalForcedWindowUpdateRerunCount ", "INFO total nodes searched ",
                                 "INFO total nodes overhead caused by window updates ",
                                 "INFO total nodes overhead caused by aborts ", "done"}))
        << "rank " << rank;
    // It supported the search: it asked for work (nobody hands any out yet).
    const int requested = find_from(lines, "INFO nTotalWorkRequestedCount ");
    ASSERT_GE(requested, 0);
    EXPECT_GT(std::atoll(lines[requested].c_str() + 30), 0) << lines[requested];
  }
}

INSTANTIATE_TEST_SUITE_P(Processes, Session, ::testing::Values(2, 3));

// ---- Options --------------------------------------------------------------------------------

TEST_F(ClusterJob, SetoptionReachesEveryRankBeforeReadyok) {
  auto engine = start(3);
  engine->send_line("setoption name Log To Specific File value true");
  engine->send_line("setoption name Debug Level value 3");
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");
  // Read at once: the options were applied (and logged) on every rank before
  // the root master went on to the next command.
  for (int rank = 1; rank < 3; rank++) {
    const std::string log = rank_log(rank);
    EXPECT_NE(log.find(":nPellamDebugLevel                      = 3"), std::string::npos) << "rank " << rank;
  }
  end_session(*engine, true);
}

TEST_F(ClusterJob, HashSizeChangeRunsItsThreeStepsOnEveryRank) {
  auto engine = start(2);
  logs_on(*engine);
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");
  engine->send_line("setoption name Hash value 64");
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");

  // One segment of the new size, shared by both ranks.
  const auto segments = shm_entries_of(hosts_.back());
  ASSERT_EQ(segments.size(), 1u);
  struct stat status {};
  ASSERT_EQ(stat((std::string(kShm) + segments[0]).c_str(), &status), 0);
  EXPECT_EQ(static_cast<uint64_t>(status.st_size), kTable64);

  // Whichever rank created the first segment deletes it in step 2; the other
  // detaches from it in step 1. The root master then creates the segment of
  // the new size (step 2 ends with its new table), and rank 1 attaches to it
  // in step 3.
  const std::string log = common_log();
  const auto root = messages_of(log, 0);
  const auto rank1 = messages_of(log, 1);
  const std::string detach = "INFO successful detach (without delete) of shared memory for key 5997";
  const std::string remove = "INFO successful detach and delete of shared memory for key 5997";
  const bool root_created = find_from(root, remove) >= 0;
  EXPECT_GE(find_from(root_created ? rank1 : root, detach), 0);
  EXPECT_GE(find_from(root_created ? root : rank1, remove), 0);
  const std::string created = "with size " + std::to_string(kTable64) + " successfully allocated";
  const std::string attached = "with size " + std::to_string(kTable64) + " already allocated";
  auto logged = [](const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
      if (line.find(text) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(logged(root, created));
  EXPECT_TRUE(logged(rank1, attached));
  int synced = 0;
  for (const std::string& line : root) synced += line.find("synced set option") != std::string::npos;
  EXPECT_EQ(synced, 2 + 3 + 1);  // the two log options, the three steps, "Hash" itself
  end_session(*engine, true);
}

// ---- Remote tests ---------------------------------------------------------------------------

TEST_F(ClusterJob, RemoteTestsSearchOnTheChosenRankAndStop) {
  auto engine = start(2);
  logs_on(*engine);
  engine->send_line("setoption name Debug Level value 3");
  engine->send_line("position startpos moves d2d4");
  engine->send_line("remote 1 depth 6");
  const std::string best = read_bestmove(*engine);
  ASSERT_FALSE(best.empty());
  EXPECT_NE(best, "bestmove 0000");

  // An unbounded remote test runs until "stop"; a second test works after it.
  engine->send_line("remote 1 infinite");
  for (const auto& line : engine->read_for(700ms)) EXPECT_FALSE(starts_with(line, "bestmove")) << line;
  engine->send_line("stop");
  EXPECT_FALSE(read_bestmove(*engine, 20s).empty());
  engine->send_line("remote 1 depth 5");
  EXPECT_FALSE(read_bestmove(*engine, 30s).empty());

  // Out of range: corrected to the ranks that exist, with a warning each.
  engine->send_line("remote 0 depth 3");
  EXPECT_FALSE(read_bestmove(*engine, 30s).empty());
  engine->send_line("remote 9 depth 3");
  EXPECT_FALSE(read_bestmove(*engine, 30s).empty());

  // The rank that ran them still supports the job's own searches.
  engine->send_line("go depth 7");
  EXPECT_FALSE(read_bestmove(*engine).empty());
  end_session(*engine, true);

  const auto root = messages_of(common_log(), 0);
  EXPECT_GE(find_from(root, "WARNING parse_remote(... failed (nProcessorId < 1), now set to 1"), 0);
  EXPECT_GE(find_from(root, "WARNING parse_remote(... failed (nProcessorId >= g_pYBWCManagerInstance->nSize), now set to 1"), 0);
  const auto rank1 = messages_of(common_log(), 1);
  const int requested = find_from(rank1, "INFO nTotalWorkRequestedCount ");
  ASSERT_GE(requested, 0);
  EXPECT_GT(std::atoll(rank1[requested].c_str() + 30), 0);
}

TEST_F(ClusterJob, QuitDuringASearchStopsItThenLogsEveryRankOff) {
  auto engine = start(3);
  logs_on(*engine);
  engine->send_line("position startpos");
  engine->send_line("go infinite");
  ASSERT_TRUE(engine->read_line(30s).has_value());
  end_session(*engine, true);
  const auto root = messages_of(common_log(), 0);
  EXPECT_TRUE(in_order(root, {"finalizing environment via \"quit\"", "Processor <", "Processor <",
                              "INFO total nodes searched ", "done"}));
}

TEST_F(ClusterJob, EndOfInputDuringARemoteTestStopsItThenLogsEveryRankOff) {
  auto engine = start(2);
  logs_on(*engine);
  engine->send_line("position startpos");
  engine->send_line("remote 1 infinite");
  for (const auto& line : engine->read_for(500ms)) EXPECT_FALSE(starts_with(line, "bestmove")) << line;
  end_session(*engine, false);
  const auto rank1 = messages_of(common_log(), 1);
  EXPECT_TRUE(in_order(rank1, {"INFO total nodes searched ", "done"}));
}

class SingleProcess : public ClusterJob, public ::testing::WithParamInterface<int> {};

TEST_P(SingleProcess, RemoteIsRefusedWithAClearLine) {
  auto engine = start(GetParam());
  engine->send_line("remote 1 depth 5");
  engine->send_line("isready");
  const auto lines = engine->read_until("readyok");
  ASSERT_EQ(lines.back(), "readyok");
  bool refused = false;
  for (const auto& line : lines) {
    refused |= line == "info string remote refused: this job has a single process";
    EXPECT_FALSE(starts_with(line, "bestmove")) << line;
  }
  EXPECT_TRUE(refused);
  // The loop is free again.
  engine->send_line("go depth 3");
  EXPECT_FALSE(read_bestmove(*engine).empty());
  end_session(*engine, true);
}

INSTANTIATE_TEST_SUITE_P(Launch, SingleProcess, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "Direct" : "Mpiexec1"; });

TEST_F(ClusterJob, ANonRootMasterThatCannotGoOnEndsTheWholeJob) {
  auto engine = start(2);
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");
  // Rank 1 reads the go parameters: a keyword without its value is fatal there.
  const std::vector<pid_t> processes = descendants(engine->pid());
  engine->send_line("remote 1 depth");
  EXPECT_EQ(engine->wait_exit(10s), 1);
  EXPECT_FALSE(any_alive(processes));
  EXPECT_NE(engine->stderr_text().find("parse_go(): missing argument"), std::string::npos);
  stale_expected_ = true;  // the job was ended without its shutdown
}

// ---- Simulated hosts ------------------------------------------------------------------------

class TwoHosts : public ClusterJob, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoHosts, RanksOfTheRootMastersHostRunBelowNormalAndTheJobPlays) {
  std::vector<std::string> env;
  if (GetParam()) env = {"MPIR_CVAR_NOLOCAL=1", "UCX_TLS=tcp,self"};
  auto engine = start_two_hosts(env);
  logs_on(*engine);
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");

  // Priority: only the rank beside the root master (and its GUI) runs below
  // normal, ten steps below where the job was started (a job started with
  // "nice" stays there).
  const auto ranks = ranks_of_job(engine->pid());
  ASSERT_EQ(ranks.size(), 4u);
  int root_niceness = -100;
  for (const auto& [pid, rank] : ranks)
    if (rank == 0) root_niceness = niceness_of(pid);
  for (const auto& [pid, rank] : ranks)
    EXPECT_EQ(niceness_of(pid), rank == 1 ? std::min(root_niceness + 10, 19) : root_niceness) << "rank " << rank;
  // A segment per host.
  EXPECT_EQ(shm_entries_of(hosts_[0]).size(), 1u);
  EXPECT_EQ(shm_entries_of(hosts_[1]).size(), 1u);

  engine->send_line("position startpos moves e2e4");
  engine->send_line("go depth 7");
  EXPECT_FALSE(read_bestmove(*engine).empty());
  engine->send_line("remote 3 depth 5");
  EXPECT_FALSE(read_bestmove(*engine).empty());
  if (!GetParam()) {
    end_session(*engine, true);
    const std::string log = common_log();
    for (int rank = 0; rank < 4; rank++) EXPECT_GE(find_from(messages_of(log, rank), "done"), 0) << rank;
    return;
  }
  // Over TCP every rank logs off and shuts down in order; MPICH's own
  // finalisation over its UCX TCP transport may still hang (it does so for
  // a program of a few lines that only exchanges one message per pair): the
  // engine bounds it, and the job ends within the bound.
  const std::vector<pid_t> processes = descendants(engine->pid());
  engine->send_line("quit");
  EXPECT_NE(engine->wait_exit(20s), -1);
  EXPECT_FALSE(any_alive(processes));
  const std::string log = common_log();
  for (int rank = 1; rank < 4; rank++)
    EXPECT_GE(find_from(messages_of(log, 0), "Processor <" + std::to_string(rank) + "> "), 0) << rank;
  for (int rank = 1; rank < 4; rank++) EXPECT_GE(find_from(messages_of(log, rank), "INFO total nodes searched "), 0);
}

INSTANTIATE_TEST_SUITE_P(Transport, TwoHosts, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Tcp" : "SharedMemory"; });

// ---- The transposition-table broadcast --------------------------------------------------------

// The counts of one rank's "INFO hash table broadcast: ..." line; found false without one.
struct BroadcastCounts {
  bool found = false;
  long long chunks_sent = 0, messages = 0, bytes = 0, chunks_received = 0, entries_stored = 0;
};

BroadcastCounts broadcast_counts(const std::vector<std::string>& lines) {
  BroadcastCounts counts;
  const int at = find_from(lines, "INFO hash table broadcast: ");
  if (at < 0) return counts;
  counts.found = std::sscanf(lines[at].c_str(),
                             "INFO hash table broadcast: %lld chunks sent in %lld messages of %lld bytes, %lld chunks "
                             "received, %lld entries stored",
                             &counts.chunks_sent, &counts.messages, &counts.bytes, &counts.chunks_received,
                             &counts.entries_stored) == 5;
  return counts;
}

TEST_F(ClusterJob, ChunksGoOnlyToTheLowestRankOfTheOtherHostAndAllArriveBeforeTheLogOff) {
  auto engine = start_two_hosts();
  logs_on(*engine);
  // Every stored entry counts: many chunks of the start-up size of 64.
  engine->send_line("setoption name Broadcast Min Depth of Hash Table value 1");
  engine->send_line("position startpos moves e2e4 c7c5");
  engine->send_line("go depth 8");
  ASSERT_FALSE(read_bestmove(*engine).empty());
  end_session(*engine, true);

  const std::string log = common_log();
  BroadcastCounts counts[4];
  for (int rank = 0; rank < 4; rank++) {
    counts[rank] = broadcast_counts(messages_of(log, rank));
    ASSERT_TRUE(counts[rank].found) << "rank " << rank;
    // One target per chunk: the other host has one table.
    EXPECT_EQ(counts[rank].messages, counts[rank].chunks_sent) << rank;
    EXPECT_EQ(counts[rank].bytes, counts[rank].messages * (8 + 64 * 24)) << rank;
  }
  // The root master always fills chunks; the other host's ranks fill one only
  // when their work items stored 64 entries, which a short search does not
  // promise, so their direction is checked by the sums below alone.
  EXPECT_GT(counts[0].chunks_sent, 0);
  // Ranks 1 and 3 share their host's table with ranks 0 and 2: they get nothing.
  EXPECT_EQ(counts[1].chunks_received, 0);
  EXPECT_EQ(counts[3].chunks_received, 0);
  // Every chunk sent arrived and was stored before its receiver went.
  EXPECT_EQ(counts[2].chunks_received, counts[0].messages + counts[1].messages);
  EXPECT_EQ(counts[0].chunks_received, counts[2].messages + counts[3].messages);
  EXPECT_EQ(counts[2].entries_stored, 64 * counts[2].chunks_received);
  EXPECT_EQ(counts[0].entries_stored, 64 * counts[0].chunks_received);
}

TEST_F(ClusterJob, OneHostSharesItsTableAndSendsNoChunk) {
  auto engine = start(2);
  logs_on(*engine);
  engine->send_line("setoption name Broadcast Min Depth of Hash Table value 1");
  engine->send_line("position startpos moves d2d4");
  engine->send_line("go depth 7");
  ASSERT_FALSE(read_bestmove(*engine).empty());
  end_session(*engine, true);
  const std::string log = common_log();
  // The statistics line of the broadcast exists exactly where it is on.
  for (int rank = 0; rank < 2; rank++) {
    EXPECT_GE(find_from(messages_of(log, rank), "done"), 0) << rank;
    EXPECT_FALSE(broadcast_counts(messages_of(log, rank)).found) << rank;
  }
}

TEST_F(ClusterJob, HashSizeChangeRecreatesTheSegmentOfEveryHost) {
  auto engine = start_two_hosts();
  logs_on(*engine);
  engine->send_line("position startpos");
  engine->send_line("go depth 6");
  ASSERT_FALSE(read_bestmove(*engine).empty());
  engine->send_line("setoption name Hash value 64");
  engine->send_line("isready");
  ASSERT_EQ(engine->read_until("readyok").back(), "readyok");
  for (const std::string& host : {hosts_[hosts_.size() - 2], hosts_.back()}) {
    const auto segments = shm_entries_of(host);
    ASSERT_EQ(segments.size(), 1u) << host;
    struct stat status {};
    ASSERT_EQ(stat((std::string(kShm) + segments[0]).c_str(), &status), 0);
    EXPECT_EQ(static_cast<uint64_t>(status.st_size), kTable64) << host;
  }
  // The job still plays with the new tables, and broadcasts again.
  engine->send_line("go depth 6");
  EXPECT_FALSE(read_bestmove(*engine).empty());
  end_session(*engine, true);
  const std::string log = common_log();
  const std::string created = "with size " + std::to_string(kTable64) + " successfully allocated";
  const std::string attached = "with size " + std::to_string(kTable64) + " already allocated";
  int creators = 0, attachers = 0;
  for (int rank = 0; rank < 4; rank++)
    for (const std::string& line : messages_of(log, rank)) {
      creators += line.find(created) != std::string::npos;
      attachers += line.find(attached) != std::string::npos;
    }
  EXPECT_EQ(creators, 2);
  EXPECT_EQ(attachers, 2);
}

// ---- The command line on every rank --------------------------------------------------------

struct CommandLineCase {
  const char* argument;
  int exit_code;
};

class CommandLineOnEveryRank : public ClusterJob, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineOnEveryRank, EndsEveryRankWithTheSingleProcessCode) {
  auto alone = start(0, {GetParam().argument});
  const int single = alone->wait_exit(20s);
  EXPECT_EQ(single, GetParam().exit_code);
  auto engine = start(3, {GetParam().argument});
  const auto begin = Clock::now();
  EXPECT_EQ(engine->wait_exit(20s), single);
  EXPECT_LT(Clock::now() - begin, 10s);
}

INSTANTIATE_TEST_SUITE_P(Arguments, CommandLineOnEveryRank,
                         ::testing::Values(CommandLineCase{"--help", 0}, CommandLineCase{"--version", 0},
                                           CommandLineCase{"--no-such-option", 1}),
                         [](const auto& info) {
                           return info.index == 0 ? "Help" : info.index == 1 ? "Version" : "Error";
                         });

// ---- A rank killed in the middle of a search -----------------------------------------------

TEST_F(ClusterJob, AKilledNonRootMasterEndsTheWholeJobPromptly) {
  auto engine = start(2);
  engine->send_line("position startpos");
  engine->send_line("go infinite");
  ASSERT_TRUE(engine->read_line(30s).has_value());
  std::vector<std::pair<pid_t, int>> ranks;
  for (const auto deadline = Clock::now() + 10s; ranks.size() < 2 && Clock::now() < deadline;) {
    ranks = ranks_of_job(engine->pid());
  }
  pid_t victim = -1;
  for (const auto& [pid, rank] : ranks)
    if (rank == 1) victim = pid;
  ASSERT_GT(victim, 0);
  const std::vector<pid_t> processes = descendants(engine->pid());
  ASSERT_EQ(kill(victim, SIGKILL), 0);

  // The GUI sees the engine end: its output closes and mpiexec exits.
  const auto begin = Clock::now();
  while (engine->read_line(10s)) {
  }
  EXPECT_NE(engine->wait_exit(10s), -1);
  EXPECT_LT(Clock::now() - begin, 10s);
  EXPECT_FALSE(any_alive(processes));

  // The killed job could not remove its segment; the next job of the
  // executable does.
  auto next = start(1);
  next->send_line("isready");
  ASSERT_EQ(next->read_until("readyok").back(), "readyok");
  end_session(*next, true);
  EXPECT_TRUE(shm_entries_of(hosts_.front()).empty());
}

}  // namespace
