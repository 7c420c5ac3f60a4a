// Searches through the real binary: limits, time controls, infinite and
// ponder searches with their "stop"/"ponderhit", commands during a search,
// score printing, MultiPV and the ways a search ends with the process.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine_process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::vector<std::string> with_prefix(const std::vector<std::string>& lines, const std::string& prefix) {
  std::vector<std::string> result;
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) == 0) result.push_back(line);
  }
  return result;
}

bool is_move_text(const std::string& text) { return std::regex_match(text, std::regex("[a-h][1-8][a-h][1-8][nbrq]?")); }

// The move of a "bestmove" line (second word).
std::string best_move_of(const std::string& line) {
  const auto end = line.find(' ', 9);
  return line.substr(9, end == std::string::npos ? std::string::npos : end - 9);
}

class SearchUci : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = make_temp_dir();
    engine_ = std::make_unique<EngineProcess>(engine_command(0), dir_);
    engine_->send_line("uci");
    ASSERT_EQ(engine_->read_until("uciok").back(), "uciok");
    ready();
  }
  void TearDown() override {
    engine_.reset();
    fs::remove_all(dir_);
  }
  void ready() {
    engine_->send_line("isready");
    ASSERT_EQ(engine_->read_until("readyok").back(), "readyok");
  }
  // Lines up to and including the "bestmove" line (the last element).
  std::vector<std::string> until_bestmove(std::chrono::milliseconds timeout = 60s) {
    std::vector<std::string> lines;
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      auto line = engine_->read_line(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
      if (!line) break;
      lines.push_back(*line);
      if (line->rfind("bestmove", 0) == 0) return lines;
    }
    ADD_FAILURE() << "no bestmove within the time-out";
    return lines;
  }
  std::vector<std::string> search(const std::string& position, const std::string& go) {
    engine_->send_line(position);
    engine_->send_line(go);
    return until_bestmove();
  }
  // A book built by quorrel-book from two short games (1.e4 e5 2.Nf3 Nc6 and
  // 1.e4 c5), set as "BookFile".
  void use_small_book() {
    {
      std::ofstream pgn(dir_ + "/games.pgn");
      pgn << "[Result \"1-0\"]\n\n1. e4 e5 2. Nf3 Nc6 1-0\n\n[Result \"1-0\"]\n\n1. e4 c5 1-0\n";
    }
    const std::string book = dir_ + "/own.bin";
    const std::string build = std::string(QUORREL_BINARY_DIR "/quorrel-book ") + dir_ + "/games.pgn " + book;
    ASSERT_EQ(std::system(build.c_str()), 0);
    engine_->send_line("setoption name BookFile value " + book);
    ready();
  }
  std::string dir_;
  std::unique_ptr<EngineProcess> engine_;
};

TEST_F(SearchUci, EachSearchStartsFromTheNewPositionsMoves) {
  // The root list of a search must not keep the moves of the previous one.
  auto lines = search("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1", "go depth 2");
  EXPECT_EQ(lines.back(), "bestmove h1g2");
  lines = search("position fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 2");
  EXPECT_EQ(best_move_of(lines.back()), "a8b8");
}

TEST_F(SearchUci, DepthSearchReportsEveryIterationAndALegalBestMove) {
  const auto lines = search("position startpos moves e2e4", "go depth 4");
  ASSERT_FALSE(lines.empty());
  for (int depth = 1; depth <= 4; ++depth) {
    EXPECT_EQ(with_prefix(lines, "info depth " + std::to_string(depth) + " seldepth ").size(), 1u) << depth;
  }
  EXPECT_TRUE(with_prefix(lines, "info depth 5").empty());
  const auto scores = with_prefix(lines, "info multipv 1 depth 4 ");
  ASSERT_FALSE(scores.empty());
  EXPECT_TRUE(std::regex_search(scores.back(), std::regex(" score cp -?[0-9]+( lowerbound| upperbound)? time [0-9]+ nodes [0-9]+ pv [a-h]")))
      << scores.back();
  EXPECT_FALSE(with_prefix(lines, "info hashfull ").empty());
  const std::string best = lines.back();
  EXPECT_TRUE(std::regex_match(best, std::regex("bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)?")))
      << best;
  // The ponder move is the second move of the final pv.
  const auto final_pv = scores.back().substr(scores.back().find(" pv ") + 4);
  EXPECT_EQ(final_pv.substr(0, best_move_of(best).size()), best_move_of(best));
}

