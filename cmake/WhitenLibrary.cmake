# libwhiten as others use it: a shared library with the one public header,
# a CMake package (find_package(whiten) gives whiten::whiten) and a pkg-config
# file, installed by `cmake --install`. As Debian ships libraries, the shared
# object is the component "library" (package libwhiten0) and what a build
# against it needs is "development" (libwhiten-dev): the header, the
# unversioned libwhiten.so link, the CMake package and whiten.pc.
add_library(whiten_shared SHARED ${PROJECT_SOURCE_DIR}/library/Whiten.cpp)
target_compile_definitions(whiten_shared PRIVATE WHITEN_VERSION="${PROJECT_VERSION}")
target_link_libraries(whiten_shared PRIVATE whiten_whiten whiten_image whiten_platform whiten_options)
target_include_directories(whiten_shared INTERFACE
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/library> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_options(whiten_shared PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/library/libwhiten.map)
if(NOT WHITEN_SANITIZE AND NOT WHITEN_FUZZ)
    # Every symbol resolved at link time (the sanitizers' runtimes come with the program).
    target_link_options(whiten_shared PRIVATE -Wl,--no-undefined)
endif()
set_target_properties(whiten_shared PROPERTIES
    OUTPUT_NAME whiten EXPORT_NAME whiten VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    LINK_DEPENDS ${PROJECT_SOURCE_DIR}/library/libwhiten.map)
add_library(whiten::whiten ALIAS whiten_shared)

install(TARGETS whiten_shared EXPORT whitenTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/library/whiten.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
set(whiten_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/whiten)
install(EXPORT whitenTargets NAMESPACE whiten:: DESTINATION ${whiten_cmake_dir} COMPONENT development)

include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/whitenConfig.cmake
    "include(\${CMAKE_CURRENT_LIST_DIR}/whitenTargets.cmake)\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/whitenConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/whitenConfig.cmake ${PROJECT_BINARY_DIR}/whitenConfigVersion.cmake
    DESTINATION ${whiten_cmake_dir} COMPONENT development)

# whiten.pc names the prefix it lies under, which is known only when it is
# installed (`cmake --install --prefix P`, or /usr for the Debian package), so
# it is written then, straight into place: pkg-config then gives plain
# -I/-L flags, none at all for /usr.
install(CODE "
    cmake_path(SET whiten_pc_prefix NORMALIZE \"\${CMAKE_INSTALL_PREFIX}\")
    set(whiten_pc_libdir [[${CMAKE_INSTALL_LIBDIR}]])
    set(whiten_pc_includedir [[${CMAKE_INSTALL_INCLUDEDIR}]])
    set(whiten_pc_version [[${PROJECT_VERSION}]])
    file(READ [[${PROJECT_SOURCE_DIR}/library/whiten.pc.in]] whiten_pc)
    string(CONFIGURE \"\${whiten_pc}\" whiten_pc @ONLY)
    set(whiten_pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${whiten_pc_libdir}/pkgconfig/whiten.pc\")
    message(STATUS \"Installing: \${whiten_pc_file}\")
    file(WRITE \"\${whiten_pc_file}\" \"\${whiten_pc}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${whiten_pc_file}\")"
    COMPONENT development)
