# `cmake --install`: both engines' shared libraries with their header, a
# CMake package (find_package(Tarnvel) gives Tarnvel::Tarnvel for v1.3 and
# Tarnvel::Tarnvel2 for Tarnvel 2), a pkg-config file for each (tarnvel,
# tarnvel2) and the two programs. Every installed file finds the others
# relative to its own place, so an installed tree can be moved or unpacked
# anywhere.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The project's version is v1.3's; Tarnvel 2 carries its own, the one its
# name reply gives.
set(TARNVEL2_VERSION 2.0)
set_target_properties(Tarnvel PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
set_target_properties(Tarnvel2 PROPERTIES VERSION ${TARNVEL2_VERSION} SOVERSION 2)
foreach(library Tarnvel Tarnvel2)
  target_include_directories(${library} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endforeach()

# `tarnvel play` loads the engine beside itself in the build tree and from
# the library directory once installed.
file(RELATIVE_PATH TARNVEL_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBDIR}")
target_compile_definitions(tarnvel_cli PRIVATE TARNVEL_INSTALLED_LIBRARY_DIR="${TARNVEL_BIN_TO_LIB}")

install(TARGETS Tarnvel Tarnvel2 EXPORT TarnvelTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES include/tarnvel/tarnvel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarnvel)
install(TARGETS tarnvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tarnvel-egdb)
  install(TARGETS tarnvel-egdb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# One help page for both engines, under the name each engine's help reply gives.
install(FILES doc/Tarnvel.htm LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES doc/Tarnvel.htm DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME Tarnvel2.htm)

set(TARNVEL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarnvel)
install(EXPORT TarnvelTargets NAMESPACE Tarnvel:: DESTINATION ${TARNVEL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TarnvelConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES cmake/TarnvelConfig.cmake ${PROJECT_BINARY_DIR}/TarnvelConfigVersion.cmake
        DESTINATION ${TARNVEL_CMAKE_DIR})

# pkg-config resolves the prefix from the .pc file's own directory.
set(TARNVEL_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH TARNVEL_PC_TO_PREFIX "/${TARNVEL_PC_DIR}" "/")
function(tarnvel_pkg_config module library version engine)
  set(TARNVEL_PC_LIBRARY ${library})
  set(TARNVEL_PC_VERSION ${version})
  set(TARNVEL_PC_ENGINE ${engine})
  configure_file(cmake/tarnvel.pc.in ${PROJECT_BINARY_DIR}/${module}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${module}.pc DESTINATION ${TARNVEL_PC_DIR})
endfunction()
tarnvel_pkg_config(tarnvel Tarnvel ${PROJECT_VERSION} "Tarnvel v1.3")
tarnvel_pkg_config(tarnvel2 Tarnvel2 ${TARNVEL2_VERSION} "Tarnvel 2")
