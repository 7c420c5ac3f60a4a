#include "cluster/mpi_wrapper.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"

namespace {

MPIWrapper* Instance = nullptr;

// The MPI library does not check that packed data fits the buffer (it would
// write or read past its end), so every pack and unpack checks the room first
// and fails with MPI's truncation error instead.
int32_t check_room(int count, MPI_Datatype type, const int32_t* position) {
  int bytes = 0;
  const int32_t code = MPI_Pack_size(count, type, MPI_COMM_WORLD, &bytes);
  if (code != MPI_SUCCESS) return code;
  if (*position < 0 || *position > kPackBufferSize || bytes > kPackBufferSize - *position) return MPI_ERR_TRUNCATE;
  return MPI_SUCCESS;
}

int32_t pack(const void* data, int count, MPI_Datatype type, void* buffer, int32_t* position) {
  const int32_t code = check_room(count, type, position);
  if (code != MPI_SUCCESS) return code;
  return MPI_Pack(data, count, type, buffer, kPackBufferSize, position, MPI_COMM_WORLD);
}

int32_t unpack(const void* buffer, int32_t* position, void* data, int count, MPI_Datatype type) {
  const int32_t code = check_room(count, type, position);
  if (code != MPI_SUCCESS) return code;
  return MPI_Unpack(buffer, kPackBufferSize, position, data, count, type, MPI_COMM_WORLD);
}

// Unpacks into a temporary so that a failed unpack leaves the caller's value.
template <typename T>
int32_t unpack_value(const void* buffer, int32_t* position, T* value, MPI_Datatype type) {
  T read{};
  const int32_t code = unpack(buffer, position, &read, 1, type);
  if (code == MPI_SUCCESS) *value = read;
  return code;
}

}  // namespace

MPIWrapper* MPIWrapper_GetInstance() {
  if (Instance == nullptr) {
    Instance = static_cast<MPIWrapper*>(my_malloc(sizeof(MPIWrapper)));
    Instance->bInitialized = 0;
  }
  return Instance;
}

void MPIWrapper_Release() {
  std::free(Instance);
  Instance = nullptr;
}

int32_t MPIWrapper_Init(int* pArgc, char*** pArgv) {
  const int32_t code = MPI_Init(pArgc, pArgv);
  if (code == MPI_SUCCESS) {
    MPIWrapper_GetInstance()->bInitialized = 1;
    // Error codes are passed up to the callers, which log them and decide;
    // the default handler would abort the whole job instead.
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
  }
  return code;
}

int32_t MPIWrapper_Comm_size(int32_t* size) { return MPI_Comm_size(MPI_COMM_WORLD, size); }

int32_t MPIWrapper_Comm_rank(int32_t* rank) { return MPI_Comm_rank(MPI_COMM_WORLD, rank); }

int32_t MPIWrapper_Get_processor_name(char* name, int32_t* length) {
  const int32_t code = MPI_Get_processor_name(name, length);
  if (code != MPI_SUCCESS) return code;
  const char* simulated = std::getenv("QUORREL_PROCESSOR_NAME");
  if (simulated != nullptr && simulated[0] != '\0') {
    std::strncpy(name, simulated, MPI_MAX_PROCESSOR_NAME);
    name[MPI_MAX_PROCESSOR_NAME] = '\0';
    *length = static_cast<int32_t>(std::strlen(name));
  }
  return code;
}

int32_t MPIWrapper_Finalize() {
  const int32_t code = MPI_Finalize();
  if (code == MPI_SUCCESS && Instance != nullptr) Instance->bInitialized = 0;
  return code;
}

