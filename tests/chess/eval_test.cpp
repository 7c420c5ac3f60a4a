// Evaluation: colour symmetry over positions from random play, caches that
// never change a value (the evaluation cache under every window and setting), the option weights, lazy evaluation and the values of
// known positions.
#include "chess/eval.h"

#include <gtest/gtest.h>

#include <utility>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "chess/eval_cache.h"
#include "chess/make.h"
#include "chess/movegen.h"
#include "chess/pst.h"
#include "chess/value.h"
#include "eval_test_util.h"

namespace {

std::vector<std::string> start_fens() {
  std::vector<std::string> fens = {START_FEN};
  std::ifstream epd(std::string(QUORREL_TEST_DATA_DIR) + "/perft.epd");
  for (std::string line; std::getline(epd, line);)
    if (!line.empty()) fens.push_back(line.substr(0, line.find(';')));
  return fens;
}

// Positions reached by random legal play from the perft positions.
std::vector<std::unique_ptr<board_state_t>> random_positions(int games_per_start, int plies) {
  std::vector<std::unique_ptr<board_state_t>> positions;
  std::mt19937 random(20240611);
  for (const std::string& fen : start_fens()) {
    for (int game = 0; game < games_per_start; ++game) {
      auto board = board_from(fen.c_str());
      for (int ply = 0; ply < plies; ++ply) {
        move_list_t list;
        list.count = 0;
        movegen_legal(list, *board);
        if (list.count == 0) break;
        board_play_move(*board, list.moves[random() % list.count]);
        positions.push_back(std::make_unique<board_state_t>(*board));
      }
    }
  }
  return positions;
}

class EvalTest : public ::testing::Test {
 protected:
  void SetUp() override { eval_test_setup(); }
  void TearDown() override {
    option_reset_all();
    eval_configure_from_options();
  }
  static int eval(const board_state_t& board) { return eval_position(board, -ValueInf, ValueInf); }
  static int eval(const char* fen) { return eval(*board_from(fen)); }
};

TEST_F(EvalTest, ColourFlippedPositionsScoreTheSame) {
  auto positions = random_positions(3, 50);
  ASSERT_GE(positions.size(), 300u);
  for (const auto& board : positions) {
    auto flipped = colour_flipped(*board);
    ASSERT_EQ(eval(*board), eval(*flipped)) << "position " << (&board - &positions[0]);
    // With a narrow window the lazy return must be symmetric too.
    ASSERT_EQ(eval_position(*board, -30, 30), eval_position(*flipped, -30, 30));
  }
}

TEST_F(EvalTest, CachesNeverChangeTheValue) {
  auto positions = random_positions(2, 40);
  std::vector<int> warm;
  for (const auto& board : positions) eval(*board);
  for (const auto& board : positions) warm.push_back(eval(*board));
  EXPECT_GT(pawn_cache_stats().hits, 0u);
  EXPECT_GT(material_cache_stats().hits, 0u);

  pawn_clear();
  material_clear();
  for (size_t i = 0; i < positions.size(); ++i) ASSERT_EQ(eval(*positions[i]), warm[i]) << i;

  // Without caches every record is computed afresh.
  pawn_release();
  material_release();
  for (size_t i = 0; i < positions.size(); ++i) ASSERT_EQ(eval(*positions[i]), warm[i]) << i;
}

TEST_F(EvalTest, EvaluationCacheAnswersEveryWindowLikeAFreshEvaluation) {
  auto positions = random_positions(2, 40);
  // Wide, narrow and far-off windows: some calls take the lazy return, some not.
  const std::vector<std::pair<int, int>> windows = {{-ValueInf, ValueInf}, {-30, 30}, {400, 401}, {-401, -400}};
  std::vector<std::vector<int>> fresh(positions.size());
  for (size_t i = 0; i < positions.size(); ++i)
    for (const auto& [alpha, beta] : windows) {
      eval_cache_clear();
      fresh[i].push_back(eval_position(*positions[i], alpha, beta));
    }
  // The cache filled by a lazy return first, then by a full value first.
  for (bool reversed : {false, true}) {
    eval_cache_clear();
    for (size_t i = 0; i < positions.size(); ++i)
      for (size_t k = 0; k < windows.size(); ++k) {
        const size_t w = reversed ? windows.size() - 1 - k : k;
        ASSERT_EQ(eval_position(*positions[i], windows[w].first, windows[w].second), fresh[i][w]) << i << " " << w;
      }
  }
}

TEST_F(EvalTest, SettingsChangedAfterAnEvaluationAreSeen) {
  auto board = board_from("r1bq1rk1/pp2bppp/2n2n2/3p4/3P4/2NB1N2/PP3PPP/R1BQ1RK1 w - - 0 1");
  const int before = eval(*board);
  option_set_value("Piece Activity", "0");
  eval_configure_from_options();
  const int after = eval(*board);
  EXPECT_NE(after, before);
  eval_cache_clear();
  EXPECT_EQ(eval(*board), after);

  // The pawn weight alone, as a setter called on its own (isolated white pawns).
  board = board_from("r3k3/pppp4/8/8/8/8/P1P1P3/4K2R w - - 0 1");
  const int pawns_before = eval(*board);
  pawn_parameter(0);
  pawn_clear();
  EXPECT_NE(eval(*board), pawns_before);
}

TEST_F(EvalTest, StartPositionIsWorthTheTempoForEitherSide) {
  EXPECT_EQ(eval(START_FEN), 20);
  EXPECT_EQ(eval("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), 20);
}

TEST_F(EvalTest, HopelessAndSymmetricEndingsAreZero) {
  EXPECT_EQ(eval("8/8/8/3k4/8/8/2B5/4K3 w - - 0 1"), 0);  // KB-K
  EXPECT_EQ(eval("8/8/8/3k4/8/8/2N5/4K3 b - - 0 1"), 0);  // KN-K
  EXPECT_EQ(eval("r7/8/8/3k4/8/8/8/4K2R w - - 0 1"), 0);  // KR-KR
  EXPECT_EQ(eval("q7/8/8/3k4/8/8/8/4K2Q b - - 0 1"), 0);  // KQ-KQ
  EXPECT_EQ(eval("8/8/8/3k4/8/8/1NN5/4K3 w - - 0 1"), 0);  // KNN-K
}

TEST_F(EvalTest, RookPawnWithWrongBishopIsZero) {
  // The a8 corner is light; a dark-squared bishop cannot drive the king out.
  EXPECT_EQ(eval("1k6/8/8/P7/8/8/8/2B1K3 w - - 0 1"), 0);
  EXPECT_GT(eval("1k6/8/8/P7/8/8/8/3BK3 w - - 0 1"), 300);
  // The black mirror.
  EXPECT_EQ(eval("2b1k3/8/8/8/p7/8/8/1K6 b - - 0 1"), 0);
}

TEST_F(EvalTest, PieceSquareWeightsFollowTheirOptions) {
  option_set_value("Piece Square Activity", "0");
  eval_configure_from_options();
  for (int piece = INDEX_WHITE_KNIGHT; piece <= INDEX_BLACK_QUEEN; ++piece)
    for (int sq = 0; sq < 64; ++sq) {
      ASSERT_EQ(pst_table[piece][sq].opening, 0);
      ASSERT_EQ(pst_table[piece][sq].endgame, 0);
    }
  for (int sq = 0; sq < 64; ++sq) EXPECT_EQ(pst_table[INDEX_WHITE_KING][sq].endgame, 0);
  EXPECT_NE(pst_table[INDEX_WHITE_KING][6].opening, 0);    // g1 still from "King Safety"
  EXPECT_EQ(pst_table[INDEX_WHITE_PAWN][28].opening, 25);  // e4 still from "Pawn Structure"

  option_reset_all();
  option_set_value("Pawn Structure", "50");
  eval_configure_from_options();
  EXPECT_EQ(pst_table[INDEX_WHITE_PAWN][28].opening, 12);  // 25 at half weight, truncated
  EXPECT_EQ(pst_table[INDEX_BLACK_PAWN][28 ^ 56].opening, -12);
  EXPECT_EQ(pst_table[INDEX_WHITE_KNIGHT][56].opening, -100 + 5 * (-4 + -4) + 5 * 1);  // a8
}

TEST_F(EvalTest, BlackTablesMirrorWhite) {
  for (int piece = 0; piece < 12; piece += 2)
    for (int sq = 0; sq < 64; ++sq) {
      ASSERT_EQ(pst_table[piece + 1][sq ^ 56].opening, -pst_table[piece][sq].opening);
      ASSERT_EQ(pst_table[piece + 1][sq ^ 56].endgame, -pst_table[piece][sq].endgame);
    }
}

TEST_F(EvalTest, LazyEvaluationReturnsOutsideTheWindowOnlyWithEnoughPieces) {
  // A queen up with full armies: far above a window near zero.
  const char* big = "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  int full = eval(big);
  int lazy = eval_position(*board_from(big), -10, 10);
  EXPECT_GT(full, 500);
  EXPECT_GT(lazy, 500);
  option_set_value("Vessa Lazy Eval", "false");
  eval_configure_from_options();
  EXPECT_EQ(eval_position(*board_from(big), -10, 10), full);

  // Three pieces each (kings included): never lazy.
  option_set_value("Vessa Lazy Eval", "true");
  eval_configure_from_options();
  const char* few = "3rk2r/pppppppp/8/8/8/8/PPPPPPPP/R2QK3 w - - 0 1";
  EXPECT_EQ(eval_position(*board_from(few), -10, 10), eval(few));
  EXPECT_EQ(eval_position(*board_from(few), 5000, 5001), eval(few));
}

TEST_F(EvalTest, ValuesStayInsideTheEvaluationRange) {
  // Ten queens against a bare king at the largest weights.
  for (const char* option : {"Material", "Piece Activity", "Passed Pawns", "Piece Square Activity"})
    option_set_value(option, "400");
  eval_configure_from_options();
  material_clear();
  int value = eval("QQQQQQQQ/QQ6/8/8/8/8/8/k1K5 b - - 0 1");
  EXPECT_LE(value, -5000);  // black to move and lost, not wrapped around to a win
  EXPECT_GE(value, -ValueEvalInf);
}

}  // namespace
