// The HTTP side of `tarnvel serve`: every request an httplib server gets
// goes to handleRequest.
#pragma once

#include <httplib.h>

#include "serve_state.h"

namespace tarnvel::cli {

void routeRequests(httplib::Server& server, ServeState& state);

}  // namespace tarnvel::cli