bool MPIWrapper_LocalTrafficThroughNetwork() {
  const char* value = std::getenv("MPIR_CVAR_NOLOCAL");
  return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

int32_t MPIWrapper_Abort(int32_t exit_code) { return MPI_Abort(MPI_COMM_WORLD, exit_code); }

int32_t MPIWrapper_Isend(void* buffer, int32_t count, int32_t destination, int32_t tag, MPI_Request* request) {
  return MPI_Isend(buffer, count, MPI_PACKED, destination, tag, MPI_COMM_WORLD, request);
}

int32_t MPIWrapper_Test(MPI_Request* request, int32_t* flag, MPI_Status* status) {
  return MPI_Test(request, flag, status);
}

int32_t MPIWrapper_Iprobe(int32_t tag, int32_t* flag, MPI_Status* status) {
  return MPI_Iprobe(MPI_ANY_SOURCE, tag, MPI_COMM_WORLD, flag, status);
}

int32_t MPIWrapper_Recv(void* buffer, int32_t source, int32_t tag, MPI_Status* status) {
  return MPI_Recv(buffer, kPackBufferSize, MPI_PACKED, source, tag, MPI_COMM_WORLD, status);
}

int32_t MPIWrapper_Get_count(const MPI_Status* status, int32_t* count) {
  int bytes = 0;
  const int32_t code = MPI_Get_count(status, MPI_PACKED, &bytes);
  if (code == MPI_SUCCESS) *count = bytes;
  return code;
}

int32_t MPIWrapper_Pack_INT(int32_t value, void* buffer, int32_t* position) {
  return pack(&value, 1, MPI_INT, buffer, position);
}

int32_t MPIWrapper_Pack_INT64(int64_t value, void* buffer, int32_t* position) {
  long long wide = value;
  return pack(&wide, 1, MPI_LONG_LONG_INT, buffer, position);
}

int32_t MPIWrapper_Pack_UINT64(uint64_t value, void* buffer, int32_t* position) {
  unsigned long long wide = value;
  return pack(&wide, 1, MPI_UNSIGNED_LONG_LONG, buffer, position);
}

int32_t MPIWrapper_Pack_DOUBLE(double value, void* buffer, int32_t* position) {
  return pack(&value, 1, MPI_DOUBLE, buffer, position);
}

int32_t MPIWrapper_Pack_BOOL(int32_t value, void* buffer, int32_t* position) {
  return MPIWrapper_Pack_INT(value != 0 ? 1 : 0, buffer, position);
}

int32_t MPIWrapper_Pack_STR(const char* text, void* buffer, int32_t* position) {
  const int32_t length = static_cast<int32_t>(std::strlen(text));
  const int32_t code = MPIWrapper_Pack_INT(length, buffer, position);
  if (code != MPI_SUCCESS) return code;
  return pack(text, length, MPI_CHAR, buffer, position);
}

int32_t MPIWrapper_Pack_USHORT_ARRAY(int32_t count, const uint16_t* values, void* buffer, int32_t* position) {
  const int32_t code = MPIWrapper_Pack_INT(count, buffer, position);
  if (code != MPI_SUCCESS) return code;
  return pack(values, count, MPI_UNSIGNED_SHORT, buffer, position);
}

int32_t MPIWrapper_Unpack_INT(const void* buffer, int32_t* position, int32_t* value) {
  return unpack_value(buffer, position, value, MPI_INT);
}

int32_t MPIWrapper_Unpack_INT64(const void* buffer, int32_t* position, int64_t* value) {
  long long wide = *value;
  const int32_t code = unpack_value(buffer, position, &wide, MPI_LONG_LONG_INT);
  *value = wide;
  return code;
}

int32_t MPIWrapper_Unpack_UINT64(const void* buffer, int32_t* position, uint64_t* value) {
  unsigned long long wide = *value;
  const int32_t code = unpack_value(buffer, position, &wide, MPI_UNSIGNED_LONG_LONG);
  *value = wide;
  return code;
}

int32_t MPIWrapper_Unpack_DOUBLE(const void* buffer, int32_t* position, double* value) {
  return unpack_value(buffer, position, value, MPI_DOUBLE);
}

int32_t MPIWrapper_Unpack_BOOL(const void* buffer, int32_t* position, int32_t* value) {
  int32_t read = 0;
  const int32_t code = MPIWrapper_Unpack_INT(buffer, position, &read);
  if (code == MPI_SUCCESS) *value = read != 0 ? 1 : 0;
  return code;
}

int32_t MPIWrapper_Unpack_STR(const void* buffer, int32_t* position, char* text, int32_t capacity) {
  int32_t length = 0;
  int32_t code = MPIWrapper_Unpack_INT(buffer, position, &length);
  if (code != MPI_SUCCESS) return code;
  if (length < 0 || length >= capacity) return MPI_ERR_TRUNCATE;
  code = unpack(buffer, position, text, length, MPI_CHAR);
  text[code == MPI_SUCCESS ? length : 0] = '\0';
  return code;
}

int32_t MPIWrapper_Unpack_USHORT_ARRAY(const void* buffer, int32_t* position, int32_t* count, uint16_t* values,
                                       int32_t capacity) {
  int32_t read = 0;
  const int32_t code = MPIWrapper_Unpack_INT(buffer, position, &read);
  if (code != MPI_SUCCESS) return code;
  if (read < 0 || read > capacity) return MPI_ERR_TRUNCATE;
  *count = read;
  return unpack(buffer, position, values, read, MPI_UNSIGNED_SHORT);
}
