#include "cluster/message_types.h"

#include <mpi.h>

#include <array>

#include "search/stack.h"

namespace {

constexpr std::array<const char*, REQUEST_TYPE_COUNT> kRequestTypeNames{
    "REQUEST_TYPE_UNDEFINED",
    "REQUEST_TYPE_ROOT_MASTER_LOGON_INVITATION",
    "REQUEST_TYPE_ROOT_MASTER_LOGOFF_INVITATION",
    "REQUEST_TYPE_ROOT_MASTER_SHUTDOWN",
    "REQUEST_TYPE_ROOT_MASTER_IDLE_INVITATION",
    "REQUEST_TYPE_ROOT_MASTER_SYNC_POSITION",
    "REQUEST_TYPE_ROOT_MASTER_SUPPORT_SEARCH",
    "REQUEST_TYPE_ROOT_MASTER_STOP_REMOTE_SEARCH",
    "REQUEST_TYPE_ROOT_MASTER_NEW_GAME",
    "REQUEST_TYPE_ROOT_MASTER_SET_OPTION",
    "REQUEST_TYPE_ROOT_MASTER_REMOTE_TEST",
    "REQUEST_TYPE_ROOT_MASTER_MACHINE_INFO",
    "REQUEST_TYPE_NON_ROOT_MASTER_SYNC_AFTER_BROADCAST",
    "REQUEST_TYPE_SLAVE_TRY_TO_GET_WORK",
    "REQUEST_TYPE_MASTER_STOP",
    "REQUEST_TYPE_SLAVE_PROCESS_SEARCH_RESULT",
    "REQUEST_TYPE_MASTER_UPDATE_SEARCH_WINDOW",
    "REQUEST_TYPE_HASH_TABLE_REPLICATION",
    "REQUEST_TYPE_HASH_TABLE_BROADCAST_BUFFER",
    "REQUEST_TYPE_HISTORY_TABLE_REPLICATION",
    "REQUEST_TYPE_HISTORY_TABLE_BROADCAST_BUFFER",
    "REQUEST_TYPE_HIST_TOT_TABLE_REPLICATION",
    "REQUEST_TYPE_HIST_TOT_TABLE_BROADCAST_BUFFER",
};

constexpr std::array<const char*, RESULT_TYPE_COUNT> kResultTypeNames{
    "RESULT_TYPE_UNDEFINED",
    "RESULT_TYPE_NON_ROOT_MASTER_LOGON",
    "RESULT_TYPE_NON_ROOT_MASTER_LOGOFF",
    "RESULT_TYPE_NON_ROOT_MASTER_SHUTDOWN",
    "RESULT_TYPE_NON_ROOT_MASTER_REMOTE_TEST",
    "RESULT_TYPE_NON_ROOT_MASTER_SYNC_NEW_GAME",
    "RESULT_TYPE_NON_ROOT_MASTER_SYNC_SET_OPTION",
    "RESULT_TYPE_MASTER_NO_WORK_AVAILABLE",
    "RESULT_TYPE_MASTER_WORK_AVAILABLE",
    "RESULT_TYPE_SYNC_AFTER_BROADCAST",
};

MessageContext Context{};

// The received indexes are checked against the receiver's own tables.
static_assert(kStackIndexLimit == StackCapacity);
static_assert(kMoveIndexLimit == MoveTableSize);
static_assert(kHeightLimit == StackHeightLimit + 1);
static_assert(kProcessorNameSize == MPI_MAX_PROCESSOR_NAME + 1);

}  // namespace

const int32_t MESSAGE_TAG_ANY = MPI_ANY_TAG;

const char* request_type_name(int32_t type) {
  return type >= 0 && type < REQUEST_TYPE_COUNT ? kRequestTypeNames[type] : "<undefined>";
}

const char* result_type_name(int32_t type) {
  return type >= 0 && type < RESULT_TYPE_COUNT ? kResultTypeNames[type] : "<undefined>";
}

MessageContext* MessageContext_GetInstance() { return &Context; }
