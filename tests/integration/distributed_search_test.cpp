// The distributed search through the real binary under mpiexec: searches of
// two and three processes end with legal moves, work really goes to the
// other ranks and every work item they start is finished or stopped, the
// root's node count takes in theirs, and the statistics agree with each
// other; when a master moves on (a late refutation, a new position, a stop)
// its slaves stop and no work arrives for an old position. Every job runs
// under a processor name of its own, which tags its shared segments: nothing
// of it may be left in /dev/shm.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string unique_host() {
  static std::atomic<int> counter{0};
  return "distributed-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Test positions of the automatic tester (numbers 1, 3, 9, 14, 22, 26) and a
// position whose natural first move is refuted only late (Bratko-Kopec 1).
const char* const kPositions[] = {
    "rq2r1k1/5pp1/p7/4bNP1/1p2P2P/5Q2/PP4K1/5R1R w - - 0 1",
    "5r1k/p1q2pp1/1pb4p/n3R1NQ/7P/3B1P2/2P3P1/7K w - - 0 1",
    "r5k1/pp2p1bp/6p1/n1p1P3/2qP1NP1/2PQB3/P5PP/R4K2 b - - 0 1",
    "3r1rk1/1p3pnp/p3pBp1/1qPpP3/1P1P2R1/P2Q3R/6PP/6K1 w - - 0 1",
    "rnb1k2r/pp2qppp/3p1n2/2pp2B1/1bP5/2N1P3/PP2NPPP/R2QKB1R w KQkq - 0 1",
    "2r3k1/pbr1q2p/1p2pnp1/3p4/3P1P2/1P1BR3/PB1Q2PP/5RK1 w - - 0 1",
};

// What a job printed: its UCI lines and, with "Log To Stdout", every rank's log.
struct JobOutput {
  std::vector<std::string> bestmoves;
  std::map<int, std::map<std::string, int64_t>> counters;  // rank -> counter -> value
  std::map<int, int64_t> total_nodes;                      // rank -> "INFO total nodes searched"
  int64_t last_info_nodes = -1;                            // of the last search
  int64_t root_sum = -1;                                   // "sum off all total nodes searched"
  bool ended = false;
};

class DistributedJob : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = make_temp_dir(); }
  void TearDown() override {
    for (const auto& entry : fs::directory_iterator("/dev/shm/")) {
      const std::string name = entry.path().filename().string();
      if (!host_.empty() && name.find("." + host_) != std::string::npos) {
        ADD_FAILURE() << "left behind: " << name;
        fs::remove(entry.path());
      }
    }
    fs::remove_all(dir_);
  }

  // The referee's verdict on a move in a position.
  static bool legal(const std::string& fen, const std::string& bestmove_line) {
    const std::string move = bestmove_line.substr(9, bestmove_line.find(' ', 9) - 9);
    EngineProcess referee({std::string(QUORREL_BINARY_DIR) + "/quorrel-referee"});
    referee.send_line("fen " + fen + " " + move);
    const auto verdict = referee.read_line(10s);
    referee.close_input();
    return verdict && verdict->rfind("illegal", 0) != 0;
  }

  std::string dir_;
  std::string host_;
};

