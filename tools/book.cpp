// quorrel-book [--max-ply N] [--min-games N] GAMES.pgn BOOK.bin
// Builds an opening book in the Polyglot format from the games of a PGN file.
// Every move played within the first N plies (default 40) becomes a record of
// its position; its weight is 2 per game the mover won and 1 per draw (or
// unknown result), so moves that only lost are left out. Moves seen in fewer
// than --min-games games (default 1) are left out as well. Records are
// written sorted by key, big-endian, 16 bytes each.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "chess/board.h"
#include "chess/book.h"
#include "chess/make.h"
#include "chess/piece.h"
#include "chess/san.h"

namespace {

struct MoveStats {
  int64_t games = 0;
  int64_t score = 0;  // 2 per win of the mover, 1 per draw
};

using BookMap = std::map<std::pair<uint64_t, uint16_t>, MoveStats>;

struct PlayedMove {
  uint64_t key;
  uint16_t book_move;
  int mover;
};

int usage() {
  std::fprintf(stderr, "usage: quorrel-book [--max-ply N] [--min-games N] GAMES.pgn BOOK.bin\n");
  return 2;
}

// Points for the mover: 2 win, 1 draw or unknown, 0 loss.
int result_points(const std::string& result, int mover) {
  if (result == "1-0") return mover == WHITE ? 2 : 0;
  if (result == "0-1") return mover == BLACK ? 2 : 0;
  return 1;
}

bool is_result(const std::string& token) {
  return token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*";
}

// Reads the games one token at a time; a game ends at its result token or at
// the first tag of the next game.
class PgnReader {
 public:
  PgnReader(std::string text, int max_ply, BookMap& book) : text_(std::move(text)), max_ply_(max_ply), book_(book) {}

  void run() {
    start_game();
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (std::isspace(static_cast<unsigned char>(c))) ++pos_;
      else if (c == '[') read_tag();
      else if (c == '{') skip_past('}');
      else if (c == ';' || (c == '%' && (pos_ == 0 || text_[pos_ - 1] == '\n'))) skip_past('\n');
      else if (c == '(') skip_variation();
      else read_token();
    }
    if (!played_.empty()) end_game(tag_result_);
  }

  int64_t games() const { return games_; }
  int64_t skipped() const { return skipped_; }

 private:
  void start_game() {
    board_from_fen(board_, fen_.empty() ? START_FEN : fen_.c_str());
    played_.clear();
    ply_ = 0;
    broken_ = false;
  }

  void end_game(const std::string result) {
    if (!played_.empty()) {
      for (const PlayedMove& m : played_) {
        MoveStats& stats = book_[{m.key, m.book_move}];
        stats.games += 1;
        stats.score += result_points(result, m.mover);
      }
      ++games_;
    }
    fen_.clear();
    tag_result_.assign(1, '*');
    in_moves_ = false;
    start_game();
  }

  void read_tag() {
    if (in_moves_) end_game(tag_result_);
    const size_t close = text_.find(']', pos_);
    const std::string tag = text_.substr(pos_ + 1, (close == std::string::npos ? text_.size() : close) - pos_ - 1);
    pos_ = close == std::string::npos ? text_.size() : close + 1;
    const size_t open_quote = tag.find('"');
    const size_t close_quote = tag.rfind('"');
    if (open_quote == std::string::npos || close_quote <= open_quote) return;
    std::string name = tag.substr(0, open_quote);
    name.erase(name.find_last_not_of(" \t") + 1);
    const std::string value = tag.substr(open_quote + 1, close_quote - open_quote - 1);
    if (name == "FEN") {
      fen_ = value;
      start_game();
    } else if (name == "Result") {
      tag_result_ = value;
    }
  }

  void skip_past(char end) {
    const size_t at = text_.find(end, pos_);
    pos_ = at == std::string::npos ? text_.size() : at + 1;
  }

