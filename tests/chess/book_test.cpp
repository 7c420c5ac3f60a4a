#include "chess/book.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/option.h"
#include "base/random.h"
#include "chess/make.h"
#include "chess_test_util.h"
#include "uci/engine_init.h"

namespace {

constexpr uint64_t kStartKey = 0x463B96181691FC9CULL;      // published key of the start position
constexpr uint64_t kAfterE4Key = 0x823C9B50FD114196ULL;    // after 1.e4
constexpr uint64_t kAfterE4D5Key = 0x0756B94461C50FB0ULL;  // after 1.e4 d5

struct Record {
  uint64_t key;
  uint16_t move;
  uint16_t weight;
};

// Book notation of a move: squares as text, promotion piece 1 knight .. 4 queen.
uint16_t book_move(const char* from, const char* to, int promotion = 0) {
  const int f = (from[1] - '1') * 8 + (from[0] - 'a');
  const int t = (to[1] - '1') * 8 + (to[0] - 'a');
  return static_cast<uint16_t>((promotion << 12) | (f << 6) | t);
}

std::string temp_path(const std::string& name) { return ::testing::TempDir() + "quorrel_book_" + name; }

std::string write_book(const std::string& name, const std::vector<Record>& records, const std::string& tail = "") {
  const std::string path = temp_path(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  for (const Record& r : records) {
    unsigned char bytes[16] = {};
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(r.key >> (56 - 8 * i));
    bytes[8] = static_cast<unsigned char>(r.move >> 8);
    bytes[9] = static_cast<unsigned char>(r.move);
    bytes[10] = static_cast<unsigned char>(r.weight >> 8);
    bytes[11] = static_cast<unsigned char>(r.weight);
    bytes[12] = 0xAB;  // learn field: read and ignored
    out.write(reinterpret_cast<const char*>(bytes), 16);
  }
  out << tail;
  return path;
}

// Counts the moves picked in a position over many draws.
std::map<int, int> pick_counts(const board_state_t& board, int draws) {
  std::map<int, int> counts;
  for (int i = 0; i < draws; ++i) ++counts[book_pick_move(board)];
  return counts;
}

std::unique_ptr<board_state_t> after_moves(const std::vector<const char*>& moves) {
  auto board = board_from(START_FEN);
  for (const char* text : moves) board_play_move(*board, move_from_text(text, *board));
  return board;
}

class BookTest : public ::testing::Test {
 protected:
  void SetUp() override { random_seed(4711); }
  void TearDown() override { book_close(); }
};

TEST_F(BookTest, ReadsBigEndianRecordsAndFindsTheFirstOfAKey) {
  const std::string path = write_book("sorted.bin", {{kAfterE4D5Key, book_move("e4", "d5"), 1},
                                                     {kStartKey, book_move("e2", "e4"), 0x1234},
                                                     {kStartKey, book_move("d2", "d4"), 7},
                                                     {kAfterE4Key, book_move("d7", "d5"), 2}});
  book_open(path.c_str());
  ASSERT_TRUE(book_is_open());
  EXPECT_EQ(book_entry_count(), 4);
  EXPECT_EQ(book_find_first(kStartKey), 1);
  EXPECT_EQ(book_find_first(kAfterE4Key), 3);
  EXPECT_EQ(book_find_first(kAfterE4D5Key), 0);
  EXPECT_EQ(book_find_first(1), 4);           // below every key
  EXPECT_EQ(book_find_first(~uint64_t{0}), 4);  // above every key
  book_entry_t entry;
  read_entry(&entry, 1);
  EXPECT_EQ(entry.key, kStartKey);
  EXPECT_EQ(entry.move, book_move("e2", "e4"));
  EXPECT_EQ(entry.weight, 0x1234);
  EXPECT_EQ(entry.learn_high, 0xAB00);
  EXPECT_EQ(entry.learn_low, 0);
}

TEST_F(BookTest, ChoiceFollowsTheWeightsAndNeverTakesWeightZero) {
  const std::string path = write_book("weights.bin", {{kStartKey, book_move("g1", "f3"), 0},
                                                      {kStartKey, book_move("e2", "e4"), 3},
                                                      {kStartKey, book_move("d2", "d4"), 1},
                                                      {kStartKey, book_move("c2", "c4"), 0},
                                                      {kAfterE4Key, book_move("c7", "c5"), 0},
                                                      {kAfterE4Key, book_move("e7", "e5"), 0}});
  book_open(path.c_str());
  auto start = board_from(START_FEN);
  auto counts = pick_counts(*start, 20000);
  const int e4 = move_from_text("e2e4", *start), d4 = move_from_text("d2d4", *start);
  EXPECT_EQ(counts.size(), 2u);
  EXPECT_NEAR(counts[e4], 15000, 350);
  EXPECT_NEAR(counts[d4], 5000, 350);

  // Every record of the position has weight 0: no move.
  auto after_e4 = after_moves({"e2e4"});
  ASSERT_EQ(after_e4->hash_key, kAfterE4Key);
  EXPECT_EQ(book_pick_move(*after_e4), MOVE_NONE);

  // A position the book does not hold.
  EXPECT_EQ(book_pick_move(*after_moves({"d2d4"})), MOVE_NONE);
}

TEST_F(BookTest, WeightsAddingUpBeyond16BitsKeepTheProportions) {
  std::vector<Record> records;
  for (const char* to : {"a3", "b3", "c3", "d3"})
    records.push_back({kStartKey, book_move((std::string(1, to[0]) + "2").c_str(), to), 65535});
  book_open(write_book("heavy.bin", records).c_str());
  auto counts = pick_counts(*board_from(START_FEN), 20000);
  EXPECT_EQ(counts.size(), 4u);
  for (const auto& [move, count] : counts) EXPECT_NEAR(count, 5000, 350) << move_text(move);

  int highest = 0;
  for (int i = 0; i < 100000; ++i) {
    const int r = random_below(int64_t{1} << 30);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, 1 << 30);
    highest = std::max(highest, r);
  }
  EXPECT_GT(highest, (1 << 30) / 100 * 99);
}

TEST_F(BookTest, KeyInTheLastRecordDoesNotReadPastTheEnd) {
  // Seven stray bytes after the last whole record are not a record.
  const std::string path = write_book("last.bin", {{kAfterE4D5Key, book_move("e4", "e5"), 1},
                                                   {kStartKey, book_move("e2", "e4"), 2},
                                                   {kStartKey, book_move("d2", "d4"), 2}},
                                      "\x46\x3B\x96\x18\x16\x91\xFC");
  book_open(path.c_str());
  EXPECT_EQ(book_entry_count(), 3);
  auto start = board_from(START_FEN);
  auto counts = pick_counts(*start, 200);
  EXPECT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts.count(MOVE_NONE), 0u);
}

