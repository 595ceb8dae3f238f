# Toolchain for building on one Debian architecture for another, with
# Debian's cross compiler and the other architecture's Qt installed through
# multiarch (./dev cross ARCH). VESH_DEBIAN_ARCH names the architecture,
# one of those ./dev cross takes; everything else, the compiler's triplet
# among it, follows from it.
#
# There is no sysroot: multiarch puts each architecture's libraries and
# CMake packages in /usr/lib/<triplet>, which CMake searches by the
# compiler's library architecture. Qt's build tools (moc, rcc) are the
# build machine's own, which Qt finds through QT_HOST_PATH.
#
# Programs the build made run under qemu-user as CMake's emulator, called
# by name: nothing in the machine's binfmt registrations is needed or
# changed. An x86-64 kernel runs i386 programs itself, where it was built
# to (IA32 emulation).
if(NOT VESH_DEBIAN_ARCH)
    message(FATAL_ERROR "VESH_DEBIAN_ARCH is not set: the Debian architecture to build for, as ./dev cross names it")
endif()
# try_compile projects read this file again, with only the variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VESH_DEBIAN_ARCH)

execute_process(COMMAND dpkg-architecture -a ${VESH_DEBIAN_ARCH} -qDEB_HOST_GNU_TYPE
    OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND dpkg-architecture -a ${VESH_DEBIAN_ARCH} -qDEB_HOST_GNU_CPU
    OUTPUT_VARIABLE cpu OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND dpkg-architecture -a ${VESH_DEBIAN_ARCH} -qDEB_HOST_MULTIARCH
    OUTPUT_VARIABLE multiarch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
    OUTPUT_VARIABLE build_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${cpu})
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)

# GNUInstallDirs gives Debian's multiarch library folder to native builds only.
set(CMAKE_INSTALL_LIBDIR lib/${multiarch} CACHE PATH "Object code libraries (lib/${multiarch})")

set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${build_multiarch}/cmake)

# qemu-user's name for each Debian CPU (armel and armhf are both arm).
set(qemu_cpu_aarch64 aarch64)
set(qemu_cpu_arm arm)
set(qemu_cpu_i686 i386)
set(qemu_cpu_powerpc64le ppc64le)
set(qemu_cpu_riscv64 riscv64)
set(qemu_cpu_s390x s390x)
if(NOT DEFINED qemu_cpu_${cpu})
    # Without an emulator every test would run the other architecture's programs here, and fail.
    message(FATAL_ERROR "no qemu-user emulator known for ${VESH_DEBIAN_ARCH} (CPU ${cpu})")
endif()
set(emulate ON)
if(cpu STREQUAL i686)
    # The architecture's own dynamic loader tells whether this kernel runs it.
    execute_process(COMMAND /lib/ld-linux.so.2 --version RESULT_VARIABLE runs OUTPUT_QUIET ERROR_QUIET)
    if(runs EQUAL 0)
        set(emulate OFF)
    endif()
endif()
if(emulate)
    find_program(VESH_QEMU qemu-${qemu_cpu_${cpu}} REQUIRED NO_CMAKE_FIND_ROOT_PATH)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VESH_QEMU})
endif()
