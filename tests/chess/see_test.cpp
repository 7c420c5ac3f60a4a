#include "chess/see.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "chess/movegen.h"
#include "chess_test_util.h"

namespace {

int see(const char* fen, const char* move_text_in) {
  auto b = board_from(fen);
  int move = move_from_text(move_text_in, *b);
  EXPECT_NE(move, MOVE_NONE) << move_text_in;
  return see_exchange(move, *b);
}

}  // namespace

TEST(See, WinningLosingAndEqualExchanges) {
  // Pawn takes a queen defended by a pawn.
  EXPECT_EQ(see("4k3/8/4p3/3q4/4P3/8/8/4K3 w - - 0 1", "e4d5"), 900);
  // Queen takes a pawn defended by a pawn.
  EXPECT_EQ(see("4k3/8/4p3/3p4/8/8/3Q4/4K3 w - - 0 1", "d2d5"), -900);
  // Knight takes a knight defended by a pawn: even trade.
  EXPECT_EQ(see("4k3/8/4p3/3n4/8/4N3/8/4K3 w - - 0 1", "e3d5"), 0);
  // Undefended bishop.
  EXPECT_EQ(see("4k3/8/8/3b4/8/8/8/3RK3 w - - 0 1", "d1d5"), 325);
  // A quiet move onto a square the opponent's pawn covers loses the piece.
  EXPECT_EQ(see("4k3/8/4p3/8/8/8/8/3RK3 w - - 0 1", "d1d5"), -500);
  // The king may not take a defended piece.
  EXPECT_EQ(see("4k3/8/4p3/3p4/4K3/8/8/8 w - - 0 1", "e4d5"), 100 - 10000);
  // The defender stands pat when recapturing would lose more.
  EXPECT_EQ(see("3qk3/8/8/3p4/8/5B2/8/3RK3 w - - 0 1", "d1d5"), 100);
}

TEST(See, SlidersHiddenBehindTheCapturers) {
  // Doubled rooks: the second one recaptures through the first.
  EXPECT_EQ(see("3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), 100);
  // Without the rear rook the exchange loses the exchange.
  EXPECT_EQ(see("3rk3/8/8/3p4/8/8/3R4/4K3 w - - 0 1", "d2d5"), -400);
  // The defender's battery: rook behind rook.
  EXPECT_EQ(see("3rk3/3r4/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5"), -400);
  // Queen behind bishop on a diagonal.
  EXPECT_EQ(see("4k3/8/4p3/5p2/8/8/8/1Q2K3 w - - 0 1", "b1f5"), 100 - 1000);
  EXPECT_EQ(see("4k3/8/4p3/5p2/8/3B4/8/4K3 w - - 0 1", "d3f5"), 100 - 325);
  EXPECT_EQ(see("4k3/8/4p3/5p2/8/3B4/2Q5/4K3 w - - 0 1", "d3f5"), 100 - (325 - 100));
  // A piece of the wrong kind behind the capturer does not join in.
  EXPECT_EQ(see("3rk3/8/8/3p4/8/8/3R4/3BK3 w - - 0 1", "d2d5"), -400);
}

TEST(See, PromotionsAndEnPassant) {
  EXPECT_EQ(see("4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q"), 900);
  EXPECT_EQ(see("7r/P3k3/8/8/8/8/8/4K3 w - - 0 1", "a7a8q"), 900 - 1000);
  EXPECT_EQ(see("7r/P3k3/8/8/8/8/8/4K3 w - - 0 1", "a7a8n"), 225 - 325);
  // Capturing promotion of a defended rook.
  EXPECT_EQ(see("1r2k3/P7/8/8/8/8/8/1r2K3 w - - 0 1", "a7b8q"), 500 + 900 - 1000);
  // Black pawn recaptures onto its last rank and becomes a queen that stays.
  EXPECT_EQ(see("4k3/8/8/8/8/8/p7/1nR3K1 w - - 0 1", "c1b1"), 325 - (500 + 900));
  // En passant recaptured by a pawn: even.
  EXPECT_EQ(see("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6"), 0);
  // A rook behind the captured pawn joins once the pawn has gone.
  EXPECT_EQ(see("4k3/2p5/8/3pP3/8/8/8/3RK3 w - d6 0 1", "e5d6"), 100);
}

// A colour with sixteen pieces (promoted ones among them) can aim all of
// them at one empty square at once: fifteen directly and a rook behind the
// pushed pawn. The attacker lists must hold them all.
TEST(See, SixteenAttackersOfOneSquare) {
  EXPECT_EQ(see("7K/8/3n1n2/2nqrqn1/3r1r2/2nkPbn1/3nrn2/8 w - - 0 1", "e3e4"), -100);
  // Fourteen direct attackers and two behind them, the rook as mover.
  EXPECT_EQ(see("8/8/3n1n2/2nbqbn1/R4qq1/2n1rkn1/3nrn2/K7 w - - 0 1", "a4e4"), -500);
  EXPECT_EQ(see("k7/3NRN2/2N1RKN1/r4QQ1/2NBQBN1/3N1N2/8/8 b - - 0 1", "a5e5"), -500);
}

TEST(See, CaptureIsSafe) {
  auto e = board_from("4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_TRUE(capture_is_safe(move_from_text("e5d6", *e), *e));  // en passant
  auto q = board_from("4k3/8/4p3/3p4/8/8/3Q4/4K3 w - - 0 1");
  EXPECT_FALSE(capture_is_safe(move_from_text("d2d5", *q), *q));  // queen for a defended pawn
  auto p = board_from("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(capture_is_safe(move_from_text("a7b8q", *p), *p));
  EXPECT_FALSE(capture_is_safe(move_from_text("a7b8r", *p), *p));  // under-promotion
  EXPECT_FALSE(capture_is_safe(move_from_text("a7a8q", *p), *p));  // lost to the rook
  auto r = board_from("4k3/8/4p3/3q4/8/8/8/3RK3 w - - 0 1");
  EXPECT_TRUE(capture_is_safe(move_from_text("d1d5", *r), *r));  // victim worth more than the mover
}

// The bounded test agrees with the exchange's value for every move of many
// positions, at thresholds on both sides of the usual ones.
TEST(See, AtLeastAgreesWithTheExchangeValue) {
  int compared = 0;
  for (const char* file : {"/wac.epd", "/bratko-kopec.epd", "/perft.epd"}) {
    std::ifstream epd(std::string(QUORREL_TEST_DATA_DIR) + file);
    for (std::string line; std::getline(epd, line);) {
      if (line.empty()) continue;
      // EPD lines carry four fields; a FEN needs the two clocks.
      std::string fen;
      int fields = 0;
      for (size_t i = 0; i < line.size() && fields < 4; ++i) {
        if (line[i] == ' ' && ++fields == 4) break;
        fen += line[i];
      }
      fen += " 0 1";
      auto board = board_from(fen.c_str());
      move_list_t list;
      list.count = 0;
      movegen_all(list, *board);
      for (int i = 0; i < list.count; ++i) {
        const int value = see_exchange(list.moves[i], *board);
        for (int threshold : {-1000, -325, -101, -100, -99, -1, 0, 1, 99, 100, 325, 1000}) {
          ASSERT_EQ(see_at_least(list.moves[i], *board, threshold), value >= threshold)
              << fen << " " << move_text(list.moves[i]) << " " << threshold;
          ++compared;
        }
      }
    }
  }
  EXPECT_GT(compared, 10000);
}
