# What ships is hardened as a distribution builds its own binaries: stack
# protector, fortified libc calls, stack clash protection, control-flow
# protection and full RELRO with immediate binding. Where dpkg-buildflags is
# at hand the flags are Debian's own (hardening=+all); elsewhere the same
# set is named here. They go in front of CMAKE_<LANG>_FLAGS, so that a
# user's own flags still come last and win.
option(VESH_HARDENING "Build with the distribution's hardening flags" OFF)
if(NOT VESH_HARDENING)
    return()
endif()

find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(DPKG_BUILDFLAGS)
    # The build type chooses optimisation and debug info, and the file
    # prefix maps are the project's own (relative to the source tree).
    set(dpkg_env DEB_BUILD_MAINT_OPTIONS=hardening=+all\ reproducible=-fixfilepath,-fixdebugpath
        DEB_CXXFLAGS_MAINT_STRIP=-g\ -O2)
    # A cross build takes the flags of the architecture it builds for.
    if(VESH_DEBIAN_ARCH)
        list(APPEND dpkg_env DEB_HOST_ARCH=${VESH_DEBIAN_ARCH})
    endif()
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env ${dpkg_env} ${DPKG_BUILDFLAGS} --get ${kind}
            OUTPUT_VARIABLE ${kind} OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
    set(hardening_source "dpkg-buildflags")
else()
    set(CPPFLAGS "")
    # Keep a level the compiler's own distribution sets by default; else
    # the level Debian uses.
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS -O2)
    check_cxx_source_compiles("#include <cstdio>\n#ifndef _FORTIFY_SOURCE\n#error\n#endif\nint main() {}"
        VESH_COMPILER_FORTIFIES)
    unset(CMAKE_REQUIRED_FLAGS)
    if(NOT VESH_COMPILER_FORTIFIES)
        set(CPPFLAGS "-D_FORTIFY_SOURCE=2")
    endif()
    set(CXXFLAGS "-fstack-protector-strong -fstack-clash-protection -Wformat -Werror=format-security")
    if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|i.86)$")
        string(APPEND CXXFLAGS " -fcf-protection")
    elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
        string(APPEND CXXFLAGS " -mbranch-protection=standard")
    endif()
    set(LDFLAGS "-Wl,-z,relro -Wl,-z,now")
    set(hardening_source "the project's own list")
endif()

message(STATUS "Hardening (${hardening_source}): ${CPPFLAGS} ${CXXFLAGS} ${LDFLAGS}")
set(CMAKE_CXX_FLAGS "${CPPFLAGS} ${CXXFLAGS} ${CMAKE_CXX_FLAGS}")
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS "${LDFLAGS} ${CMAKE_${kind}_LINKER_FLAGS}")
endforeach()
