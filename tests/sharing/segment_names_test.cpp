#include "sharing/segment_names.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "base/ybwc_manager.h"

namespace {

TEST(SegmentNames, ExecutableHostAndJobMakeTheName) {
  EXPECT_EQ(SharedMemory_ExecutableName("/usr/local/bin/quorrel"), "quorrel");
  EXPECT_EQ(SharedMemory_ExecutableName("C:/engines/Quorrel.exe"), "Quorrel");
  EXPECT_EQ(SharedMemory_ExecutableName("./build.x/quorrel.v1.2"), "quorrel-v1");
  EXPECT_EQ(SharedMemory_ExecutableName(".hidden"), "-hidden");
  EXPECT_EQ(SharedMemory_ComposeJobName("/opt/quorrel", 4711, "hosta"), "quorrel.4711.hosta");
  // Dots and separators of host names cannot be confused with the parts.
  EXPECT_EQ(SharedMemory_ComposeJobName("quorrel", 4711, "node1.cluster/x y"), "quorrel.4711.node1-cluster-x-y");
  EXPECT_EQ(SharedMemory_ComposeJobName("quorrel", 4711, ""), "quorrel.4711.-");

  YBWCManager* manager = YBWCManager_GetInstance();
  std::snprintf(manager->sSharedMemoryJobName, sizeof manager->sSharedMemoryJobName, "quorrel.4711.hosta");
  EXPECT_EQ(SharedMemory_SegmentName(manager, 5997), "SharedMemory_Id_quorrel.4711.hosta_5997");
  EXPECT_EQ(SharedMemory_SegmentName(manager, 5998), "SharedMemory_Id_quorrel.4711.hosta_5998");
  EXPECT_EQ(SharedMemory_LockName(manager, "CriticalSectionHistoryTable"),
            "CriticalSectionHistoryTable_quorrel.4711.hosta");
  manager->sSharedMemoryJobName[0] = '\0';
}

TEST(SegmentNames, JobIdIsReadBackOnlyFromNamesOfTheSameExecutable) {
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel.4711.hosta_5997", "SharedMemory_Id_", "quorrel"), 4711);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel.4711.a_b.c_5998", "SharedMemory_Id_", "quorrel"), 4711);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel2.4711.hosta_5997", "SharedMemory_Id_", "quorrel"), -1);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel-x.4711.h_5997", "SharedMemory_Id_", "quorrel"), -1);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel_5997", "SharedMemory_Id_", "quorrel"), -1);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel.47x.h_5997", "SharedMemory_Id_", "quorrel"), -1);
  EXPECT_EQ(SharedMemory_JobIdOfName("SharedMemory_Id_quorrel..h_5997", "SharedMemory_Id_", "quorrel"), -1);
  EXPECT_EQ(SharedMemory_JobIdOfName("CriticalSectionHistoryTable_quorrel.12.h", "CriticalSectionHistoryTable_",
                                     "quorrel"),
            12);
}

TEST(SegmentNames, ProcessesStartedByAProcessManagerShareTheirProxysJob) {
  YBWCManager* manager = YBWCManager_GetInstance();
  std::snprintf(manager->sLocalProcessorName, sizeof manager->sLocalProcessorName, "hostb");
  unsetenv("PMI_RANK");
  manager->sSharedMemoryJobName[0] = '\0';
  EXPECT_EQ(std::string(SharedMemory_JobName(manager)), "quorrel_unit_tests." + std::to_string(getpid()) + ".hostb");
  setenv("PMI_RANK", "0", 1);
  manager->sSharedMemoryJobName[0] = '\0';
  EXPECT_EQ(std::string(SharedMemory_JobName(manager)), "quorrel_unit_tests." + std::to_string(getppid()) + ".hostb");
  unsetenv("PMI_RANK");
  manager->sSharedMemoryJobName[0] = '\0';
  manager->sLocalProcessorName[0] = '\0';
}

}  // namespace
