#include "egdb/filenames.h"

#include <cstdio>

#include "platform/files.h"

namespace tarnvel {

int enumerateSplits(int maxPieces, int maxPerSide, SplitName* names) {
    int count = 0;
    for (int n = SPLIT_PIECES; n <= maxPieces; ++n)
        for (int b = maxPieces - maxPerSide; b <= maxPerSide; ++b) {
            const int w = n - b;
            if (b < 0 || w < 0 || w > b) continue;
            for (int bk = 0; bk <= b; ++bk)
                for (int wk = 0; wk <= w; ++wk) {
                    // Equal sides with more white kings are answered reversed.
                    if (w == b && wk > bk) continue;
                    if (count == MAX_SPLITS) return count;
                    names[count++] = {b - bk, bk, w - wk, wk};
                }
        }
    return count;
}

void singleFilePath(char* out, size_t size, int pieces, const char* extension) {
    std::snprintf(out, size, "db%sdb%i%s", platform::PATH_SEPARATOR, pieces, extension);
}

void splitFilePath(char* out, size_t size, const SplitName& s, const char* extension) {
    std::snprintf(out, size, "db%sdb%i_%i%i%i%i%s", platform::PATH_SEPARATOR, s.bm + s.bk + s.wm + s.wk, s.bm, s.bk,
                  s.wm, s.wk, extension);
}

}  // namespace tarnvel
