#include "v13/interface/about.h"

#include <cstdio>
#include <cstring>

#include "egdb/database.h"
#include "v13/interface/engine_name.h"
#include "interface/engine_state.h"
#include "v13/search/tt.h"

namespace tarnvel {

namespace {
constexpr const char* AUTHOR_CREDIT = " by the Tarnvel developers";
constexpr const char* WEB_ADDRESS = "https://tarnvel.example.org";
constexpr const char* DATABASE_CREDIT = "(endgame database access by the Tarnvel developers)";
constexpr size_t DETAILS_PART_SIZE = 1024;
}  // namespace

void writeAboutText(char* reply, size_t capacity) {
    if (!reply || capacity == 0) return;
    // The description is read only up to its buffer's end, terminated or not.
    char details[DETAILS_PART_SIZE];
    const void* end = std::memchr(DatabaseDetails, '\0', DATABASE_DETAILS_SIZE);
    const int detailsLength =
        end ? static_cast<int>(static_cast<const char*>(end) - DatabaseDetails)
            : DATABASE_DETAILS_SIZE;
    std::snprintf(details, sizeof details, "\nDatabase Details:\n%.*s", detailsLength,
                  DatabaseDetails);
    std::snprintf(reply, capacity,
                  "%s%s\n%s\n\n%uMB transposition table (%d-byte)\n\n%dMB endgames cache "
                  "(%u-piece)\n%s\n%s",
                  ENGINE_NAME, AUTHOR_CREDIT, WEB_ADDRESS, ttMegabytes, TT_ENTRY_BYTES,
                  cacheMegabytesInUse(), dbPieceLimit, DATABASE_CREDIT, details);
}

}  // namespace tarnvel
