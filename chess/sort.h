#pragma once
// Staged move picker: the search asks for one move at a time, so that a
// cut-off stops generation early. Stages: hash move, good captures, killers,
// quiet moves by history, bad captures; in check the legal evasions; and the
// quiescence sequences. The record is a plain value without pointers (it lives
// in a search-stack entry that may be copied): the board is passed to every
// call, the check information is copied in.
#include <array>
#include <cstdint>

#include "chess/attack.h"
#include "chess/board.h"
#include "chess/movegen.h"

// Stage codes.
enum : int {
  STAGE_LEGAL_EVASION = 1,
  STAGE_HASH_MOVE = 2,
  STAGE_GOOD_CAPTURES = 3,
  STAGE_BAD_CAPTURES = 4,
  STAGE_KILLERS = 5,
  STAGE_QUIET = 6,
  STAGE_QS_EVASIONS = 7,
  STAGE_QS_CAPTURES = 8,
  STAGE_QS_CHECKS = 9,
  STAGE_END = 10,
};

// Test applied to each move of the current list.
enum : int {
  TEST_NONE = 1,
  TEST_LEGAL = 2,
  TEST_HASH_MOVE = 3,
  TEST_GOOD_CAPTURE = 4,
  TEST_BAD_CAPTURE = 5,
  TEST_KILLER = 6,
  TEST_QUIET = 7,
  TEST_QS_CAPTURE = 8,
  TEST_QS_CHECK = 9,
};

// Start positions of the sequences in the stage table.
enum : int {
  STAGE_START_LEGAL_EVASIONS = 0,  // legal evasion, end
  STAGE_START_FULL = 2,            // hash, good captures, killers, quiet, bad captures, end
  STAGE_START_QS_EVASIONS = 8,     // quiescence evasions, end
  STAGE_START_QS_CHECKS = 10,      // quiescence captures, quiescence checks, end
  STAGE_START_QS = 13,             // quiescence captures, end
};

inline constexpr std::array<int, 256> sort_stage_table = [] {
  std::array<int, 256> t{};
  for (int& s : t) s = STAGE_END;
  const int sequence[] = {
      STAGE_LEGAL_EVASION, STAGE_END,
      STAGE_HASH_MOVE, STAGE_GOOD_CAPTURES, STAGE_KILLERS, STAGE_QUIET, STAGE_BAD_CAPTURES, STAGE_END,
      STAGE_QS_EVASIONS, STAGE_END,
      STAGE_QS_CAPTURES, STAGE_QS_CHECKS, STAGE_END,
      STAGE_QS_CAPTURES, STAGE_END,
  };
  for (int i = 0; i < static_cast<int>(sizeof(sequence) / sizeof(sequence[0])); ++i) t[i] = sequence[i];
  return t;
}();

// Score bands of the full ordering (evasions and the root list).
enum : int {
  SCORE_HASH_MOVE = 32766,
  SCORE_GOOD_CAPTURE = 4000,   // added to MVV/LVA of a safe noisy move
  SCORE_BAD_CAPTURE = -28000,  // added to MVV/LVA of an unsafe noisy move
  SCORE_KILLER1 = 4,
  SCORE_KILLER2 = 2,
  SCORE_QUIET = -24000,        // added to History
};

struct move_picker_t {
  int32_t node_depth;
  int32_t node_height;
  move_t hash_move;
  move_t killer1;
  move_t killer2;
  int32_t stage_index;    // next stage in sort_stage_table
  int32_t filter;         // TEST_* for the current list
  int32_t next_index;     // next move of the current list
  int32_t history_value;  // of the move last returned; 16384 unless a quiet history move
  int32_t bad_count;
  check_info_t check;
  move_list_t moves;
  move_t bad_moves[MOVE_LIST_SIZE];
  int16_t bad_scores[MOVE_LIST_SIZE];
};

// Full-search node. In check the list holds the legal evasions, best first.
void picker_init(move_picker_t& sort, const board_state_t& board, const check_info_t& check, int depth,
                 int height, int hash_move);
// Quiescence node: in check the pseudo-legal evasions (each returned when
// legal); otherwise the safe captures, followed by the quiet checks that do
// not lose material when with_checks is set.
void picker_init_quiescence(move_picker_t& sort, const board_state_t& board, const check_info_t& check,
                            bool with_checks);
// Next move, or MOVE_NONE when every stage is exhausted. The board must be the
// one given to the init call, unchanged.
int picker_next(move_picker_t& sort, const board_state_t& board);
// In the quiescence capture stage, the next candidate before its safety and
// legality tests, so that a caller can drop a move whose fate does not depend
// on them without paying for them; MOVE_NONE in any other stage or at the end
// of the list. picker_skip passes over that candidate.
int picker_peek_capture(const move_picker_t& sort);
// The candidate the next call starts from, before any test (it may still be
// passed over), or MOVE_NONE when the current list is used up; the next stage
// is not generated for it.
int picker_peek(const move_picker_t& sort);
void picker_skip(move_picker_t& sort);

// 6 x order(captured) - order(mover) + 5; en passant 5; a promotion without
// capture order(promotion piece) - 5; a capturing promotion as a pawn capture.
int mvv_lva(int move, const board_state_t& board);
// Scores for the full ordering: hash move, safe/unsafe noisy, killers, History.
void move_list_score_full(move_list_t& list, const board_state_t& board, int hash_move, int killer1,
                          int killer2);
// Stable sort by descending score.
void move_list_sort(move_list_t& list);
