// What a build stopped by SIGINT (Ctrl-C) or SIGTERM says before it ends:
// that it stopped and how to carry on.
#pragma once

#include <string>

namespace tarnvel::egdbtool {

// From now on SIGINT and SIGTERM print `text` to standard error, then end
// the process as the signal would have.
void sayOnStop(const std::string& text);

}  // namespace tarnvel::egdbtool
