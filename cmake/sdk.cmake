# The installable SDK and its Debian package.
#
#   cmake --install build --prefix P    installs
#     P/bin/zylem and the tools            (zylem_install_tool)
#     P/lib/zylem/*.so and core/           (zylem_install_module, zylem_add_core_file)
#     P/include/zylem/                     the public headers (#include <zylem/zylem.h>)
#     P/lib/cmake/Zylem/                   find_package(Zylem 1.0): Zylem::headers, zylem_add_game
#     P/share/zylem/template/              a game project to copy
#   cd build && cpack -G DEB             makes zylem_<version>_<arch>.deb of the same files
include(CMakePackageConfigHelpers)

zylem_install_tool(zylem)

write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZylemConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/ZylemConfig.cmake ${PROJECT_SOURCE_DIR}/cmake/ZylemGame.cmake
              ${CMAKE_BINARY_DIR}/ZylemConfigVersion.cmake
        DESTINATION lib/cmake/Zylem COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/sdk/template/ DESTINATION share/zylem/template
        COMPONENT runtime)

set(CPACK_PACKAGE_NAME zylem)
set(CPACK_PACKAGE_VENDOR "ZYLEM")
set(CPACK_PACKAGE_CONTACT "ZYLEM maintainers <zylem@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZYLEM 2D game engine host, modules, tools and SDK")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_STRIP_FILES ON)
# Shared libraries the binaries link are found by dpkg-shlibdeps; libepoxy opens the GL
# and EGL libraries itself, so those are named, and Mesa's drivers are recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl1, libgl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri, cmake, g++")
include(CPack)
