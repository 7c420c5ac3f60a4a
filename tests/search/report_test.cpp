// What a search hands to the installed callbacks, in which order, and when
// it reads input: only through an installed poll and with "Use Event" on.
#include "search/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/protocol_flags.h"
#include "search/driver.h"
#include "search_test_util.h"

namespace {

std::vector<std::string> Events;
best_move_report_t LastBestMove;
int64_t LastStatisticsNodes = 0;

void on_iteration(const iteration_report_t& r) {
  Events.push_back((r.finished ? "end " : "start ") + std::to_string(r.depth));
}
void on_best_lines(const best_lines_report_t& r) {
  Events.push_back("lines " + std::to_string(r.count) + " depth " + std::to_string(r.slots[0].depth));
}
void on_current_move(const current_move_report_t&) { Events.push_back("currmove"); }
void on_statistics(const statistics_report_t& r) {
  LastStatisticsNodes = r.nodes;
  Events.push_back("statistics");
}
void on_bestmove(const best_move_report_t& r) {
  LastBestMove = r;
  Events.push_back("bestmove");
}
void on_postmove(const postmove_report_t&) { Events.push_back("postmove"); }

class SearchReports : public ::testing::Test {
 protected:
  void SetUp() override {
    search_test_setup();
    Events.clear();
    search_set_callbacks({on_iteration, on_best_lines, on_current_move, on_statistics, on_bestmove, on_postmove});
  }
  void TearDown() override {
    search_set_callbacks({});
    search_set_input_poll(nullptr);
    YBWCManager_GetInstance()->pConfiguration->bUseEvent = 0;
    Delay = false;
  }
};

TEST_F(SearchReports, EachIterationStartsAndEndsAroundItsLinesAndTheBestMoveComesLast) {
  const search_best_t best = search_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 3);
  std::vector<std::string> outline;
  for (const std::string& event : Events)
    if (event.rfind("lines", 0) != 0) outline.push_back(event);
  EXPECT_EQ(outline, (std::vector<std::string>{"start 1", "end 1", "start 2", "end 2", "start 3", "end 3",
                                               "statistics", "bestmove"}));
  // Every depth reports its lines between its start and its end.
  for (int depth = 1; depth <= 3; ++depth) {
    const std::string start = "start " + std::to_string(depth);
    const std::string end = "end " + std::to_string(depth);
    auto first = std::find(Events.begin(), Events.end(), start);
    auto last = std::find(Events.begin(), Events.end(), end);
    EXPECT_NE(std::find(first, last, "lines 1 depth " + std::to_string(depth)), last) << depth;
  }
  EXPECT_EQ(LastBestMove.move, best.move);
  EXPECT_EQ(LastBestMove.ponder, best.pv[1]);
  EXPECT_EQ(LastStatisticsNodes, SearchCurrent->node_nb);
}

int Polls = 0;
void poll_and_stop_on_the_third() {
  if (++Polls == 3) search_set_stop_request();
}

TEST_F(SearchReports, TheInstalledPollCanStopAnInfiniteSearchWhoseBestMoveWaitsUntilAskedFor) {
  static search_limits_t limits;
  board_from_fen(limits.board, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  limits.bInfinite = true;
  limits.bDepthIsLimited = limits.bTimeIsLimited = false;
  Polls = 0;
  YBWCManager_GetInstance()->pConfiguration->bUseEvent = 1;
  search_set_input_poll(poll_and_stop_on_the_third);
  search_go(limits);
  EXPECT_GE(Polls, 3);
  EXPECT_TRUE(Delay);
  EXPECT_EQ(std::count(Events.begin(), Events.end(), "bestmove"), 0);
  search_send_best_move();
  EXPECT_EQ(Events.back(), "bestmove");
  EXPECT_NE(LastBestMove.move, MOVE_NONE);
}

TEST_F(SearchReports, NoInputIsReadWithoutAnInstalledPollOrWithUseEventOff) {
  Polls = 0;
  search_set_input_poll(poll_and_stop_on_the_third);
  YBWCManager_GetInstance()->pConfiguration->bUseEvent = 0;
  search_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 7);
  // Long enough for several periodic checks.
  ASSERT_GT(SearchCurrent->node_nb, 3 * YBWCManager_GetInstance()->pConfiguration->nCheckInc);
  EXPECT_EQ(Polls, 0);

  search_set_input_poll(nullptr);
  YBWCManager_GetInstance()->pConfiguration->bUseEvent = 1;
  const search_best_t best = search_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3", 7);
  EXPECT_NE(best.move, MOVE_NONE);
  EXPECT_EQ(Events.back(), "bestmove");
}

}  // namespace
