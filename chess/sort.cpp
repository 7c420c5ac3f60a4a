#include "chess/sort.h"

#include <cstring>

#include "chess/history.h"
#include "chess/killer.h"
#include "chess/legality.h"
#include "chess/see.h"

namespace {

int history_score(int move, const board_state_t& board) {
  return gpHistory->History[history_index(move, board)] + SCORE_QUIET;
}

void score_mvv_lva(move_list_t& list, const board_state_t& board) {
  for (int i = 0; i < list.count; ++i) list.scores[i] = static_cast<int16_t>(mvv_lva(list.moves[i], board));
}

void score_quiet(move_list_t& list, const board_state_t& board) {
  for (int i = 0; i < list.count; ++i) list.scores[i] = static_cast<int16_t>(history_score(list.moves[i], board));
}

void score_qs_evasions(move_list_t& list, const board_state_t& board) {
  for (int i = 0; i < list.count; ++i) {
    int move = list.moves[i];
    list.scores[i] = static_cast<int16_t>(move_is_noisy(move, board) ? mvv_lva(move, board) : SCORE_QUIET);
  }
}

void start_list(move_picker_t& sort, int filter) {
  sort.moves.count = 0;
  sort.filter = filter;
  sort.next_index = 0;
}

void add(move_list_t& list, int move) { list.moves[list.count++] = static_cast<move_t>(move); }

// Fills the list of the next stage; false when the sequence has ended.
bool next_stage(move_picker_t& sort, const board_state_t& board) {
  int stage = sort.stage_index < static_cast<int>(sort_stage_table.size()) ? sort_stage_table[sort.stage_index]
                                                                           : STAGE_END;
  if (stage == STAGE_END) return false;
  ++sort.stage_index;
  move_list_t& list = sort.moves;
  switch (stage) {
    case STAGE_HASH_MOVE:
      start_list(sort, TEST_HASH_MOVE);
      if (sort.hash_move != MOVE_NONE) add(list, sort.hash_move);
      break;
    case STAGE_GOOD_CAPTURES:
      start_list(sort, TEST_GOOD_CAPTURE);
      movegen_captures(list, board);
      movegen_en_passant(list, board);
      score_mvv_lva(list, board);
      move_list_sort(list);
      sort.bad_count = 0;
      break;
    case STAGE_BAD_CAPTURES:
      start_list(sort, TEST_BAD_CAPTURE);
      list.count = sort.bad_count;
      std::memcpy(list.moves, sort.bad_moves, sizeof(move_t) * sort.bad_count);
      std::memcpy(list.scores, sort.bad_scores, sizeof(int16_t) * sort.bad_count);
      break;
    case STAGE_KILLERS:
      start_list(sort, TEST_KILLER);
      if (sort.killer1 != MOVE_NONE) add(list, sort.killer1);
      // Equal slots can arrive with a work item's killer list.
      if (sort.killer2 != MOVE_NONE && sort.killer2 != sort.killer1) add(list, sort.killer2);
      break;
    case STAGE_QUIET:
      start_list(sort, TEST_QUIET);
      movegen_quiet(list, board);
      score_quiet(list, board);
      move_list_sort(list);
      break;
    case STAGE_QS_EVASIONS:
      start_list(sort, TEST_LEGAL);
      movegen_evasions(list, board, sort.check, false, false);
      score_qs_evasions(list, board);
      move_list_sort(list);
      break;
    case STAGE_QS_CAPTURES:
      start_list(sort, TEST_QS_CAPTURE);
      movegen_captures(list, board);
      movegen_en_passant(list, board);
      score_mvv_lva(list, board);
      move_list_sort(list);
      break;
    case STAGE_QS_CHECKS:
      start_list(sort, TEST_QS_CHECK);
      movegen_quiet_checks(list, board);
      break;
    default:  // STAGE_LEGAL_EVASION is filled by picker_init; anything else ends
      return false;
  }
  return true;
}

void init_common(move_picker_t& sort, const check_info_t& check, int depth, int height, int hash_move,
                 move_t killer1, move_t killer2) {
  sort.node_depth = depth;
  sort.node_height = height;
  sort.hash_move = static_cast<move_t>(hash_move);
  sort.killer1 = killer1;
  sort.killer2 = killer2;
  sort.history_value = HistoryProbMax;
  sort.bad_count = 0;
  sort.check = check;
  start_list(sort, TEST_NONE);
}

}  // namespace

int mvv_lva(int move, const board_state_t& board) {
  if (move_is_en_passant(move)) return 5;
  int captured = board.squares[move_to(move)];
  if (move_is_promotion(move)) {
    if (captured == PIECE_EMPTY) return move_promotion_bits(move) + 1 - 5;
    return 6 * piece_order[captured] + 5;
  }
  return 6 * piece_order[captured] - piece_order[board.squares[move_from(move)]] + 5;
}

