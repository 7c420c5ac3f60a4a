// A raised alpha (or lowered beta) of one entry narrows the windows its
// children were called with, up the stack: each child is given the window its
// parent would call it with now. A child whose window closes no longer
// matters and is ended with everything above it; its parent, still alive,
// asks again (Stack_ChildAbandoned).
#include "base/log.h"
#include "search/stack.h"

namespace {

// The window a child was called with, computed from its parent's window now.
struct CallWindow {
  bool known;         // the return position is one whose window follows from the parent's
  bool alpha_given;   // some positions fix only one bound
  bool beta_given;
  bool null_window;   // any change to a null window closes it
  int alpha;
  int beta;
};

void parent_window(const StackEntry& parent, int* alpha, int* beta) {
  switch (parent.nCallType) {
    case CALL_TYPE_FULL_ROOT:
      *alpha = parent.parameters.fullRootPar.alpha;
      *beta = parent.parameters.fullRootPar.beta;
      return;
    case CALL_TYPE_FULL_SEARCH:
      *alpha = parent.parameters.fullSearchPar.alpha;
      *beta = parent.parameters.fullSearchPar.beta;
      return;
    case CALL_TYPE_FULL_NO_NULL:
      *alpha = parent.parameters.fullNoNullPar.alpha;
      *beta = parent.parameters.fullNoNullPar.beta;
      return;
    default:
      *alpha = parent.parameters.fullQuiescencePar.alpha;
      *beta = parent.parameters.fullQuiescencePar.beta;
      return;
  }
}

bool searching_interior_work_item() {
  return SearchControl->bSearchingSubproblem && SearchControl->pWorkItem != nullptr &&
         SearchControl->pWorkItem->nCallType == CALL_TYPE_FULL_SEARCH;
}

CallWindow call_window(const StackEntry& parent, int return_position) {
  int a;
  int b;
  parent_window(parent, &a, &b);
  const auto both = [](int alpha, int beta) { return CallWindow{true, true, true, false, alpha, beta}; };
  const auto null = [](int alpha, int beta) { return CallWindow{true, true, true, true, alpha, beta}; };
  switch (return_position) {
    case RETURN_POSITION_FULL_ROOT_01:
    case RETURN_POSITION_FULL_ROOT_04: return both(-b, -a);
    case RETURN_POSITION_FULL_ROOT_03: return both(searching_interior_work_item() ? -b : -b - 50, -a);
    case RETURN_POSITION_FULL_ROOT_01_1: return CallWindow{true, true, false, false, -b, 0};
    case RETURN_POSITION_FULL_ROOT_01_2:
    case RETURN_POSITION_FULL_ROOT_03_1: return CallWindow{true, false, true, false, 0, -a};
    case RETURN_POSITION_FULL_ROOT_02: return null(-a - 1, -a);
    case RETURN_POSITION_FULL_SEARCH_01:
    case RETURN_POSITION_FULL_SEARCH_03_1:
    case RETURN_POSITION_FULL_SEARCH_03:
    case RETURN_POSITION_FULL_SEARCH_04: return both(a, b);
    case RETURN_POSITION_FULL_SEARCH_02: return null(-b, 1 - b);
    case RETURN_POSITION_FULL_SEARCH_05: return CallWindow{true, false, true, false, 0, b};
    case RETURN_POSITION_FULL_SEARCH_06:
    case RETURN_POSITION_FULL_SEARCH_08:
    case RETURN_POSITION_FULL_SEARCH_09:
    case RETURN_POSITION_FULL_NO_NULL_01:
    case RETURN_POSITION_FULL_QUIESCENCE_01: return both(-b, -a);
    case RETURN_POSITION_FULL_SEARCH_07: return null(-a - 1, -a);
    default: return CallWindow{};
  }
}

// The child's window bounds and its remembered old alpha (none for a no-null entry).
bool child_window(StackEntry& child, int** alpha, int** beta, int** old_alpha) {
  switch (child.nCallType) {
    case CALL_TYPE_FULL_SEARCH:
      *alpha = &child.parameters.fullSearchPar.alpha;
      *beta = &child.parameters.fullSearchPar.beta;
      *old_alpha = &child.localData.fullSearchDat.old_alpha;
      return true;
    case CALL_TYPE_FULL_NO_NULL:
      *alpha = &child.parameters.fullNoNullPar.alpha;
      *beta = &child.parameters.fullNoNullPar.beta;
      *old_alpha = nullptr;
      return true;
    case CALL_TYPE_FULL_QUIESCENCE:
      *alpha = &child.parameters.fullQuiescencePar.alpha;
      *beta = &child.parameters.fullQuiescencePar.beta;
      *old_alpha = &child.localData.fullQuiescenceDat.old_alpha;
      return true;
    default: return false;
  }
}

}  // namespace

void Stack_PropagateSearchWindow(int first_index) {
  for (int i = first_index < 1 ? 1 : first_index; i < Stack.nCount; ++i) {
    StackEntry& child = Stack.entries[i];
    const CallWindow window = call_window(Stack.entries[i - 1], child.nReturnPosition);
    int* alpha;
    int* beta;
    int* old_alpha;
    if (!window.known || !child_window(child, &alpha, &beta, &old_alpha)) return;

    bool changed = false;
    bool collapsed = false;
    if (window.alpha_given && window.alpha > *alpha) {
      *alpha = window.alpha;
      if (old_alpha != nullptr) *old_alpha = window.alpha;
      changed = true;
      if (*alpha >= *beta) {
        *beta = *alpha + 1;
        collapsed = true;
      }
    }
    if (window.beta_given && window.beta < *beta) {
      *beta = window.beta;
      changed = true;
      if (*beta <= *alpha) {
        *alpha = *beta - 1;
        collapsed = true;
      }
    }
    if (window.null_window && changed) collapsed = true;
    if (collapsed) {
      for (int k = i; k < Stack.nCount; ++k) Stack.entries[k].bAlive = false;
      return;
    }
    if (!changed) return;
    if (child.nCallType == CALL_TYPE_FULL_SEARCH) {
      const int32_t code = Stack_UpdateSearchWindowForEntry(child, *alpha, *beta);
      if (code != 0)
        QLOG(1,
             "ERROR pellam_actions_for_update_search_window_received(... (2) failed at "
             "Stack_UpdateSearchWindowForEntry(..., errorcode = %d\n",
             code);
    }
  }
}
