#include "v13/interface/library_load.h"

#include "v13/search/tt.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tarnvel {

namespace {
constexpr uint32_t DEFAULT_TABLE_MEGABYTES = 256;
}  // namespace

void attachLibrary() {
    if (!ttEntries) ttAllocate(DEFAULT_TABLE_MEGABYTES);
}

}  // namespace tarnvel

#ifdef _WIN32
// Every notification runs the same code; the table is kept at detach.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    tarnvel::attachLibrary();
    return TRUE;
}
#else
__attribute__((constructor)) static void onLibraryLoad() { tarnvel::attachLibrary(); }
#endif
