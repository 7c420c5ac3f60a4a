#include "chess/board.h"

#include <gtest/gtest.h>

#include "chess/attack.h"
#include "chess_test_util.h"

TEST(BoardSquares, NumberingAndText) {
  EXPECT_EQ(square_make(0, 0), 68);
  EXPECT_EQ(square_make(7, 7), 187);
  EXPECT_EQ(sq64_to_square[8], 84);
  EXPECT_EQ(square_to_sq64[SQ_H8], 63);
  EXPECT_EQ(square_to_sq64[0], -1);
  int playing = 0;
  for (int sq = 0; sq < 256; ++sq) playing += square_is_on_board(sq);
  EXPECT_EQ(playing, 64);
  char text[3];
  EXPECT_STREQ(square_to_text(SQ_E8, text), "e8");
  EXPECT_EQ(square_relative_rank(sq64_to_square[6 * 8 + 4], BLACK), 5);  // e7 for black
  EXPECT_EQ(piece_from_letter('q'), BLACK_QUEEN);
  EXPECT_EQ(piece_from_letter('x'), PIECE_EMPTY);
  EXPECT_EQ(piece_letter(WHITE_KNIGHT), 'N');
}

TEST(BoardFromFen, StartPositionFields) {
  auto b = board_from(START_FEN);
  EXPECT_EQ(b->side_to_move, WHITE);
  EXPECT_EQ(b->castle_flags, 15);
  EXPECT_EQ(b->piece_count[WHITE], 8);
  EXPECT_EQ(b->pawn_count[BLACK], 8);
  EXPECT_EQ(b->total_pieces, 32);
  EXPECT_EQ(b->material_sum[WHITE], 8 * 100 + 2 * 325 + 2 * 325 + 2 * 500 + 1000);
  // King first, then queen, rooks, bishops, knights in square order.
  const int expected[] = {SQ_E1, SQ_D1, SQ_A1, SQ_H1, SQ_C1, SQ_F1, SQ_B1, SQ_G1, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(b->piece_list[WHITE][i], expected[i]);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b->list_index[b->piece_list[WHITE][i]], i);
  EXPECT_EQ(b->pawn_file_bits[BLACK][4], 1 << 1);  // black a-pawn on its second rank
  EXPECT_EQ(b->squares[0], SQUARE_BORDER);
}

TEST(BoardFromFen, OptionalFieldsAreDroppedOrRead) {
  // Castling letters without king and rook at home are ignored silently.
  EXPECT_EQ(board_from("rnbqkbnr/pppppppp/8/8/8/8/PPPPKPPP/RNBQ1BNR w KQkq - 0 1")->castle_flags, 12);
  // An en-passant square no pawn can use is dropped.
  EXPECT_EQ(board_from("4k3/8/8/4p3/8/8/8/4K3 w - e6 0 1")->ep_target, 0);
  EXPECT_EQ(board_from("4k3/8/8/3Pp3/8/8/8/4K3 w - e6 0 1")->ep_target, square_make(4, 5));
  auto b = board_from("4k3/8/8/8/8/8/8/4K3 w - - 37 1");
  EXPECT_EQ(b->fifty_count, 37);
  EXPECT_EQ(b->key_stack_top, 37);
  EXPECT_EQ(board_from("4k3/8/8/8/8/8/8/4K3 w - -")->fifty_count, 0);
}

TEST(BoardFromFen, HalfMoveClockSaturates) {
  // A huge clock must neither overflow the int nor the key stack.
  auto b = board_from("4k3/8/8/8/8/8/8/4K3 w - - 99999999999999999999 1");
  EXPECT_EQ(b->fifty_count, FIFTY_COUNT_LIMIT);
  EXPECT_EQ(b->key_stack_top, FIFTY_COUNT_LIMIT);
  EXPECT_EQ(board_from("4k3/8/8/8/8/8/8/4K3 w - - 5000 1")->fifty_count, FIFTY_COUNT_LIMIT);
}

using BoardFromFenDeath = ::testing::Test;

