// Standard algebraic notation: the forms read, the moves refused (ambiguous,
// illegal, malformed), promotions and castling, the notation written, and the
// best moves and principal variations of a tactical suite.
#include "chess/san.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "chess/make.h"
#include "chess/movegen.h"
#include "chess_test_util.h"

namespace {

move_t san(const char* text, const char* fen) { return move_from_san(text, *board_from(fen)); }

std::string write(const char* long_move, const char* fen) {
  auto board = board_from(fen);
  char text[8];
  return move_to_san(move_from_text(long_move, *board), *board, text);
}

constexpr const char* kOpening = "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3 0 3";
// Knights on b1 and f3 can both reach d2; rooks on a1 and a5 can both reach a3.
constexpr const char* kTwins = "4k3/8/8/R7/8/5N2/8/RN2KB2 w - - 0 1";

// The suite writes mate as "+" and some promotions without "=".
std::string suite_form(std::string text) {
  std::erase(text, '=');
  std::replace(text.begin(), text.end(), '#', '+');
  return text;
}

}  // namespace

TEST(SanRead, PiecesPawnsAndCaptures) {
  EXPECT_STREQ(move_text(san("Nf3", START_FEN)), "g1f3");
  EXPECT_STREQ(move_text(san("e4", START_FEN)), "e2e4");
  EXPECT_STREQ(move_text(san("exd4", kOpening)), "e5d4");
  EXPECT_STREQ(move_text(san("Nxd4", kOpening)), "c6d4");
  EXPECT_STREQ(move_text(san("Bb4+", kOpening)), "f8b4");
  // Long forms and the other capture mark name the same moves.
  EXPECT_STREQ(move_text(san("e2-e4", START_FEN)), "e2e4");
  EXPECT_STREQ(move_text(san("Ng1f3", START_FEN)), "g1f3");
  EXPECT_STREQ(move_text(san("e5:d4", kOpening)), "e5d4");
  // En passant names the square the pawn goes to.
  EXPECT_STREQ(move_text(san("exd6", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2")), "e5d6");
}

TEST(SanRead, CheckAndAnnotationMarksAreIgnored) {
  for (const char* text : {"Nf3+", "Nf3#", "Nf3!", "Nf3?", "Nf3!!", "Nf3!?", "Nf3?!", "Nf3+!"})
    EXPECT_STREQ(move_text(san(text, START_FEN)), "g1f3") << text;
}

TEST(SanRead, CastlingWithLetterOAndDigitZero) {
  const char* both = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  for (const char* text : {"O-O", "0-0", "O-O+"}) EXPECT_STREQ(move_text(san(text, both)), "e1g1") << text;
  for (const char* text : {"O-O-O", "0-0-0", "0-0-0!"}) EXPECT_STREQ(move_text(san(text, both)), "e1c1") << text;
  EXPECT_STREQ(move_text(san("O-O", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1")), "e8g8");
  // Castling is written only as castling; without the right there is none.
  EXPECT_EQ(san("Kg1", both), MOVE_NONE);
  EXPECT_EQ(san("O-O", "r3k2r/8/8/8/8/8/8/R3K2R w Qkq - 0 1"), MOVE_NONE);
  EXPECT_EQ(san("O-O-O", "r3k2r/8/8/8/8/8/8/R3K2R w Kkq - 0 1"), MOVE_NONE);
  EXPECT_EQ(san("O-0", both), MOVE_NONE);
}

TEST(SanRead, PromotionsWithAndWithoutEquals) {
  const char* fen = "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1";
  for (const char* text : {"a8=Q", "a8Q", "a8=q", "a8q", "a8=Q+"}) EXPECT_STREQ(move_text(san(text, fen)), "a7a8q") << text;
  EXPECT_STREQ(move_text(san("a8=N", fen)), "a7a8n");
  EXPECT_STREQ(move_text(san("axb8R", fen)), "a7b8r");
  EXPECT_STREQ(move_text(san("axb8=B+", fen)), "a7b8b");
  // The piece must be named, and be one a pawn can become.
  EXPECT_EQ(san("a8", fen), MOVE_NONE);
  EXPECT_EQ(san("axb8", fen), MOVE_NONE);
  EXPECT_EQ(san("a8=K", fen), MOVE_NONE);
  EXPECT_EQ(san("a8=", fen), MOVE_NONE);
  // Only a pawn on its way to the last rank promotes.
  EXPECT_EQ(san("e4=Q", START_FEN), MOVE_NONE);
  EXPECT_EQ(san("Ke2=Q", fen), MOVE_NONE);
}

TEST(SanRead, AmbiguousMovesAreRefusedUntilTheOriginTellsThemApart) {
  EXPECT_EQ(san("Nd2", kTwins), MOVE_NONE);
  EXPECT_STREQ(move_text(san("Nbd2", kTwins)), "b1d2");
  EXPECT_EQ(san("Ra3", kTwins), MOVE_NONE);
  EXPECT_STREQ(move_text(san("R1a3", kTwins)), "a1a3");
  EXPECT_STREQ(move_text(san("R5a3", kTwins)), "a5a3");
  EXPECT_EQ(san("Raa3", kTwins), MOVE_NONE);  // the file alone does not tell them apart
  // Three queens: e1 and h1 share a rank, h1 and h4 a file; only both tell h1.
  const char* queens = "2k5/8/8/8/7Q/8/8/K3Q2Q w - - 0 1";
  EXPECT_EQ(san("Qe4", queens), MOVE_NONE);
  EXPECT_EQ(san("Qhe4", queens), MOVE_NONE);
  EXPECT_EQ(san("Q1e4", queens), MOVE_NONE);
  EXPECT_STREQ(move_text(san("Qh1e4", queens)), "h1e4");
  EXPECT_STREQ(move_text(san("Qh4e4", queens)), "h4e4");
  // A pinned knight cannot move, so the other one is named alone.
  EXPECT_STREQ(move_text(san("Nd2", "4k3/8/8/8/8/5N2/8/rN2K3 w - - 0 1")), "f3d2");
}

TEST(SanRead, IllegalAndMalformedTextsNameNoMove) {
  EXPECT_EQ(san("e5", START_FEN), MOVE_NONE);     // two squares too far
  EXPECT_EQ(san("Nf4", START_FEN), MOVE_NONE);    // no knight reaches it
  EXPECT_EQ(san("Bc4", START_FEN), MOVE_NONE);    // blocked
  EXPECT_EQ(san("Kf1", "4k3/8/8/8/8/8/8/4K2r w - - 0 1"), MOVE_NONE);  // stays in check
  EXPECT_EQ(san("d4", kOpening), MOVE_NONE);      // a pawn leaves its file only by capturing
  EXPECT_EQ(san("xd4", kOpening), MOVE_NONE);
  for (const char* text : {"", "+", "e", "e9", "i4", "Zf3", "nf3", "Nf3x", "N3ff3", "Nxxf3", "e2e4e4", "O-O-O-O"})
    EXPECT_EQ(san(text, START_FEN), MOVE_NONE) << '"' << text << '"';
}

TEST(SanWrite, DisambiguationCapturesPromotionsAndChecks) {
  EXPECT_EQ(write("g1f3", START_FEN), "Nf3");
  EXPECT_EQ(write("e2e4", START_FEN), "e4");
  EXPECT_EQ(write("e5d4", kOpening), "exd4");
  EXPECT_EQ(write("f8b4", kOpening), "Bb4+");
  EXPECT_EQ(write("b1d2", kTwins), "Nbd2");
  EXPECT_EQ(write("a5a3", kTwins), "R5a3");
  EXPECT_EQ(write("h1e4", "2k5/8/8/8/7Q/8/8/K3Q2Q w - - 0 1"), "Qh1e4");
  EXPECT_EQ(write("e5d6", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"), "exd6");
  EXPECT_EQ(write("a7b8q", "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1"), "axb8=Q+");
  EXPECT_EQ(write("a7a8n", "1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1"), "a8=N");
  EXPECT_EQ(write("e1c1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), "O-O-O");
  EXPECT_EQ(write("d1h5", "rnbqkbnr/ppppp2p/5p2/6p1/4P3/8/PPPP1PPP/RNBQKBNR w KQkq g6 0 3"), "Qh5#");
}

TEST(SanWrite, EveryLegalMoveReadsBackFromItsNotation) {
  std::ifstream epd(std::string(QUORREL_TEST_DATA_DIR) + "/perft.epd");
  int positions = 0;
  for (std::string line; std::getline(epd, line);) {
    if (line.empty()) continue;
    auto board = board_from(line.substr(0, line.find(';')).c_str());
    move_list_t list;
    list.count = 0;
    movegen_legal(list, *board);
    for (int i = 0; i < list.count; ++i) {
      char text[8];
      move_to_san(list.moves[i], *board, text);
      EXPECT_EQ(move_from_san(text, *board), list.moves[i]) << line << ": " << text;
    }
    ++positions;
  }
  EXPECT_GT(positions, 5);
}

// Every best move of the suite is read, and every principal variation is read,
// played through and written back as the suite writes it.
TEST(SanSuite, BestMovesAndVariationsOfTheTacticalSuite) {
  std::ifstream epd(std::string(QUORREL_TEST_DATA_DIR) + "/wac.epd");
  int lines = 0, variation_moves = 0, cut_off = 0, over_named = 0;
  auto words = [](const std::string& line, const std::string& opcode) {
    std::vector<std::string> result;
    const auto at = line.find(" " + opcode + " ");
    if (at == std::string::npos) return result;
    const auto begin = at + opcode.size() + 2;
    std::istringstream in(line.substr(begin, line.find(';', begin) - begin));
    for (std::string word; in >> word;) result.push_back(word);
    return result;
  };
  for (std::string line; std::getline(epd, line);) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string placement, side, castling, ep;
    fields >> placement >> side >> castling >> ep;
    auto board = board_from((placement + " " + side + " " + castling + " " + ep + " 0 1").c_str());
    const std::vector<std::string> best = words(line, "bm");
    ASSERT_FALSE(best.empty()) << line;
    for (const std::string& text : best) EXPECT_NE(move_from_san(text, *board), MOVE_NONE) << line << ": " << text;
    const std::vector<std::string> variation = words(line, "pv");
    for (const std::string& text : variation) {
      const move_t move = move_from_san(text, *board);
      // A few variations of the suite are cut off in the middle of their last move.
      if (move == MOVE_NONE && &text == &variation.back()) {
        ++cut_off;
        break;
      }
      ASSERT_NE(move, MOVE_NONE) << line << ": " << text;
      char written[8];
      const std::string ours = suite_form(move_to_san(move, *board, written));
      const std::string theirs = suite_form(text);
      // The suite names the origin even where the other piece is pinned
      // ("Rde2"); the notation tells apart legal moves only.
      if (ours != theirs) {
        EXPECT_EQ(theirs.substr(0, 1) + theirs.substr(2), ours) << line;
        ++over_named;
      }
      board_play_move(*board, move);
      ++variation_moves;
    }
    ++lines;
  }
  EXPECT_EQ(lines, 299);
  EXPECT_GT(variation_moves, 1000);
  EXPECT_EQ(cut_off, 3);
  EXPECT_EQ(over_named, 2);
}
