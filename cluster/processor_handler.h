#pragma once
// One record per rank of the job (the own rank included): the peer's
// identity, its state as seen from here and its host-topology flags.
#include <cstdint>

struct ProcessorHandler {
  int32_t nProcessorId;
  char sProcessorName[129];
  int32_t nState;
  int32_t bSameNode;
  int32_t bHashTableBroadcastTarget;
  int32_t bHistoryTableBroadcastTarget;
};

ProcessorHandler* ProcessorHandler_Construct(int32_t processor_id);
void ProcessorHandler_Destruct(ProcessorHandler* handler);
