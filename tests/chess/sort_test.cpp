#include "chess/sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "chess/history.h"
#include "chess/killer.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/see.h"
#include "chess_test_util.h"
#include "history_test_util.h"

namespace {

std::vector<int> legal_moves(const board_state_t& board) {
  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);
  return {list.moves, list.moves + list.count};
}

std::vector<int> drain(move_picker_t& sort, const board_state_t& board, std::vector<int>* values = nullptr) {
  std::vector<int> out;
  for (int move; (move = picker_next(sort, board)) != MOVE_NONE;) {
    out.push_back(move);
    if (values != nullptr) values->push_back(sort.history_value);
    if (out.size() > 600) break;  // a picker that never ends
  }
  return out;
}

std::vector<int> sorted(std::vector<int> v) {
  std::sort(v.begin(), v.end());
  return v;
}

struct Lcg {
  uint32_t state;
  int next() {
    state = state * 214013u + 2531011u;
    return static_cast<int>((state >> 16) & 32767);
  }
  int move() { return (next() << 1 | (next() & 1)) & 0xFFFF; }
};

class PickerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scope = std::make_unique<HistoryBlockScope>();
    // Distinct history scores so the quiet stage really reorders.
    Lcg rng{12345};
    for (auto& entry : gpHistory->History) entry = static_cast<uint16_t>(rng.next() % HistoryMax);
  }
  void TearDown() override { scope.reset(); }
  std::unique_ptr<HistoryBlockScope> scope;

  // Every legal move exactly once, whatever the hash move and killers are.
  void check_full(const board_state_t& board, int hash, int killer1, int killer2, const std::string& where) {
    const int height = 7;
    killer_set(height, killer1, killer2);
    check_info_t check;
    check_info_compute(check, board);
    move_picker_t sort;
    picker_init(sort, board, check, 5, height, hash);
    std::vector<int> values;
    auto got = drain(sort, board, &values);
    ASSERT_EQ(sorted(got), sorted(legal_moves(board)))
        << where << " hash " << hash << " killers " << killer1 << " " << killer2;
    for (std::size_t i = 0; i < got.size(); ++i) {
      if (move_is_noisy(got[i], board) || got[i] == hash) {
        EXPECT_EQ(values[i], HistoryProbMax) << where;
      }
      EXPECT_GE(values[i], 0);
      EXPECT_LE(values[i], HistoryProbMax);
    }
    if (check.checker_count == 0 && hash != MOVE_NONE && move_is_legal(board, hash)) {
      EXPECT_EQ(got.front(), hash) << where;
    }
    EXPECT_EQ(picker_next(sort, board), MOVE_NONE);  // stays exhausted
  }

  // The quiescence sequences yield exactly the moves their stages define.
  void check_quiescence(const board_state_t& board, const std::string& where) {
    check_info_t check;
    check_info_compute(check, board);
    auto legal = legal_moves(board);
    for (bool with_checks : {false, true}) {
      move_picker_t sort;
      picker_init_quiescence(sort, board, check, with_checks);
      auto got = drain(sort, board);
      std::vector<int> expected;
      if (check.checker_count != 0) {
        expected = legal;
      } else {
        for (int move : legal) {
          if (move_is_noisy(move, board)) {
            if (capture_is_safe(move, board)) expected.push_back(move);
          } else if (with_checks && !move_is_castle(move) && move_gives_check(move, board) &&
                     see_exchange(move, board) >= 0) {
            expected.push_back(move);
          }
        }
      }
      ASSERT_EQ(sorted(got), sorted(expected)) << where << " with_checks " << with_checks;
    }
  }

  void check_position(const board_state_t& board, Lcg& rng, const std::string& where) {
    auto legal = legal_moves(board);
    std::vector<int> quiet, noisy;
    for (int move : legal) (move_is_noisy(move, board) ? noisy : quiet).push_back(move);
    auto pick = [&](const std::vector<int>& v) { return v.empty() ? MOVE_NONE : v[rng.next() % v.size()]; };

    check_full(board, MOVE_NONE, MOVE_NONE, MOVE_NONE, where);
    check_full(board, pick(legal), pick(quiet), pick(quiet), where);
    check_full(board, pick(noisy), pick(quiet), pick(quiet), where);
    int k = pick(quiet);
    check_full(board, k, k, k, where);                          // hash and killers all equal
    check_full(board, pick(quiet), pick(noisy), pick(noisy), where);  // captures as killers
    check_full(board, MOVE_NULL, MOVE_NULL, 0xFFFF, where);
    check_full(board, rng.move(), rng.move(), rng.move(), where);
    check_quiescence(board, where);
  }
};

// Every position of the perft suite and every position two plies below it.
TEST_F(PickerTest, YieldsEveryLegalMoveOnceOverPerftPositions) {
  std::ifstream in(QUORREL_TEST_DATA_DIR "/perft.epd");
  ASSERT_TRUE(in);
  std::string line;
  Lcg rng{4711};
  int positions = 0, in_check = 0;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::string fen = line.substr(0, line.find(';'));
    auto b = board_from(fen.c_str());
    board_state_t& board = *b;
    auto visit = [&](const std::string& where) {
      check_position(board, rng, where);
      ++positions;
      if (side_is_in_check(board)) ++in_check;
    };
    visit(fen);
    for (int m1 : legal_moves(board)) {
      undo_record_t u1;
      move_make(board, m1, u1);
      visit(fen + " " + move_text(m1));
      for (int m2 : legal_moves(board)) {
        undo_record_t u2;
        move_make(board, m2, u2);
        visit(fen + " ... " + move_text(m2));
        move_unmake(board, m2, u2);
        if (HasFatalFailure()) return;
      }
      move_unmake(board, m1, u1);
    }
  }
  EXPECT_GT(positions, 4000);
  EXPECT_GT(in_check, 50);
}

