#pragma once
// Tests of table sharing run as processes of one job on one host: the test
// process is rank 0, and forked children take the part of the job's other
// processes (same job name, their own segment records). Every test works in
// a fresh directory whose common log file shows what each rank logged, and
// leaves nothing of its job in the shared-memory directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../platform/child_process.h"
#include "base/ybwc_manager.h"
#include "chess/history.h"
#include "chess/trans.h"
#include "platform/shm_directory.h"
#include "sharing/critical_section.h"
#include "sharing/segment_names.h"
#include "sharing/shared_memory.h"
#include "sharing/table_memory.h"

class SharingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    char pattern[] = "/tmp/quorrel-sharing-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::filesystem::current_path(dir_);
    std::filesystem::create_directory("Error");
    manager_ = YBWCManager_GetInstance();
    saved_ = *manager_->pConfiguration;
    manager_->pConfiguration->bLogToCommonFile = 1;
    manager_->pConfiguration->bLogToFile = 0;
    manager_->pConfiguration->bLogToStdout = 0;
    manager_->pConfiguration->nPellamDebugLevel = 1;
    manager_->nRank = 0;
    manager_->bRootMaster = 1;
    std::snprintf(manager_->sLocalProcessorName, sizeof manager_->sLocalProcessorName, "sharing-test");
    manager_->sSharedMemoryJobName[0] = '\0';
    job_ = SharedMemory_JobName(manager_);
  }

  void TearDown() override {
    YBWCManager_ReleaseTables(manager_);
    YBWCManager_DetachAllSharedMem(manager_);
    YBWCManager_DeleteSharedMem(manager_, SHARED_MEMORY_KEY_TRANSPOSITION_TABLE);
    YBWCManager_DeleteSharedMem(manager_, SHARED_MEMORY_KEY_HISTORY_TABLE);
    trans_set_memory(nullptr);
    history_set_memory(nullptr);
    history_set_sharing(nullptr);
    *manager_->pConfiguration = saved_;
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
    for (const auto& entry : std::filesystem::directory_iterator(kSharedMemoryDirectory)) {
      if (entry.path().filename().string().find(job_) != std::string::npos) {
        ADD_FAILURE() << "left behind: " << entry.path();
        std::filesystem::remove_all(entry.path());
      }
    }
  }

  // In a forked child: another process of the job, with nothing mapped yet.
  void become_other_process(int32_t rank) {
    manager_->nRank = rank;
    manager_->bRootMaster = 0;
    for (SharedMemoryRecord& record : manager_->sharedMemory) record = {SHARED_MEMORY_NOT_IN_USE, -1, nullptr, 0};
    manager_->pHistoryTableCriticalSection = nullptr;
  }

  // Another process of the job takes the history lock and, once it holds
  // it, runs `then` (which lets go or dies) and exits with its result.
  // Returns after the child holds the lock.
  pid_t start_history_lock_holder(const std::function<int(CriticalSection&)>& then) {
    Signal holding;
    const pid_t child = start_child([&] {
      become_other_process(1);
      CriticalSection section;
      CriticalSection_Construct(&section, kHistoryTableLockName);
      CriticalSection_Enter(&section);
      holding.notify();
      return then(section);
    });
    EXPECT_TRUE(holding.wait());
    return child;
  }

  // The line rank 0 logs for every 100 ms it waits for the history lock.
  static constexpr const char* kWaitingLine =
      "    0:INFO <CriticalSectionHistoryTable> waiting for void CriticalSection_Enter(...\n";

  static std::string log() {
    std::ifstream in("Error/SLog_9999.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static bool logged(const std::string& line) { return log().find(line) != std::string::npos; }
  static int count_logged(const std::string& line) {
    const std::string text = log();
    int n = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
  }
  static bool exists_in_shm(const std::string& file) {
    return std::filesystem::exists(std::string(kSharedMemoryDirectory) + file);
  }
  std::string segment(int32_t key) const { return SharedMemory_SegmentName(manager_, key); }
  const SharedMemoryRecord& record(int32_t key) const { return *YBWCManager_SharedMemRecord(manager_, key); }

  YBWCManager* manager_ = nullptr;
  std::string job_;

 private:
  std::filesystem::path previous_;
  std::string dir_;
  PellamConfiguration saved_{};
};
