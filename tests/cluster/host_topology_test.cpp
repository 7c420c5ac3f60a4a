// The host-topology analysis of a job of two ranks on host A and two on host
// B, seen from each rank: who shares the host, who is a broadcast target, who
// is the lowest rank of its host, and the broadcast decisions with their lines.
#include "cluster/host_topology.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cluster/processor_handler.h"
#include "service_test_util.h"

namespace {

class HostTopology : public MessageTest {
 protected:
  void SetUp() override {
    MessageTest::SetUp();
    manager_->nSize = 4;
    const char* names[] = {"A", "A", "B", "B"};
    for (int rank = 0; rank < 4; rank++) {
      manager_->pProcessorHandlers[rank] = ProcessorHandler_Construct(rank);
      std::snprintf(manager_->pProcessorHandlers[rank]->sProcessorName, kProcessorNameSize, "%s", names[rank]);
    }
    PellamConfiguration* config = manager_->pConfiguration;
    config->bBroadcastTranspositionTable = 1;
    config->bUseSharedMemoryTranspositionTable = 1;
    config->bBroadcastHistoryTable = 0;
    config->bUseSharedMemoryHistoryTable = 0;
  }
  void TearDown() override {
    for (int rank = 0; rank < 4; rank++) {
      ProcessorHandler_Destruct(manager_->pProcessorHandlers[rank]);
      manager_->pProcessorHandlers[rank] = nullptr;
    }
    MessageTest::TearDown();
  }
  // Analyses as rank `rank` and returns the log lines.
  std::string analyse_as(int rank) {
    manager_->nRank = rank;
    std::snprintf(manager_->sLocalProcessorName, sizeof manager_->sLocalProcessorName, "%s",
                  manager_->pProcessorHandlers[rank]->sProcessorName);
    LogCapture log(7);
    YBWCManager_AnalyzeHostTopology(manager_);
    return log.text();
  }
  const ProcessorHandler& handler(int rank) { return *manager_->pProcessorHandlers[rank]; }
};

TEST_F(HostTopology, TwoHostsOfTwoRanksSeenFromRankZero) {
  const std::string log = analyse_as(0);
  EXPECT_EQ(handler(1).bSameNode, 1);
  EXPECT_EQ(handler(1).bHashTableBroadcastTarget, 0);
  EXPECT_EQ(handler(2).bSameNode, 0);
  EXPECT_EQ(handler(2).bHashTableBroadcastTarget, 1);  // the lowest rank of host B
  EXPECT_EQ(handler(2).bHistoryTableBroadcastTarget, 1);
  EXPECT_EQ(handler(3).bHashTableBroadcastTarget, 0);
  EXPECT_EQ(manager_->bHashTableMaster, 1);
  EXPECT_EQ(manager_->bHasHashTableBroadcastTargets, 1);
  EXPECT_EQ(manager_->bDoBroadcastTranspositionTable, 1);
  EXPECT_EQ(manager_->bDoBroadcastHistoryTable, 0);
  EXPECT_NE(log.find("INFO rank 2 on <B> has bHashTableBroadcastTarget property\n"), std::string::npos);
  EXPECT_EQ(log.find("INFO rank 3 on"), std::string::npos);
  EXPECT_NE(log.find("INFO bHashTableMaster property\n"), std::string::npos);
  EXPECT_NE(log.find("INFO bBroadcastTranspositionTable enabled and potentially needed\n"), std::string::npos);
  EXPECT_NE(log.find("INFO bBroadcastHistoryTable disabled\n"), std::string::npos);
}

TEST_F(HostTopology, TheSecondRankOfAHostIsNoHashTableMaster) {
  const std::string log = analyse_as(1);
  EXPECT_EQ(manager_->bHashTableMaster, 0);
  EXPECT_EQ(log.find("INFO bHashTableMaster property"), std::string::npos);
  EXPECT_EQ(handler(0).bSameNode, 1);
  EXPECT_EQ(handler(2).bHashTableBroadcastTarget, 1);

  analyse_as(3);
  EXPECT_EQ(manager_->bHashTableMaster, 0);
  EXPECT_EQ(handler(0).bHashTableBroadcastTarget, 1);  // host A's lowest rank
  EXPECT_EQ(handler(1).bHashTableBroadcastTarget, 0);
  EXPECT_EQ(handler(2).bSameNode, 1);
}

TEST_F(HostTopology, OneHostNeedsNoBroadcastWithSharedTables) {
  for (int rank = 0; rank < 4; rank++) std::snprintf(manager_->pProcessorHandlers[rank]->sProcessorName, 4, "A");
  manager_->pConfiguration->bBroadcastHistoryTable = 1;
  const std::string log = analyse_as(2);
  EXPECT_EQ(manager_->bHasHashTableBroadcastTargets, 0);
  EXPECT_EQ(manager_->bDoBroadcastTranspositionTable, 0);
  EXPECT_NE(log.find("INFO bBroadcastTranspositionTable enabled but not really needed\n"), std::string::npos);
  // A private history table on every process: its broadcast is needed.
  EXPECT_EQ(manager_->bDoBroadcastHistoryTable, 1);
  EXPECT_NE(log.find("INFO bBroadcastHistoryTable enabled and potentially needed\n"), std::string::npos);
}

}  // namespace
