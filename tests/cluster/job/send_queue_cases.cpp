// The send queues between real processes. Messages above 1 KB complete only
// once their peer has received them (job_main), so queues really fill.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cluster/message_send.h"
#include "cluster/processor_handler.h"
#include "job_util.h"

namespace {

using SendQueues = JobTest;

// A set-option request of more than 1 KB whose name carries a sequence number.
int32_t init_large_option(Request* request, int sequence) {
  char name[32];
  std::snprintf(name, sizeof name, "seq %d", sequence);
  static const std::string value(1500, 'v');
  return Request_InitRootMasterSetOption(request, name, value.c_str());
}

int sequence_of(const Request* request) {
  if (request->nType == REQUEST_TYPE_MASTER_STOP) return static_cast<int>(request->nWorkId);
  if (request->nType == REQUEST_TYPE_ROOT_MASTER_SET_OPTION) return std::atoi(request->psOptionName + 4);
  return -1;
}

TEST_F(SendQueues, ManyMessagesToOnePeerArriveInTheOrderTheyWereSent) {
  YBWCManager_GetInstance()->pConfiguration->nMaxBufferedRequestCount = 4;
  const int from = job_previous();
  const int to = job_next();
  constexpr int kMessages = 600;
  std::vector<int> arrived;
  g_on_request = [&](const Request* r) {
    if (r->nSource == from) arrived.push_back(sequence_of(r));
  };
  int answers = 0;
  g_on_result = [&](const Result* r) {
    if (r->nSource == to && r->nType == RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION) ++answers;
  };
  meet();  // every rank watches before any sends
  for (int i = 0; i < kMessages; i++) {
    // Every fifth message is a large one that waits for its receiver.
    const int32_t code = i % 5 == 0 ? send_request(to, "test", "init_large_option",
                                                   [i](Request* r) { return init_large_option(r, i); })
                                    : send_request(to, "test", "Request_InitMasterStop",
                                                   [i](Request* r) { return Request_InitMasterStop(r, i); });
    ASSERT_EQ(code, 0) << i;
  }
  ASSERT_TRUE(serve_until([&] { return arrived.size() >= kMessages && answers >= kMessages / 5; }));
  ASSERT_EQ(arrived.size(), static_cast<size_t>(kMessages));
  for (int i = 0; i < kMessages; i++) ASSERT_EQ(arrived[i], i);
  const ProcessorHandler* next = ProcessorHandler_Of(to);
  EXPECT_EQ(next->nBufferedRequestCount, 0);
  EXPECT_LE(next->nBufferedRequestCountMax, 4);
}

TEST_F(SendQueues, TwoRanksFillingEachOthersQueuesAtOnceDoNotDeadlock) {
  // Ranks 0 and 1 send each other large requests with room for one record
  // per queue; every one received is answered and also answered with a
  // request of its own, created while the queue to that peer is still full.
  if (job_rank() > 1) {
    meet();
    return;
  }
  YBWCManager* manager = YBWCManager_GetInstance();
  manager->pConfiguration->nMaxBufferedRequestCount = 1;
  manager->pConfiguration->nMaxBufferedResultCount = 1;
  const int peer = 1 - job_rank();
  constexpr int kMessages = 150;
  int options = 0, stops = 0, answers = 0, failures = 0;
  g_on_request = [&](const Request* r) {
    if (r->nType == REQUEST_TYPE_MASTER_STOP) ++stops;
    if (r->nType != REQUEST_TYPE_ROOT_MASTER_SET_OPTION) return;
    ++options;
    const int sequence = sequence_of(r);
    if (send_request(peer, "test", "Request_InitMasterStop",
                     [sequence](Request* s) { return Request_InitMasterStop(s, sequence); }) != 0)
      ++failures;
  };
  g_on_result = [&](const Result* r) {
    if (r->nType == RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION) ++answers;
  };
  meet();
  for (int i = 0; i < kMessages; i++)
    if (send_request(peer, "test", "init_large_option", [i](Request* r) { return init_large_option(r, i); }) != 0)
      ++failures;
  ASSERT_TRUE(serve_until([&] { return options >= kMessages && stops >= kMessages && answers >= kMessages; }, 60000))
      << options << " " << stops << " " << answers;
  EXPECT_EQ(failures, 0);
  const ProcessorHandler* handler = ProcessorHandler_Of(peer);
  EXPECT_LE(handler->nBufferedRequestCountMax, kQueueHardLimitFactor);
  EXPECT_EQ(handler->nBufferedRequestCount, 0);
  EXPECT_EQ(handler->nBufferedResultCount, 0);
}

TEST_F(SendQueues, AFullQueueWaitsAndServicesIncomingMessagesMeanwhile) {
  // A plain barrier: rank 1 must take nothing before it is busy (nothing is
  // in flight here, so no send waits on a rank inside it).
  if (job_rank() > 1) {
    MPI_Barrier(MPI_COMM_WORLD);
    return;
  }
  YBWCManager* manager = YBWCManager_GetInstance();
  if (job_rank() == 1) {
    std::vector<int> arrived;
    g_on_request = [&](const Request* r) {
      if (r->nSource == 0) arrived.push_back(sequence_of(r));
    };
    MPI_Barrier(MPI_COMM_WORLD);
    // A busy peer: it sends a trigger and three window updates, then takes
    // nothing for a while.
    for (int64_t id : {-1, 1, 2, 3}) {
      Request* r = Request_Construct();
      ASSERT_EQ(id < 0 ? Request_InitMasterStop(r, id) : Request_InitMasterUpdateSearchWindow(r, id, -5, 5), 0);
      raw_send(r->buffer, r->nPosition, 0, MESSAGE_TAG_REQUEST);
      Request_Destruct(r);
    }
    usleep(300 * 1000);
    ASSERT_TRUE(serve_until([&] { return arrived.size() >= 2; }));
    EXPECT_EQ(arrived, (std::vector<int>{100, 42}));  // the full queue's record after the one ahead of it
    return;
  }
  manager->pConfiguration->nMaxBufferedRequestCount = 1;
  manager->pConfiguration->nCleanupActionsInterval = 1 << 30;
  bool in_wait = false;
  int serviced_in_wait = 0;
  int32_t nested_code = -1;
  int calls = 0;
  g_on_request = [&](const Request* r) {
    if (r->nType == REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW && in_wait) ++serviced_in_wait;
    if (r->nType != REQUEST_TYPE_MASTER_STOP || r->nWorkId != -1) return;
    // The queue to rank 1 holds the large request, which rank 1 has not taken.
    in_wait = true;
    const int before = manager->nCleanupActionsCounter;
    nested_code = send_request(1, "test", "Request_InitMasterStop", [](Request* s) { return Request_InitMasterStop(s, 42); });
    calls = manager->nCleanupActionsCounter - before;
    in_wait = false;
  };
  MPI_Barrier(MPI_COMM_WORLD);
  {
    LogCapture log(3);
    ASSERT_EQ(send_request(1, "test", "init_large_option", [](Request* r) { return init_large_option(r, 100); }), 0);
    EXPECT_NE(log.text().find("WARNING ProcessorHandler <1> pThis->nBufferedRequestCount (1) >= MAX_BUFFERED_REQUEST_COUNT (1)\n"),
              std::string::npos);
  }
  EXPECT_EQ(nested_code, 0);
  EXPECT_EQ(serviced_in_wait, 3);
  EXPECT_EQ(ProcessorHandler_Of(1)->nBufferedRequestCountMax, 1);  // it waited for room instead of growing
  // It serviced and paused while rank 1 slept: far fewer calls than a spinning loop.
  EXPECT_GT(calls, 0);
  EXPECT_LT(calls, 2000);
}

}  // namespace