TEST_F(SearchUci, TimeLimitsEndTheSearchInTime) {
  struct Case {
    const char* go;
    std::chrono::milliseconds at_least;
    std::chrono::milliseconds at_most;
  };
  const Case cases[] = {
      {"go movetime 700", 300ms, 4000ms},
      {"go wtime 4000 btime 4000 winc 100 binc 100 movestogo 5", 0ms, 3600ms},
      {"go wtime 20000 btime 1000 movestogo 40", 0ms, 3000ms},  // 20 s / 30 moves
      {"go wtime 1000 btime 90000", 0ms, 1500ms},                // nothing left after the safety margin
      {"go wtime -150 btime 90000 winc 50", 0ms, 1500ms},        // a negative clock is no time, not unlimited
  };
  for (const Case& c : cases) {
    engine_->send_line("position startpos");
    const auto start = Clock::now();
    engine_->send_line(c.go);
    const auto lines = until_bestmove(20s);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    ASSERT_FALSE(lines.empty()) << c.go;
    EXPECT_TRUE(is_move_text(best_move_of(lines.back()))) << c.go << ": " << lines.back();
    EXPECT_GE(elapsed, c.at_least) << c.go;
    EXPECT_LE(elapsed, c.at_most) << c.go;
  }
}

TEST_F(SearchUci, InfiniteSearchWaitsForStopAndAnswersIsreadyMeanwhile) {
  engine_->send_line("position startpos");
  engine_->send_line("go infinite");
  EXPECT_TRUE(with_prefix(engine_->read_for(1200ms), "bestmove").empty());

  const auto asked = Clock::now();
  engine_->send_line("isready");
  const auto answer = engine_->read_until("readyok", 2s);
  ASSERT_EQ(answer.back(), "readyok");
  EXPECT_LT(Clock::now() - asked, 1000ms);
  EXPECT_TRUE(with_prefix(answer, "bestmove").empty());

  // Commands that would change or restart the search are ignored meanwhile.
  engine_->send_line("setoption name MultiPV value 3");
  engine_->send_line("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1");
  engine_->send_line("go depth 1");
  engine_->send_line("ponderhit");  // an infinite search keeps running
  EXPECT_TRUE(with_prefix(engine_->read_for(700ms), "bestmove").empty());

  engine_->send_line("stop");
  const auto lines = until_bestmove(5s);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(is_move_text(best_move_of(lines.back()))) << lines.back();
  EXPECT_TRUE(with_prefix(lines, "info multipv 2").empty());
  // Exactly one bestmove: a further "stop" writes nothing.
  engine_->send_line("stop");
  EXPECT_TRUE(with_prefix(engine_->read_for(400ms), "bestmove").empty());

  // The ignored position did not replace the start position.
  const auto next = search("position startpos", "go depth 2");
  EXPECT_NE(best_move_of(next.back()), "h1g2");
}

TEST_F(SearchUci, PonderhitDuringTheSearchHandsOverToTheClock) {
  engine_->send_line("position startpos moves e2e4 e7e5");
  engine_->send_line("go ponder wtime 2000 btime 2000");
  EXPECT_TRUE(with_prefix(engine_->read_for(1500ms), "bestmove").empty());
  const auto hit = Clock::now();
  engine_->send_line("ponderhit");
  const auto lines = until_bestmove(5s);
  ASSERT_FALSE(lines.empty());
  EXPECT_LT(Clock::now() - hit, 2500ms);
  EXPECT_TRUE(is_move_text(best_move_of(lines.back())));
}

