#pragma once
// The only place that calls MPI. One operation per MPI call the engine uses,
// plus typed packing into the fixed 8192-byte message buffers. Every
// operation returns the MPI error code unchanged (0 = success) and logs
// nothing: callers log failures in their own words.
#include <mpi.h>

#include <cstdint>

constexpr int kPackBufferSize = 8192;

struct MPIWrapper {
  int32_t bInitialized;
};

MPIWrapper* MPIWrapper_GetInstance();
void MPIWrapper_Release();

int32_t MPIWrapper_Init(int* pArgc, char*** pArgv);
int32_t MPIWrapper_Comm_size(int32_t* size);
int32_t MPIWrapper_Comm_rank(int32_t* rank);
// Name buffer of MPI_MAX_PROCESSOR_NAME + 1 characters. The environment
// variable QUORREL_PROCESSOR_NAME, when set, replaces the host's name so that
// ranks on one machine can act as ranks on different hosts.
int32_t MPIWrapper_Get_processor_name(char* name, int32_t* length);
int32_t MPIWrapper_Finalize();
// True when MPICH is told to send even the messages between processes of one
// host through its network module (MPIR_CVAR_NOLOCAL set and not 0).
bool MPIWrapper_LocalTrafficThroughNetwork();
// Ends every process of the job with the exit code (the launcher kills the
// others); used when one process cannot go on and the others would wait for
// it for ever.
int32_t MPIWrapper_Abort(int32_t exit_code);

int32_t MPIWrapper_Isend(void* buffer, int32_t count, int32_t destination, int32_t tag, MPI_Request* request);
int32_t MPIWrapper_Test(MPI_Request* request, int32_t* flag, MPI_Status* status);
int32_t MPIWrapper_Iprobe(int32_t tag, int32_t* flag, MPI_Status* status);
int32_t MPIWrapper_Recv(void* buffer, int32_t source, int32_t tag, MPI_Status* status);
// Bytes a receive delivered (MPI_Get_count on MPI_PACKED).
int32_t MPIWrapper_Get_count(const MPI_Status* status, int32_t* count);

int32_t MPIWrapper_Pack_INT(int32_t value, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_INT64(int64_t value, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_UINT64(uint64_t value, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_DOUBLE(double value, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_BOOL(int32_t value, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_STR(const char* text, void* buffer, int32_t* position);
int32_t MPIWrapper_Pack_USHORT_ARRAY(int32_t count, const uint16_t* values, void* buffer, int32_t* position);

int32_t MPIWrapper_Unpack_INT(const void* buffer, int32_t* position, int32_t* value);
int32_t MPIWrapper_Unpack_INT64(const void* buffer, int32_t* position, int64_t* value);
int32_t MPIWrapper_Unpack_UINT64(const void* buffer, int32_t* position, uint64_t* value);
int32_t MPIWrapper_Unpack_DOUBLE(const void* buffer, int32_t* position, double* value);
int32_t MPIWrapper_Unpack_BOOL(const void* buffer, int32_t* position, int32_t* value);
// Reads at most capacity - 1 characters and terminates them; a longer string
// in the message fails with MPI_ERR_TRUNCATE instead of overrunning the text.
int32_t MPIWrapper_Unpack_STR(const void* buffer, int32_t* position, char* text, int32_t capacity);
// Reads at most capacity elements; a larger count fails with MPI_ERR_TRUNCATE.
int32_t MPIWrapper_Unpack_USHORT_ARRAY(const void* buffer, int32_t* position, int32_t* count, uint16_t* values,
                                       int32_t capacity);
