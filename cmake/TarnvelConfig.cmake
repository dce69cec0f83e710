# find_package(Tarnvel) gives the imported target Tarnvel::Tarnvel.
include("${CMAKE_CURRENT_LIST_DIR}/TarnvelTargets.cmake")
