// Material and pawn-structure records: classification, multipliers, phase,
// weights, the pawn terms, and the caches.
#include <gtest/gtest.h>

#include "chess/material.h"
#include "chess/pawn.h"
#include "eval_test_util.h"

namespace {

class RecordTest : public ::testing::Test {
 protected:
  void SetUp() override { eval_test_setup(); }
  void TearDown() override {
    option_reset_all();
    eval_configure_from_options();
  }
  static material_record_t material(const char* fen) { return material_compute(*board_from(fen)); }
  static pawn_record_t pawns(const char* fen) { return pawn_compute(*board_from(fen)); }
};

TEST_F(RecordTest, EndgameClassesAndMultipliers) {
  auto knn_k = material("8/8/8/3k4/8/8/1NN5/4K3 w - - 0 1");
  EXPECT_EQ(knn_k.draw_mul[WHITE], 0);
  auto knn_kp = material("8/8/8/3k4/3p4/8/1NN5/4K3 w - - 0 1");
  EXPECT_EQ(knn_kp.draw_mul[WHITE], 1);
  auto kn_kn = material("8/8/8/3k4/8/8/1n6/4K1N1 w - - 0 1");
  EXPECT_EQ(kn_kn.recogniser, RECOG_KN_KN);
  EXPECT_EQ(kn_kn.draw_flags & DRAW_FLAG_NODE, 0);
  auto kbn_k = material("8/8/8/3k4/8/8/1BN5/4K3 w - - 0 1");
  EXPECT_EQ(kbn_k.recogniser, RECOG_NONE);
  EXPECT_EQ(kbn_k.draw_mul[WHITE], DRAW_MUL_FULL);
  auto kr_kr = material("r7/8/8/3k4/8/8/8/4K2R w - - 0 1");
  EXPECT_EQ(kr_kr.draw_mul[WHITE] + kr_kr.draw_mul[BLACK], 0);
  // A single pawn against a minor piece that can be given up for it.
  auto kbp_kn = material("8/8/8/3k4/8/3n4/1BP5/4K3 w - - 0 1");
  EXPECT_EQ(kbp_kn.draw_mul[WHITE], 4);
  auto k_kbp = material("4k3/1bp5/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(k_kbp.recogniser, RECOG_K_KBP);
  EXPECT_NE(k_kbp.draw_flags & DRAW_FLAG_NODE, 0);
  auto opposite = material("4k3/1bp5/8/8/8/8/1BPP4/4K3 w - - 0 1");
  EXPECT_NE(opposite.draw_flags & DRAW_FLAG_OPPOSITE_BISHOPS, 0);
}

TEST_F(RecordTest, SideFlags) {
  auto rec = material("4k3/8/8/8/8/8/1BP5/3QK3 b - - 0 1");
  EXPECT_EQ(rec.side_flags[WHITE] & SIDE_FLAG_PAWNS_AND_BISHOPS, 0);  // white has a queen
  EXPECT_NE(rec.side_flags[BLACK] & SIDE_FLAG_KING_SAFETY, 0);        // facing queen and bishop
  auto knight = material("4k2r/8/8/8/8/8/2P5/1N2K3 w - - 0 1");
  EXPECT_NE(knight.side_flags[WHITE] & SIDE_FLAG_KNIGHT_DRAW, 0);
  auto bishop = material("4k2r/8/8/8/8/8/2P5/1B2K3 w - - 0 1");
  EXPECT_EQ(bishop.side_flags[WHITE] & 3, SIDE_FLAG_PAWNS_AND_BISHOPS | SIDE_FLAG_BISHOP_DRAW);
}

TEST_F(RecordTest, PhaseAndBalances) {
  auto start = material(START_FEN);
  EXPECT_EQ(start.game_phase, 0);
  EXPECT_EQ(start.score_opening, 0);
  EXPECT_EQ(material("8/8/8/3k4/8/8/8/4K3 w - - 0 1").game_phase, 256);
  // One rook each: phase 20 of 24.
  EXPECT_EQ(material("r7/8/8/3k4/8/8/8/4K2R w - - 0 1").game_phase, (20 * 256 + 12) / 24);
  // Two bishops against bishop and knight: the pair is worth 50.
  const char* pair = "2b1kn2/8/8/8/8/8/8/2B1KB2 w - - 0 1";
  EXPECT_EQ(material(pair).score_opening, 50);
  option_set_value("Material", "200");
  eval_configure_from_options();
  EXPECT_EQ(material(pair).score_opening, 100);
  // The exchange bonus: more piece material against more pawns.
  option_reset_all();
  eval_configure_from_options();
  auto exchange = material("4k3/pp6/8/8/8/8/8/R3K3 w - - 0 1");
  EXPECT_EQ(exchange.score_opening, 500 - 160 + 20);
  EXPECT_EQ(exchange.score_endgame, 500 - 180 + 20);
}

TEST_F(RecordTest, PawnStructureTerms) {
  // Isolated and doubled c-pawns against one passed h-pawn.
  auto rec = pawns("4k3/7p/8/8/8/2P5/2P5/4K3 w - - 0 1");
  EXPECT_EQ(rec.passer_files[BLACK], 1 << 7);
  EXPECT_EQ(rec.passer_files[WHITE], 1 << 2);  // the front c-pawn: nothing ahead on b, c, d
  EXPECT_NE(rec.pawn_flags[WHITE] & PAWN_FLAG_ON_SECOND_RANK, 0);
  EXPECT_NE(rec.pawn_flags[BLACK] & PAWN_FLAG_ON_SECOND_RANK, 0);
  // White: two isolated open pawns (-20/-20 each; the rear one is not open:
  // -10/-20), one doubled (-10/-20); black: one isolated open passer (-20/-20).
  EXPECT_EQ(rec.score_opening, (-20 - 10 - 10) - (-20));
  EXPECT_EQ(rec.score_endgame, (-20 - 20 - 20) - (-20));
  option_set_value("Pawn Structure", "50");
  eval_configure_from_options();
  EXPECT_EQ(pawn_compute(*board_from("4k3/7p/8/8/8/2P5/2P5/4K3 w - - 0 1")).score_opening, -10);
}

TEST_F(RecordTest, LoneFilePawnHoldsABoardSquareForEitherColour) {
  auto rec = pawns("4k3/8/8/p7/8/p7/8/4K3 w - - 0 1");
  EXPECT_EQ(rec.lone_file_pawn[BLACK], 0x64);  // a3, the most advanced black pawn
  EXPECT_EQ(rec.lone_file_pawn[WHITE], 0);
  auto white = pawns("4k3/8/P7/8/P7/8/8/4K3 w - - 0 1");
  EXPECT_EQ(white.lone_file_pawn[WHITE], 0x94);  // a6
  // An opponent pawn beside the file ahead of the rear pawn spoils it.
  EXPECT_EQ(pawns("4k3/8/1p6/8/P7/8/8/4K3 w - - 0 1").lone_file_pawn[WHITE], 0);
}

TEST_F(RecordTest, CachesHitAndMissByKey) {
  material_cache_stats_reset();
  pawn_cache_stats_reset();
  auto board = board_from(START_FEN);
  material_probe(*board);
  pawn_probe(*board);
  material_probe(*board);
  pawn_probe(*board);
  EXPECT_EQ(material_cache_stats().probes, 2u);
  EXPECT_EQ(material_cache_stats().hits, 1u);
  EXPECT_EQ(pawn_cache_stats().hits, 1u);
  // Without pawns the key is 0 and the empty slot is already the right record.
  auto pawnless = board_from("8/8/8/3k4/8/8/8/4K2R w - - 0 1");
  pawn_record_t rec = pawn_probe(*pawnless);
  EXPECT_EQ(rec.score_opening, 0);
  EXPECT_EQ(rec.passer_files[WHITE], 0);
}

}  // namespace
