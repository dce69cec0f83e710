#include "platform/files.h"

#ifndef _WIN32
#include <sys/types.h>
#endif

namespace tarnvel::platform {

bool seekFile(FILE* file, int64_t offset) {
#ifdef _WIN32
    return _fseeki64(file, offset, SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace tarnvel::platform
