// The UCI lines made from the search's reports, byte for byte.
#include "uci/search_output.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/ybwc_manager.h"

namespace {

// Moves from texts such as "e2e4 e7e5" (no promotions), 0-terminated.
void pv_from_text(const char* text, move_t* pv) {
  std::istringstream in(text);
  int n = 0;
  for (std::string word; in >> word;)
    pv[n++] = move_encode(square_make(word[0] - 'a', word[1] - '1'), square_make(word[2] - 'a', word[3] - '1'));
  pv[n] = MOVE_NONE;
}

// Captures what the root master would print while `send` runs.
template <typename Send>
std::string printed(Send send) {
  YBWCManager* manager = YBWCManager_GetInstance();
  const int32_t root_master = manager->bRootMaster;
  manager->bRootMaster = 1;  // only the root master prints
  testing::internal::CaptureStdout();
  send();
  const std::string out = testing::internal::GetCapturedStdout();
  manager->bRootMaster = root_master;
  return out;
}

TEST(PvText, LongestPvFitsAndShortBuffersCutAtAMove) {
  move_t pv[PvSize];
  // a7a8q: five characters, the longest move text.
  const move_t promotion = move_encode(square_make(0, 6), square_make(0, 7), MOVE_PROMOTE_QUEEN);
  for (int i = 0; i < PvSize - 1; ++i) pv[i] = promotion;
  pv[PvSize - 1] = MOVE_NONE;
  char text[PvTextSize];
  EXPECT_EQ(pv_to_text(pv, PvSize, text, sizeof text), static_cast<std::size_t>(255 * 6 - 1));
  EXPECT_EQ(std::string(text, 12), "a7a8q a7a8q ");

  char small[14];
  EXPECT_EQ(pv_to_text(pv, PvSize, small, sizeof small), 11u);
  EXPECT_STREQ(small, "a7a8q a7a8q");

  const move_t empty[1] = {MOVE_NONE};
  EXPECT_EQ(pv_to_text(empty, PvSize, text, sizeof text), 0u);
  EXPECT_STREQ(text, "");
}

TEST(SearchOutput, ScoreLinesCarryBoundsAndMateScores) {
  multipv_report_t slots[MultiPVMax]{};
  slots[0].value = 35;
  slots[0].depth = 3;
  slots[0].max_depth = 5;
  slots[0].time = 120;
  slots[0].nodes = 4242;
  pv_from_text("e2e4 e7e5", slots[0].pv);
  slots[1] = slots[0];
  slots[1].value = 29997;
  slots[1].mate = 2;
  slots[1].time = 0;
  slots[1].nodes = 0;
  pv_from_text("d1h5", slots[1].pv);
  const std::string out = printed([&] {
    uci_send_best_lines({slots, 2, 3});
    uci_send_best_lines({slots, 1, 2});
    uci_send_best_lines({slots, 1, 1});
    uci_send_best_lines({slots, 1, 0});
    uci_send_best_lines({slots, 99, 3});  // never more than the ten slots
  });
  std::string expected =
      "info multipv 1 depth 3 seldepth 5 score cp 35 time 120 nodes 4242 pv e2e4 e7e5\n"
      "info multipv 2 depth 3 seldepth 5 score mate 2 time 0 nodes 0 pv d1h5\n"
      "info multipv 1 depth 3 seldepth 5 score cp 35 lowerbound time 120 nodes 4242 pv e2e4 e7e5\n"
      "info multipv 1 depth 3 seldepth 5 score cp 35 upperbound time 120 nodes 4242 pv e2e4 e7e5\n";
  ASSERT_EQ(out.substr(0, expected.size()), expected);
  int lines = 0;
  for (char c : out.substr(expected.size())) lines += c == '\n';
  EXPECT_EQ(lines, MultiPVMax);
}

TEST(SearchOutput, IterationStatisticsCurrentMoveBestMoveAndPostmoveLines) {
  const move_t e2e4 = move_encode(square_make(4, 1), square_make(4, 3));
  const move_t e7e5 = move_encode(square_make(4, 6), square_make(4, 4));
  const statistics_report_t statistics{2.5, 123456789012LL, 49382715.6, 0.9876, 412.0};
  const std::string out = printed([&] {
    uci_send_iteration({7, false, 0, 0.0, 0, 0.0});
    uci_send_iteration({7, true, 19, 1.2344, 5000, 4050.6});
    uci_send_statistics(statistics);
    uci_send_current_move({e2e4, 3, 0, false});
    uci_send_current_move({e2e4, 3, 2, true});
    uci_send_bestmove({statistics, e2e4, e7e5});
    uci_send_bestmove({statistics, e2e4, MOVE_NONE});
    uci_send_bestmove({statistics, MOVE_NONE, MOVE_NONE});
    uci_send_postmove({MOVE_NULL, 4, 1, 1.5, 3000, 2000.0, -30000, 30000, 25, "10:00:00.000", "10:00:01.500"});
    uci_send_postmove({e2e4, 1, 0, 0.0, 1, 0.0, -30000, 30000, -7, "10:00:00.000", "10:00:00.000"});
  });
  EXPECT_EQ(out,
            "info depth 7\n"
            "info depth 7 seldepth 19 time 1234 nodes 5000 nps 4051\n"
            "info time 2500 nodes 123456789012 nps 49382716 cpuload 988\n"
            "info hashfull 412\n"
            "info currmove e2e4 currmovenumber 3\n"
            "info currmove e2e4 currmovenumber 3 currprocessorid 2\n"
            "bestmove e2e4 ponder e7e5\n"
            "bestmove e2e4\n"
            "bestmove 0000\n"
            "info postmove null postmovenumber 4 postprocessorid 1 posttime 1500 postnodes 3000 postnps 2000 "
            "postworkalpha -30000 postworkbeta 30000 posteval  25 posttimestamp 10:00:00.000 - 10:00:01.500\n"
            "info postmove e2e4 postmovenumber 1 postprocessorid 0 posttime 0 postnodes 1 postnps 0 "
            "postworkalpha -30000 postworkbeta 30000 posteval -7 posttimestamp 10:00:00.000 - 10:00:00.000\n");
}

}  // namespace
