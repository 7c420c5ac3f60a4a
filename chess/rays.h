#pragma once
// Sliding along a line without walking it: the board keeps a 64-bit set of
// its occupied squares (`occupied`, bit i for 0..63 square i), and a ray mask
// per direction and square gives the squares a slider passes over up to the
// edge. The first occupied square of a ray is then its lowest or highest set
// bit. The answers are the cells a walk over `squares` would stop at, border
// cells included, so callers read the same codes as before; only the
// data-dependent loop, whose exit the processor mispredicts, is gone.
#include <array>
#include <cstdint>

#include "chess/board.h"
#include "chess/piece.h"
#include "chess/square.h"

namespace rays_detail {
// The eight unit line steps in ascending order: directions 4..7 point up the
// 0..63 index, 0..3 down it.
inline constexpr int step_of_direction[8] = {-17, -16, -15, -1, 1, 15, 16, 17};

// Direction index 0..7 by step + 17; 8 for steps that are not unit line steps.
inline constexpr std::array<uint8_t, 35> direction_of_step = [] {
  std::array<uint8_t, 35> t{};
  for (auto& v : t) v = 8;
  for (int d = 0; d < 8; ++d) t[step_of_direction[d] + 17] = static_cast<uint8_t>(d);
  return t;
}();

// Direction 8 stands for "no line": its masks are empty.
struct ray_tables_t {
  uint64_t mask[9][64];  // squares from the origin (excluded) to the edge
  uint8_t end[8][64];    // the border cell just past the edge, as a 256-cell square
};

inline constexpr ray_tables_t ray_tables = [] {
  ray_tables_t t{};
  for (int d = 0; d < 8; ++d) {
    for (int i = 0; i < 64; ++i) {
      int step = step_of_direction[d];
      int s = sq64_to_square[i] + step;
      uint64_t m = 0;
      for (; square_is_on_board(s); s += step) m |= uint64_t{1} << square_to_sq64[s];
      t.mask[d][i] = m;
      t.end[d][i] = static_cast<uint8_t>(s);
    }
  }
  return t;
}();

// Direction index by (to - from) + 119 on the 256-cell board; 8 off the lines.
inline constexpr std::array<uint8_t, 240> direction_of_delta = [] {
  std::array<uint8_t, 240> t{};
  for (auto& v : t) v = 8;
  for (int d = 0; d < 8; ++d)
    for (int k = 1; k <= 7; ++k) t[step_of_direction[d] * k + 119] = static_cast<uint8_t>(d);
  return t;
}();

// Per 0..63 square, the squares on its diagonals ([0]) and on its rank and
// file ([1]): where a bishop or a rook would attack it on an empty board.
inline constexpr std::array<std::array<uint64_t, 64>, 2> line_masks = [] {
  std::array<std::array<uint64_t, 64>, 2> t{};
  for (int i = 0; i < 64; ++i) {
    for (int d : {0, 2, 5, 7}) t[0][i] |= ray_tables.mask[d][i];
    for (int d : {1, 3, 4, 6}) t[1][i] |= ray_tables.mask[d][i];
  }
  return t;
}();
}  // namespace rays_detail

// The squares from which a slider of this code would attack `sq` on an empty
// board (a queen's code carries both the bishop and the rook flag).
inline uint64_t slider_lines_to(int code, int sq) {
  const int i = square_to_sq64[sq];
  return (code & FLAG_BISHOP ? rays_detail::line_masks[0][i] : 0) |
         (code & FLAG_ROOK ? rays_detail::line_masks[1][i] : 0);
}

// Removes and returns the square of `squares` nearest to the start of a ray
// along `step` (the walk order), as a 256-cell square.
inline int take_nearest(uint64_t& squares, int step) {
  const int i = step > 0 ? __builtin_ctzll(squares) : 63 - __builtin_clzll(squares);
  squares &= ~(uint64_t{1} << i);
  return sq64_to_square[i];
}

constexpr uint64_t square_bit(int sq) { return uint64_t{1} << square_to_sq64[sq]; }

// The first non-empty cell (a piece or the border) beyond `sq` along `step`,
// which must be one of the eight unit line steps.
inline int ray_blocker(const board_state_t& board, int sq, int step) {
  using namespace rays_detail;
  const int d = direction_of_step[step + 17];
  const int i = square_to_sq64[sq];
  const uint64_t hit = ray_tables.mask[d][i] & board.occupied;
  // Along a positive step the 0..63 index grows, so the nearest piece is the
  // lowest bit; the extra bit keeps the count defined for an empty ray, whose
  // answer is then the border cell instead.
  const int lowest = __builtin_ctzll(hit | (uint64_t{1} << 63));
  const int highest = 63 - __builtin_clzll(hit | 1);
  // Selected by a mask: a step known only at run time costs no branch.
  const int upward = -static_cast<int>(step > 0);
  const int nearest = (lowest & upward) | (highest & ~upward);
  const int piece_cell = sq64_to_square[nearest];
  const int border_cell = ray_tables.end[d][i];
  return hit != 0 ? piece_cell : border_cell;
}

// The squares a slider on `sq` reaches along `step`: the empty ones and the
// first piece, if any (0..63 bits).
inline uint64_t ray_reach(const board_state_t& board, int sq, int step) {
  using namespace rays_detail;
  const int d = direction_of_step[step + 17];
  const uint64_t ray = ray_tables.mask[d][square_to_sq64[sq]];
  const uint64_t hit = ray & board.occupied;
  if (step > 0) return ray & (hit ^ (hit - 1));  // up to the lowest piece; all when none
  const uint64_t top = uint64_t{1} << (63 - __builtin_clzll(hit | 1));
  return ray & ~(top - 1);  // from the highest piece up; all when none
}

// Nothing stands strictly between the playing squares `from` and `to`. Off
// the lines (and for neighbours) nothing can, so the answer is true there.
inline bool line_is_clear(const board_state_t& board, int from, int to) {
  using namespace rays_detail;
  const int d = direction_of_delta[to - from + 119];
  const uint64_t between = (ray_tables.mask[d][square_to_sq64[from]] ^ ray_tables.mask[d][square_to_sq64[to]]) &
                           ~square_bit(to);
  return (between & board.occupied) == 0;
}
