#pragma once
// The path of every outgoing message: a record created on the destination's
// handler, filled by one initialiser, then sent (which waits until the
// destination's queues have drained). Failures are logged in the caller's
// name. A record whose initialiser failed is not sent: it is marked
// cancelled, and its queue frees it.
#include <cstdint>

#include "base/log.h"
#include "cluster/message_types.h"
#include "cluster/processor_handler.h"
#include "cluster/request.h"
#include "cluster/result.h"

namespace message_send_detail {
inline Request* create(ProcessorHandler* handler, Request*) { return ProcessorHandler_CreateRequest(handler); }
inline Result* create(ProcessorHandler* handler, Result*) { return ProcessorHandler_CreateResult(handler); }
inline int32_t send(Request* request) { return Request_Send(request); }
inline int32_t send(Result* result) { return Result_Send(result); }
inline const char* creator(Request*) { return "ProcessorHandler_CreateRequest"; }
inline const char* creator(Result*) { return "ProcessorHandler_CreateResult"; }
inline const char* sender(Request*) { return "Request_Send"; }
inline const char* sender(Result*) { return "Result_Send"; }

template <typename Record, typename Init>
int32_t send_message(int32_t destination, const char* operation, const char* init_name, Init init) {
  constexpr Record* kind = nullptr;
  ProcessorHandler* handler = ProcessorHandler_Of(destination);
  Record* record = handler != nullptr ? create(handler, kind) : nullptr;
  if (record == nullptr) {
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, creator(kind), kMessageErrorCode);
    return kMessageErrorCode;
  }
  const int32_t code = init(record);
  if (code != 0) {
    record->bSendCancelled = 1;
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, init_name, code);
    return code;
  }
  const int32_t send_code = send(record);  // the record may be freed from here on
  if (send_code != 0) QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, sender(kind), send_code);
  return send_code;
}
}  // namespace message_send_detail

template <typename Init>
int32_t send_request(int32_t destination, const char* operation, const char* init_name, Init init) {
  return message_send_detail::send_message<Request>(destination, operation, init_name, init);
}

template <typename Init>
int32_t send_result(int32_t destination, const char* operation, const char* init_name, Init init) {
  return message_send_detail::send_message<Result>(destination, operation, init_name, init);
}
