#pragma once
// A narrower window for an entry of the search stack reaches the entries
// above it: each child's window is tightened to what its parent's window now
// asks of it. A child whose window empties is no longer needed: it and every
// entry above it are ended. The slaves holding moves of a tightened root or
// full-search entry are told the new window.
#include "search/stack.h"

// Carries the window of `parent` up the stack, starting with the entry at
// `first_index` (the parent's child), until the top or until a child is
// unchanged or ended.
void YBWCManager_PropagateSearchWindow(StackEntry& parent, int first_index);

// Called before the top entry pops. When it is the child a window collapse
// ended and its parent lives on, the child's "no value" must not reach the
// parent (negated it would be a huge score, a false cut-off): the child
// starts again, alive, with the window its parent now gives it. True then.
bool Stack_RestartEntryEndedByWindow();

// The window a child at `return_position` was called with, from its parent's
// current window. False for a return position whose window does not follow
// the parent's (the propagation ends there). `null_window`: any change of the
// child's window leaves it without a meaning (a scout or null-move search).
struct ChildWindow {
  bool has_alpha;
  int alpha;
  bool has_beta;
  int beta;
  bool null_window;
};
bool window_of_child(const StackEntry& parent, int return_position, bool work_item_full_search, ChildWindow& window);
