#include "cluster/processor_handler.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"

ProcessorHandler* ProcessorHandler_Construct(int32_t processor_id) {
  auto* handler = static_cast<ProcessorHandler*>(my_malloc(sizeof(ProcessorHandler)));
  std::memset(handler, 0, sizeof *handler);
  handler->nProcessorId = processor_id;
  handler->bHashTableBroadcastTarget = 1;
  handler->bHistoryTableBroadcastTarget = 1;
  return handler;
}

void ProcessorHandler_Destruct(ProcessorHandler* handler) { std::free(handler); }
