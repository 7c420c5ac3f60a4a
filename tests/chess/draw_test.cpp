// Draw knowledge: the scaling recognisers, one group per ending, the exact-draw
// test of the search, and recognisers that must not be fooled by a record
// whose material does not match the board.
#include "chess/draw.h"

#include <gtest/gtest.h>

#include "eval_test_util.h"

namespace {

class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override { eval_test_setup(); }

  // Multipliers after the draw patterns, starting from "unchanged".
  static std::pair<int, int> scale(const char* fen) {
    auto board = board_from(fen);
    int mul[2] = {DRAW_MUL_FULL, DRAW_MUL_FULL};
    draw_scale(*board, material_probe(*board), pawn_probe(*board), mul);
    return {mul[WHITE], mul[BLACK]};
  }
  static bool scaled_to_draw(const char* fen) {
    auto board = board_from(fen);
    auto m = scale(fen);
    // The colour-flipped board must be recognised the same way.
    auto flipped = colour_flipped(*board);
    int mul[2] = {DRAW_MUL_FULL, DRAW_MUL_FULL};
    draw_scale(*flipped, material_probe(*flipped), pawn_probe(*flipped), mul);
    EXPECT_EQ(mul[WHITE], m.second) << fen;
    EXPECT_EQ(mul[BLACK], m.first) << fen;
    return m.first == 1 && m.second == 1;
  }
  static bool recognised(const char* fen) {
    auto board = board_from(fen);
    bool draw = draw_recognised(*board);
    EXPECT_EQ(draw_recognised(*colour_flipped(*board)), draw) << fen;
    return draw;
  }
};

TEST_F(DrawTest, PawnOnSeventhHoldsAgainstQueen) {
  EXPECT_TRUE(scaled_to_draw("8/PK6/8/8/8/8/8/4q2k w - - 0 1"));   // a-pawn, king b7, far king
  EXPECT_FALSE(scaled_to_draw("8/PK6/8/2k5/8/8/8/4q3 w - - 0 1")); // black king close
  EXPECT_TRUE(scaled_to_draw("8/2PK4/8/8/8/8/8/q6k w - - 0 1"));   // c-pawn, king d7
  EXPECT_TRUE(scaled_to_draw("8/5PK1/8/8/8/8/8/k6q w - - 0 1"));   // f-pawn mirrored to the c-file
  EXPECT_FALSE(scaled_to_draw("8/8/2P5/3K4/8/8/8/q6k w - - 0 1")); // pawn not yet on the seventh
}

TEST_F(DrawTest, PawnWithKingHoldsAgainstRook) {
  EXPECT_TRUE(scaled_to_draw("8/8/8/2PK4/8/7k/8/7r w - - 0 1"));
  EXPECT_FALSE(scaled_to_draw("8/4k3/8/2PK4/8/8/8/7r w - - 0 1"));  // defending king in front
  EXPECT_FALSE(scaled_to_draw("8/8/8/2P5/8/7k/8/K6r w - - 0 1"));   // own king too far
}

TEST_F(DrawTest, BishopOnThePawnsPathHolds) {
  EXPECT_TRUE(scaled_to_draw("8/8/8/8/2P5/7b/4K3/k7 w - - 0 1"));   // h3 reaches c8
  EXPECT_FALSE(scaled_to_draw("7k/8/8/8/2P5/8/4K3/b7 w - - 0 1"));  // a1 only crosses c3
  EXPECT_FALSE(scaled_to_draw("8/8/1k6/b7/2P5/8/4K3/8 w - - 0 1")); // own king blocks b6
}

TEST_F(DrawTest, KnightOnThePawnsPathHolds) {
  EXPECT_TRUE(scaled_to_draw("7k/8/4n3/8/2P5/8/4K3/8 w - - 0 1"));   // e6 covers c5 and c7
  EXPECT_FALSE(scaled_to_draw("7k/8/8/8/2P5/8/4K3/7n w - - 0 1"));
  EXPECT_TRUE(scaled_to_draw("7k/2n5/8/P7/8/8/4K3/8 w - - 0 1"));    // c7 covers a6
  EXPECT_FALSE(scaled_to_draw("7k/8/1n6/P7/8/8/4K3/8 w - - 0 1"));   // only a8, which does not count
}

TEST_F(DrawTest, KnightAndRookPawnAgainstKingInTheCorner) {
  EXPECT_TRUE(scaled_to_draw("1k6/P7/8/8/8/8/8/4KN2 b - - 0 1"));
  EXPECT_FALSE(scaled_to_draw("8/P7/8/8/5k2/8/8/4KN2 w - - 0 1"));
}

TEST_F(DrawTest, RookAndPawnAgainstRook) {
  EXPECT_TRUE(scaled_to_draw("7r/2k5/8/2P5/8/8/8/R3K3 w - - 0 1"));  // king in front of the pawn
  EXPECT_TRUE(scaled_to_draw("7r/5k2/8/5P2/8/8/8/R3K3 w - - 0 1"));  // mirrored from the f-file
  EXPECT_TRUE(scaled_to_draw("R7/P5k1/8/8/8/8/8/r3K3 w - - 0 1"));   // rook behind, king on g7
  EXPECT_FALSE(scaled_to_draw("R7/P5k1/1K6/8/8/8/8/r7 w - - 0 1"));   // own king near the pawn
  EXPECT_FALSE(scaled_to_draw("7r/8/8/2P4k/8/8/8/R3K3 w - - 0 1"));
}