TEST_F(SearchUci, PonderSearchThatEndedHoldsItsBestMoveUntilPonderhitOrStop) {
  // One legal move: the search runs out of depths at once.
  for (const char* release : {"ponderhit", "stop"}) {
    engine_->send_line("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1");
    engine_->send_line("go ponder depth 30");
    const auto before = engine_->read_for(1200ms);
    EXPECT_TRUE(with_prefix(before, "bestmove").empty()) << release;
    EXPECT_FALSE(with_prefix(before, "info depth 1 seldepth").empty()) << release;
    engine_->send_line("isready");
    EXPECT_EQ(engine_->read_until("readyok", 2s).back(), "readyok");
    // While the best move is held, nothing may start another search.
    engine_->send_line("position startpos");
    engine_->send_line("go depth 1");
    EXPECT_TRUE(with_prefix(engine_->read_for(400ms), "info depth").empty()) << release;
    engine_->send_line(release);
    const auto lines = until_bestmove(2s);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "bestmove h1g2") << release;
  }
}

TEST_F(SearchUci, MateScoresArePrintedInMoves) {
  // 1.Ra6 bxa6 2.b7#.
  auto lines = search("position fen kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1", "go mate 2");
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(with_prefix(lines, "info depth 4").empty());  // mate 2: depth 3
  auto scores = with_prefix(lines, "info multipv 1 depth 3 ");
  ASSERT_FALSE(scores.empty());
  EXPECT_NE(scores.back().find(" score mate 2 "), std::string::npos) << scores.back();
  EXPECT_EQ(best_move_of(lines.back()), "a1a6");

  // Black's only move, Kb8, is answered by Rh8#.
  lines = search("position fen k7/8/1K6/8/8/8/8/7R b - - 0 1", "go depth 4");
  scores = with_prefix(lines, "info multipv 1 depth 4 ");
  ASSERT_FALSE(scores.empty());
  EXPECT_NE(scores.back().find(" score mate -1 "), std::string::npos) << scores.back();
}

TEST_F(SearchUci, OneLegalMoveIsSearchedToDepthFourAtMost) {
  const auto lines = search("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1", "go depth 12");
  EXPECT_FALSE(with_prefix(lines, "info depth 4").empty());
  EXPECT_TRUE(with_prefix(lines, "info depth 5").empty());
  EXPECT_EQ(lines.back(), "bestmove h1g2");
}

TEST_F(SearchUci, PositionWithoutLegalMovesAnswersTheNullMove) {
  const auto lines = search("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go depth 3");
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "bestmove 0000");
}

TEST_F(SearchUci, MultiPVReportsDistinctLinesAndIsKeptInRange) {
  engine_->send_line("setoption name MultiPV value 3");
  auto lines = search("position startpos", "go depth 3");
  std::set<std::string> firsts;
  for (int line = 1; line <= 3; ++line) {
    const auto scores = with_prefix(lines, "info multipv " + std::to_string(line) + " depth 3 ");
    ASSERT_FALSE(scores.empty()) << line;
    firsts.insert(scores.back().substr(scores.back().find(" pv ") + 4, 4));
  }
  EXPECT_EQ(firsts.size(), 3u);
  EXPECT_TRUE(with_prefix(lines, "info multipv 4").empty());

  // Values outside 1..10 are limited where the search reads them.
  for (const char* value : {"0", "-7", "99"}) {
    engine_->send_line(std::string("setoption name MultiPV value ") + value);
    lines = search("position startpos", "go depth 2");
    ASSERT_FALSE(lines.empty()) << value;
    EXPECT_TRUE(is_move_text(best_move_of(lines.back()))) << value << ": " << lines.back();
    EXPECT_FALSE(with_prefix(lines, "info multipv 1 depth 2 ").empty()) << value;
    EXPECT_TRUE(with_prefix(lines, "info multipv 11 ").empty()) << value;
  }
  // Fewer legal moves than lines: one line per move.
  engine_->send_line("setoption name MultiPV value 10");
  lines = search("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1", "go depth 2");
  EXPECT_TRUE(with_prefix(lines, "info multipv 2").empty());
  EXPECT_EQ(lines.back(), "bestmove h1g2");
}

