#include "chess/rays.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "chess/make.h"
#include "chess/movegen.h"
#include "chess_test_util.h"

namespace {

constexpr int kSteps[8] = {-17, -16, -15, -1, 1, 15, 16, 17};

// The first piece or border cell along a step, found by walking the cells.
int walk_to_blocker(const board_state_t& b, int sq, int step) {
  int s = sq + step;
  while (b.squares[s] == PIECE_EMPTY) s += step;
  return s;
}

uint64_t walked_reach(const board_state_t& b, int sq, int step) {
  uint64_t reach = 0;
  for (int s = sq + step; square_is_on_board(s); s += step) {
    reach |= uint64_t{1} << square_to_sq64[s];
    if (b.squares[s] != PIECE_EMPTY) break;
  }
  return reach;
}

// The step from `from` towards `to` when they share a line, else 0.
int line_step(int from, int to) {
  for (int step : kSteps)
    for (int s = from + step; square_is_on_board(s); s += step)
      if (s == to) return step;
  return 0;
}

bool walked_clear(const board_state_t& b, int from, int to) {
  const int step = line_step(from, to);
  if (step == 0) return true;
  for (int s = from + step; s != to; s += step)
    if (b.squares[s] != PIECE_EMPTY) return false;
  return true;
}

// Every sliding query, at every square and step (and every pair of squares),
// answers what walking the cells answers.
void expect_rays_agree(const board_state_t& b) {
  uint64_t occupied = 0;
  for (int i = 0; i < 64; ++i)
    if (b.squares[sq64_to_square[i]] != PIECE_EMPTY) occupied |= uint64_t{1} << i;
  ASSERT_EQ(b.occupied, occupied);
  for (int i = 0; i < 64; ++i) {
    const int sq = sq64_to_square[i];
    for (int step : kSteps) {
      ASSERT_EQ(ray_blocker(b, sq, step), walk_to_blocker(b, sq, step)) << i << " " << step;
      ASSERT_EQ(ray_reach(b, sq, step), walked_reach(b, sq, step)) << i << " " << step;
    }
    for (int j = 0; j < 64; ++j) {
      const int to = sq64_to_square[j];
      if (to == sq) continue;
      ASSERT_EQ(line_is_clear(b, sq, to), walked_clear(b, sq, to)) << i << " " << j;
    }
  }
}

std::vector<std::string> perft_fens() {
  std::vector<std::string> fens;
  std::ifstream in(QUORREL_TEST_DATA_DIR "/perft.epd");
  std::string line;
  while (std::getline(in, line))
    if (!line.empty()) fens.push_back(line.substr(0, line.find(';')));
  return fens;
}

}  // namespace

TEST(Rays, SlidingQueriesAgreeWithWalkingTheCellsAfterEveryMove) {
  // The perft positions and every position one move away: the occupancy set
  // kept by make and unmake is exact, and so is every answer drawn from it.
  const std::vector<std::string> fens = perft_fens();
  ASSERT_FALSE(fens.empty());
  for (const std::string& fen : fens) {
    auto b = board_from(fen.c_str());
    expect_rays_agree(*b);
    ASSERT_FALSE(HasFatalFailure()) << fen;
    move_list_t list;
    list.count = 0;
    movegen_all(list, *b);
    for (int k = 0; k < list.count; ++k) {
      undo_record_t undo;
      move_make(*b, list.moves[k], undo);
      expect_rays_agree(*b);
      move_unmake(*b, list.moves[k], undo);
      ASSERT_FALSE(HasFatalFailure()) << fen << " " << move_text(list.moves[k]);
    }
    expect_rays_agree(*b);
  }
}

TEST(Rays, SliderLinesAndWalkOrder) {
  // On an empty board a bishop sees 13 squares from d4, a rook 14, a queen 27;
  // the nearest square of a set comes first in the direction of the step.
  const int d4 = square_make(3, 3);
  EXPECT_EQ(__builtin_popcountll(slider_lines_to(WHITE_BISHOP, d4)), 13);
  EXPECT_EQ(__builtin_popcountll(slider_lines_to(BLACK_ROOK, d4)), 14);
  EXPECT_EQ(__builtin_popcountll(slider_lines_to(WHITE_QUEEN, d4)), 27);
  EXPECT_EQ(slider_lines_to(WHITE_KNIGHT, d4), 0u);

  uint64_t file = square_bit(square_make(3, 1)) | square_bit(square_make(3, 5)) | square_bit(square_make(3, 6));
  uint64_t down = file;
  EXPECT_EQ(take_nearest(down, STEP_SOUTH), square_make(3, 6));
  EXPECT_EQ(take_nearest(down, STEP_SOUTH), square_make(3, 5));
  EXPECT_EQ(take_nearest(down, STEP_SOUTH), square_make(3, 1));
  EXPECT_EQ(down, 0u);
  EXPECT_EQ(take_nearest(file, STEP_NORTH), square_make(3, 1));
}
