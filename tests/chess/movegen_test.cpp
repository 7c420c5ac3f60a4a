#include "chess/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "chess/legality.h"
#include "chess/make.h"
#include "chess_test_util.h"

namespace {

std::set<std::string> texts(const move_list_t& list) {
  std::set<std::string> out;
  for (int i = 0; i < list.count; ++i) out.insert(move_text(list.moves[i]));
  return out;
}

std::set<std::string> legal_texts(const board_state_t& b) {
  move_list_t list;
  list.count = 0;
  movegen_legal(list, b);
  return texts(list);
}

bool contains(const move_list_t& list, int move) {
  return std::find(list.moves, list.moves + list.count, move) != list.moves + list.count;
}

// Legal moves by the slow route: every pseudo-legal move made and tested.
std::set<std::string> legal_by_making(const board_state_t& b) {
  move_list_t all, legal;
  all.count = legal.count = 0;
  movegen_all(all, b);
  for (int i = 0; i < all.count; ++i) {
    // Castling out of check or through an attacked square is not in movegen_all at all.
    move_list_add_if_legal(legal, all.moves[i], b);
  }
  return texts(legal);
}

const char* const kPositions[] = {
    START_FEN,
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "8/8/1b6/2pP4/3K4/8/8/7k w - c6 0 1",
};

// Applies f to every position reached within depth plies of each test position.
template <typename F>
void for_each_node(board_state_t& b, int depth, F&& f) {
  f(b);
  if (depth == 0) return;
  move_list_t list;
  list.count = 0;
  movegen_legal(list, b);
  for (int i = 0; i < list.count; ++i) {
    undo_record_t undo;
    move_make(b, list.moves[i], undo);
    for_each_node(b, depth - 1, f);
    move_unmake(b, list.moves[i], undo);
  }
}

}  // namespace

TEST(MoveGen, EvasionsInDoubleCheckAreKingMovesOffTheRays) {
  // Rook e2 and bishop b4 check: only king moves remain.
  auto b = board_from("4k3/8/8/8/1b6/8/4r3/4K3 w - - 0 1");
  EXPECT_EQ(legal_texts(*b), (std::set<std::string>{"e1d1", "e1e2", "e1f1"}));
  auto r = board_from("4k3/8/8/8/8/8/8/r3K3 w - - 0 1");  // the king may not step along the rook's rank
  EXPECT_EQ(legal_texts(*r), (std::set<std::string>{"e1d2", "e1e2", "e1f2"}));
}

TEST(MoveGen, EnPassantExposingTheKingIsRejected) {
  // Both pawns leave the fifth rank: the rook on h5 would see the king.
  auto b = board_from("8/8/8/KPp4r/8/8/8/7k w - c6 0 2");
  EXPECT_EQ(legal_texts(*b).count("b5c6"), 0u);
  // Capturing the checking pawn en passant opens the bishop's diagonal.
  auto d = board_from("8/8/1b6/2pP4/3K4/8/8/7k w - c6 0 1");
  EXPECT_EQ(legal_texts(*d).count("d5c6"), 0u);
  EXPECT_EQ(legal_texts(*d), legal_by_making(*d));
}

TEST(MoveGen, PinnedRookMovesAlongThePin) {
  auto b = board_from("4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1");
  auto moves = legal_texts(*b);
  for (const char* m : {"e2e3", "e2e7", "e2e8"}) EXPECT_EQ(moves.count(m), 1u) << m;
  EXPECT_EQ(moves.count("e2d2"), 0u);
}

TEST(MoveGen, CastlingRules) {
  // f1 attacked: no king-side castling; b1 attacked does not stop the queen side.
  auto b = board_from("1r2kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1");
  auto moves = legal_texts(*b);
  EXPECT_EQ(moves.count("e1g1"), 0u);
  EXPECT_EQ(moves.count("e1c1"), 1u);
  // g1 attacked: generated as pseudo-legal, rejected by the legality test.
  auto g = board_from("4k1r1/8/8/8/8/8/8/4K2R w K - 0 1");
  move_list_t all;
  all.count = 0;
  movegen_all(all, *g);
  int castle = move_from_text("e1g1", *g);
  EXPECT_TRUE(contains(all, castle));
  EXPECT_FALSE(move_is_legal_given_pseudo(castle, *g));
  // Never out of check.
  auto c = board_from("4k3/8/8/8/8/8/8/r3K2R w K - 0 1");
  all.count = 0;
  movegen_all(all, *c);
  EXPECT_FALSE(contains(all, castle));
}

