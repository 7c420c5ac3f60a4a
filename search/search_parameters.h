#pragma once
// The node rules' tunable values, read from the options and the configuration
// at the start of every search so that a "setoption" between searches takes
// effect and none changes while a search runs.
#include <cstdint>

struct search_parameters_t {
  bool bUseNullMove;
  bool bNullMoveNeedsEval;
  int nNullMoveReduction;
  bool bUseVerification;
  bool bVerificationEndgameOnly;
  int nVerificationReduction;
  bool bUseHistoryReduction;  // late-move reduction
  int nHistoryThreshold;      // 0..16384
  bool bUseFutility;
  int nFutilityMargin;
  int nExtendedFutilityMargin;
  bool bUseDelta;
  int nDeltaMargin;
  int nQuiescenceCheckPlies;
  int nQuiescenceCheckDepth;
  bool bUseHistoryPruning;
  bool bUseIID;
  bool bUseTranspositionTable;
  bool bVessaExtendedHistoryPruning;  // read, no rule uses it
  int nVessaHistoryThreshold;         // read, no rule uses it
  // Configuration values the nodes read on every node.
  bool bForceReproducibleEvaluation;
  bool bSuppressDistributionOfFullSearchMoves;
  bool bUpdateSearchWindows;
  int nDebugWaitForSlaveRate;
};

extern search_parameters_t SearchParameters[1];

// "Always" = (on, off), "Fail High" = (on, on), "Never" = (off, off), any other
// text (on, on); compared without regard to case. Also the verification rule.
void search_parse_three_way(const char* text, bool* use, bool* restricted);

// The configuration asks for the table and it is allocated.
bool search_use_transposition_table();

// Reads every parameter from the options and the process's configuration.
// The driver's search_prepare calls it at the start of each search.
void search_parameters_read();
