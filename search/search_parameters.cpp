#include "search/search_parameters.h"

#include <strings.h>

#include "base/option.h"
#include "base/ybwc_manager.h"
#include "chess/trans.h"

search_parameters_t SearchParameters[1];

void search_parse_three_way(const char* text, bool* use, bool* restricted) {
  if (strcasecmp(text, "Always") == 0) {
    *use = true;
    *restricted = false;
  } else if (strcasecmp(text, "Never") == 0) {
    *use = false;
    *restricted = false;
  } else {  // "Fail High", "Endgame" and any unknown text
    *use = true;
    *restricted = true;
  }
}

bool search_use_transposition_table() {
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;
  // Without a table (not allocated yet) the search runs without one.
  return config != nullptr && config->bUseTranspositionTable != 0 && Trans->table != nullptr;
}

void search_parameters_read() {
  search_parameters_t& p = SearchParameters[0];
  const PellamConfiguration* config = YBWCManager_GetInstance()->pConfiguration;

  search_parse_three_way(option_get("NullMove Pruning"), &p.bUseNullMove, &p.bNullMoveNeedsEval);
  p.nNullMoveReduction = option_get_int("NullMove Reduction");
  search_parse_three_way(option_get("Verification Search"), &p.bUseVerification, &p.bVerificationEndgameOnly);
  p.nVerificationReduction = option_get_int("Verification Reduction");
  p.bUseHistoryReduction = option_get_bool("History Pruning");
  p.nHistoryThreshold = (option_get_int("History Threshold") * 16384 + 50) / 100;
  p.bUseFutility = option_get_bool("Futility Pruning");
  p.nFutilityMargin = option_get_int("Futility Margin");
  p.nExtendedFutilityMargin = option_get_int("Extended Futility Margin");
  p.bUseDelta = option_get_bool("Delta Pruning");
  p.nDeltaMargin = option_get_int("Delta Margin");
  p.nQuiescenceCheckPlies = option_get_int("Quiescence Check Plies");
  p.nQuiescenceCheckDepth = 1 - p.nQuiescenceCheckPlies;
  p.bVessaExtendedHistoryPruning = option_get_bool("Vessa Extended History Pruning");
  p.nVessaHistoryThreshold = option_get_int("Vessa History Threshold");

  p.bUseHistoryPruning = config != nullptr && config->bUseHistoryPruning != 0;
  p.bUseIID = config != nullptr && config->bUseIID != 0;
  p.bUseTranspositionTable = search_use_transposition_table();
  p.bForceReproducibleEvaluation = config != nullptr && config->bForceReproducibleEvaluation != 0;
  p.bSuppressDistributionOfFullSearchMoves = config != nullptr && config->bSuppressDistributionOfFullSearchMoves != 0;
  p.bUpdateSearchWindows = config != nullptr && config->bUpdateSearchWindows != 0;
  p.nDebugWaitForSlaveRate = config != nullptr ? config->nDebugWaitForSlaveRate : 0;
  // Reproducible runs leave out the reduction, whose result depends on the
  // history tables that other processes change.
  if (p.bForceReproducibleEvaluation) p.bUseHistoryReduction = false;
}
