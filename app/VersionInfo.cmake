# Reads app/version-info.txt and app/Quorvane.ico, and generates from them (with the project
# version) the C++ version header and the Windows resource script.
function(quorvane_generate_version_files out_dir)
    set(info_file ${CMAKE_CURRENT_SOURCE_DIR}/app/version-info.txt)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${info_file}
                 ${CMAKE_CURRENT_SOURCE_DIR}/app/Quorvane.ico)
    file(STRINGS ${info_file} lines REGEX "^[A-Za-z]+=")
    set(VERSION_INFO_STRINGS "")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "^([A-Za-z]+)=(.*)$" _ "${line}")
        set(key "${CMAKE_MATCH_1}")
        set(value "${CMAKE_MATCH_2}")
        set(VERSION_INFO_${key} "${value}")
        if(NOT key STREQUAL "Language" AND NOT key STREQUAL "CodePage")
            string(APPEND VERSION_INFO_STRINGS "            VALUE \"${key}\", \"${value}\\0\"\n")
        endif()
    endforeach()
    string(REGEX REPLACE "\n$" "" VERSION_INFO_STRINGS "${VERSION_INFO_STRINGS}")
    # The string table's key: language and code page as eight hex digits.
    string(SUBSTRING "${VERSION_INFO_Language}" 2 -1 language)
    string(SUBSTRING "${VERSION_INFO_CodePage}" 2 -1 codepage)
    string(TOUPPER "${language}${codepage}" VERSION_INFO_BLOCK)

    # The icon: ICONDIR (6 bytes) and one ICONDIRENTRY (16 bytes), then the image.
    file(READ ${CMAKE_CURRENT_SOURCE_DIR}/app/Quorvane.ico ico HEX)
    string(SUBSTRING "${ico}" 12 24 entry)   # the entry without dwImageOffset
    string(SUBSTRING "${ico}" 44 -1 image)
    # The group directory: idReserved 0, idType 1, idCount 1, the entry, nId 30001 (0x7531).
    set(group "000001000100${entry}3175")
    foreach(part image group)
        string(REGEX REPLACE "(..)(..)" "0x\\2\\1, " words "${${part}}")
        string(REGEX REPLACE ", $" "" words "${words}")
        # Eight words a line (CMake's regular expressions know no {n}).
        string(REGEX REPLACE "(0x...., 0x...., 0x...., 0x...., 0x...., 0x...., 0x...., 0x...., )" "\\1\n" words "${words}")
        string(REGEX REPLACE " \n" "\n" words "${words}")
        string(REGEX REPLACE "\n" "\n    " words "    ${words}")
        string(TOUPPER "ICON_${part}_WORDS" name)
        set(${name} "${words}")
    endforeach()

    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/quorvane_version.h.in ${out_dir}/quorvane_version.h @ONLY)
    configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/Quorvane.rc.in ${out_dir}/Quorvane.rc @ONLY)
endfunction()