TEST(MoveGen, CapturesIncludeQuietPromotions) {
  auto b = board_from("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
  auto p = board_from("k7/4P3/8/8/8/8/8/4K3 w - - 0 1");
  move_list_t list;
  list.count = 0;
  movegen_captures(list, *p);
  EXPECT_EQ(texts(list), (std::set<std::string>{"e7e8q", "e7e8n", "e7e8r", "e7e8b"}));
  EXPECT_EQ(list.moves[0] & 0xF000, MOVE_PROMOTE_QUEEN);
  EXPECT_EQ(list.moves[1] & 0xF000, MOVE_PROMOTE_KNIGHT);
  list.count = 0;
  movegen_captures(list, *b);
  EXPECT_EQ(list.count, 0);
}

TEST(MoveGen, PartialGeneratorsAgreeWithTheWhole) {
  // At every node: captures + en passant + quiet = all; legal = made-and-tested;
  // quiet checks = quiet moves that give check; gives-check = make and test.
  for (const char* fen : kPositions) {
    auto b = board_from(fen);
    for_each_node(*b, 2, [&](board_state_t& n) {
      move_list_t all, parts, checks;
      all.count = parts.count = checks.count = 0;
      movegen_all(all, n);
      movegen_captures(parts, n);
      movegen_en_passant(parts, n);
      movegen_quiet(parts, n);
      ASSERT_EQ(all.count, parts.count) << fen;
      ASSERT_EQ(texts(all), texts(parts));
      ASSERT_EQ(legal_texts(n), legal_by_making(n));

      std::set<std::string> quiet_checks;
      move_list_t quiet;
      quiet.count = 0;
      movegen_quiet(quiet, n);
      for (int i = 0; i < all.count; ++i) {
        int move = all.moves[i];
        undo_record_t undo;
        move_make(n, move, undo);
        bool check = side_is_in_check(n);
        move_unmake(n, move, undo);
        ASSERT_EQ(move_gives_check(move, n), check) << move_text(move);
        // A king cannot check; only its illegal steps next to the other king would.
        if (check && contains(quiet, move) && !move_is_castle(move) && move_is_legal_given_pseudo(move, n))
          quiet_checks.insert(move_text(move));
      }
      if (!side_is_in_check(n)) {
        movegen_quiet_checks(checks, n);
        ASSERT_EQ(texts(checks).size(), static_cast<std::size_t>(checks.count));
        std::set<std::string> legal_checks;
        for (int i = 0; i < checks.count; ++i)
          if (move_is_legal_given_pseudo(checks.moves[i], n)) legal_checks.insert(move_text(checks.moves[i]));
        ASSERT_EQ(legal_checks, quiet_checks);
      }
    });
  }
}

TEST(MoveGen, HashAndKillerTestsMatchGeneration) {
  // Every 16-bit value: pseudo-legal for the hash exactly when generated;
  // for a killer exactly when generated and quiet (castling included).
  for (const char* fen : kPositions) {
    auto b = board_from(fen);
    move_list_t all;
    all.count = 0;
    movegen_all(all, *b);
    for (int move = 0; move < 65536; ++move) {
      bool generated = contains(all, move);
      ASSERT_EQ(move_is_pseudo_for_hash(move, *b), generated) << move_text(move) << " " << fen;
      bool quiet = generated && !move_is_noisy(move, *b);
      ASSERT_EQ(move_is_pseudo_for_killer(move, *b), quiet) << move_text(move) << " " << fen;
    }
  }
  // A capturing killer is refused, the same move as a hash move is accepted.
  auto c = board_from("4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1");
  int capture = move_from_text("e4d5", *c);
  EXPECT_TRUE(move_is_pseudo_for_hash(capture, *c));
  EXPECT_FALSE(move_is_pseudo_for_killer(capture, *c));
}

TEST(MoveGen, MoveIsLegalForGuiTokens) {
  auto b = board_from(START_FEN);
  EXPECT_TRUE(move_is_legal(*b, move_from_text("e2e4", *b)));
  EXPECT_FALSE(move_is_legal(*b, move_from_text("e2e5", *b)));
  EXPECT_FALSE(move_is_legal(*b, move_from_text("e1g1", *b)));
  EXPECT_FALSE(move_is_legal(*b, move_from_text("e2e4q", *b)));
  EXPECT_FALSE(move_is_legal(*b, MOVE_NONE));
  EXPECT_FALSE(move_is_legal(*b, MOVE_NULL));
}

TEST(MoveGen, EvasionStopAndMate) {
  auto mate = board_from("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
  EXPECT_TRUE(position_is_mate(*mate));
  auto check = board_from("R5k1/5p1p/8/8/8/8/8/6K1 b - - 0 1");
  EXPECT_FALSE(position_is_mate(*check));
  EXPECT_FALSE(position_is_mate(*board_from(START_FEN)));
}

TEST(MoveGen, PawnAndKingPredicates) {
  auto b = board_from("4k3/1P6/8/3q4/4P3/8/8/K7 w - - 0 1");
  EXPECT_TRUE(move_is_critical(move_from_text("b7b8q", *b), *b));
  EXPECT_TRUE(move_is_critical(move_from_text("e4d5", *b), *b));
  EXPECT_FALSE(move_is_critical(move_from_text("e4e5", *b), *b));
  EXPECT_TRUE(move_creates_passer(move_from_text("e4e5", *b), *b));
  auto p = board_from("4k3/8/3p4/8/4P3/8/8/K7 w - - 0 1");
  EXPECT_FALSE(move_creates_passer(move_from_text("e4e5", *p), *p));
  EXPECT_TRUE(king_stuck_in_corner(*board_from("k7/8/1Q6/8/8/8/8/7K b - - 0 1"), BLACK));
  EXPECT_FALSE(king_stuck_in_corner(*board_from("k7/8/8/8/8/8/8/7K b - - 0 1"), BLACK));
}
