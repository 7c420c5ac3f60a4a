#include "chess/keys.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chess/legality.h"
#include "chess/make.h"
#include "chess_test_util.h"

TEST(PolyglotRandom, MatchesPublishedTable) {
  std::ifstream in(QUORREL_TEST_DATA_DIR "/polyglot_random.txt");
  ASSERT_TRUE(in);
  std::string line;
  int i = 0;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    ASSERT_LT(i, 781);
    EXPECT_EQ(std::stoull(line, nullptr, 16), polyglot_random[i]) << i;
    ++i;
  }
  EXPECT_EQ(i, 781);
}

namespace {
struct KeyedPosition {
  uint64_t key;
  std::string fen;
};

std::vector<KeyedPosition> published_keys() {
  std::ifstream in(QUORREL_TEST_DATA_DIR "/polyglot_keys.txt");
  std::vector<KeyedPosition> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto semi = line.find(';');
    out.push_back({std::stoull(line.substr(0, semi), nullptr, 16), line.substr(semi + 1)});
  }
  return out;
}
}  // namespace

TEST(PositionKeys, PublishedKeysFromFen) {
  auto positions = published_keys();
  ASSERT_EQ(positions.size(), 9u);
  for (const auto& p : positions) EXPECT_EQ(board_from(p.fen.c_str())->hash_key, p.key) << p.fen;
}

TEST(PositionKeys, PublishedKeysByPlayingTheMoves) {
  auto positions = published_keys();
  // The file's two move sequences, with the index of the listed position after each move.
  const char* lines[2] = {"e2e4 d7d5 e4e5 f7f5 e1e2 e8f7", "a2a4 b7b5 h2h4 b5b4 c2c4 b4c3 a1a3"};
  const int reached[2][7] = {{1, 2, 3, 4, 5, 6, -1}, {-1, -1, -1, -1, 7, -1, 8}};
  for (int l = 0; l < 2; ++l) {
    auto b = board_from(START_FEN);
    EXPECT_EQ(b->hash_key, positions[0].key);
    std::istringstream moves(lines[l]);
    std::string token;
    for (int i = 0; moves >> token; ++i) {
      int move = move_from_text(token.c_str(), *b);
      ASSERT_TRUE(move_is_legal(*b, move)) << token;
      undo_record_t undo;
      move_make(*b, move, undo);
      EXPECT_EQ(b->hash_key, key_compute_full(*b)) << token;
      if (reached[l][i] >= 0) {
        EXPECT_EQ(b->hash_key, positions[reached[l][i]].key) << token;
      }
    }
  }
}

TEST(PositionKeys, UnusableEnPassantSquareLeavesNoTrace) {
  auto b = board_from(START_FEN);
  undo_record_t undo;
  move_make(*b, move_from_text("e2e4", *b), undo);
  EXPECT_EQ(b->ep_target, 0);
  EXPECT_EQ(b->hash_key, 0x823C9B50FD114196ULL);
}
