# The manual pages, from one scdoc source each. The Debian package is built from debian/.
include(GNUInstallDirs)
find_program(SCDOC scdoc REQUIRED)
set(man_pages)
foreach(page quorvane.1 quorvane-icons.1)
    set(out ${CMAKE_BINARY_DIR}/man/${page})
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${SCDOC} < ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd > ${out}
        DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.scd
        COMMENT "Writing the manual page ${page}")
    if(QUORVANE_GUI OR page STREQUAL quorvane-icons.1)
        list(APPEND man_pages ${out})
    endif()
endforeach()
add_custom_target(quorvane_man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
