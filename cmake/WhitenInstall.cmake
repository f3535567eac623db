# What `cmake --install` puts in place and what the Debian package holds: the
# tool, its manual page, the README with its pictures, and the note and licence
# of the page those pictures show. These rules belong to the component "tool",
# the package whiten; the library and the Python module name their own.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tool)
install(TARGETS whiten RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/whiten.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES
    ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/samples/SOURCES.md
    ${PROJECT_SOURCE_DIR}/samples/LICENSE-leptonica.txt
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows them as docs/NAME.png, so they keep that place beside it.
install(FILES
    ${PROJECT_SOURCE_DIR}/docs/lapide-before.png
    ${PROJECT_SOURCE_DIR}/docs/lapide-after.png
    ${PROJECT_SOURCE_DIR}/docs/ocrmypdf-before.png
    ${PROJECT_SOURCE_DIR}/docs/ocrmypdf-after.png
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

if(WIN32)
    return()
endif()

# `cpack` in the build folder (the `package` workflow) makes
# whiten_VERSION_ARCH.deb there, and python3-whiten_VERSION_ARCH.deb where the
# module is built. Their Depends lines are worked out from the shared libraries
# the binaries link (dpkg-shlibdeps, in Debian's dpkg-dev); the module's adds
# the interpreter it was built for and numpy. The library (headers, CMake and
# pkg-config files) is installed by `cmake --install` but not packaged.
set(WHITEN_PACKAGE_CONTACT "whiten developers" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool)
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME whiten)
set(CPACK_DEBIAN_TOOL_FILE_NAME DEB-DEFAULT)
if(WHITEN_PYTHON)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-whiten)
    set(CPACK_DEBIAN_PYTHON_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
        "python3 (>= ${WHITEN_PYTHON_VERSION}), python3 (<< ${WHITEN_PYTHON_NEXT_VERSION}), python3-numpy")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-pil, ocrmypdf, python3-distributed")
    set(CPACK_COMPONENT_PYTHON_DESCRIPTION
        "whitens the paper of scanned book pages, from Python\n"
        "The Python module whiten makes the paper of a scanned page held as a numpy\n"
        "array or a Pillow image white, with the same bytes as the whiten tool.\n"
        "It also holds an OCRmyPDF plugin, whiten.ocrmypdf.")
    string(JOIN "" CPACK_COMPONENT_PYTHON_DESCRIPTION ${CPACK_COMPONENT_PYTHON_DESCRIPTION})
endif()
set(CPACK_PACKAGE_NAME whiten)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${WHITEN_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "whitens the paper of scanned book pages")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "whiten reads scanned pages stored as 24-bit BMP files, evens out the uneven\n"
    "lighting of the paper, maps the paper to near white and the print towards\n"
    "black, and writes each page as a gray 24-bit BMP into a folder Result beside\n"
    "the input. It is a console tool made for batch scripts.")
string(JOIN "" CPACK_DEBIAN_PACKAGE_DESCRIPTION ${CPACK_DEBIAN_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
