#include "chess/egbb.h"

#include <climits>
#include <cstring>
#include <string>

#include "chess/piece.h"
#include "chess/square.h"
#include "platform/library.h"

bool egbb_loaded = false;

namespace {

platform_library_t Library = nullptr;
probe_egbb_5men_t Probe = nullptr;

int egbb_piece_code(int code) {
  const int colour_offset = piece_colour(code) == BLACK ? 6 : 0;
  if (piece_is_pawn(code)) return EGBB_WHITE_PAWN + colour_offset;
  switch (code & (FLAG_KNIGHT | FLAG_SLIDER)) {
    case FLAG_QUEEN: return EGBB_WHITE_QUEEN + colour_offset;
    case FLAG_ROOK: return EGBB_WHITE_ROOK + colour_offset;
    case FLAG_BISHOP: return EGBB_WHITE_BISHOP + colour_offset;
    default: return EGBB_WHITE_KNIGHT + colour_offset;
  }
}

}  // namespace

void egbb_unload() {
  platform_library_close(Library);
  Library = nullptr;
  Probe = nullptr;
  egbb_loaded = false;
}

bool egbb_load(const char* path, int64_t cache_bytes) {
  egbb_unload();

  const std::string file_name = std::string(path) + EGBB_LIBRARY_NAME;
  if (file_name.size() > static_cast<size_t>(EGBB_FILE_NAME_MAX)) return false;

  Library = platform_library_open(file_name.c_str());
  if (Library == nullptr) return false;
  const auto load = reinterpret_cast<load_egbb_5men_t>(platform_library_symbol(Library, "load_egbb_5men"));
  Probe = reinterpret_cast<probe_egbb_5men_t>(platform_library_symbol(Library, "probe_egbb_5men"));
  if (load == nullptr || Probe == nullptr) {
    egbb_unload();
    return false;
  }

  // The entry point takes an int: a larger cache is limited rather than wrapped.
  const int64_t capped = cache_bytes < 0 ? 0 : (cache_bytes > INT_MAX ? INT_MAX : cache_bytes);
  load(path, static_cast<int>(capped), 1);
  egbb_loaded = true;
  return true;
}

bool egbb_probe(const board_state_t& board, int* value) {
  if (!egbb_loaded) return false;
  if (board.piece_count[WHITE] + board.pawn_count[WHITE] + board.piece_count[BLACK] + board.pawn_count[BLACK] - 2 >
      EGBB_PIECE_SLOTS)
    return false;

  int pieces[EGBB_PIECE_SLOTS] = {};
  int squares[EGBB_PIECE_SLOTS] = {};
  int slot = 0;
  auto add = [&](int sq) {
    pieces[slot] = egbb_piece_code(board.squares[sq]);
    squares[slot] = square_to_sq64[sq];
    ++slot;
  };
  for (int colour : {WHITE, BLACK}) {
    for (const int32_t* p = &board.piece_list[colour][1]; *p != 0; ++p) add(*p);
    for (const int32_t* p = &board.pawn_list[colour][0]; *p != 0; ++p) add(*p);
  }

  const int result = Probe(board.side_to_move, square_to_sq64[board_king_square(board, WHITE)],
                           square_to_sq64[board_king_square(board, BLACK)], pieces[0], squares[0], pieces[1],
                           squares[1], pieces[2], squares[2]);
  if (result == EGBB_NOT_AVAILABLE) return false;
  *value = result;
  return true;
}
