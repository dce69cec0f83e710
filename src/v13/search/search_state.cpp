#include "v13/search/search.h"

namespace tarnvel {

bool stopSearch = false;
uint32_t clockCheckCounter = 0;
int64_t deadline = 0;
uint64_t nodeCount = 0;
uint64_t dbHitCount = 0;
uint32_t selDepth = 0;
uint32_t dbConditionalPly = 0;
uint32_t rootDbWinPieces = 0;
int32_t rootScores[MOVES_PER_PLY];
uint32_t searchDepthLimit = 0;

}  // namespace tarnvel
