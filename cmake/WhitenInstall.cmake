# What `cmake --install` puts in place and what the Debian package holds: the
# tool, its manual page, the README with its pictures, and the note and licence
# of the page those pictures show.
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
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

if(WIN32)
    return()
endif()

# `cpack` in the build folder (the `package` workflow) makes
# whiten_VERSION_ARCH.deb there. Its Depends line is worked out from the shared
# libraries the binary links (dpkg-shlibdeps, in Debian's dpkg-dev).
set(WHITEN_PACKAGE_CONTACT "whiten developers" CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
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
