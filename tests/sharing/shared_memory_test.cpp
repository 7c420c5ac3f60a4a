#include "sharing/shared_memory.h"

#include <cstdlib>
#include <filesystem>

#include "sharing_test_util.h"

namespace {

constexpr int32_t kTrans = SHARED_MEMORY_KEY_TRANSPOSITION_TABLE;
constexpr int32_t kHistory = SHARED_MEMORY_KEY_HISTORY_TABLE;

using SharedMemoryTest = SharingTest;

TEST_F(SharedMemoryTest, FirstProcessCreatesTheOthersAttachAndAllSeeTheSameMemory) {
  const std::string name = segment(kTrans);
  auto* view = static_cast<int*>(YBWCManager_InitSharedMem(manager_, kTrans, 4096));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(record(kTrans).nState, SHARED_MEMORY_CREATED);
  EXPECT_EQ(record(kTrans).nMappedSize, 4096u);
  view[0] = 4711;

  const pid_t child = start_child([&] {
    become_other_process(1);
    // Asks for more than the creator made: gets what there is.
    auto* seen = static_cast<int*>(YBWCManager_InitSharedMem(manager_, kTrans, 8192));
    if (seen == nullptr || record(kTrans).nState != SHARED_MEMORY_ATTACHED) return 1;
    if (record(kTrans).nMappedSize != 4096 || seen[0] != 4711) return 2;
    seen[1023] = 815;
    YBWCManager_DeleteSharedMem(manager_, kTrans);  // not its to delete
    if (record(kTrans).pView != seen) return 3;
    YBWCManager_DetachSharedMem(manager_, kTrans);
    return record(kTrans).nState == SHARED_MEMORY_NOT_IN_USE ? 0 : 4;
  });
  EXPECT_EQ(wait_child(child), 0);
  EXPECT_EQ(view[1023], 815);

  EXPECT_TRUE(logged("    0:INFO shared memory for key 5997 (map object name " + name + "), size desired = 4096\n"));
  EXPECT_TRUE(logged("    0:INFO shared memory for key 5997 (map object name " + name +
                     ") with size 4096 successfully allocated\n"));
  EXPECT_TRUE(logged("    1:INFO shared memory for key 5997 (map object name " + name + "), size desired = 8192\n"));
  EXPECT_TRUE(logged("    1:INFO shared memory for key 5997 (map object name " + name +
                     ") with size 4096 already allocated\n"));
  EXPECT_TRUE(logged("    1:INFO successful detach (without delete) of shared memory for key 5997\n"));
  EXPECT_FALSE(logged("    1:INFO successful detach and delete"));

  // The creator does not detach; it deletes, and the segment is gone.
  YBWCManager_DetachSharedMem(manager_, kTrans);
  EXPECT_EQ(record(kTrans).nState, SHARED_MEMORY_CREATED);
  EXPECT_FALSE(logged("    0:INFO successful detach (without delete)"));
  EXPECT_TRUE(exists_in_shm(name));
  YBWCManager_DeleteSharedMem(manager_, kTrans);
  EXPECT_TRUE(logged("    0:INFO successful detach and delete of shared memory for key 5997\n"));
  EXPECT_EQ(record(kTrans).nState, SHARED_MEMORY_NOT_IN_USE);
  EXPECT_FALSE(exists_in_shm(name));
}

TEST_F(SharedMemoryTest, OnLogOffOnlyWhatWasAttachedIsDetached) {
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kTrans, 4096), nullptr);
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kHistory, 4612), nullptr);
  const pid_t child = start_child([&] {
    become_other_process(2);
    if (YBWCManager_InitSharedMem(manager_, kTrans, 4096) == nullptr) return 1;
    if (YBWCManager_InitSharedMem(manager_, kHistory, 4612) == nullptr) return 2;
    YBWCManager_DetachAllSharedMem(manager_);
    return record(kTrans).pView == nullptr && record(kHistory).pView == nullptr ? 0 : 3;
  });
  EXPECT_EQ(wait_child(child), 0);
  const std::string text = log();
  const std::size_t trans_line = text.find("    2:INFO successful detach (without delete) of shared memory for key 5997\n");
  const std::size_t history_line =
      text.find("    2:INFO successful detach (without delete) of shared memory for key 5998\n");
  ASSERT_NE(trans_line, std::string::npos);
  ASSERT_NE(history_line, std::string::npos);
  EXPECT_LT(trans_line, history_line);

  YBWCManager_DetachAllSharedMem(manager_);
  EXPECT_NE(record(kTrans).pView, nullptr);
  EXPECT_NE(record(kHistory).pView, nullptr);
}

TEST_F(SharedMemoryTest, SecondAllocationGivesUpTheEarlierViewFirst) {
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kTrans, 4096), nullptr);
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kTrans, 4096), nullptr);
  const std::string text = log();
  const std::size_t detach = text.find("    0:INFO successful detach (without delete) of shared memory for transposition table\n");
  const std::size_t again = text.find("with size 4096 already allocated\n");
  ASSERT_NE(detach, std::string::npos);
  ASSERT_NE(again, std::string::npos);
  EXPECT_LT(detach, again);
  // Still the segment's creator: its name goes when this process deletes it.
  EXPECT_EQ(record(kTrans).nState, SHARED_MEMORY_CREATED);

  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kHistory, 4612), nullptr);
  ASSERT_NE(YBWCManager_InitSharedMem(manager_, kHistory, 4612), nullptr);
  EXPECT_TRUE(logged("    0:INFO successful detach (without delete) of shared memory for history table\n"));

  // A process that attached stays attached.
  const pid_t child = start_child([&] {
    become_other_process(1);
    YBWCManager_InitSharedMem(manager_, kTrans, 4096);
    YBWCManager_InitSharedMem(manager_, kTrans, 4096);
    const bool attached = record(kTrans).nState == SHARED_MEMORY_ATTACHED;
    YBWCManager_DetachSharedMem(manager_, kTrans);
    return attached ? 0 : 1;
  });
  EXPECT_EQ(wait_child(child), 0);
  YBWCManager_DeleteSharedMem(manager_, kTrans);
  YBWCManager_DeleteSharedMem(manager_, kHistory);
  EXPECT_FALSE(exists_in_shm(segment(kTrans)));
  EXPECT_FALSE(exists_in_shm(segment(kHistory)));
}

TEST_F(SharedMemoryTest, SegmentThatCannotBeHadGivesNoViewAndAnErrorLine) {
  const std::string name = segment(kTrans);
  ASSERT_TRUE(std::filesystem::create_directory(std::string(kSharedMemoryDirectory) + name));
  EXPECT_EQ(YBWCManager_InitSharedMem(manager_, kTrans, 4096), nullptr);
  EXPECT_EQ(record(kTrans).nState, SHARED_MEMORY_NOT_IN_USE);
  const std::string line =
      "    0:ERROR YBWCManager_InitSharedMem(... failed at hMapObject = CreateFileMapping(INVALID_HANDLE_VALUE, NULL, "
      "PAGE_READWRITE, 0, 4096, " + name + ")), result = ";
  const std::string text = log();
  const std::size_t at = text.find(line);
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_NE(std::atoi(text.c_str() + at + line.size()), 0);  // the system's error number
  std::filesystem::remove(std::string(kSharedMemoryDirectory) + name);

  EXPECT_EQ(YBWCManager_InitSharedMem(manager_, 4711, 4096), nullptr);  // no such key
}

}  // namespace