void move_list_score_full(move_list_t& list, const board_state_t& board, int hash_move, int killer1,
                          int killer2) {
  for (int i = 0; i < list.count; ++i) {
    int move = list.moves[i];
    int score;
    if (move == hash_move) score = SCORE_HASH_MOVE;
    else if (move_is_noisy(move, board))
      score = mvv_lva(move, board) + (capture_is_safe(move, board) ? SCORE_GOOD_CAPTURE : SCORE_BAD_CAPTURE);
    else if (move == killer1) score = SCORE_KILLER1;
    else if (move == killer2) score = SCORE_KILLER2;
    else score = history_score(move, board);
    list.scores[i] = static_cast<int16_t>(score);
  }
}

void move_list_sort(move_list_t& list) {
  for (int i = 1; i < list.count; ++i) {
    move_t move = list.moves[i];
    int16_t score = list.scores[i];
    int j = i;
    for (; j > 0 && list.scores[j - 1] < score; --j) {
      list.moves[j] = list.moves[j - 1];
      list.scores[j] = list.scores[j - 1];
    }
    list.moves[j] = move;
    list.scores[j] = score;
  }
}

void picker_init(move_picker_t& sort, const board_state_t& board, const check_info_t& check, int depth,
                 int height, int hash_move) {
  init_common(sort, check, depth, height, hash_move, killer_get(height, 0), killer_get(height, 1));
  if (check.checker_count != 0) {
    movegen_evasions(sort.moves, board, check, true, false);
    move_list_score_full(sort.moves, board, hash_move, sort.killer1, sort.killer2);
    move_list_sort(sort.moves);
    sort.stage_index = STAGE_START_LEGAL_EVASIONS + 1;
  } else {
    sort.stage_index = STAGE_START_FULL;
  }
}

void picker_init_quiescence(move_picker_t& sort, const board_state_t& board, const check_info_t& check,
                            bool with_checks) {
  (void)board;
  init_common(sort, check, 0, 0, MOVE_NONE, MOVE_NONE, MOVE_NONE);  // quiescence uses no killers
  if (check.checker_count != 0) sort.stage_index = STAGE_START_QS_EVASIONS;
  else sort.stage_index = with_checks ? STAGE_START_QS_CHECKS : STAGE_START_QS;
}

int picker_next(move_picker_t& sort, const board_state_t& board) {
  for (;;) {
    while (sort.next_index < sort.moves.count) {
      int index = sort.next_index++;
      int move = sort.moves.moves[index];
      sort.history_value = HistoryProbMax;
      switch (sort.filter) {
        case TEST_NONE:
          return move;
        case TEST_LEGAL:
        case TEST_BAD_CAPTURE:
          if (move_is_legal_given_pseudo(move, board)) return move;
          break;
        case TEST_HASH_MOVE:
          if (move_is_pseudo_for_hash(move, board) && move_is_legal_given_pseudo(move, board)) return move;
          break;
        case TEST_GOOD_CAPTURE:
          if (move == sort.hash_move) break;
          if (capture_is_safe(move, board)) {
            if (move_is_legal_given_pseudo(move, board)) return move;
          } else {
            sort.bad_moves[sort.bad_count] = static_cast<move_t>(move);
            sort.bad_scores[sort.bad_count] = sort.moves.scores[index];
            ++sort.bad_count;
          }
          break;
        case TEST_KILLER:
          if (move == sort.hash_move) break;
          if (move_is_pseudo_for_killer(move, board) && move_is_legal_given_pseudo(move, board)) return move;
          break;
        case TEST_QUIET:
          if (move == sort.hash_move || move == sort.killer1 || move == sort.killer2) break;
          if (move_is_legal_given_pseudo(move, board)) {
            sort.history_value = history_prob(move, board);
            return move;
          }
          break;
        case TEST_QS_CAPTURE:
          if (capture_is_safe(move, board) && move_is_legal_given_pseudo(move, board)) return move;
          break;
        case TEST_QS_CHECK:
          if (see_at_least(move, board, 0) && move_is_legal_given_pseudo(move, board)) return move;
          break;
        default:
          break;
      }
    }
    if (!next_stage(sort, board)) return MOVE_NONE;
  }
}

int picker_peek_capture(const move_picker_t& sort) {
  if (sort.filter != TEST_QS_CAPTURE || sort.next_index >= sort.moves.count) return MOVE_NONE;
  return sort.moves.moves[sort.next_index];
}

int picker_peek(const move_picker_t& sort) {
  if (sort.next_index >= sort.moves.count) return MOVE_NONE;
  return sort.moves.moves[sort.next_index];
}

void picker_skip(move_picker_t& sort) { ++sort.next_index; }
