#include "search/window_propagation.h"

#include <algorithm>

#include "base/log.h"
#include "search/search_records.h"

namespace {

struct Window {
  int alpha;
  int beta;
};

// The current window of an entry, by its kind.
Window window_of(const StackEntry& entry) {
  switch (entry.nCallType) {
    case CALL_TYPE_FULL_ROOT: return {entry.parameters.fullRootPar.alpha, entry.parameters.fullRootPar.beta};
    case CALL_TYPE_FULL_SEARCH: return {entry.parameters.fullSearchPar.alpha, entry.parameters.fullSearchPar.beta};
    case CALL_TYPE_FULL_NO_NULL: return {entry.parameters.fullNoNullPar.alpha, entry.parameters.fullNoNullPar.beta};
    default: return {entry.parameters.fullQuiescencePar.alpha, entry.parameters.fullQuiescencePar.beta};
  }
}

// Writes a window back; a raised alpha also becomes the entry's remembered old alpha.
void set_window(StackEntry& entry, const Window& window, bool alpha_raised) {
  switch (entry.nCallType) {
    case CALL_TYPE_FULL_ROOT:
      entry.parameters.fullRootPar.alpha = window.alpha;
      entry.parameters.fullRootPar.beta = window.beta;
      if (alpha_raised) entry.localData.fullRootDat.old_alpha = window.alpha;
      break;
    case CALL_TYPE_FULL_SEARCH:
      entry.parameters.fullSearchPar.alpha = window.alpha;
      entry.parameters.fullSearchPar.beta = window.beta;
      if (alpha_raised) entry.localData.fullSearchDat.old_alpha = window.alpha;
      break;
    case CALL_TYPE_FULL_NO_NULL:
      entry.parameters.fullNoNullPar.alpha = window.alpha;
      entry.parameters.fullNoNullPar.beta = window.beta;
      break;
    default:
      entry.parameters.fullQuiescencePar.alpha = window.alpha;
      entry.parameters.fullQuiescencePar.beta = window.beta;
      if (alpha_raised) entry.localData.fullQuiescenceDat.old_alpha = window.alpha;
      break;
  }
}

// The entry a window collapse ended, until it is searched again or popped; -1: none.
int CollapsedIndex = -1;

bool searching_full_search_item() {
  const search_work_item_t* item = SearchControl->bSearchingSubproblem ? SearchControl->pWorkItem : nullptr;
  return item != nullptr && item->nCallType == CALL_TYPE_FULL_SEARCH;
}

}  // namespace

bool window_of_child(const StackEntry& parent, int return_position, bool work_item_full_search, ChildWindow& window) {
  const Window p = window_of(parent);
  window = ChildWindow{false, 0, false, 0, false};
  auto both = [&window](int alpha, int beta) {
    window.has_alpha = window.has_beta = true;
    window.alpha = alpha;
    window.beta = beta;
  };
  switch (return_position) {
    case RETURN_POSITION_FULL_ROOT_01:
    case RETURN_POSITION_FULL_ROOT_04:
    case RETURN_POSITION_FULL_SEARCH_06:
    case RETURN_POSITION_FULL_SEARCH_08:
    case RETURN_POSITION_FULL_SEARCH_09:
    case RETURN_POSITION_FULL_NO_NULL_01:
    case RETURN_POSITION_FULL_QUIESCENCE_01: both(-p.beta, -p.alpha); return true;
    case RETURN_POSITION_FULL_ROOT_03:
      both(work_item_full_search ? -p.beta : -p.beta - 50, -p.alpha);
      return true;
    case RETURN_POSITION_FULL_ROOT_01_1:
      window.has_alpha = true;
      window.alpha = -p.beta;
      return true;
    case RETURN_POSITION_FULL_ROOT_01_2:
    case RETURN_POSITION_FULL_ROOT_03_1:
      window.has_beta = true;
      window.beta = -p.alpha;
      return true;
    case RETURN_POSITION_FULL_ROOT_02:
    case RETURN_POSITION_FULL_SEARCH_07:
      both(-p.alpha - 1, -p.alpha);
      window.null_window = true;
      return true;
    case RETURN_POSITION_FULL_SEARCH_02:
      both(-p.beta, 1 - p.beta);
      window.null_window = true;
      return true;
    case RETURN_POSITION_FULL_SEARCH_01:
    case RETURN_POSITION_FULL_SEARCH_03_1:
    case RETURN_POSITION_FULL_SEARCH_03:
    case RETURN_POSITION_FULL_SEARCH_04: both(p.alpha, p.beta); return true;
    case RETURN_POSITION_FULL_SEARCH_05:
      window.has_beta = true;
      window.beta = p.beta;
      return true;
    default: return false;
  }
}