TEST_F(DrawTest, BishopAndPawnAgainstOppositeBishop) {
  EXPECT_TRUE(scaled_to_draw("7k/8/8/b1P5/8/8/8/1B2K3 w - - 0 1"));   // a5 reaches c7
  EXPECT_FALSE(scaled_to_draw("7k/8/8/b1P5/8/8/8/2B1K3 w - - 0 1"));  // same square colour
}

TEST_F(DrawTest, SingleFilePawnsScaleTheirSide) {
  // Rook pawn, wrong bishop, king in the corner: that side cannot win.
  EXPECT_EQ(scale("1k6/8/8/P7/8/8/8/2B1K3 w - - 0 1").first, 0);
  EXPECT_EQ(scale("1k6/8/8/P7/8/8/8/3BK3 w - - 0 1").first, DRAW_MUL_FULL);
  // Knight and pawn with the defending king in front (not beyond the sixth).
  EXPECT_EQ(scale("8/8/3k4/8/3P4/8/8/3NK2b w - - 0 1").first, 1);
  // Bishop and pawn, king in front on the bishop's other colour.
  EXPECT_EQ(scale("8/3k4/8/8/3P4/8/8/2BK3n w - - 0 1").first, 1);
}

TEST_F(DrawTest, MaterialWithoutWinningChances) {
  EXPECT_TRUE(recognised("8/8/8/3k4/8/8/8/4K3 w - - 0 1"));
  EXPECT_TRUE(recognised("8/8/8/3k4/8/8/2B5/4K3 b - - 0 1"));
  EXPECT_TRUE(recognised("8/8/8/3k4/8/8/2n5/4K3 w - - 0 1"));
  EXPECT_FALSE(recognised("8/8/8/3k4/8/8/1BN5/4K3 w - - 0 1"));  // KBN-K
  EXPECT_FALSE(recognised("8/8/8/3k4/8/8/1n6/4K1N1 w - - 0 1")); // KN-KN: no draw node
}

TEST_F(DrawTest, BishopsOfOneColourDraw) {
  EXPECT_TRUE(recognised("8/8/8/3k4/3b4/8/8/2B1K3 w - - 0 1"));   // d4 and c1 both dark
  EXPECT_FALSE(recognised("8/8/8/3k4/3b4/8/8/3BK3 w - - 0 1"));   // opposite colours
}

TEST_F(DrawTest, KingAndPawnAgainstKing) {
  EXPECT_TRUE(recognised("8/8/4k3/4P3/4K3/8/8/8 w - - 0 1"));    // king in front
  EXPECT_FALSE(recognised("4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"));   // won: opposition ahead
  EXPECT_TRUE(recognised("4k3/4P3/4K3/8/8/8/8/8 b - - 0 1"));    // stalemate
  EXPECT_FALSE(recognised("4k3/4P3/4K3/8/8/8/8/8 w - - 0 1"));   // Kd6 and Kd7 win
  EXPECT_FALSE(recognised("4k3/4P3/3K4/8/8/8/8/8 b - - 0 1"));   // black must give way
  EXPECT_TRUE(recognised("4k3/4P3/3K4/8/8/8/8/8 w - - 0 1"));
  EXPECT_TRUE(recognised("k7/8/8/P7/8/8/8/7K w - - 0 1"));       // rook pawn, corner
  EXPECT_TRUE(recognised("k7/8/8/8/7p/8/8/7K b - - 0 1"));       // black h-pawn
}

TEST_F(DrawTest, RookPawnWithWrongBishop) {
  EXPECT_TRUE(recognised("k7/8/8/P7/8/8/8/2B1K3 w - - 0 1"));
  EXPECT_FALSE(recognised("k7/8/8/P7/8/8/8/3BK3 w - - 0 1"));
  EXPECT_FALSE(recognised("8/8/8/P7/6k1/8/8/2B1K3 w - - 0 1"));
}

TEST_F(DrawTest, RecordOfOtherMaterialIsIgnored) {
  // A record reached through a colliding key names a pawn ending, but the
  // board has no pawn: nothing may be read from the empty list slots (the
  // king on a1 would put a distance lookup far outside its table).
  for (const char* fen : {"8/8/8/8/8/8/8/k3K2Q w - - 0 1", "8/8/8/2k5/8/8/8/4K2Q w - - 0 1"}) {
    auto board = board_from(fen);
    for (int code : {RECOG_KP_KQ, RECOG_KQ_KP, RECOG_KP_KR, RECOG_KP_KB, RECOG_KP_KN, RECOG_KNP_K,
                     RECOG_KRP_KR, RECOG_KBP_KB, RECOG_KR_KRP}) {
      material_record_t record = material_compute(*board);
      record.recogniser = static_cast<uint8_t>(code);
      int mul[2] = {DRAW_MUL_FULL, DRAW_MUL_FULL};
      draw_scale(*board, record, pawn_probe(*board), mul);
      EXPECT_EQ(mul[WHITE], DRAW_MUL_FULL) << fen << " " << code;
    }
  }
}

}  // namespace
