#include "interface/engine_state.h"

namespace tarnvel {

int64_t timeBudgetMs = 60000;
uint32_t requestedDbMegabytes = 256;
uint32_t activeDbMegabytes = 0;
uint32_t dbPieceLimit = 0;
char* hostText = nullptr;
volatile int32_t* playNowFlag = nullptr;

}  // namespace tarnvel
