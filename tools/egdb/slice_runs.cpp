#include "slice_runs.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "egdb/cache.h"

namespace tarnvel::egdbtool {

bool readSliceCodes(const SliceRecord& r, uint32_t sliceSize, int32_t first, int32_t last, SliceCodes* out) {
    out->firstIndex = r.idx[first];
    out->endIndex = last < r.blockCount ? std::min(r.idx[last], sliceSize) : sliceSize;
    out->bytes.assign(static_cast<size_t>(last - first) * BLOCK_SIZE, 0);
    FILE* file = dbfp[r.fileSlot];
    if (!file) return false;
    const off_t at = static_cast<off_t>(r.firstBlock + static_cast<uint32_t>(first)) * BLOCK_SIZE;
    for (size_t done = 0; done < out->bytes.size();) {
        const ssize_t n = ::pread(fileno(file), out->bytes.data() + done, out->bytes.size() - done,
                                  at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;  // past the end: zeros, as the engine reads them
        done += static_cast<size_t>(n);
    }
    if (first == 0) out->bytes.erase(out->bytes.begin(), out->bytes.begin() + r.startByte);
    return true;
}

}  // namespace tarnvel::egdbtool
