# The manual pages, the copyright file and the changelog, installed with the program, and the
# Debian package of the installed tree: `cpack -G DEB` in the build folder. The package build
# (the "package" preset) adds Debian's build flags; CPack strips the binaries it packs.
include(GNUInstallDirs)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quorvane)

# Manual pages from one scdoc source each, compressed as Debian wants them: gzip -9 without a
# name or time stamp, so that two builds give the same bytes.
find_program(SCDOC scdoc REQUIRED)
find_program(GZIP gzip REQUIRED)
set(man_pages)
foreach(page quorvane.1 quorvane-icons.1)
    add_custom_command(
        OUTPUT ${packaging_out}/${page}.gz
        COMMAND ${SCDOC} < ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd > ${packaging_out}/${page}
        COMMAND ${GZIP} -9nf ${packaging_out}/${page}
        DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd
        COMMENT "Writing the manual page ${page}")
    list(APPEND man_pages ${packaging_out}/${page}.gz)
endforeach()
add_custom_command(
    OUTPUT ${packaging_out}/changelog.gz
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${packaging_out}/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(quorvane_package_docs ALL DEPENDS ${man_pages} ${packaging_out}/changelog.gz)
if(NOT QUORVANE_GUI)
    list(REMOVE_ITEM man_pages ${packaging_out}/quorvane.1.gz)
endif()
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The copyright file in Debian's machine-readable format, with the licence text of LICENSE:
# each line indented by one space, an empty line written as " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE LICENSE_TEXT)
string(STRIP "${LICENSE_TEXT}" LICENSE_TEXT)
string(REGEX REPLACE "\n\n" "\n.\n" LICENSE_TEXT "${LICENSE_TEXT}")
string(REGEX REPLACE "\n" "\n " LICENSE_TEXT " ${LICENSE_TEXT}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${packaging_out}/copyright @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
install(FILES ${packaging_out}/copyright ${packaging_out}/changelog.gz DESTINATION ${doc_dir})

set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <dev@quorvane.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows the icons stored in Windows program files")
# The extended description; CPack indents it and writes the empty line as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Quorvane is a small desktop program that shows the icons stored inside
Windows programs, libraries and icon files (PE32, PE32+, 16-bit NE and .ico).
Choose a file, see its first icon in a white picture area, step through the
others with two arrow buttons and copy the picture to the clipboard. Its
windows, help and messages are in Japanese.

The package also holds quorvane-icons, a command-line tool over the same
reader that counts, lists, renders and extracts the icons of a file, for
scripts. The reader checks every offset and size it reads, so hostile files
are safe to open.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program needs at run time beyond its libraries: the help viewer and its database
# driver, Qt's Japanese translations and a Japanese font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "assistant-qt6, libqt6sql6-sqlite, qt6-translations-l10n, fonts-noto-cjk")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