  void skip_variation() {
    int depth = 0;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '{') skip_past('}');
      else if (c == '(') ++depth;
      else if (c == ')' && --depth == 0) return;
    }
  }

  void read_token() {
    const size_t begin = pos_;
    while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
           std::strchr("{}()[];", text_[pos_]) == nullptr)
      ++pos_;
    if (pos_ == begin) {  // a stray closing bracket
      ++pos_;
      return;
    }
    std::string token = text_.substr(begin, pos_ - begin);
    if (is_result(token)) {
      end_game(token == "*" ? tag_result_ : token);
      return;
    }
    if (token[0] == '$') return;
    // Move numbers, also written together with the move ("12.e4", "12...e5").
    size_t digits = 0;
    while (digits < token.size() && std::isdigit(static_cast<unsigned char>(token[digits]))) ++digits;
    size_t dots = digits;
    while (dots < token.size() && token[dots] == '.') ++dots;
    if (digits > 0 && dots > digits) token.erase(0, dots);
    if (token.empty()) return;
    in_moves_ = true;
    if (broken_) return;

    const int move = move_from_san(token, board_);
    if (move == MOVE_NONE) {
      std::fprintf(stderr, "quorrel-book: game %lld: cannot play \"%s\"; rest of the game ignored\n",
                   static_cast<long long>(games_ + skipped_ + 1), token.c_str());
      broken_ = true;
      ++skipped_;
      return;
    }
    if (ply_ < max_ply_) played_.push_back({board_.hash_key, book_move_from_engine(move), board_.side_to_move});
    board_play_move(board_, move);
    ++ply_;
  }

  std::string text_;
  size_t pos_ = 0;
  int max_ply_;
  BookMap& book_;
  board_state_t board_{};
  std::string fen_;
  std::string tag_result_ = "*";
  std::vector<PlayedMove> played_;
  int ply_ = 0;
  bool in_moves_ = false;
  bool broken_ = false;
  int64_t games_ = 0;
  int64_t skipped_ = 0;
};

struct Record {
  uint64_t key;
  uint16_t move;
  int64_t weight;
};

// Weights of one position scaled down together when the largest exceeds the
// 16-bit field, so that their proportions survive; none drops to 0.
void scale_weights(std::vector<Record>& records, size_t begin, size_t end) {
  int64_t largest = 0;
  for (size_t i = begin; i < end; ++i) largest = std::max(largest, records[i].weight);
  if (largest <= 65535) return;
  for (size_t i = begin; i < end; ++i)
    records[i].weight = std::max<int64_t>(1, records[i].weight * 65535 / largest);
}

void put_big_endian(unsigned char* out, uint64_t value, int size) {
  for (int i = size - 1; i >= 0; --i) {
    out[i] = static_cast<unsigned char>(value & 255);
    value >>= 8;
  }
}

}  // namespace

int main(int argc, char** argv) {
  int max_ply = 40;
  int64_t min_games = 1;
  const char* input = nullptr;
  const char* output = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--max-ply") == 0 && i + 1 < argc) max_ply = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--min-games") == 0 && i + 1 < argc) min_games = std::atoll(argv[++i]);
    else if (argv[i][0] == '-' && argv[i][1] != '\0') return usage();
    else if (input == nullptr) input = argv[i];
    else if (output == nullptr) output = argv[i];
    else return usage();
  }
  if (input == nullptr || output == nullptr || max_ply < 0) return usage();

  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "quorrel-book: cannot read %s\n", input);
    return 1;
  }
  std::ostringstream text;
  text << in.rdbuf();

  BookMap book;
  PgnReader reader(text.str(), max_ply, book);
  reader.run();

  std::vector<Record> records;
  for (const auto& [key_move, stats] : book)
    if (stats.games >= min_games && stats.score > 0) records.push_back({key_move.first, key_move.second, stats.score});
  // Sorted by key; within a position the most frequent move first.
  std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
    if (a.key != b.key) return a.key < b.key;
    if (a.weight != b.weight) return a.weight > b.weight;
    return a.move < b.move;
  });
  size_t positions = 0;
  for (size_t begin = 0; begin < records.size();) {
    size_t end = begin;
    while (end < records.size() && records[end].key == records[begin].key) ++end;
    scale_weights(records, begin, end);
    ++positions;
    begin = end;
  }

  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  for (const Record& r : records) {
    unsigned char bytes[BOOK_ENTRY_SIZE] = {};
    put_big_endian(bytes, r.key, 8);
    put_big_endian(bytes + 8, r.move, 2);
    put_big_endian(bytes + 10, static_cast<uint64_t>(r.weight), 2);
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "quorrel-book: cannot write %s\n", output);
    return 1;
  }
  std::printf("quorrel-book: %lld games (%lld with an unplayable move), %zu positions, %zu records written to %s\n",
              static_cast<long long>(reader.games()), static_cast<long long>(reader.skipped()), positions,
              records.size(), output);
  return 0;
}