TEST_F(SearchUci, QuitAndEndOfInputDuringASearchEndTheProcessCleanly) {
  engine_->send_line("position startpos");
  engine_->send_line("go infinite");
  engine_->read_for(500ms);
  engine_->send_line("quit");
  EXPECT_EQ(engine_->wait_exit(10s), 0);

  engine_ = std::make_unique<EngineProcess>(engine_command(0), dir_);
  engine_->send_line("position startpos");
  engine_->send_line("go infinite");
  engine_->read_for(500ms);
  engine_->close_input();
  EXPECT_EQ(engine_->wait_exit(10s), 0);
}

// The "position" command: moves are played on the start position or a FEN,
// castling moves the rook, and a move list stops at a move that is not legal.
TEST_F(SearchUci, PositionPlaysTheMoveListBeforeTheSearch) {
  // Only after f2f3 e7e5 g2g4 does black have the mate Qh4.
  auto lines = search("position startpos moves f2f3 e7e5 g2g4", "go depth 3");
  EXPECT_EQ(best_move_of(lines.back()), "d8h4");
  const auto scores = with_prefix(lines, "info multipv 1 depth ");
  ASSERT_FALSE(scores.empty());
  EXPECT_NE(scores.back().find(" score mate 1 "), std::string::npos) << scores.back();

  // Castling brings the rook to f1, which checks the black king on f8.
  lines = search("position fen 5k2/8/8/8/8/8/8/4K2R w K - 0 1 moves e1g1", "go depth 2");
  const std::set<std::string> evasions = {"f8e8", "f8e7", "f8g8", "f8g7"};
  EXPECT_TRUE(evasions.count(best_move_of(lines.back()))) << lines.back();
}

TEST_F(SearchUci, PositionStopsAtAnIllegalMoveAndReportsIt) {
  engine_->send_line("setoption name Log To Stdout value true");
  engine_->send_line("setoption name Debug Level value 3");
  // e1e3 is not a legal move: the board stays after e2e4 e7e5, white to move.
  const auto lines = search("position startpos moves e2e4 e7e5 e1e3 g1f3", "go depth 1");
  bool warned = false;
  for (const auto& line : lines) warned |= line.find("WARNING parse_position(... illegal or unreadable move <e1e3>") !=
                                           std::string::npos;
  EXPECT_TRUE(warned);
  const std::string move = best_move_of(lines.back());
  ASSERT_TRUE(is_move_text(move));
  EXPECT_TRUE(move[1] == '1' || move[1] == '2' || move[1] == '3') << "not a white move: " << move;
}

TEST_F(SearchUci, PositionWithoutFenIsTheStartPositionAndLongGamesFit) {
  auto lines = search("position xyz", "go depth 1");
  std::string move = best_move_of(lines.back());
  EXPECT_TRUE(move[1] == '1' || move[1] == '2') << move;

  // 6000 plies of knight shuffling: far more moves than the key stack holds.
  std::string game = "position startpos moves";
  for (int i = 0; i < 1500; ++i) game += " g1f3 g8f6 f3g1 f6g8";
  lines = search(game, "go depth 1");
  EXPECT_TRUE(is_move_text(best_move_of(lines.back())));
}

