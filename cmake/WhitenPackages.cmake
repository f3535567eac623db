# The Debian packages that `cpack` makes in the build folder (the `package`
# workflow, configured for the prefix /usr so that the library lands in
# Debian's multiarch folder), one per install component:
#   whiten          (tool)         the two tools, their manual pages, the docs
#   libwhiten0      (library)      the shared library, as its soname names it
#   libwhiten-dev   (development)  header, libwhiten.so link, CMake package, whiten.pc
#   python3-whiten  (python)       the Python module and its OCRmyPDF plugin
# Each has the copyright file and the changelog in /usr/share/doc/PACKAGE;
# packaging/PACKAGE/ holds its own control files (triggers) and its lintian
# overrides (lintian-overrides), each with its reason.
# Depends lines are worked out from the shared libraries the binaries link
# (dpkg-shlibdeps, in Debian's dpkg-dev).
set(WHITEN_PACKAGE_MAINTAINER "whiten developers <maintainers@users.noreply.c-seed-e09468b2.example>"
    CACHE STRING "Maintainer field of the Debian packages")

set(whiten_library_package libwhiten${PROJECT_VERSION_MAJOR})
set(CPACK_COMPONENTS_ALL tool library development)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME whiten)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME ${whiten_library_package})
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libwhiten-dev)
if(WHITEN_PYTHON)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-whiten)
endif()

# The copyright file and the changelog of the packages other than whiten,
# which the tool's rules install; only the packages get them, not a plain
# `cmake --install`.
function(whiten_package_docs component)
    string(TOUPPER ${component} upper)
    set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${whiten_changelog}
        DESTINATION ${docdir} COMPONENT ${component} EXCLUDE_FROM_ALL)
endfunction()
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    if(NOT component STREQUAL "tool")
        whiten_package_docs(${component})
    endif()
    string(TOUPPER ${component} upper)
    set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
    set(own ${PROJECT_SOURCE_DIR}/packaging/${package})
    if(EXISTS ${own}/lintian-overrides)
        install(FILES ${own}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides
            RENAME ${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
    endif()
    if(EXISTS ${own}/triggers)
        list(APPEND CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${own}/triggers)
    endif()
    set(CPACK_DEBIAN_${upper}_FILE_NAME DEB-DEFAULT)
endforeach()

# The first line of each description is the package's synopsis.
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_TOOL_DESCRIPTION
    "tool to make the paper of scanned book pages white\n"
    "whiten reads scanned pages stored as 24-bit BMP files, evens out the uneven\n"
    "lighting of the paper, maps the paper to near white and the print towards\n"
    "black, and writes each page as a gray 24-bit BMP into a folder Result beside\n"
    "the input. It is a console tool made for batch scripts.\n"
    "whiten-pages does the same for JPEG, PNG and TIFF pages, every page of a\n"
    "multi-page file, and writes gray PNG, TIFF, JPEG or BMP files.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
# Its shlibs file: a program linked with the library depends on this version
# or a later one. (CPack's own shlibs generation would look at the Python
# module too, which has no soname.)
set(whiten_shlibs ${PROJECT_BINARY_DIR}/packaging/${whiten_library_package}/shlibs)
file(WRITE ${whiten_shlibs}
    "libwhiten ${PROJECT_VERSION_MAJOR} ${whiten_library_package} (>= ${PROJECT_VERSION})\n")
list(APPEND CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${whiten_shlibs})
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION
    "library to make the paper of scanned book pages white\n"
    "libwhiten whitens a scanned page held in memory (8-bit gray, RGB or RGBA\n"
    "samples) into a gray page, with the bytes the whiten tool writes for the\n"
    "same picture.\n"
    "This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${whiten_library_package} (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "library to make the paper of scanned book pages white - development files\n"
    "libwhiten whitens a scanned page held in memory (8-bit gray, RGB or RGBA\n"
    "samples) into a gray page, with the bytes the whiten tool writes for the\n"
    "same picture.\n"
    "This package holds what a C++ program needs to be built with the library:\n"
    "the header whiten.h, the CMake package (find_package(whiten)) and the\n"
    "pkg-config file whiten.pc.")

if(WHITEN_PYTHON)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
        "python3 (>= ${WHITEN_PYTHON_VERSION}), python3 (<< ${WHITEN_PYTHON_NEXT_VERSION}), python3-numpy")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-pil, ocrmypdf, python3-distributed")
    set(CPACK_DEBIAN_PYTHON_DESCRIPTION
        "Python 3 module to make the paper of scanned book pages white\n"
        "The Python module whiten makes the paper of a scanned page held as a numpy\n"
        "array or a Pillow image white, with the same bytes as the whiten tool.\n"
        "It also holds an OCRmyPDF plugin, whiten.ocrmypdf.")
endif()
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    string(JOIN "" CPACK_DEBIAN_${upper}_DESCRIPTION ${CPACK_DEBIAN_${upper}_DESCRIPTION})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME whiten)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${WHITEN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SOURCE whiten)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
