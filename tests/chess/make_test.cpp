#include "chess/make.h"

#include <gtest/gtest.h>

#include <cstring>

#include "chess/keys.h"
#include "chess/legality.h"
#include "chess/movegen.h"
#include "chess/pst.h"
#include "chess_test_util.h"

namespace {

// Every derived field agrees with a scan of the squares.
void expect_consistent(const board_state_t& b) {
  int tally[16] = {};
  int material[2] = {};
  int pst_o = 0, pst_e = 0;
  uint64_t occupied = 0;
  for (int i = 0; i < 64; ++i) {
    int sq = sq64_to_square[i];
    int code = b.squares[sq];
    if (code == PIECE_EMPTY) {
      ASSERT_EQ(b.list_index[sq], -1);
      continue;
    }
    occupied |= uint64_t{1} << i;
    int colour = piece_colour(code);
    const int* list = piece_is_pawn(code) ? b.pawn_list[colour] : b.piece_list[colour];
    ASSERT_EQ(list[b.list_index[sq]], sq);
    ++tally[piece_index12[code]];
    if (!piece_is_king(code)) material[colour] += piece_value[code];
    pst_o += pst_table[piece_index12[code]][i].opening;
    pst_e += pst_table[piece_index12[code]][i].endgame;
  }
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(b.piece_list[c][b.piece_count[c]], 0);
    ASSERT_EQ(b.pawn_list[c][b.pawn_count[c]], 0);
    ASSERT_TRUE(piece_is_king(b.squares[b.piece_list[c][0]]));
    for (int i = 1; i < b.piece_count[c]; ++i)
      ASSERT_GE(piece_order[b.squares[b.piece_list[c][i - 1]]], piece_order[b.squares[b.piece_list[c][i]]]);
    ASSERT_EQ(b.material_sum[c], material[c]);
    for (int file = 4; file < 12; ++file) {
      int bits = 0;
      for (int rank = 0; rank < 8; ++rank)
        if (b.squares[square_make(file - 4, rank)] == pawn_code[c])
          bits |= 1 << (square_relative_rank(square_make(file - 4, rank), c) - 4);
      ASSERT_EQ(b.pawn_file_bits[c][file], bits);
    }
  }
  for (int i = 0; i < 16; ++i) ASSERT_EQ(b.piece_tally[i], tally[i]);
  ASSERT_EQ(b.occupied, occupied);
  ASSERT_EQ(b.pst_opening, pst_o);
  ASSERT_EQ(b.pst_endgame, pst_e);
  ASSERT_EQ(b.hash_key, key_compute_full(b));
  ASSERT_EQ(b.pawn_hash_key, key_compute_pawn(b));
  ASSERT_EQ(b.material_hash_key, key_compute_material(b));
}

// Part of the record that make/unmake touches below the key stack.
constexpr std::size_t kFieldBytes = offsetof(board_state_t, key_stack);

void walk(board_state_t& b, int depth, long& nodes) {
  expect_consistent(b);
  if (::testing::Test::HasFatalFailure() || depth == 0) return;
  move_list_t list;
  list.count = 0;
  movegen_legal(list, b);
  static board_state_t before[8];
  std::memcpy(&before[depth], &b, kFieldBytes + sizeof(uint64_t) * (b.key_stack_top + 1));
  for (int i = 0; i < list.count; ++i) {
    undo_record_t undo;
    const uint64_t predicted = move_key_after(b, list.moves[i]);
    move_make(b, list.moves[i], undo);
    ++nodes;
    // The key foreseen without making the move, exact wherever it claims to be.
    if (move_kind(list.moves[i]) == MOVE_KIND_NORMAL && b.ep_target == 0) {
      ASSERT_EQ(b.hash_key, predicted) << move_text(list.moves[i]);
    }
    ASSERT_EQ(b.key_stack[b.key_stack_top - 1], before[depth].hash_key);
    walk(b, depth - 1, nodes);
    move_unmake(b, list.moves[i], undo);
    ASSERT_EQ(std::memcmp(&before[depth], &b, kFieldBytes + sizeof(uint64_t) * (b.key_stack_top + 1)), 0)
        << move_text(list.moves[i]);
  }
}

class MakeUnmake : public ::testing::Test {
 protected:
  // Non-zero piece-square values so the incremental sums are exercised.
  void SetUp() override {
    std::memcpy(saved_, pst_table, sizeof(saved_));
    for (int p = 0; p < 12; ++p)
      for (int s = 0; s < 64; ++s) pst_table[p][s] = {static_cast<int16_t>(p * 7 + s), static_cast<int16_t>(s * 3 - p)};
  }
  void TearDown() override { std::memcpy(pst_table, saved_, sizeof(saved_)); }
  pst_pair_t saved_[12][64];
};

}  // namespace

TEST_F(MakeUnmake, RestoresEveryFieldAndKeepsKeysExact) {
  // Castling, promotions (also capturing), en passant and checks at shallow depth.
  const char* fens[] = {
      START_FEN,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
  };
  for (const char* fen : fens) {
    auto b = board_from(fen);
    auto copy = std::make_unique<board_state_t>(*b);
    long nodes = 0;
    walk(*b, 3, nodes);
    ASSERT_FALSE(HasFatalFailure()) << fen;
    EXPECT_GT(nodes, 0);
    EXPECT_EQ(std::memcmp(copy.get(), b.get(), sizeof(board_state_t)), 0) << fen;
  }
}

