#include "chess/perft.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "chess/make.h"
#include "chess/movegen.h"
#include "chess_test_util.h"

namespace {
// Leaf budget per position so the suite stays quick under the sanitizers too.
constexpr uint64_t kMaxLeaves = 300000;
}  // namespace

TEST(Perft, PublishedCountsAtShallowDepth) {
  std::ifstream in(QUORREL_TEST_DATA_DIR "/perft.epd");
  ASSERT_TRUE(in);
  std::string line;
  int positions = 0;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    auto semi = line.find(';');
    std::string fen = line.substr(0, semi);
    auto b = board_from(fen.c_str());
    int checked = 0;
    for (auto pos = semi; pos != std::string::npos; pos = line.find(';', pos + 1)) {
      int depth = std::stoi(line.substr(pos + 2));
      uint64_t expected = std::stoull(line.substr(line.find(' ', pos) + 1));
      if (expected > kMaxLeaves) break;
      EXPECT_EQ(perft(*b, depth, true), expected) << fen << " depth " << depth;
      if (expected <= kMaxLeaves / 4) {
        EXPECT_EQ(perft(*b, depth, false), expected) << fen;
      }
      ++checked;
    }
    EXPECT_GE(checked, 3) << fen;
    ++positions;
  }
  EXPECT_EQ(positions, 6);
}

// Tricky positions (en passant under pins and checks, castling rights, promotions,
// discovered checks) with counts taken from an independent engine's perft.
TEST(Perft, TrickyPositions) {
  struct Case {
    const char* fen;
    int depth;
    uint64_t leaves;
  } cases[] = {
      {"8/8/8/2k5/2pP4/8/B7/4K3 b - d3 0 3", 4, 5380},
      {"r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq - 0 1", 3, 27826},
      {"8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1", 5, 206379},
      {"5k2/8/8/8/8/8/8/4K2R w K - 0 1", 5, 120330},
      {"3k4/3p4/8/K1P4r/8/8/8/8 b - - 0 1", 5, 185429},
      {"8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1", 5, 135655},
      {"8/k1P5/8/1K6/8/8/8/8 w - - 0 1", 6, 43261},
      {"K1k5/8/P7/8/8/8/8/8 w - - 0 1", 6, 2217},
      {"n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1", 4, 182838},
      {"r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1", 3, 50509},
      {"2K2r2/4P3/8/8/8/8/8/3k4 w - - 0 1", 5, 266199},
      {"8/8/2k5/5q2/5n2/8/5K2/8 b - - 0 1", 4, 23527},
      {"8/8/8/KPp4r/8/8/8/7k w - c6 0 2", 5, 23591},
  };
  for (const auto& c : cases) {
    auto b = board_from(c.fen);
    EXPECT_EQ(perft(*b, c.depth, true), c.leaves) << c.fen;
    EXPECT_EQ(perft(*b, c.depth - 1, true), perft(*b, c.depth - 1, false)) << c.fen;
  }
}

TEST(Perft, DivideSumsToTheTotal) {
  auto b = board_from("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  move_list_t list;
  list.count = 0;
  movegen_legal(list, *b);
  uint64_t sum = 0;
  for (int i = 0; i < list.count; ++i) {
    undo_record_t undo;
    move_make(*b, list.moves[i], undo);
    sum += perft(*b, 2, false);
    move_unmake(*b, list.moves[i], undo);
  }
  EXPECT_EQ(sum, 97862u);
}
