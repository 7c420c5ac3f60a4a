#pragma once
// Tests run in one process with the engine's tables, which the late
// initialisation allocates once: a test that needs a fresh history block
// leaves the process's block as it found it.
#include "chess/history.h"
#include "chess/killer.h"

class HistoryBlockScope {
 public:
  HistoryBlockScope() : owned_(gpHistory == nullptr) {
    if (owned_) history_alloc();
    else saved_ = *gpHistory;
    for (int i = 0; i < HistorySize; ++i) {
      gpHistory->History[i] = 0;
      gpHistory->HistHit[i] = 1;
      gpHistory->HistTot[i] = 1;
    }
    saved_killers_ = Killers;
    killer_clear();
  }
  ~HistoryBlockScope() {
    history_set_sharing(nullptr);
    history_set_memory(nullptr);
    if (owned_) {
      history_free();
    } else {
      if (gpHistory == nullptr || history_is_shared()) history_alloc();
      *gpHistory = saved_;
    }
    Killers = saved_killers_;
  }
  HistoryBlockScope(const HistoryBlockScope&) = delete;
  HistoryBlockScope& operator=(const HistoryBlockScope&) = delete;

 private:
  bool owned_;
  history_block_t saved_{};
  killer_table_t saved_killers_{};
};
