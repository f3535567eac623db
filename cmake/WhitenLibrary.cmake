# libwhiten as others use it: a shared library with the one public header,
# a CMake package (find_package(whiten) gives whiten::whiten) and a pkg-config
# file, installed by `cmake --install` (component "library").
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
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT library)
install(FILES ${PROJECT_SOURCE_DIR}/library/whiten.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
set(whiten_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/whiten)
install(EXPORT whitenTargets NAMESPACE whiten:: DESTINATION ${whiten_cmake_dir} COMPONENT library)

include(CMakePackageConfigHelpers)
file(WRITE ${PROJECT_BINARY_DIR}/whitenConfig.cmake
    "include(\${CMAKE_CURRENT_LIST_DIR}/whitenTargets.cmake)\n")
write_basic_package_version_file(${PROJECT_BINARY_DIR}/whitenConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/whitenConfig.cmake ${PROJECT_BINARY_DIR}/whitenConfigVersion.cmake
    DESTINATION ${whiten_cmake_dir} COMPONENT library)

# The prefix is found from the .pc file's own place, so the file is right under
# whatever prefix `cmake --install --prefix` is given.
file(RELATIVE_PATH whiten_pc_to_prefix ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" whiten_pc_to_prefix "${whiten_pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/library/whiten.pc.in ${PROJECT_BINARY_DIR}/whiten.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/whiten.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT library)
