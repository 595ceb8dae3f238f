# Run by CPack after it has made the packages: each -dbgsym package is made
# again as Debian's own are. CPack lists its files in md5sums by their path
# in the build tree, which no installed file has and which differs between
# checkouts; its debug files are executable; and it has no documentation
# folder, which Debian's dbgsym packages link to their package's.
find_program(DPKG_DEB dpkg-deb REQUIRED)
foreach(dbgsym IN LISTS CPACK_PACKAGE_FILES)
    if(NOT dbgsym MATCHES "/([^/_]+)-dbgsym_[^/]*$")
        continue()
    endif()
    set(package ${CMAKE_MATCH_1})
    set(tree ${dbgsym}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND ${DPKG_DEB} --raw-extract ${dbgsym} ${tree} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${dbgsym}: cannot be unpacked")
    endif()
    file(GLOB_RECURSE debugFiles LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/usr/*)
    list(SORT debugFiles)
    set(md5sums "")
    foreach(debugFile IN LISTS debugFiles)
        file(CHMOD ${tree}/${debugFile} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
        file(MD5 ${tree}/${debugFile} sum)
        string(APPEND md5sums "${sum}  ${debugFile}\n")
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${md5sums}")
    file(MAKE_DIRECTORY ${tree}/usr/share/doc)
    file(CREATE_LINK ${package} ${tree}/usr/share/doc/${package}-dbgsym SYMBOLIC)
    file(REMOVE ${dbgsym})
    # SOURCE_DATE_EPOCH, where set, clamps the times, as for the packages.
    execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build ${tree} ${dbgsym}
        OUTPUT_QUIET RESULT_VARIABLE status)
    file(REMOVE_RECURSE ${tree})
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${dbgsym}: cannot be made again")
    endif()
endforeach()
