#include "cluster/message_fields.h"

#include "base/log.h"
#include "cluster/message_types.h"
#include "cluster/mpi_wrapper.h"
#include "cluster/processor_handler.h"
#include "base/ybwc_manager.h"

void MessagePacker::check(int32_t code, const char* callee, const char* field) {
  if (code == 0) return;
  code_ = code;
  QLOG(1, "ERROR %s(... failed at %s(... %s..., errorcode = %d\n", operation_, callee, field, code);
}

void MessagePacker::Fail(int32_t code, const char* callee) {
  if (code_ != 0 || code == 0) return;
  code_ = code;
  QLOG(1, "ERROR %s(... failed at %s(..., errorcode = %d\n", operation_, callee, code);
}

void MessagePacker::Int(int32_t value, const char* field) {
  if (ok()) check(MPIWrapper_Pack_INT(value, buffer_, position_), "MPIWrapper_Pack_INT", field);
}

void MessagePacker::Int64(int64_t value, const char* field) {
  if (ok()) check(MPIWrapper_Pack_INT64(value, buffer_, position_), "MPIWrapper_Pack_INT64", field);
}

void MessagePacker::Uint64(uint64_t value, const char* field) {
  if (ok()) check(MPIWrapper_Pack_UINT64(value, buffer_, position_), "MPIWrapper_Pack_UINT64", field);
}

void MessagePacker::Double(double value, const char* field) {
  if (ok()) check(MPIWrapper_Pack_DOUBLE(value, buffer_, position_), "MPIWrapper_Pack_DOUBLE", field);
}

void MessagePacker::Bool(int32_t value, const char* field) {
  if (ok()) check(MPIWrapper_Pack_BOOL(value, buffer_, position_), "MPIWrapper_Pack_BOOL", field);
}

void MessagePacker::Str(const char* text, const char* field) {
  if (ok()) check(MPIWrapper_Pack_STR(text != nullptr ? text : "", buffer_, position_), "MPIWrapper_Pack_STR", field);
}

void MessagePacker::UshortArray(int32_t count, const uint16_t* values, const char* field) {
  if (!ok()) return;
  // A list the caller did not give, or a negative count, is refused rather
  // than packed from a null pointer.
  if (count < 0 || (count > 0 && values == nullptr)) {
    check(kMessageErrorCode, "MPIWrapper_Pack_USHORT_ARRAY", field);
    return;
  }
  check(MPIWrapper_Pack_USHORT_ARRAY(count, values, buffer_, position_), "MPIWrapper_Pack_USHORT_ARRAY", field);
}

void MessageUnpacker::check(int32_t code, const char* callee, const char* field) {
  if (code == 0) return;
  code_ = code;
  QLOG(1, "ERROR %s(... failed at %s(..., &%s... errorcode = %d\n", operation_, callee, field, code);
}

void MessageUnpacker::Fail(int32_t code, const char* reason) {
  if (code_ != 0 || code == 0) return;
  code_ = code;
  QLOG(1, "ERROR %s(... failed at %s, errorcode = %d\n", operation_, reason, code);
}

void MessageUnpacker::Int(int32_t* value, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_INT(buffer_, position_, value), "MPIWrapper_Unpack_INT", field);
}

void MessageUnpacker::Int64(int64_t* value, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_INT64(buffer_, position_, value), "MPIWrapper_Unpack_INT64", field);
}

void MessageUnpacker::Uint64(uint64_t* value, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_UINT64(buffer_, position_, value), "MPIWrapper_Unpack_UINT64", field);
}

void MessageUnpacker::Double(double* value, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_DOUBLE(buffer_, position_, value), "MPIWrapper_Unpack_DOUBLE", field);
}

void MessageUnpacker::Bool(int32_t* value, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_BOOL(buffer_, position_, value), "MPIWrapper_Unpack_BOOL", field);
}

void MessageUnpacker::Str(char* text, int32_t capacity, const char* field) {
  if (ok()) check(MPIWrapper_Unpack_STR(buffer_, position_, text, capacity), "MPIWrapper_Unpack_STR", field);
}

void MessageUnpacker::UshortArray(int32_t* count, uint16_t* values, int32_t capacity, const char* field) {
  if (ok())
    check(MPIWrapper_Unpack_USHORT_ARRAY(buffer_, position_, count, values, capacity),
          "MPIWrapper_Unpack_USHORT_ARRAY", field);
}

int32_t message_issue_send(const char* operation, const void* buffer, int32_t length, int32_t pack_code,
                           int32_t destination, int32_t tag, MPI_Request* handle, int32_t* send_cancelled) {
  if (pack_code != 0) {
    *send_cancelled = 1;
    QLOG(1, "ERROR %s(... message not packed, not sent, errorcode = %d\n", operation, pack_code);
    return pack_code;
  }
  const int32_t code = MPIWrapper_Isend(const_cast<void*>(buffer), length, destination, tag, handle);
  if (code != 0) {
    // A send that was never issued can never complete: its record must not
    // stay at the head of its queue, holding up everything behind it.
    *send_cancelled = 1;
    *handle = MPI_REQUEST_NULL;
    QLOG(1, "ERROR %s(... failed at MPIWrapper_Isend(..., errorcode = %d\n", operation, code);
    QLOG(1, "ERROR %s(... message to processor %d not sent, dropped from its queue\n", operation, destination);
  }
  return code;
}

int32_t message_wait_for_sends(const char* operation, int32_t destination) {
  YBWCManager* manager = YBWCManager_GetInstance();
  if (destination < 0 || destination >= kMaxProcessors) return 0;
  ProcessorHandler* handler = manager->pProcessorHandlers[destination];
  if (handler == nullptr) return 0;
  const int32_t code = ProcessorHandler_ForcedWaitForAllSendsCompleted(handler);
  if (code != 0)
    QLOG(1, "ERROR %s(... failed at ProcessorHandler_ForcedWaitForAllSendsCompleted(..., errorcode = %d\n", operation,
         code);
  return code;
}

bool message_is_send_pending(const char* operation, MPI_Request* handle, int32_t send_cancelled,
                             int32_t destination) {
  if (send_cancelled) return false;
  if (*handle == MPI_REQUEST_NULL) {
    QLOG(3, "WARNING %s(... pThis->mpiRequest == MPI_REQUEST_NULL\n", operation);
    return true;
  }
  int32_t completed = 0;
  MPI_Status status;
  const int32_t code = MPIWrapper_Test(handle, &completed, &status);
  if (code != 0) {
    QLOG(1, "ERROR %s(... failed at MPIWrapper_Test(..., errorcode = %d\n", operation, code);
    return false;
  }
  if (!completed) {
    QLOG(7, "ProcessorHandler <%d> %s(... send operation is not completed\n", destination, operation);
    return true;
  }
  return false;
}