// "OwnBook": a book position is answered at once with the book move, and
// without a usable book the engine searches.
TEST_F(SearchUci, BookMoveIsPlayedAtOnceAndAMissingBookFallsBackToTheSearch) {
  use_small_book();
  const auto start = Clock::now();
  auto lines = search("position startpos", "go depth 30");
  EXPECT_EQ(best_move_of(lines.back()), "e2e4");
  EXPECT_LT(Clock::now() - start, 5s);
  lines = search("position startpos moves e2e4 e7e5", "go depth 30");
  EXPECT_EQ(best_move_of(lines.back()), "g1f3");

  // Out of the book, and with the book file gone: a real search.
  lines = search("position startpos moves d2d4", "go depth 2");
  EXPECT_FALSE(with_prefix(lines, "info depth 2").empty());
  engine_->send_line("setoption name BookFile value " + dir_ + "/missing.bin");
  lines = search("position startpos", "go depth 2");
  EXPECT_FALSE(with_prefix(lines, "info depth 2").empty());
  EXPECT_TRUE(is_move_text(best_move_of(lines.back())));
}

// The "time" values (milliseconds) of the info lines.
std::vector<long> info_times(const std::vector<std::string>& lines) {
  std::vector<long> times;
  const std::regex time_field("(^| )time (-?[0-9]+)");
  for (const auto& line : with_prefix(lines, "info ")) {
    std::smatch match;
    if (std::regex_search(line, match, time_field)) times.push_back(std::stol(match[2]));
  }
  return times;
}

// A book move takes no time, and its lines say so: as the very first search
// of the process (nothing started the clock before) and after a long search
// (whose start must not be the reference).
TEST_F(SearchUci, BookMoveReportsTheTimeItTookAlsoFirstAndAfterALongSearch) {
  use_small_book();
  auto lines = search("position startpos", "go wtime 10000 btime 10000");
  EXPECT_EQ(best_move_of(lines.back()), "e2e4");
  auto times = info_times(lines);
  EXPECT_GE(times.size(), 2u);  // the score line and the statistics
  for (long time : times) EXPECT_LT(time, 1000) << "first search";

  lines = search("position startpos moves d2d4", "go movetime 1500");
  ASSERT_TRUE(is_move_text(best_move_of(lines.back())));
  lines = search("position startpos moves e2e4 e7e5", "go wtime 10000 btime 10000");
  EXPECT_EQ(best_move_of(lines.back()), "g1f3");
  times = info_times(lines);
  EXPECT_GE(times.size(), 2u);
  for (long time : times) EXPECT_LT(time, 1000) << "after a long search";
}

// The other searches that end early report their own time too.
TEST_F(SearchUci, SearchesWithoutOrWithOneLegalMoveReportTheTimeTheyTook) {
  auto lines = search("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go wtime 10000 btime 10000");
  EXPECT_EQ(lines.back(), "bestmove 0000");
  auto times = info_times(lines);
  EXPECT_FALSE(times.empty());
  for (long time : times) EXPECT_LT(time, 1000) << "no legal move";

  lines = search("position startpos moves d2d4", "go movetime 1500");  // a long search first
  ASSERT_TRUE(is_move_text(best_move_of(lines.back())));
  lines = search("position fen 7k/8/8/8/8/8/6q1/7K w - - 0 1", "go wtime 10000 btime 10000");
  EXPECT_EQ(lines.back(), "bestmove h1g2");
  times = info_times(lines);
  EXPECT_FALSE(times.empty());
  for (long time : times) EXPECT_LT(time, 1000) << "one legal move";
}

TEST(SearchUciMpi, SearchRunsInAJobOfOneProcess) {
  const std::string dir = make_temp_dir();
  {
    EngineProcess engine(engine_command(1), dir);
    engine.send_line("position startpos moves d2d4");
    engine.send_line("go depth 3");
    std::optional<std::string> line;
    while ((line = engine.read_line(20s)) && line->rfind("bestmove ", 0) != 0) {
    }
    ASSERT_TRUE(line.has_value());
    EXPECT_TRUE(is_move_text(best_move_of(*line))) << *line;
    engine.send_line("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  fs::remove_all(dir);
}

}  // namespace
