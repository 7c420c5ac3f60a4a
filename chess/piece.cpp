#include "chess/piece.h"

#include <cstring>

namespace {
constexpr char kLetters[] = "PpNnBbRrQqKk";
}

char piece_letter(int code) {
  if (code < 0 || code > 255) return '?';
  int index = piece_index12[code];
  return index >= 0 ? kLetters[index] : '?';
}

int piece_from_letter(char ch) {
  if (ch == '\0') return PIECE_EMPTY;
  const char* p = std::strchr(kLetters, ch);
  return p != nullptr ? piece_codes12[p - kLetters] : PIECE_EMPTY;
}
