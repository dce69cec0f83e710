// The name the engine gives the host, in replies and reports.
#pragma once

namespace tarnvel {

constexpr const char* ENGINE_NAME = "Tarnvel v1.3";

}  // namespace tarnvel
