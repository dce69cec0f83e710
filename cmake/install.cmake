# `cmake --install`: the shared library with its header, a CMake package
# (find_package(Tarnvel) gives Tarnvel::Tarnvel), a pkg-config file and the
# two programs. Every installed file finds the others relative to its own
# place, so an installed tree can be moved or unpacked anywhere.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set_target_properties(Tarnvel PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(Tarnvel INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

# `tarnvel play` loads the engine beside itself in the build tree and from
# the library directory once installed.
file(RELATIVE_PATH TARNVEL_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBDIR}")
target_compile_definitions(tarnvel_cli PRIVATE TARNVEL_INSTALLED_LIBRARY_DIR="${TARNVEL_BIN_TO_LIB}")

install(TARGETS Tarnvel EXPORT TarnvelTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/tarnvel/tarnvel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarnvel)
install(TARGETS tarnvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnvel-egdb)
  install(TARGETS tarnvel-egdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES doc/Tarnvel.htm LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(TARNVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarnvel)
install(EXPORT TarnvelTargets NAMESPACE Tarnvel:: DESTINATION ${TARNVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TarnvelConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES cmake/TarnvelConfig.cmake ${PROJECT_BINARY_DIR}/TarnvelConfigVersion.cmake
        DESTINATION ${TARNVEL_CMAKE_DIR})

# pkg-config resolves the prefix from the .pc file's own directory.
set(TARNVEL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TARNVEL_PC_TO_PREFIX "/${TARNVEL_PC_DIR}" "/")
configure_file(cmake/tarnvel.pc.in ${PROJECT_BINARY_DIR}/tarnvel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tarnvel.pc DESTINATION ${TARNVEL_PC_DIR})
