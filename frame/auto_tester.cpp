#include "frame/auto_tester.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "base/log.h"
#include "frame/command_line.h"

namespace {

constexpr std::array<const char*, kAutoTesterPositionCount> kTestPositions = {
    "rq2r1k1/5pp1/p7/4bNP1/1p2P2P/5Q2/PP4K1/5R1R w - - 0 1",
    "6k1/2b2p1p/ppP3p1/4p3/PP1B4/5PP1/7P/7K w - - 0 1",
    "5r1k/p1q2pp1/1pb4p/n3R1NQ/7P/3B1P2/2P3P1/7K w - - 0 1",
    "5r1k/1P4pp/3P1p2/4p3/1P5P/3q2P1/Q2b2K1/B3R3 w - - 0 1",
    "3B4/8/2B5/1K6/8/8/3p4/3k4 w - - 0 1",
    "1k1r4/1pp4p/2n5/P6R/2R1p1r1/2P2p2/1PP2B1P/4K3 b - - 0 1",
    "6k1/p3q2p/1nr3pB/8/3Q1P2/6P1/PP5P/3R2K1 b - - 0 1",
    "2krr3/1p4pp/p1bRpp1n/2p5/P1B1PP2/8/1PP3PP/R1K3B1 w - - 0 1",
    "r5k1/pp2p1bp/6p1/n1p1P3/2qP1NP1/2PQB3/P5PP/R4K2 b - - 0 1",
    "2r3k1/1qr1b1p1/p2pPn2/nppPp3/8/1PP1B2P/P1BQ1P2/5KRR w - - 0 1",
    "1br3k1/p4p2/2p1r3/3p1b2/3Bn1p1/1P2P1Pq/P3Q1BP/2R1NRK1 b - - 0 1",
    "8/pp3k2/2p1qp2/2P5/5P2/1R2p1rp/PP2R3/4K2Q b - - 0 1",
    "2bq3k/2p4p/p2p4/7P/1nBPPQP1/r1p5/8/1K1R2R1 b - - 0 1",
    "3r1rk1/1p3pnp/p3pBp1/1qPpP3/1P1P2R1/P2Q3R/6PP/6K1 w - - 0 1",
    "2b1q3/p7/1p1p2kb/nPpN3p/P1P1P2P/6P1/5R1K/5Q2 w - - 0 1",
    "2krr3/pppb1ppp/3b4/3q4/3P3n/2P2N1P/PP2B1P1/R1BQ1RK1 b - - 0 1",
    "4r1k1/p1qr1p2/2pb1Bp1/1p5p/3P1n1R/3B1P2/PP3PK1/2Q4R w - - 0 1",
    "8/4p3/8/3P3p/P2pK3/6P1/7b/3k4 w - - 0 1",
    "3r2k1/pp4B1/6pp/PP1Np2n/2Pp1p2/3P2Pq/3QPPbP/R4RK1 b - - 0 1",
    "r4rk1/5p2/1n4pQ/2p5/p5P1/P4N2/1qb1BP1P/R3R1K1 w - - 0 1",
    "k7/8/PP1b2P1/K2Pn2P/4R3/8/6np/8 w - - 0 1",
    "rnb1k2r/pp2qppp/3p1n2/2pp2B1/1bP5/2N1P3/PP2NPPP/R2QKB1R w KQkq - 0 1",
    "8/7p/8/p4p2/5K2/Bpk3P1/4P2P/8 w - - 0 1",
    "R7/3p3p/8/3P2P1/3k4/1p5p/1P1NKP1P/7q w - - 0 1",
    "8/8/3k1p2/p2BnP2/4PN2/1P2K1p1/8/5b2 b - - 0 1",
    "2r3k1/pbr1q2p/1p2pnp1/3p4/3P1P2/1P1BR3/PB1Q2PP/5RK1 w - - 0 1",
    "3r2k1/p2r2p1/1p1B2Pp/4PQ1P/2b1p3/P3P3/7K/8 w - - 0 1",
    "rnb1k1nr/p2p1ppp/3B4/1p1N1N1P/4P1P1/3P1Q2/PqP5/R4Kb1 w kq - 0 1",
    "r1b1kb1r/pp1n1ppp/2q5/2p3B1/Q1B5/2p2N2/PP3PPP/R3K2R w KQkq - 0 1",
    "2k5/2p3Rp/p1pb4/1p2p3/4P3/PN1P1P2/1P2KP1r/8 w - - 0 1",
    "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1",
    "r3k2r/pppp1ppp/8/8/4p3/8/PPPPPPPP/R3K2R w - - 0 1",
    "2r1k3/2PRbp2/pp2p2p/6p1/1P6/B4PP1/P5KP/8 w - - 0 1",
};

void free_strings(AutoTester* tester) {
  for (int i = 0; i < tester->nUCIStringCount; ++i) {
    std::free(tester->psUCIStrings[i]);
    tester->psUCIStrings[i] = nullptr;
  }
  tester->nUCIStringCount = 0;
  tester->nUCIStringIndex = 0;
}

__attribute__((format(printf, 2, 3))) void add_formatted(AutoTester* tester, const char* format, ...) {
  char line[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  AutoTester_AddUCIString(tester, line);
}

}  // namespace

AutoTester* AutoTester_Construct() {
  auto* tester = static_cast<AutoTester*>(my_malloc(sizeof(AutoTester)));
  std::memset(tester, 0, sizeof *tester);
  tester->nTestPositionCount = kAutoTesterPositionCount;
  tester->psTestPositions = kTestPositions.data();
  return tester;
}

void AutoTester_Destruct(AutoTester* tester) {
  if (tester == nullptr) return;
  free_strings(tester);
  std::free(tester);
}

void AutoTester_AddUCIString(AutoTester* tester, const char* text) {
  if (tester->nUCIStringCount >= kAutoTesterMaxStrings) {
    QLOG(3, "WARNING AutoTester_AddUCIString(... list full, <%s> dropped\n", text);
    return;
  }
  const std::size_t size = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(my_malloc(size));
  std::memcpy(copy, text, size);
  tester->psUCIStrings[tester->nUCIStringCount++] = copy;
}

const char* AutoTester_GetTestPosition(const AutoTester* tester, int32_t number) {
  if (number < 1 || number > tester->nTestPositionCount) return nullptr;
  return tester->psTestPositions[number - 1];
}

void AutoTester_CommandLineToTests(AutoTester* tester, const CommandLine* command_line) {
  free_strings(tester);
  tester->bActive = 0;
  if (command_line == nullptr || command_line->nPositionCount <= 0) return;

  tester->bActive = 1;
  AutoTester_AddUCIString(tester, "uci");
  AutoTester_AddUCIString(tester, "isready");
  AutoTester_AddUCIString(tester, "setoption name Log To Stdout value true");
  AutoTester_AddUCIString(tester, "setoption name Hash value 1024");
  AutoTester_AddUCIString(tester, "isready");

  const int32_t tests = command_line->nPositionCount < kCommandLineSlots ? command_line->nPositionCount
                                                                         : kCommandLineSlots;
  for (int32_t i = 0; i < tests; ++i) {
    const char* fen = AutoTester_GetTestPosition(tester, command_line->nPositions[i]);
    if (fen == nullptr) continue;  // unknown test numbers are skipped
    AutoTester_AddUCIString(tester, "ucinewgame");
    AutoTester_AddUCIString(tester, "isready");
    add_formatted(tester, "position fen %s", fen);
    if (command_line->nMoveTimes[i] >= 0) {
      add_formatted(tester, "go movetime %d", command_line->nMoveTimes[i]);
    } else {
      add_formatted(tester, "go depth %d", command_line->nDepths[i]);
    }
  }
  AutoTester_AddUCIString(tester, "quit");
}

const char* AutoTester_GetNextUCIString(AutoTester* tester) {
  if (tester->nUCIStringIndex < tester->nUCIStringCount) return tester->psUCIStrings[tester->nUCIStringIndex++];
  QLOG(1, "ERROR AutoTester_GetNextUCIString(... failed at pThis->nUCIStringIndex < pThis->nUCIStringCount\n");
  return nullptr;
}

void AutoTester_Dump(const AutoTester* tester, YBWCManager* manager) {
  YBWCManager_Log(manager, "AutoTester UCI strings:\n");
  for (int32_t i = 0; i < tester->nUCIStringCount; ++i) {
    const char* text = tester->psUCIStrings[i];
    if (text == nullptr) {
      YBWCManager_Log(manager, "%4d:<<string is not accessible>\n", i);
      continue;
    }
    std::string shown;
    for (const char* c = text; *c != '\0'; ++c) {
      if (*c == '\n') {
        shown += "\\n";
      } else {
        shown += *c;
      }
    }
    YBWCManager_Log(manager, "%4d:<%s>\n", i, shown.c_str());
  }
  YBWCManager_Log(manager, " \n");
}