class DistributedSearch : public DistributedJob, public ::testing::WithParamInterface<int> {
 protected:
  // One job of `processes` ranks searching each position to `depth`, the last
  // one to `last_depth`: the log-off statistics count the last search only,
  // and it must be long enough for every rank to get work.
  JobOutput run(int processes, const std::vector<std::string>& fens, int depth, int last_depth,
                const std::vector<std::string>& options = {}) {
    host_ = unique_host();
    EngineProcess engine(engine_command(processes), dir_, {"QUORREL_PROCESSOR_NAME=" + host_});
    engine.send_line("uci");
    EXPECT_EQ(engine.read_until("uciok", 60s).back(), "uciok");
    engine.send_line("setoption name OwnBook value false");
    engine.send_line("setoption name Log To Stdout value true");
    for (const std::string& option : options) engine.send_line("setoption name " + option);
    JobOutput out;
    const std::regex info_nodes("^info time \\d+ nodes (\\d+) .*");
    for (const std::string& fen : fens) {
      engine.send_line("ucinewgame");
      engine.send_line("position fen " + fen);
      engine.send_line("go depth " + std::to_string(&fen == &fens.back() ? last_depth : depth));
      std::string best;
      while (auto line = engine.read_line(240s)) {
        std::smatch m;
        if (std::regex_match(*line, m, info_nodes)) out.last_info_nodes = std::stoll(m[1]);
        if (line->rfind("bestmove ", 0) == 0) {
          best = *line;
          break;
        }
      }
      out.bestmoves.push_back(best);
      if (best.empty()) return out;
    }
    engine.send_line("quit");
    const std::regex counter("^.{23} +(\\d+):INFO (nTotal\\w+Count) (\\d+)$");
    const std::regex nodes("^.{23} +(\\d+):INFO total nodes searched (\\d+).*");
    const std::regex sum("^.{23} +0:INFO total time \\d+ sum off all total nodes searched (\\d+).*");
    while (auto line = engine.read_line(120s)) {
      std::smatch m;
      if (std::regex_match(*line, m, counter))
        out.counters[std::stoi(m[1])][m[2]] = std::stoll(m[3]);
      else if (std::regex_match(*line, m, sum))
        out.root_sum = std::stoll(m[1]);
      else if (std::regex_match(*line, m, nodes))
        out.total_nodes[std::stoi(m[1])] = std::stoll(m[2]);
    }
    out.ended = engine.wait_exit(60s) == 0;
    return out;
  }
};

TEST_P(DistributedSearch, FixedDepthSearchesEndWithLegalMovesAndEveryWorkItemIsFinishedOrStopped) {
  const int processes = GetParam();
  const std::vector<std::string> fens(std::begin(kPositions), std::end(kPositions));
  const JobOutput out = run(processes, fens, 6, 10);
  ASSERT_EQ(out.bestmoves.size(), fens.size());
  for (std::size_t i = 0; i < fens.size(); ++i) {
    ASSERT_FALSE(out.bestmoves[i].empty()) << "no bestmove for " << fens[i];
    EXPECT_TRUE(legal(fens[i], out.bestmoves[i])) << fens[i] << ": " << out.bestmoves[i];
  }
  EXPECT_TRUE(out.ended);

  int64_t started = 0;
  for (int rank = 1; rank < processes; ++rank) {
    ASSERT_TRUE(out.counters.count(rank)) << "rank " << rank << " wrote no statistics";
    const auto& c = out.counters.at(rank);
    EXPECT_EQ(c.at("nTotalWorkStartedCount"), c.at("nTotalWorkFinishedCount") + c.at("nTotalWorkAbortedCount"))
        << "rank " << rank;
    started += c.at("nTotalWorkStartedCount");
  }
  EXPECT_GT(started, 0) << "no work went to the other ranks";
  // Every stop sent reached a work item or found it finished already.
  int64_t stops_sent = 0;
  int64_t aborted = 0;
  for (const auto& [rank, c] : out.counters) {
    stops_sent += c.at("nTotalWorkAbortSendCount");
    if (rank > 0) aborted += c.at("nTotalWorkAbortedCount");
  }
  EXPECT_LE(aborted, stops_sent);

  // The last search's node count takes in the other ranks' nodes: the job's
  // own statistics add the same nodes up.
  ASSERT_TRUE(out.total_nodes.count(0));
  int64_t others = 0;
  for (int rank = 1; rank < processes; ++rank) others += out.total_nodes.at(rank);
  EXPECT_EQ(out.root_sum, out.total_nodes.at(0) + others);
  EXPECT_GT(others, 0);
  EXPECT_GT(out.last_info_nodes, others / 2) << "the root reports the slaves' nodes";
}

INSTANTIATE_TEST_SUITE_P(Processes, DistributedSearch, ::testing::Values(2, 3));

// Black's natural first move Rd8-e8 keeps its value up to depth 6 and is
// refuted at depth 7, where Rd8-g8 takes over.
const char* const kLateRefutation = "1k1r4/1pp4p/2n5/P6R/2R1p1r1/2P2p2/1PP2B1P/4K3 b - - 0 1";

// The job's log lines that show a master that has moved on: a slave's result,
// or a work item, for an old position.
struct MovedOnLines {
  int stale_results = 0;
  int stale_work_items = 0;
  std::map<int, std::map<std::string, int64_t>> counters;  // rank -> counter -> value

