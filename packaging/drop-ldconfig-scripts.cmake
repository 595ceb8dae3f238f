# CPack writes postinst and postrm scripts that call ldconfig into every
# package with a library under /usr/lib. dpkg's ldconfig trigger, which
# the library's package activates, does that job, so the library's package
# is repacked without them. Runs after CPack, with CPACK_PACKAGE_FILES.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name ${deb} NAME)
    if(NOT name MATCHES "^${CPACK_DEBIAN_SHLIB_PACKAGE_NAME}_")
        continue()
    endif()
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
    # Owners, and times clamped to SOURCE_DATE_EPOCH, as CPack has them.
    execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${deb}
        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
endforeach()
