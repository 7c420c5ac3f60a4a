// The "go" command's parameters as read from the command line.
#include "uci/go.h"

#include <gtest/gtest.h>

namespace {

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


}  // namespace
