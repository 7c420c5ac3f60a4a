#pragma once
// Opening book in the Polyglot format: 16-byte big-endian records sorted by
// position key, several consecutive records per key (one per book move). The
// key is the board's hash_key, so published books work unchanged.
#include <cstdint>
#include <cstdio>

#include "chess/board.h"

struct book_entry_t {
  uint64_t key;
  uint16_t move;    // bits 0-5 destination, 6-11 origin (a1 = 0), 12-14 promotion piece
  uint16_t weight;  // relative frequency of the move in its position
  uint16_t learn_high;
  uint16_t learn_low;
};

enum : int { BOOK_ENTRY_SIZE = 16 };

// Opens the file read-only (closing any open book first); a file that cannot
// be opened, or a directory, leaves the book closed without a message.
void book_open(const char* file_name);
// Closes the file if open.
void book_close();
bool book_is_open();
// Records in the open file (file size / 16).
int64_t book_entry_count();

// A legal move of the board chosen at random in proportion to the book
// weights of its position, or MOVE_NONE when the book has nothing playable.
// Book moves are matched in book notation, so castling written as the king
// taking its rook and promotions with their piece bits are played too.
int book_pick_move(const board_state_t& board);

// An engine move in the book's notation: castling as the king taking its own
// rook, promotion piece 1 knight .. 4 queen in bits 12-14.
uint16_t book_move_from_engine(int move);

// Reads size bytes big-endian.
uint64_t read_integer(FILE* file, int size);
// Reads record n of the open book.
void read_entry(book_entry_t* entry, int64_t n);
// Index of the first record carrying key, or book_entry_count() when none.
int64_t book_find_first(uint64_t key);

// An integer in 0..n-1 drawn from the process-wide generator (n up to 2^31).
int random_below(int64_t n);
