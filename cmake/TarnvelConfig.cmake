# find_package(Tarnvel) gives the imported targets Tarnvel::Tarnvel (the
# engine v1.3) and Tarnvel::Tarnvel2 (Tarnvel 2). Both export the same two
# entry points, so a host links one of them.
include("${CMAKE_CURRENT_LIST_DIR}/TarnvelTargets.cmake")
