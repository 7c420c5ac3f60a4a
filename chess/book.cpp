#include "chess/book.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/fatal.h"
#include "base/random.h"
#include "chess/movegen.h"

namespace {
FILE* book_file = nullptr;
int64_t entry_count = 0;
}  // namespace

void book_open(const char* file_name) {
  book_close();  // never leave an earlier file open behind
  // A directory opens as a file on some systems but cannot be read.
  std::error_code error;
  if (std::filesystem::is_directory(file_name, error)) return;
  book_file = std::fopen(file_name, "rb");
  if (book_file == nullptr) return;
  if (std::fseek(book_file, 0, SEEK_END) == -1) my_fatal("book_open(): fseek(): %s\n", std::strerror(errno));
  const long size = std::ftell(book_file);
  if (size == -1) my_fatal("book_open(): ftell(): %s\n", std::strerror(errno));
  entry_count = size < 0 ? 0 : size / BOOK_ENTRY_SIZE;
}

void book_close() {
  if (book_file == nullptr) return;
  FILE* file = book_file;
  book_file = nullptr;
  if (std::fclose(file) == EOF) my_fatal("book_close(): fclose(): %s\n", std::strerror(errno));
}

bool book_is_open() { return book_file != nullptr; }

int64_t book_entry_count() { return entry_count; }

uint64_t read_integer(FILE* file, int size) {
  uint64_t value = 0;
  for (int i = 0; i < size; ++i) {
    const int byte = std::fgetc(file);
    if (byte == EOF) {
      if (std::feof(file)) my_fatal("read_integer(): fgetc(): EOF reached\n");
      else my_fatal("read_integer(): fgetc(): %s\n", std::strerror(errno));
      return 0;
    }
    value = (value << 8) | static_cast<uint64_t>(byte);
  }
  return value;
}

void read_entry(book_entry_t* entry, int64_t n) {
  if (std::fseek(book_file, static_cast<long>(n * BOOK_ENTRY_SIZE), SEEK_SET) == -1) {
    my_fatal("read_entry(): fseek(): %s\n", std::strerror(errno));
    *entry = book_entry_t{};
    return;
  }
  entry->key = read_integer(book_file, 8);
  entry->move = static_cast<uint16_t>(read_integer(book_file, 2));
  entry->weight = static_cast<uint16_t>(read_integer(book_file, 2));
  entry->learn_high = static_cast<uint16_t>(read_integer(book_file, 2));
  entry->learn_low = static_cast<uint16_t>(read_integer(book_file, 2));
}

int64_t book_find_first(uint64_t key) {
  if (entry_count == 0) return 0;
  int64_t lo = 0, hi = entry_count - 1;
  book_entry_t entry;
  while (lo < hi) {
    const int64_t mid = (lo + hi) / 2;
    read_entry(&entry, mid);
    if (key <= entry.key) hi = mid;
    else lo = mid + 1;
  }
  read_entry(&entry, lo);
  return entry.key == key ? lo : entry_count;
}

int random_below(int64_t n) {
  // 64-bit product: the weights of one position may add up far beyond 65535.
  return static_cast<int>(static_cast<int64_t>(random_next()) * n / 32768);
}

uint16_t book_move_from_engine(int move) {
  int from = (move >> 6) & 63;
  int to = move & 63;
  if (move_is_castle(move)) to = (to & ~7) | ((to & 7) == 6 ? 7 : 0);
  const int promotion = move_is_promotion(move) ? move_promotion_bits(move) + 1 : 0;
  return static_cast<uint16_t>((promotion << 12) | (from << 6) | to);
}

int book_pick_move(const board_state_t& board) {
  if (book_file == nullptr || entry_count == 0) return MOVE_NONE;
  const int64_t first = book_find_first(board.hash_key);
  if (first == entry_count) return MOVE_NONE;

  int best = MOVE_NONE;
  int64_t sum = 0;
  book_entry_t entry;
  // The last record may carry the key: stop at the end of the file.
  for (int64_t pos = first; pos < entry_count; ++pos) {
    read_entry(&entry, pos);
    if (entry.key != board.hash_key) break;
    sum += entry.weight;
    if (random_below(sum) < entry.weight) best = entry.move;
  }
  if (best == MOVE_NONE) return MOVE_NONE;

  move_list_t list;
  list.count = 0;
  movegen_legal(list, board);
  // Compare in book notation, so that castling (stored as the king taking its
  // own rook) and promotions (with their piece bits) are found as well.
  for (int i = 0; i < list.count; ++i)
    if (book_move_from_engine(list.moves[i]) == best) return list.moves[i];
  return MOVE_NONE;
}
