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

template <typename Init>
int32_t send_request(int32_t destination, const char* operation, const char* init_name, Init init) {
  ProcessorHandler* handler = ProcessorHandler_Of(destination);
  Request* request = handler != nullptr ? ProcessorHandler_CreateRequest(handler) : nullptr;
  if (request == nullptr) {
    QLOG(1, "ERROR %s(... failed at ProcessorHandler_CreateRequest(..., errorcode = %d\n", operation,
         kMessageErrorCode);
    return kMessageErrorCode;
  }
  const int32_t code = init(request);
  if (code != 0) {
    request->bSendCancelled = 1;
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, init_name, code);
    return code;
  }
  const int32_t send_code = Request_Send(request);  // the record may be freed from here on
  if (send_code != 0) QLOG(1, "ERROR %s(... failed at Request_Send(..., errorcode = %d\n", operation, send_code);
  return send_code;
}

template <typename Init>
int32_t send_result(int32_t destination, const char* operation, const char* init_name, Init init) {
  ProcessorHandler* handler = ProcessorHandler_Of(destination);
  Result* result = handler != nullptr ? ProcessorHandler_CreateResult(handler) : nullptr;
  if (result == nullptr) {
    QLOG(1, "ERROR %s(... failed at ProcessorHandler_CreateResult(..., errorcode = %d\n", operation,
         kMessageErrorCode);
    return kMessageErrorCode;
  }
  const int32_t code = init(result);
  if (code != 0) {
    result->bSendCancelled = 1;
    QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation, init_name, code);
    return code;
  }
  const int32_t send_code = Result_Send(result);  // the record may be freed from here on
  if (send_code != 0) QLOG(1, "ERROR %s(... failed at Result_Send(..., errorcode = %d\n", operation, send_code);
  return send_code;
}
