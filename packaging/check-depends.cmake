# Run by CPack after it has made the packages. Every package holds ELF
# files, which need at least the C library (a -dbgsym package depends on its
# package alone, and is not judged here); a package whose Depends names
# none was made without its library dependencies (dpkg-shlibdeps failed or
# found no package database, and CPack went on regardless). It is removed,
# and packaging fails, rather than ship.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(package MATCHES "-dbgsym_[^/]*$")
        continue()
    endif()
    execute_process(COMMAND dpkg-deb --field ${package} Depends
        OUTPUT_VARIABLE depends ERROR_VARIABLE error RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${package}: cannot read its Depends: ${error}")
    endif()
    if(NOT depends MATCHES "(^|, )libc6 ")
        file(REMOVE ${package})
        message(FATAL_ERROR "${package}: made without its library dependencies (Depends: \"${depends}\"): "
            "dpkg-shlibdeps could not resolve the libraries of its ELF files; is the package database "
            "(/var/lib/dpkg) there? The package was removed.")
    endif()
endforeach()
