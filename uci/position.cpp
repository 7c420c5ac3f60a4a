#include "uci/position.h"

#include <cstring>

#include "base/log.h"
#include "base/ybwc_manager.h"
#include "chess/board.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/move.h"
#include "search/driver.h"

namespace {

// Plays the moves of "moves ..." on the board. A token that does not parse or
// is not legal here stops the list there: playing it could corrupt the board,
// and every later move would be read in the wrong position anyway.
void play_moves(board_state_t& board, const char* text) {
  while (*text == ' ') ++text;
  while (*text != '\0') {
    const char* end = text;
    while (*end != '\0' && *end != ' ') ++end;
    const move_t move = move_from_text(text, board);
    if (move == MOVE_NONE || !move_is_legal(board, move)) {
      QLOG(3, "WARNING parse_position(... illegal or unreadable move <%.*s>, remaining moves ignored\n",
           static_cast<int>(end - text), text);
      return;
    }
    board_play_move(board, move);
    text = end;
    while (*text == ' ') ++text;
  }
}

}  // namespace

void parse_position(char* line) {
  char* fen = std::strstr(line, "fen ");
  char* moves = std::strstr(line, "moves ");
  if (fen != nullptr) {
    fen += 4;
    if (moves != nullptr && moves > fen) moves[-1] = '\0';
  }
  search_set_input_fen(fen != nullptr ? fen : START_FEN);
  if (moves != nullptr) play_moves(search_input_board(), moves + 6);
}
