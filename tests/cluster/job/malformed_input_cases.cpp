// Malformed messages from a peer: refused with an ERROR line and error 15,
// and answered wherever the peer waits for an answer.
#include <string>
#include <vector>

#include "cluster/mpi_wrapper.h"
#include "job_util.h"

namespace {

struct Raw {
  char buffer[kPackBufferSize] = {};
  int32_t position = 0;
  void Int(int32_t v) { EXPECT_EQ(MPIWrapper_Pack_INT(v, buffer, &position), 0); }
  void Str(const std::string& s) { EXPECT_EQ(MPIWrapper_Pack_STR(s.c_str(), buffer, &position), 0); }
  void Array(int32_t count, int32_t elements) {
    Int(count);
    for (int32_t i = 0; i < elements; i += 2) Int(0x00070007);
  }
  void send(int tag, int32_t length = -1) { raw_send(buffer, length < 0 ? position : length, 0, tag); }
};

using MalformedInput = JobTest;

TEST_F(MalformedInput, IsRefusedLoggedAndStillAnswered) {
  if (job_rank() > 1) {
    meet();
    return;
  }
  if (job_rank() == 1) {
    std::vector<int32_t> answers;
    g_on_result = [&](const Result* r) {
      if (r->nSource == 0) answers.push_back(r->nType);
    };
    meet();
    Raw option;  // a string longer than its field
    option.Int(REQUEST_TYPE_ROOT_MASTER_SET_OPTION);
    option.Str(std::string(1025, 'n'));
    option.Str("1");
    option.send(MESSAGE_TAG_REQUEST);
    Raw work;  // cut off before its position id
    work.Int(REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK);
    work.send(MESSAGE_TAG_REQUEST);
    Raw remote;  // go commands beyond their field
    remote.Int(REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST);
    remote.Str(std::string(4000, 'g'));
    remote.send(MESSAGE_TAG_REQUEST);
    Raw unknown;  // a type nobody knows
    unknown.Int(4711);
    unknown.send(MESSAGE_TAG_REQUEST);
    unknown.send(MESSAGE_TAG_RESULT);
    Raw pv;  // a pv count beyond its array, then one below zero
    pv.Int(REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT);
    for (int i = 0; i < 10; i++) pv.Int(1);  // position id .. max depth, the work id as two ints
    pv.Array(300, 300);
    pv.send(MESSAGE_TAG_REQUEST);
    Raw negative;
    negative.Int(REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT);
    for (int i = 0; i < 10; i++) negative.Int(1);
    negative.Int(-7);
    negative.send(MESSAGE_TAG_REQUEST);
    Raw killers;  // a work item's killer count beyond its array
    killers.Int(RESULT_TYPE_MASTER_WORK_AVAILABLE);
    for (int i = 0; i < 20; i++) killers.Int(i == 5 ? 2 : i == 6 ? 110 : 0);
    killers.Array(513, 0);
    killers.send(MESSAGE_TAG_RESULT);
    Raw height;  // an index outside its table
    height.Int(RESULT_TYPE_MASTER_WORK_AVAILABLE);
    for (int i = 0; i < 20; i++) height.Int(i == 5 ? 2 : i == 6 ? 110 : i == 10 ? 256 : 0);
    height.Int(0);
    height.send(MESSAGE_TAG_RESULT);
    Raw position;  // a truncated buffer: the text is cut off
    position.Int(REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION);
    position.Int(3);
    position.Str(std::string(3000, 'p'));
    position.send(MESSAGE_TAG_REQUEST, 200);
    Raw last_request;
    last_request.Int(REQUEST_TYPE_MASTER_STOP);
    last_request.Int(999);
    last_request.Int(0);
    last_request.send(MESSAGE_TAG_REQUEST);
    Raw last_result;
    last_result.Int(RESULT_TYPE_SYNC_AFTER_BROADCAST);
    last_result.send(MESSAGE_TAG_RESULT);
    ASSERT_TRUE(serve_until([&] { return answers.size() >= 3; }));
    EXPECT_EQ(answers, (std::vector<int32_t>{RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION,
                                             RESULT_TYPE_MASTER_NO_WORK_AVAILABLE,
                                             RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST}));
    return;
  }
  // A valid request and a valid result close the sequence: everything
  // before them has been dispatched once they arrive.
  int acted = 0;
  bool last_request = false, last_result = false;
  g_on_request = [&](const Request* r) {
    if (r->nType == REQUEST_TYPE_MASTER_STOP && r->nWorkId == 999)
      last_request = true;
    else if (r->nType > 0 && r->nType < REQUEST_TYPE_COUNT)
      ++acted;  // (an unknown type reaches its dispatcher branch, which refuses it)
  };
  g_on_result = [&](const Result* r) {
    if (r->nType == RESULT_TYPE_SYNC_AFTER_BROADCAST)
      last_result = true;
    else if (r->nType > 0 && r->nType < RESULT_TYPE_COUNT)
      ++acted;
  };
  std::string text;
  {
    LogCapture log(1);
    meet();
    const bool all = serve_until([&] { return last_request && last_result; });
    text = log.text();
    ASSERT_TRUE(all);
  }
  EXPECT_EQ(acted, 0);
  auto count = [&](const std::string& needle) {
    size_t n = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("ERROR YBWCManager_ServiceRequests(... failed at RequestDispatcher_Dispatch(..., errorcode = 15\n"), 7u)
      << text;
  EXPECT_EQ(count("ERROR YBWCManager_ServiceResults(... failed at ResultDispatcher_Dispatch(..., errorcode = 15\n"), 3u)
      << text;
  EXPECT_EQ(count("failed at switch(pRequest->nType) (default), errorcode = 15\n"), 1u);
  EXPECT_EQ(count("failed at switch(pResult->nType) (default), errorcode = 15\n"), 1u);
  EXPECT_EQ(count("pThis->nHeight = 256 is outside its table"), 1u);
}

}  // namespace
