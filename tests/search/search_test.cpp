// Whole searches on the resumable stack: mates at the right depth and score,
// draws by rule, a full stack, stack invariants after a search, and
// deterministic node counts.
#include <gtest/gtest.h>

#include "chess/legality.h"
#include "chess/make.h"
#include "search/node.h"
#include "search/root_search.h"
#include "search/stack.h"
#include "search_test_util.h"

namespace {

TEST(SearchMate, FindsMateInOneAndTwoWithTheirScores) {
  // Back-rank mate in one: Ra8#.
  search_best_t best = search_fen("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 2);
  EXPECT_EQ(best.value, value_mate(1));
  char text[8];
  EXPECT_STREQ(move_to_text(best.move, text), "a1a8");

  // Mate in two (three plies) through a rook sacrifice: 29997.
  best = search_fen("kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1", 4);
  EXPECT_EQ(best.value, value_mate(3));
}

TEST(SearchMate, MatedSideScoresTheDistance) {
  // Black to move is mated next move whatever it plays.
  const search_best_t best = search_fen("k7/2K5/8/8/8/8/8/1R6 b - - 0 1", 3);
  EXPECT_EQ(best.value, value_mated(2));
}

TEST(SearchDraw, StalemateAndFiftyMoveRuleScoreZero) {
  // A rook up, but the clock reaches 100 with the first move: every line is a draw.
  const search_best_t fifty = search_fen("7k/8/8/8/8/8/R7/K7 w - - 99 1", 3);
  EXPECT_EQ(fifty.value, 0);
}

TEST(SearchRun, EveryPerftPositionEndsWithALegalBestMoveAndAnEmptyStack) {
  const char* fens[] = {
      START_FEN,
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
      "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
  };
  for (const char* fen : fens) {
    const search_best_t best = search_fen(fen, 5);
    auto board = std::make_unique<board_state_t>();
    board_from_fen(*board, fen);
    EXPECT_TRUE(move_is_legal(*board, best.move)) << fen;
    EXPECT_EQ(Stack.nCount, 0);
    for (const StackEntry& entry : Stack.entries) ASSERT_TRUE(entry.bAlive);
  }
}

TEST(SearchRun, NodeCountsRepeatExactly) {
  const char* fen = "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";
  search_fen(fen, 6);
  const int64_t first = SearchCurrent->node_nb;
  search_fen(fen, 6);
  EXPECT_EQ(SearchCurrent->node_nb, first);
}

TEST(StackNames, KnownAndUnknownReturnPositions) {
  StackEntry& entry = Stack.entries[0];
  EXPECT_STREQ(Stack_ReturnPositionName(entry, 270), "RETURN_POSITION_FULL_SEARCH_07");
  EXPECT_STREQ(Stack_ReturnPositionName(entry, 999), "<undefined>");
}

// A full stack whose top is a horizon node: the node must end with the static
// value instead of pushing a quiescence child past the array.
TEST(StackCapacity, HorizonNodeOnAFullStackEndsInOrder) {
  search_test_setup();
  Stack_Reset();
  board_from_fen(SearchCurrent->board, START_FEN);
  Stack_Push(CALL_TYPE_UNDEFINED, RETURN_POSITION_FUNCTION_END).nResult = 0;
  while (Stack.nCount < StackCapacity - 1) Stack_Push(CALL_TYPE_UNDEFINED, RETURN_POSITION_FUNCTION_END);
  static move_t pv[PvSize];
  Stack_PushFullSearch(RETURN_POSITION_FUNCTION_END, &SearchCurrent->board, -100, 100, 0, 3, pv, NODE_PV, false);
  ASSERT_EQ(Stack.nCount, StackCapacity);
  const int value = Stack_Run();
  EXPECT_GE(value, -100);
  EXPECT_LE(value, 100);
  EXPECT_EQ(Stack.nCount, 0);
  Stack_Reset();
}

TEST(StackMoves, UndoAndDoMovesBringTheBoardDownAndBackUp) {
  search_test_setup();
  Stack_Reset();
  board_state_t& board = SearchCurrent->board;
  board_from_fen(board, START_FEN);
  const uint64_t start_key = board.hash_key;
  StackEntry& root = Stack_Push(CALL_TYPE_FULL_ROOT, RETURN_POSITION_FUNCTION_END);
  root.localData.fullRootDat.move = move_from_text("e2e4", board);
  move_make(board, root.localData.fullRootDat.move, root.localData.fullRootDat.undo);
  Stack_PushFullSearch(RETURN_POSITION_FULL_ROOT_01, &board, -1, 1, 3, 1, root.localData.fullRootDat.child_pv,
                       NODE_PV, false);
  StackEntry& child = Stack_Top();
  child.localData.fullSearchDat.move = move_from_text("e7e5", board);
  move_make(board, child.localData.fullSearchDat.move, child.localData.fullSearchDat.undo);
  Stack_PushQuiescence(RETURN_POSITION_FULL_SEARCH_06, &board, -1, 1, 0, 2, child.localData.fullSearchDat.child_pv);
  const uint64_t top_key = board.hash_key;

  Stack_UndoMoves(0);
  EXPECT_EQ(board.hash_key, start_key);
  Stack_DoMoves(0);
  EXPECT_EQ(board.hash_key, top_key);
  // A child at the parent's own position (IID) means no move of the parent on the board.
  Stack.entries[2].nReturnPosition = RETURN_POSITION_FULL_SEARCH_04;
  EXPECT_EQ(Stack_EntryBoardMove(child), MOVE_NONE);
  Stack_Reset();
}

}  // namespace
