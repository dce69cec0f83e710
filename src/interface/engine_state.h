// Engine state kept between host calls.
#pragma once

#include <cstdint>

namespace tarnvel {

extern int64_t timeBudgetMs;           // search budget of the current move, ms
extern uint32_t requestedDbMegabytes;  // cache size asked for by "set dbmbytes"
extern uint32_t activeDbMegabytes;     // cache size of the last database opening
extern uint32_t dbPieceLimit;          // largest piece count the database covers; 0 = none
extern char* hostText;                 // host's text buffer of the current getmove
extern volatile int32_t* playNowFlag;  // host's play-now word of the current getmove

}  // namespace tarnvel
