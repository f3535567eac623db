# What `cmake --install` puts in place and what the Debian packages hold. The
# tool's rules (component "tool", the package whiten) are here: the tool and
# whiten-pages, their manual pages, the README with its pictures, the note and
# licence of the page those pictures show, the copyright file and the
# changelog. The library and the Python module name their own components.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME tool)
install(TARGETS whiten RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian ships manual pages and changelogs compressed with `gzip -9n` (no name
# and no time stamp, so every build gives the same bytes); man reads them so.
# Without gzip the pages are installed as they are.
find_program(WHITEN_GZIP gzip)
set(whiten_compressed ${PROJECT_BINARY_DIR}/compressed)
set(whiten_compressed_files)
function(whiten_compressed_file source name result)
    if(NOT WHITEN_GZIP)
        set(${result} ${source} PARENT_SCOPE)
        return()
    endif()
    add_custom_command(OUTPUT ${whiten_compressed}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${whiten_compressed}/${name}
        COMMAND ${WHITEN_GZIP} -9nf ${whiten_compressed}/${name}
        DEPENDS ${source}
        COMMENT "Compressing ${name}"
        VERBATIM)
    set(${result} ${whiten_compressed}/${name}.gz PARENT_SCOPE)
    set(whiten_compressed_files ${whiten_compressed_files} ${whiten_compressed}/${name}.gz PARENT_SCOPE)
endfunction()

whiten_compressed_file(${PROJECT_SOURCE_DIR}/docs/whiten.1 whiten.1 whiten_manual)
install(FILES ${whiten_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET whiten-pages)
    whiten_compressed_file(${PROJECT_SOURCE_DIR}/docs/whiten-pages.1 whiten-pages.1 whiten_pages_manual)
    install(FILES ${whiten_pages_manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
whiten_compressed_file(${PROJECT_SOURCE_DIR}/packaging/changelog changelog whiten_changelog)

install(FILES
    ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_SOURCE_DIR}/samples/SOURCES.md
    ${PROJECT_SOURCE_DIR}/samples/LICENSE-leptonica.txt
    ${PROJECT_SOURCE_DIR}/packaging/copyright
    ${whiten_changelog}
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README shows them as docs/NAME.png, so they keep that place beside it.
install(FILES
    ${PROJECT_SOURCE_DIR}/docs/lapide-before.png
    ${PROJECT_SOURCE_DIR}/docs/lapide-after.png
    ${PROJECT_SOURCE_DIR}/docs/ocrmypdf-before.png
    ${PROJECT_SOURCE_DIR}/docs/ocrmypdf-after.png
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

add_custom_target(whiten_compressed_docs ALL DEPENDS ${whiten_compressed_files})

if(WIN32)
    return()
endif()

include(cmake/WhitenPackages.cmake)
