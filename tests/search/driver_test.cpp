// The driver's pure parts: go parameters, time allocation, score and pv
// texts, MultiPV slot ordering and the score lines.
#include "search/driver.h"

#include <gtest/gtest.h>

#include <string>

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "search/search_records.h"
#include "search/time_control.h"
#include "search/uci_output.h"

namespace {

TimeAllocation allocate(const char* line, int side = 0, TimeOptions options = {0, 0, false}) {
  GoParameters go;
  go_parameters_parse(line, go);
  return time_allocate(go, side, options);
}

TEST(GoParameters, ReadsEveryKeywordAndLeavesTheRestNotGiven) {
  GoParameters go;
  go_parameters_parse("go wtime 1000 btime 2000 winc 10 binc 20 movestogo 7 depth 5 mate 2 nodes 99 movetime 300", go);
  EXPECT_EQ(go.wtime, 1000);
  EXPECT_EQ(go.btime, 2000);
  EXPECT_EQ(go.winc, 10);
  EXPECT_EQ(go.binc, 20);
  EXPECT_EQ(go.movestogo, 7);
  EXPECT_EQ(go.depth, 5);
  EXPECT_EQ(go.mate, 2);
  EXPECT_EQ(go.nodes, 99);
  EXPECT_EQ(go.movetime, 300);
  EXPECT_FALSE(go.bInfinite);

  go_parameters_parse("go  infinite searchmoves e2e4 d2d4 ponder", go);
  EXPECT_TRUE(go.bInfinite);
  EXPECT_TRUE(go.bPonder);
  EXPECT_EQ(go.wtime, kGoNotGiven);
  EXPECT_EQ(go.depth, kGoNotGiven);
  EXPECT_FALSE(go.bWtimeGiven);
}

TEST(GoParametersDeathTest, KeywordWithoutArgumentIsFatal) {
  GoParameters go;
  EXPECT_EXIT(go_parameters_parse("go depth", go), ::testing::ExitedWithCode(1), "parse_go\\(\\): missing argument");
  EXPECT_EXIT(go_parameters_parse("go wtime 100 btime   ", go), ::testing::ExitedWithCode(1), "missing argument");
}

TEST(TimeAllocation, MoveTimeGivesSoftAndFiveTimesHardLimit) {
  const TimeAllocation limits = allocate("go movetime 1000");
  EXPECT_TRUE(limits.bTimeIsLimited);
  EXPECT_DOUBLE_EQ(limits.dTimeLimit1, 1.0);
  EXPECT_DOUBLE_EQ(limits.dTimeLimit2, 5.0);
  EXPECT_FALSE(limits.bDepthIsLimited);
  // The "Search Time" option (seconds) wins over movetime.
  const TimeAllocation option = allocate("go movetime 1000", 0, {0, 3, false});
  EXPECT_DOUBLE_EQ(option.dTimeLimit1, 3.0);
  EXPECT_DOUBLE_EQ(option.dTimeLimit2, 15.0);
}

TEST(TimeAllocation, ClockOfTheSideToMoveWithIncrementsAndMovesToGo) {
  const TimeAllocation white = allocate("go wtime 60000 winc 0 btime 1000");
  EXPECT_DOUBLE_EQ(white.dTimeLimit1, 56.0 / 30.0);
  EXPECT_DOUBLE_EQ(white.dTimeLimit2, 28.0);

  const TimeAllocation black = allocate("go wtime 1000 btime 60000 winc 5000 binc 2000 movestogo 10", 1);
  // time_max 56, total 56 + 2 * 9 = 74.
  EXPECT_DOUBLE_EQ(black.dTimeLimit1, 7.4);
  EXPECT_DOUBLE_EQ(black.dTimeLimit2, 37.0);

  const TimeAllocation pondering = allocate("go wtime 60000", 0, {0, 0, true});
  EXPECT_DOUBLE_EQ(pondering.dTimeLimit1, 56.0 / 30.0 * 1.25);

  // movestogo outside 1..30 counts as 30.
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 movestogo 0").dTimeLimit1, white.dTimeLimit1);
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 movestogo 45").dTimeLimit1, white.dTimeLimit1);
  // A negative increment counts as none.
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 winc -500 movestogo 10").dTimeLimit1, 5.6);
}

TEST(TimeAllocation, LittleOrNegativeClockMeansNoTimeLeft) {
  const TimeAllocation small = allocate("go wtime 1000");
  EXPECT_TRUE(small.bTimeIsLimited);
  EXPECT_DOUBLE_EQ(small.dTimeLimit1, 0.0);
  EXPECT_DOUBLE_EQ(small.dTimeLimit2, 0.0);

  for (const char* line : {"go wtime -150 btime 5000 winc 100", "go wtime -1 btime 5000", "go movetime -20"}) {
    const TimeAllocation limits = allocate(line);
    EXPECT_TRUE(limits.bTimeIsLimited) << line;
    EXPECT_DOUBLE_EQ(limits.dTimeLimit1, 0.0) << line;
    EXPECT_DOUBLE_EQ(limits.dTimeLimit2, 0.0) << line;
  }
  // Only the clock of the side to move counts.
  EXPECT_FALSE(allocate("go btime 5000").bTimeIsLimited);
}

TEST(TimeAllocation, DepthMateAndTheSearchDepthOption) {
  const TimeAllocation mate = allocate("go mate 3");
  EXPECT_TRUE(mate.bDepthIsLimited);
  EXPECT_EQ(mate.nDepthLimit, 5);
  EXPECT_EQ(allocate("go depth 7 mate 3").nDepthLimit, 7);
  EXPECT_EQ(allocate("go depth 10", 0, {6, 0, false}).nDepthLimit, 6);
  EXPECT_EQ(allocate("go depth 10", 0, {0, 0, false}).nDepthLimit, 10);
  EXPECT_FALSE(allocate("go infinite").bDepthIsLimited);
  EXPECT_TRUE(allocate("go infinite").bInfinite);
  EXPECT_TRUE(allocate("go ponder wtime 5000").bInfinite);
  // Absurd numbers stay within range.
  EXPECT_LE(allocate("go depth 99999999999999999999").nDepthLimit, 1000);
  EXPECT_LE(allocate("go mate 4000000000").nDepthLimit, 1000);
}

TEST(ScoreText, MateDistanceInMoves) {
  EXPECT_EQ(value_to_mate(29997), 2);
  EXPECT_EQ(value_to_mate(29999), 1);
  EXPECT_EQ(value_to_mate(-29998), -1);
  EXPECT_EQ(value_to_mate(-30000), 0);  // mated at the root: "mate 0"
  EXPECT_EQ(value_to_mate(-29996), -2);
  EXPECT_EQ(value_to_mate(29744), 0);
  EXPECT_EQ(value_to_mate(-29744), 0);
  EXPECT_EQ(value_to_mate(120), 0);
}

TEST(PvText, LongestPvFitsAndShortBuffersCutAtAMove) {
  move_t pv[PvSize];
  // a7a8q: five characters, the longest move text.
  const move_t promotion = move_encode(square_make(0, 6), square_make(0, 7), MOVE_PROMOTE_QUEEN);
  for (int i = 0; i < PvSize - 1; ++i) pv[i] = promotion;
  pv[PvSize - 1] = MOVE_NONE;
  char text[PvTextSize];
  EXPECT_EQ(pv_to_text(pv, PvSize, text, sizeof text), static_cast<std::size_t>(255 * 6 - 1));
  EXPECT_EQ(std::string(text, 12), "a7a8q a7a8q ");

  char small[14];
  EXPECT_EQ(pv_to_text(pv, PvSize, small, sizeof small), 11u);
  EXPECT_STREQ(small, "a7a8q a7a8q");

  const move_t empty[1] = {MOVE_NONE};
  EXPECT_EQ(pv_to_text(empty, PvSize, text, sizeof text), 0u);
  EXPECT_STREQ(text, "");
}

multipv_report_t slot_with(int value, const char* pv) {
  multipv_report_t slot{};
  slot.value = value;
  slot.depth = 3;
  slot.max_depth = 5;
  std::snprintf(slot.pv, sizeof slot.pv, "%s", pv);
  return slot;
}

TEST(MultiPVSlots, LaterLinesArePlacedByValue) {
  multipv_report_t slots[MultiPVMax]{};
  multipv_slot_place(slots, 0, slot_with(50, "e2e4"));
  multipv_slot_place(slots, 1, slot_with(80, "d2d4"));  // better than line 0: goes first
  multipv_slot_place(slots, 2, slot_with(10, "g1f3"));  // worst: stays at its own slot
  EXPECT_STREQ(slots[0].pv, "d2d4");
  EXPECT_STREQ(slots[1].pv, "e2e4");
  EXPECT_STREQ(slots[2].pv, "g1f3");
  // A line index beyond the ten slots is kept inside them.
  multipv_slot_place(slots, 25, slot_with(-5, "a2a3"));
  EXPECT_STREQ(slots[MultiPVMax - 1].pv, "a2a3");
}

TEST(MultiPVSlots, ScoreLinesCarryBoundsAndMateScores) {
  multipv_report_t slots[MultiPVMax]{};
  slots[0] = slot_with(35, "e2e4 e7e5");
  slots[0].time = 120;
  slots[0].nodes = 4242;
  slots[1] = slot_with(29997, "d1h5");
  slots[1].mate = 2;
  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t root_master = manager->bRootMaster;
  manager->bRootMaster = 1;  // only the root master prints
  testing::internal::CaptureStdout();
  multipv_slots_send(slots, 2, 3);
  multipv_slots_send(slots, 1, 2);
  multipv_slots_send(slots, 1, 1);
  multipv_slots_send(slots, 1, 0);
  multipv_slots_send(slots, 99, 3);  // never more than the ten slots
  const std::string out = testing::internal::GetCapturedStdout();
  manager->bRootMaster = root_master;
  std::string expected =
      "info multipv 1 depth 3 seldepth 5 score cp 35 time 120 nodes 4242 pv e2e4 e7e5\n"
      "info multipv 2 depth 3 seldepth 5 score mate 2 time 0 nodes 0 pv d1h5\n"
      "info multipv 1 depth 3 seldepth 5 score cp 35 lowerbound time 120 nodes 4242 pv e2e4 e7e5\n"
      "info multipv 1 depth 3 seldepth 5 score cp 35 upperbound time 120 nodes 4242 pv e2e4 e7e5\n";
  ASSERT_EQ(out.substr(0, expected.size()), expected);
  int lines = 0;
  for (char c : out.substr(expected.size())) lines += c == '\n';
  EXPECT_EQ(lines, MultiPVMax);
}

TEST(SearchCheck, OutsideASearchAStopRequestNeverLeavesTheCaller) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t use_event = manager->pConfiguration->bUseEvent;
  manager->pConfiguration->bUseEvent = 0;  // no input is read here
  SearchInfo->bCanStop = true;
  search_set_stop_request();
  EXPECT_TRUE(search_stop_requested());
  EXPECT_NO_THROW(search_check());
  search_clear();
  EXPECT_FALSE(search_stop_requested());
  EXPECT_FALSE(SearchInfo->bCanStop);
  manager->pConfiguration->bUseEvent = use_event;
}

}  // namespace