TEST_F(BookTest, CastlingAsKingTakesRookAndPromotionsArePlayed) {
  auto castle = board_from("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  auto promote = board_from("8/4P3/8/8/8/8/k7/4K3 w - - 0 1");
  std::vector<Record> records = {{castle->hash_key, book_move("e1", "h1"), 5},
                                 {promote->hash_key, book_move("e7", "e8", 4), 5}};
  std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.key < b.key; });
  book_open(write_book("special.bin", records).c_str());
  EXPECT_EQ(book_pick_move(*castle), move_from_text("e1g1", *castle));
  EXPECT_EQ(book_pick_move(*promote), move_from_text("e7e8q", *promote));

  // The book notation the builder writes for these moves.
  EXPECT_EQ(book_move_from_engine(move_from_text("e1g1", *castle)), book_move("e1", "h1"));
  EXPECT_EQ(book_move_from_engine(move_from_text("e1c1", *castle)), book_move("e1", "a1"));
  EXPECT_EQ(book_move_from_engine(move_from_text("e7e8q", *promote)), book_move("e7", "e8", 4));
  EXPECT_EQ(book_move_from_engine(move_from_text("e7e8n", *promote)), book_move("e7", "e8", 1));
}

TEST_F(BookTest, OptionsOpenCloseAndMissingFiles) {
  const std::string path = write_book("options.bin", {{kStartKey, book_move("e2", "e4"), 1}});
  auto start = board_from(START_FEN);
  option_reset_all();
  option_set_value("BookFile", path.c_str());
  option_set_value("OwnBook", "false");
  apply_option_parameters();
  EXPECT_FALSE(book_is_open());
  EXPECT_EQ(book_pick_move(*start), MOVE_NONE);

  option_set_value("OwnBook", "true");
  apply_option_parameters();
  EXPECT_TRUE(book_is_open());
  EXPECT_EQ(book_pick_move(*start), move_from_text("e2e4", *start));

  for (const std::string& unusable : {temp_path("missing.bin"), ::testing::TempDir()}) {
    option_set_value("BookFile", unusable.c_str());
    apply_option_parameters();
    EXPECT_FALSE(book_is_open()) << unusable;
    EXPECT_EQ(book_pick_move(*start), MOVE_NONE);
  }
  option_reset_all();
}