TEST_F(MakeUnmake, NullMoveRestoresAndClearsEnPassant) {
  auto b = board_from("rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
  auto copy = std::make_unique<board_state_t>(*b);
  undo_record_t undo;
  const uint64_t predicted = null_key_after(*b);
  null_make(*b, undo);
  EXPECT_EQ(b->hash_key, predicted);
  EXPECT_EQ(b->ep_target, 0);
  EXPECT_EQ(b->side_to_move, BLACK);
  EXPECT_EQ(b->hash_key, key_compute_full(*b));
  null_unmake(*b, undo);
  EXPECT_EQ(std::memcmp(copy.get(), b.get(), sizeof(board_state_t)), 0);
}

TEST(MakeCastleRights, RookCaptureOnH8RemovesBlackKingSide) {
  auto b = board_from("r3k2r/6P1/8/8/8/8/8/4K2R w Kkq - 0 1");
  undo_record_t undo;
  move_make(*b, move_from_text("g7h8q", *b), undo);
  EXPECT_EQ(b->castle_flags, CASTLE_WHITE_KING | CASTLE_BLACK_QUEEN);
  EXPECT_EQ(b->squares[SQ_H8], WHITE_QUEEN);
  EXPECT_EQ(b->piece_list[WHITE][1], SQ_H8);  // the new queen comes right after the king
}

TEST(DrawByRule, FiftyMovesAndMate) {
  // Black is mated with the clock at 100: not a draw; at 101 it is.
  EXPECT_FALSE(position_is_draw_by_rule(*board_from("7k/6Q1/6K1/8/8/8/8/8 b - - 100 80")));
  EXPECT_TRUE(position_is_draw_by_rule(*board_from("7k/6Q1/6K1/8/8/8/8/8 b - - 101 80")));
  EXPECT_TRUE(position_is_draw_by_rule(*board_from("7k/8/6K1/8/8/8/8/6Q1 b - - 100 80")));
  EXPECT_TRUE(position_is_mate(*board_from("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1")));
}

TEST(DrawByRule, RepetitionNeedsFourPliesWithinTheClock) {
  auto b = board_from(START_FEN);
  const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  undo_record_t undo[8];
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(position_is_draw_by_rule(*b));
    move_make(*b, move_from_text(shuffle[i], *b), undo[i]);
  }
  EXPECT_TRUE(position_is_draw_by_rule(*b));  // the start position again, four plies later
  // After a null move the look-back starts again.
  auto c = board_from(START_FEN);
  move_make(*c, move_from_text("g1f3", *c), undo[0]);
  null_make(*c, undo[1]);
  move_make(*c, move_from_text("f3g1", *c), undo[2]);
  null_make(*c, undo[3]);
  EXPECT_FALSE(position_is_draw_by_rule(*c));
}

TEST(GameRecord, LongGameKeepsTheKeyStackBounded) {
  // Thousands of shuffling moves, interrupted now and then by pawn moves, must
  // never overrun the key stack and must keep repetition detection working.
  auto b = board_from(START_FEN);
  const char* knights[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  const char* pawns[] = {"a2a3", "a7a6", "h2h3", "h7h6", "a3a4", "a6a5", "h3h4", "h6h5"};
  int pawn_index = 0;
  for (int ply = 0; ply < 20000; ++ply) {
    if (ply % 2000 == 0 && ply > 0 && pawn_index < 8) {
      // A pawn move of each side while the knights are at home.
      board_play_move(*b, move_from_text(pawns[pawn_index++], *b));
      board_play_move(*b, move_from_text(pawns[pawn_index++], *b));
      EXPECT_EQ(b->key_stack_top, 0);
      EXPECT_EQ(b->fifty_count, 0);
    }
    int move = move_from_text(knights[ply % 4], *b);
    ASSERT_TRUE(move_is_legal(*b, move)) << ply;
    board_play_move(*b, move);
    ASSERT_LE(b->key_stack_top, FIFTY_COUNT_LIMIT);
    ASSERT_LE(b->fifty_count, FIFTY_COUNT_LIMIT);
    ASSERT_EQ(b->key_stack_top, b->fifty_count);
  }
  EXPECT_TRUE(position_is_draw_by_rule(*b));
  // A fresh pawn move: the clock restarts and a repetition is found again after four plies.
  board_play_move(*b, move_from_text("b2b3", *b));
  board_play_move(*b, move_from_text("b7b6", *b));
  EXPECT_FALSE(position_is_draw_by_rule(*b));
  for (int i = 0; i < 4; ++i) board_play_move(*b, move_from_text(knights[i], *b));
  EXPECT_EQ(b->fifty_count, 4);
  EXPECT_TRUE(position_is_draw_by_rule(*b));
  EXPECT_EQ(b->hash_key, key_compute_full(*b));
  for (int i = b->key_stack_top; i < KEY_STACK_SIZE; ++i) ASSERT_EQ(b->key_stack[i], 0u);
}
