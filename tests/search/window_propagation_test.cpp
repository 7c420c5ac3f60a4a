// A narrower window carried up the search stack: children tightened to what
// their parent's window asks of them, a scout child whose window changes is
// ended with everything above it, and an unchanged child ends the walk.
#include "search/window_propagation.h"

#include <gtest/gtest.h>

#include "search/stack.h"

namespace {

class Propagation : public ::testing::Test {
 protected:
  void SetUp() override {
    Stack_Reset();
    FullRootPar& root = Stack_Push(CALL_TYPE_FULL_ROOT, RETURN_POSITION_FUNCTION_END).parameters.fullRootPar;
    root.alpha = -100;
    root.beta = 100;
  }
  void TearDown() override { Stack_Reset(); }
  static FullSearchPar& push_full(int return_position, int alpha, int beta) {
    FullSearchPar& par = Stack_Push(CALL_TYPE_FULL_SEARCH, return_position).parameters.fullSearchPar;
    par.alpha = alpha;
    par.beta = beta;
    return par;
  }
};

TEST_F(Propagation, ARaisedRootAlphaLowersTheChildsBetaAndGoesOn) {
  FullSearchPar& child = push_full(RETURN_POSITION_FULL_ROOT_01, -100, 100);
  FullSearchPar& grandchild = push_full(RETURN_POSITION_FULL_SEARCH_06, -100, 100);
  Stack.entries[0].parameters.fullRootPar.alpha = 20;
  YBWCManager_PropagateSearchWindow(Stack.entries[0], 1);
  EXPECT_EQ(child.alpha, -100);
  EXPECT_EQ(child.beta, -20);
  // (-beta, -alpha) of the child: alpha 20 now.
  EXPECT_EQ(grandchild.alpha, 20);
  EXPECT_EQ(grandchild.beta, 100);
  EXPECT_EQ(Stack.entries[2].localData.fullSearchDat.old_alpha, 20);
  for (int i = 0; i < Stack.nCount; i++) EXPECT_TRUE(Stack.entries[i].bAlive);
}

TEST_F(Propagation, AScoutChildWhoseWindowChangesEndsWithEverythingAboveIt) {
  FullSearchPar& child = push_full(RETURN_POSITION_FULL_ROOT_02, 99, 100);  // scout at alpha -100
  push_full(RETURN_POSITION_FULL_SEARCH_06, -100, -99);
  Stack.entries[0].parameters.fullRootPar.alpha = 20;
  YBWCManager_PropagateSearchWindow(Stack.entries[0], 1);
  EXPECT_TRUE(Stack.entries[0].bAlive);
  EXPECT_FALSE(Stack.entries[1].bAlive);
  EXPECT_FALSE(Stack.entries[2].bAlive);
  EXPECT_LT(child.alpha, child.beta);
}

TEST_F(Propagation, TheEndedChildIsSearchedAgainBeforeItsParentSeesItsValue) {
  FullSearchPar& child = push_full(RETURN_POSITION_FULL_ROOT_02, 99, 100);
  push_full(RETURN_POSITION_FULL_SEARCH_06, -100, -99);
  Stack.entries[0].parameters.fullRootPar.alpha = 20;
  YBWCManager_PropagateSearchWindow(Stack.entries[0], 1);
  // The grandchild pops into its ended parent as usual.
  EXPECT_FALSE(Stack_RestartEntryEndedByWindow());
  --Stack.nCount;
  // The ended child would pop into the living root: it starts again instead,
  // with the scout window at the root's new alpha.
  EXPECT_TRUE(Stack_RestartEntryEndedByWindow());
  EXPECT_TRUE(Stack.entries[1].bAlive);
  EXPECT_EQ(child.alpha, -21);
  EXPECT_EQ(child.beta, -20);
  // Once only: its next end pops normally.
  EXPECT_FALSE(Stack_RestartEntryEndedByWindow());
}

TEST_F(Propagation, AnUnchangedChildEndsTheWalk) {
  push_full(RETURN_POSITION_FULL_ROOT_01, -100, -20);
  FullSearchPar& grandchild = push_full(RETURN_POSITION_FULL_SEARCH_06, -5, 100);
  Stack.entries[0].parameters.fullRootPar.alpha = 20;
  YBWCManager_PropagateSearchWindow(Stack.entries[0], 1);
  // The child already had the window the root asks for: nothing above it moves.
  EXPECT_EQ(grandchild.alpha, -5);
  EXPECT_EQ(grandchild.beta, 100);
}

TEST_F(Propagation, ReturnPositionsWithoutAWindowOfTheParentAreLeftAlone) {
  ChildWindow window;
  EXPECT_FALSE(window_of_child(Stack.entries[0], RETURN_POSITION_FUNCTION_END, false, window));
  EXPECT_TRUE(window_of_child(Stack.entries[0], RETURN_POSITION_FULL_ROOT_03, false, window));
  EXPECT_EQ(window.alpha, -150);  // (-beta - 50, -alpha) for a master
  EXPECT_TRUE(window_of_child(Stack.entries[0], RETURN_POSITION_FULL_ROOT_03, true, window));
  EXPECT_EQ(window.alpha, -100);  // a slave's item of an interior node: (-beta, -alpha)
  EXPECT_EQ(window.beta, 100);
}

}  // namespace