TEST_F(PickerTest, CheckEvasionsAndDoubleChecks) {
  Lcg rng{99};
  for (const char* fen : {
           "4k3/8/8/8/8/8/4r3/R3K2R w KQ - 0 1",               // rook check, castling rights
           "4k3/8/8/4r3/8/3n4/8/R3K2R w KQ - 0 1",             // double check
           "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",                // pawn check answered en passant
           "4k3/8/8/8/8/5n2/3PPP2/4K2R w K - 0 1",             // knight check
           "r3k3/1P6/8/8/8/8/8/4K2q w - - 0 1",                // evasion by capturing promotion
       }) {
    auto b = board_from(fen);
    ASSERT_TRUE(side_is_in_check(*b)) << fen;
    check_position(*b, rng, fen);
  }
}

TEST_F(PickerTest, StageOrder) {
  // Rxd5 is a bad capture (pawn defended by a pawn), Rxa7 a good one.
  auto b = board_from("4k3/r7/4p3/3p4/8/8/8/R2RK3 w - - 0 1");
  check_info_t check;
  check_info_compute(check, *b);
  int hash = move_from_text("e1f2", *b);
  int good = move_from_text("a1a7", *b);
  int bad = move_from_text("d1d5", *b);
  int killer = move_from_text("d1d2", *b);
  killer_set(3, killer, move_from_text("e1e2", *b));
  // A hash move that is also a good capture comes once, first.
  move_picker_t sort;
  picker_init(sort, *b, check, 4, 3, good);
  auto got = drain(sort, *b);
  ASSERT_EQ(got.front(), good);
  EXPECT_EQ(std::count(got.begin(), got.end(), good), 1);
  EXPECT_EQ(got.back(), bad);  // bad captures after every quiet move

  picker_init(sort, *b, check, 4, 3, hash);
  got = drain(sort, *b);
  ASSERT_GE(got.size(), 4u);
  EXPECT_EQ(got[0], hash);
  EXPECT_EQ(got[1], good);
  EXPECT_EQ(got[2], killer);
  EXPECT_EQ(got.back(), bad);
}

TEST_F(PickerTest, KillersAreCheckedAgainstThePosition) {
  auto b = board_from("4k3/8/8/3p4/8/8/8/3RK3 w - - 0 1");
  check_info_t check;
  check_info_compute(check, *b);
  int capture = move_from_text("d1d5", *b);
  int quiet = move_from_text("d1d4", *b);
  killer_set(2, capture, quiet);
  move_picker_t sort;
  picker_init(sort, *b, check, 3, 2, MOVE_NONE);
  auto got = drain(sort, *b);
  // The capture comes from the capture stage, the quiet killer right after it.
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[0], capture);
  EXPECT_EQ(got[1], quiet);
  // With all slots empty the killer stage adds nothing and order follows history.
  killer_clear();
  picker_init(sort, *b, check, 3, 2, MOVE_NONE);
  got = drain(sort, *b);
  EXPECT_EQ(sorted(got), sorted(legal_moves(*b)));
}

// The picker lives in a search-stack entry that may be copied; a copy taken
// mid-way goes on exactly as the original.
TEST_F(PickerTest, CopiedPickerResumesIdentically) {
  auto b = board_from("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  check_info_t check;
  check_info_compute(check, *b);
  killer_set(4, move_from_text("a2a3", *b), move_from_text("e1g1", *b));
  move_picker_t sort;
  picker_init(sort, *b, check, 6, 4, move_from_text("e2a6", *b));
  for (int i = 0; i < 12; ++i) ASSERT_NE(picker_next(sort, *b), MOVE_NONE);
  auto copy = std::make_unique<move_picker_t>(sort);
  EXPECT_EQ(drain(*copy, *b), drain(sort, *b));
}

TEST(MoveListSort, StableByDescendingScore) {
  move_list_t list;
  list.count = 6;
  const int16_t scores[] = {3, -32768, 7, 3, 32767, 7};
  for (int i = 0; i < list.count; ++i) {
    list.moves[i] = static_cast<move_t>(100 + i);
    list.scores[i] = scores[i];
  }
  move_list_sort(list);
  const move_t expected[] = {104, 102, 105, 100, 103, 101};
  for (int i = 0; i < list.count; ++i) EXPECT_EQ(list.moves[i], expected[i]) << i;
}

TEST(MvvLva, Scores) {
  auto b = board_from("1r2k3/P7/8/3q4/4P3/8/8/4K3 w - - 0 1");
  EXPECT_EQ(mvv_lva(move_from_text("e4d5", *b), *b), 6 * 4 - 0 + 5);
  EXPECT_EQ(mvv_lva(move_from_text("a7a8q", *b), *b), -1);
  EXPECT_EQ(mvv_lva(move_from_text("a7a8n", *b), *b), -4);
  EXPECT_EQ(mvv_lva(move_from_text("a7b8n", *b), *b), 6 * 3 + 5);
  auto e = board_from("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  EXPECT_EQ(mvv_lva(move_from_text("e5d6", *e), *e), 5);
}

}  // namespace
