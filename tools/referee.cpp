// quorrel-referee: the game state for a match script, judged with the
// engine's own chess core. Each input line is a move list from the start
// position (long algebraic, blank separated, possibly empty), or
// "fen <six FEN fields> [moves...]" for moves from another position; each
// answer is one line: "ongoing", "checkmate", "stalemate", "draw" (fifty moves, a
// position seen for the third time, or two bare kings) or "illegal <move>".
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "chess/attack.h"
#include "chess/board.h"
#include "chess/legality.h"
#include "chess/make.h"
#include "chess/move.h"
#include "chess/movegen.h"

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    board_state_t board;
    std::string moves_text = line;
    if (line.rfind("fen ", 0) == 0) {
      std::istringstream fields(line.substr(4));
      std::string fen, field;
      for (int i = 0; i < 6 && fields >> field; ++i) fen += (i == 0 ? "" : " ") + field;
      board_from_fen(board, fen.c_str());
      std::getline(fields, moves_text);
    } else {
      board_from_fen(board, START_FEN);
    }
    std::istringstream moves(moves_text);
    std::string verdict;
    std::map<uint64_t, int> seen;
    int repetitions = ++seen[board.hash_key];
    for (std::string text; moves >> text;) {
      const move_t move = move_from_text(text.c_str(), board);
      if (move == MOVE_NONE || !move_is_legal(board, move)) {
        verdict = "illegal " + text;
        break;
      }
      board_play_move(board, move);
      repetitions = ++seen[board.hash_key];
    }
    if (verdict.empty()) {
      if (movegen_legal_count(board) == 0) {
        verdict = side_is_in_check(board) ? "checkmate" : "stalemate";
      } else if (repetitions >= 3 || board.fifty_count >= 100 || board.total_pieces == 2) {
        verdict = "draw";
      } else {
        verdict = "ongoing";
      }
    }
    std::printf("%s\n", verdict.c_str());
    std::fflush(stdout);
  }
  return 0;
}
