// The name Tarnvel 2 gives the host, in replies and reports.
#pragma once

namespace tarnvel::v2 {

constexpr const char* ENGINE_NAME = "Tarnvel 2.0";

}  // namespace tarnvel::v2