  void take(const std::string& line) {
    static const std::regex stale_result("^.{23} +0:WARNING YBWCManager_ProcessSlaveResult\\(\\.\\.\\. slave result for "
                                         "nSyncPositionId = .*");
    static const std::regex stale_work_item("^.{23} +\\d+:WARNING ResultDispatcher_Dispatch\\(\\.\\.\\. work item for "
                                            "nSyncPositionId = .*");
    static const std::regex counter("^.{23} +(\\d+):INFO (nTotal\\w+Count) (\\d+)$");
    std::smatch m;
    if (std::regex_match(line, stale_result)) ++stale_results;
    if (std::regex_match(line, stale_work_item)) ++stale_work_items;
    if (std::regex_match(line, m, counter)) counters[std::stoi(m[1])][m[2]] = std::stoll(m[3]);
  }
};

TEST_F(DistributedJob, SlavesStopWhenTheirMasterMovesOnAndNoWorkArrivesForAnOldPosition) {
  host_ = unique_host();
  EngineProcess engine(engine_command(2), dir_, {"QUORREL_PROCESSOR_NAME=" + host_});
  engine.send_line("uci");
  ASSERT_EQ(engine.read_until("uciok", 60s).back(), "uciok");
  engine.send_line("setoption name OwnBook value false");
  engine.send_line("setoption name Log To Stdout value true");
  engine.send_line("setoption name Debug Level value 4");
  MovedOnLines log;
  // Reads up to the best move (or to a line starting with `until`); empty on time-out.
  auto read_to = [&](const std::string& until) -> std::string {
    while (auto line = engine.read_line(120s)) {
      log.take(*line);
      if (line->rfind(until, 0) == 0) return *line;
    }
    return "";
  };

  // The late refutation, and at once a new position: the slave's work of the
  // first search must not spill into the second.
  engine.send_line("position fen " + std::string(kLateRefutation));
  engine.send_line("go depth 7");
  const std::string first = read_to("bestmove ");
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(legal(kLateRefutation, first)) << first;
  engine.send_line("position fen " + std::string(kPositions[1]));
  engine.send_line("go depth 6");
  const std::string second = read_to("bestmove ");
  ASSERT_FALSE(second.empty());
  EXPECT_TRUE(legal(kPositions[1], second)) << second;

  // Stops while the slave is at work, several in a row, each followed by a new
  // position. Between its work items the slave asks for more, so a single stop
  // finds it at work only part of the time: eight rounds, each stopped at
  // depth 7 where the items are longer, make a run in which no stop reaches
  // it all but impossible (four rounds at depth 6 missed about one run in 20).
  for (int round = 0; round < 8; ++round) {
    const char* fen = kPositions[2 + round % 4];
    engine.send_line("position fen " + std::string(fen));
    engine.send_line("go infinite");
    ASSERT_FALSE(read_to("info depth 7").empty()) << "round " << round;
    engine.send_line("stop");
    const std::string best = read_to("bestmove ");
    ASSERT_FALSE(best.empty()) << "round " << round;
    EXPECT_TRUE(legal(fen, best)) << fen << ": " << best;
  }
  engine.send_line("isready");
  ASSERT_EQ(read_to("readyok"), "readyok");
  engine.send_line("quit");
  while (auto line = engine.read_line(120s)) log.take(*line);
  EXPECT_EQ(engine.wait_exit(60s), 0);

  ASSERT_TRUE(log.counters.count(0) && log.counters.count(1));
  const auto& root = log.counters.at(0);
  const auto& slave = log.counters.at(1);
  EXPECT_EQ(slave.at("nTotalWorkStartedCount"), slave.at("nTotalWorkFinishedCount") + slave.at("nTotalWorkAbortedCount"));
  EXPECT_GT(slave.at("nTotalWorkStartedCount"), 0);
  EXPECT_GT(root.at("nTotalWorkAbortSendCount"), 0) << "the stops reached no slave at work";
  EXPECT_LE(slave.at("nTotalWorkAbortedCount"), root.at("nTotalWorkAbortSendCount"));
  EXPECT_GT(root.at("nTotalUpdateSearchWindowSendCount"), 0);
  EXPECT_EQ(log.stale_work_items, 0);
  // A result may cross its stop on the way; any other would come from a
  // slave that went on searching after its master had moved on.
  EXPECT_LE(log.stale_results, root.at("nTotalWorkAbortSendCount"));
}

}  // namespace
