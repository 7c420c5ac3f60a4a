// The driver's pure parts: time allocation, mate distances, MultiPV slot
// ordering, and a stop request outside a search.
#include "search/driver.h"

#include <gtest/gtest.h>

#include <string>

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "search/report.h"
#include "search/search_records.h"
#include "search/time_control.h"
#include "uci/go.h"

namespace {

search_limits_t allocate(const char* line, int side = 0, TimeOptions options = {0, 0, false}) {
  GoParameters go;
  go_parameters_parse(line, go);
  search_limits_t limits{};
  time_allocate(go, side, options, limits);
  return limits;
}

TEST(TimeAllocation, MoveTimeGivesSoftAndFiveTimesHardLimit) {
  const search_limits_t limits = allocate("go movetime 1000");
  EXPECT_TRUE(limits.bTimeIsLimited);
  EXPECT_DOUBLE_EQ(limits.dTimeLimit1, 1.0);
  EXPECT_DOUBLE_EQ(limits.dTimeLimit2, 5.0);
  EXPECT_FALSE(limits.bDepthIsLimited);
  // The "Search Time" option (seconds) wins over movetime.
  const search_limits_t option = allocate("go movetime 1000", 0, {0, 3, false});
  EXPECT_DOUBLE_EQ(option.dTimeLimit1, 3.0);
  EXPECT_DOUBLE_EQ(option.dTimeLimit2, 15.0);
}

TEST(TimeAllocation, ClockOfTheSideToMoveWithIncrementsAndMovesToGo) {
  const search_limits_t white = allocate("go wtime 60000 winc 0 btime 1000");
  EXPECT_DOUBLE_EQ(white.dTimeLimit1, 56.0 / 30.0);
  EXPECT_DOUBLE_EQ(white.dTimeLimit2, 28.0);

  const search_limits_t black = allocate("go wtime 1000 btime 60000 winc 5000 binc 2000 movestogo 10", 1);
  // time_max 56, total 56 + 2 * 9 = 74.
  EXPECT_DOUBLE_EQ(black.dTimeLimit1, 7.4);
  EXPECT_DOUBLE_EQ(black.dTimeLimit2, 37.0);

  const search_limits_t pondering = allocate("go wtime 60000", 0, {0, 0, true});
  EXPECT_DOUBLE_EQ(pondering.dTimeLimit1, 56.0 / 30.0 * 1.25);

  // movestogo outside 1..30 counts as 30.
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 movestogo 0").dTimeLimit1, white.dTimeLimit1);
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 movestogo 45").dTimeLimit1, white.dTimeLimit1);
  // A negative increment counts as none.
  EXPECT_DOUBLE_EQ(allocate("go wtime 60000 winc -500 movestogo 10").dTimeLimit1, 5.6);
}

TEST(TimeAllocation, LittleOrNegativeClockMeansNoTimeLeft) {
  const search_limits_t small = allocate("go wtime 1000");
  EXPECT_TRUE(small.bTimeIsLimited);
  EXPECT_DOUBLE_EQ(small.dTimeLimit1, 0.0);
  EXPECT_DOUBLE_EQ(small.dTimeLimit2, 0.0);

  for (const char* line : {"go wtime -150 btime 5000 winc 100", "go wtime -1 btime 5000", "go movetime -20"}) {
    const search_limits_t limits = allocate(line);
    EXPECT_TRUE(limits.bTimeIsLimited) << line;
    EXPECT_DOUBLE_EQ(limits.dTimeLimit1, 0.0) << line;
    EXPECT_DOUBLE_EQ(limits.dTimeLimit2, 0.0) << line;
  }
  // Only the clock of the side to move counts.
  EXPECT_FALSE(allocate("go btime 5000").bTimeIsLimited);
}

TEST(TimeAllocation, DepthMateAndTheSearchDepthOption) {
  const search_limits_t mate = allocate("go mate 3");
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

multipv_report_t slot_with(int value, move_t move) {
  multipv_report_t slot{};
  slot.value = value;
  slot.pv[0] = move;
  slot.pv[1] = MOVE_NONE;
  return slot;
}

TEST(MultiPVSlots, LaterLinesArePlacedByValue) {
  const move_t e2e4 = move_encode(square_make(4, 1), square_make(4, 3));
  const move_t d2d4 = move_encode(square_make(3, 1), square_make(3, 3));
  const move_t g1f3 = move_encode(square_make(6, 0), square_make(5, 2));
  const move_t a2a3 = move_encode(square_make(0, 1), square_make(0, 2));
  multipv_report_t slots[MultiPVMax]{};
  multipv_slot_place(slots, 0, slot_with(50, e2e4));
  multipv_slot_place(slots, 1, slot_with(80, d2d4));  // better than line 0: goes first
  multipv_slot_place(slots, 2, slot_with(10, g1f3));  // worst: stays at its own slot
  EXPECT_EQ(slots[0].pv[0], d2d4);
  EXPECT_EQ(slots[1].pv[0], e2e4);
  EXPECT_EQ(slots[2].pv[0], g1f3);
  // A line index beyond the ten slots is kept inside them.
  multipv_slot_place(slots, 25, slot_with(-5, a2a3));
  EXPECT_EQ(slots[MultiPVMax - 1].pv[0], a2a3);
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
