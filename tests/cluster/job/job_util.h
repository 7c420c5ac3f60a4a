#pragma once
// Shared pieces of the message tests that run as a real MPI job (mpiexec -n 2
// or 3): every rank runs the same tests in the same order, each test plays
// its rank's part, and the ranks meet between tests while servicing messages.
#include <gtest/gtest.h>
#include <mpi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/ybwc_manager.h"
#include "cluster/request.h"
#include "cluster/result.h"

int job_rank();
int job_size();
inline int job_next() { return (job_rank() + 1) % job_size(); }
inline int job_previous() { return (job_rank() + job_size() - 1) % job_size(); }

// Services messages until `done` holds; false when `timeout_ms` passed first.
bool serve_until(const std::function<bool()>& done, int timeout_ms = 30000);
// Every rank arrives here before any leaves; messages are serviced meanwhile
// (a rank waiting in a plain barrier could hold up a peer's send for ever).
void meet();

// Called with every request and result a rank acts on (null: nothing).
extern std::function<void(const Request*)> g_on_request;
extern std::function<void(const Result*)> g_on_result;

// A received record kept past its dispatch: a byte copy whose owned texts are
// held as strings.
struct SeenRequest {
  std::shared_ptr<Request> record;
  std::string sync_position, option_name, option_value, go_commands;
  std::vector<std::string> names;
};
SeenRequest keep(const Request* request);
std::shared_ptr<Result> keep(const Result* result);

// Sends packed bytes with a plain MPI send, outside the engine's queues (a
// peer that is busy, or that sends malformed messages).
void raw_send(const void* buffer, int32_t length, int destination, int tag);

// Every rank's state between tests: idle, logged on, default limits, no
// observers, counts cleared, the position id agreed.
void reset_rank_state();

class JobTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_rank_state();
    meet();
  }
  void TearDown() override {
    g_on_request = nullptr;
    g_on_result = nullptr;
    meet();
    reset_rank_state();
  }
};

// Captures the log lines written to standard output in between.
class LogCapture {
 public:
  explicit LogCapture(int level);
  ~LogCapture();
  std::string text();

 private:
  bool done_ = false;
  std::string text_;
};