TEST(BoardFromFenDeath, MalformedTextNamesThePosition) {
  auto fen_dies = [](const char* fen, const char* message) {
    EXPECT_EXIT(board_from(fen), ::testing::ExitedWithCode(1), message) << fen;
  };
  fen_dies("rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "bad FEN \\(pos=18\\)");
  fen_dies("rnbqkbnr/ppppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "bad FEN \\(pos=17\\)");
  fen_dies("rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "bad FEN \\(pos=16\\)");
  fen_dies("4k3/8/8/8/8/8/8/4K3 w - e3 0 1", "bad FEN \\(pos=25\\)");
  fen_dies("4k3/8/8/8/8/8/8/4K3 x - - 0 1", "bad FEN \\(pos=20\\)");
  fen_dies("4k3/8/8/8/8/8/8/4K3", "bad FEN \\(pos=19\\)");
  fen_dies("", "^board_from_fen\\(\\): bad FEN \\(pos=0\\)\n$");
}

TEST(BoardFromFenDeath, IllegalPositionsAreRefused) {
  auto illegal = [](const char* fen) {
    EXPECT_EXIT(board_from(fen), ::testing::ExitedWithCode(1), "^board_init_list\\(\\): illegal position\n$") << fen;
  };
  illegal("8/8/8/8/8/8/8/8 w - - 0 1");                      // no king
  illegal("4k3/8/8/8/8/8/8/3KK3 w - - 0 1");                 // two kings
  illegal("4k2R/8/8/8/8/8/8/4K3 w - - 0 1");                 // side not to move in check
  illegal("P3k3/8/8/8/8/8/8/4K3 w - - 0 1");                 // pawn on the last rank
  illegal("4k3/PPPPPPPP/P7/8/8/8/8/4K3 b - - 0 1");          // nine pawns
  illegal("QQQQkQQQ/QQQQQQQQ/8/8/8/8/8/4K3 b - - 0 1");      // seventeen pieces
  // Three checkers cannot arise in a game and would overrun the check record.
  illegal("4k3/8/8/8/1b6/8/4r3/r3K1n1 w - - 0 1");
}

TEST(BoardFromFen, TenWhiteBishopsAreWarnedAboutOncePerColour) {
  ::testing::internal::CaptureStdout();
  auto b = board_from("4k3/8/8/8/8/2BBB3/BBBBBBB1/4K3 w - - 0 1");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "illegal position!\nillegal position!\n");
  EXPECT_EQ(b->piece_tally[INDEX_WHITE_BISHOP], 10);
  ::testing::internal::CaptureStdout();
  board_from("4k3/8/8/8/8/3BB3/BBBBBBB1/4K3 w - - 0 1");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(BoardFromFen, DoubleCheckIsAccepted) {
  auto b = board_from("4k3/8/8/8/1b6/8/4r3/4K3 w - - 0 1");
  check_info_t check;
  check_info_compute(check, *b);
  EXPECT_EQ(check.checker_count, 2);
  EXPECT_EQ(check.checker_squares[2], 0);
}

TEST(MoveText, RoundTrips) {
  auto b = board_from("4k3/4P3/8/8/8/8/8/R3K2R w KQ - 0 1");
  EXPECT_EQ(move_from_text("e7e8q", *b), 0xB000 | (52 << 6) | 60);
  EXPECT_EQ(move_from_text("e1g1", *b), MOVE_KIND_CASTLE | (4 << 6) | 6);
  EXPECT_STREQ(move_text(move_from_text("e7e8n", *b)), "e7e8n");
  EXPECT_STREQ(move_text(MOVE_NULL), "null");
  EXPECT_STREQ(move_text(MOVE_NONE), "a1a1");
  auto r = board_from("3k4/8/8/8/8/8/8/4R2K w - - 0 1");
  EXPECT_EQ(move_from_text("e1g1", *r), (4 << 6) | 6);  // a rook on e1: normal move
  auto ep = board_from("4k3/8/8/3Pp3/8/8/8/4K3 w - e6 0 1");
  EXPECT_EQ(move_kind(move_from_text("d5e6", *ep)), MOVE_KIND_EN_PASSANT);
  // Garbage yields MOVE_NONE without reading past the end.
  for (const char* bad : {"", "e", "e7", "e7e", "i2i4", "e9e8", "e7e8k", "e7e8Q", "xxxx"})
    EXPECT_EQ(move_from_text(bad, *b), MOVE_NONE) << bad;
  EXPECT_EQ(move_from_text("e1e2 e7e8", *b), (4 << 6) | 12);  // a blank ends the token
}