TEST(BookDeathTest, TruncatedReadEndsTheProcess) {
  const std::string path = write_book("short.bin", {}, "\x01\x02\x03");
  EXPECT_EXIT(
      {
        FILE* file = std::fopen(path.c_str(), "rb");
        read_integer(file, 8);
      },
      ::testing::ExitedWithCode(1), "read_integer\\(\\): fgetc\\(\\): EOF reached");
}

// quorrel-book on a small PGN: result weights, castling and promotion notation,
// comments, variations, move numbers glued to moves, a FEN start.
TEST(BookBuilder, BuildsASortedBookFromPgn) {
  const std::string pgn = temp_path("games.pgn");
  std::ofstream(pgn) << R"([Event "one"]
[Result "1-0"]

1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 1-0

[Event "two"]
[Result "1/2-1/2"]
1.e4 {the usual} c5 (1...e5 2.Nf3) 2.Nf3 $1 d6 1/2-1/2

[Result "1/2-1/2"]
1. d4 d5 2. Nf3 Nf6 3. Nbd2 e6 1/2-1/2

[Event "four"]
1. e4 e5 2. Nf3 Nc6 3. Bc4 Bc5 4. O-O Nf6 5. d3 O-O *

[FEN "7k/P7/8/8/8/8/8/K7 w - - 0 1"]
[SetUp "1"]
[Result "1-0"]
1. a8=Q+ Kh7 1-0
)";
  const std::string book = temp_path("games.bin");
  const std::string command = std::string(QUORREL_BINARY_DIR "/quorrel-book ") + pgn + " " + book + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  book_open(book.c_str());
  ASSERT_TRUE(book_is_open());
  book_entry_t entry, previous{};
  for (int64_t n = 0; n < book_entry_count(); ++n) {
    read_entry(&entry, n);
    EXPECT_GE(entry.key, previous.key) << "record " << n;
    EXPECT_GT(entry.weight, 0) << "record " << n;
    previous = entry;
  }

  // Start: e4 won once, drew once, unknown once (2 + 1 + 1); d4 drew once.
  random_seed(4711);
  auto start = board_from(START_FEN);
  auto counts = pick_counts(*start, 20000);
  EXPECT_EQ(counts.size(), 2u);
  EXPECT_NEAR(counts[move_from_text("e2e4", *start)], 16000, 400);
  EXPECT_NEAR(counts[move_from_text("d2d4", *start)], 4000, 400);

  // After 1.e4 e5 2.Nf3 Nc6: Black lost with ...Nc6 in game one, so only the
  // unknown-result game gives it weight; Bb5 (win) and Bc4 (unknown) follow.
  auto italian = after_moves({"e2e4", "e7e5", "g1f3", "b8c6"});
  read_entry(&entry, book_find_first(italian->hash_key));
  EXPECT_EQ(entry.move, book_move("f1", "b5"));
  EXPECT_EQ(entry.weight, 2);

  // Castling is written as the king taking its rook.
  auto before_castle = after_moves({"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5"});
  const int64_t castle_at = book_find_first(before_castle->hash_key);
  ASSERT_LT(castle_at, book_entry_count());
  read_entry(&entry, castle_at);
  EXPECT_EQ(entry.move, book_move("e1", "h1"));

  auto promotion = board_from("7k/P7/8/8/8/8/8/K7 w - - 0 1");
  const int64_t promotion_at = book_find_first(promotion->hash_key);
  ASSERT_LT(promotion_at, book_entry_count());
  read_entry(&entry, promotion_at);
  EXPECT_EQ(entry.move, book_move("a7", "a8", 4));

  // The knight from b1 was told apart from the one on f3.
  auto nbd2 = after_moves({"d2d4", "d7d5", "g1f3", "g8f6"});
  read_entry(&entry, book_find_first(nbd2->hash_key));
  EXPECT_EQ(entry.move, book_move("b1", "d2"));
  book_close();
}

}  // namespace
