#include "chess/square.h"

char* square_to_text(int sq, char* text) {
  text[0] = static_cast<char>('a' + (sq & 15) - 4);
  text[1] = static_cast<char>('1' + (sq >> 4) - 4);
  text[2] = '\0';
  return text;
}