void YBWCManager_PropagateSearchWindow(StackEntry& parent, int first_index) {
  const bool item_full_search = searching_full_search_item();
  int parent_index = Stack_IndexOf(parent);
  for (int index = std::max(first_index, parent_index + 1); index < Stack.nCount; ++index, ++parent_index) {
    StackEntry& child = Stack.entries[index];
    ChildWindow called;
    if (!window_of_child(Stack.entries[parent_index], child.nReturnPosition, item_full_search, called)) return;

    const Window before = window_of(child);
    Window after = before;
    bool collapsed = false;
    if (called.has_alpha && called.alpha > after.alpha) {
      after.alpha = called.alpha;
      if (after.alpha >= after.beta) {
        after.beta = after.alpha + 1;
        collapsed = true;
      }
    }
    if (called.has_beta && called.beta < after.beta) {
      after.beta = called.beta;
      if (after.beta <= after.alpha) {
        after.alpha = after.beta - 1;
        collapsed = true;
      }
    }
    const bool changed = after.alpha != before.alpha || after.beta != before.beta;
    if (called.null_window && changed) collapsed = true;
    if (changed) set_window(child, after, after.alpha > before.alpha);
    if (collapsed) {
      // The child's result no longer matters: it and everything above it end.
      for (int k = index; k < Stack.nCount; ++k) Stack.entries[k].bAlive = false;
      if (CollapsedIndex < 0 || index < CollapsedIndex) CollapsedIndex = index;
      return;
    }
    if (!changed) return;
    if (child.nCallType == CALL_TYPE_FULL_ROOT || child.nCallType == CALL_TYPE_FULL_SEARCH) {
      const int32_t code = Stack_UpdateSearchWindowForEntry(child, after.alpha, after.beta);
      if (code != 0)
        QLOG(1,
             child.nCallType == CALL_TYPE_FULL_ROOT
                 ? "ERROR pellam_actions_for_update_search_window_received(... (1) failed at Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n"
                 : "ERROR pellam_actions_for_update_search_window_received(... (2) failed at Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n",
             code);
    }
  }
}

bool Stack_RestartEntryEndedByWindow() {
  if (CollapsedIndex < 0) return false;
  const int top = Stack.nCount - 1;
  if (top != CollapsedIndex) {
    if (top < CollapsedIndex) CollapsedIndex = -1;  // popped some other way: forgotten
    return false;
  }
  CollapsedIndex = -1;
  StackEntry& child = Stack.entries[top];
  const StackEntry& parent = Stack.entries[top - 1];
  if (top < 1 || child.bAlive || !parent.bAlive) return false;
  ChildWindow called;
  if (!window_of_child(parent, child.nReturnPosition, searching_full_search_item(), called)) return false;
  Window window = window_of(child);
  if (called.has_alpha) window.alpha = called.alpha;
  if (called.has_beta) window.beta = called.beta;
  if (window.alpha >= window.beta) return false;
  set_window(child, window, true);
  child.nResult = 0;
  Stack_ClearEntryHeader(child);
  return true;
}
