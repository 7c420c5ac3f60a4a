#include "search/search_records.h"

#include "base/ybwc_manager.h"

search_info_t SearchInfo[1];
search_limits_t SearchLimits[1];
search_current_t SearchCurrent[1];
search_best_t SearchBest[MultiPVMax];
search_best_t SearchBestLast[MultiPVMax];
root_progress_t RootProgress[1];
search_control_t SearchControl[1] = {{false, false, false, false, true, false, false, 0, nullptr, 0, 0}};
int HeightOffset = 0;

int search_process_count() {
  const int size = YBWCManager_GetInstance()->nSize;
  return size < 1 ? 1 : size;
}
