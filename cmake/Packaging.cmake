# Debian packages: the applet alone, and the shell stand-in (library,
# headers, CMake package, runner). cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vesh-temperature)
set(CPACK_PACKAGE_VENDOR "vesh")
set(CPACK_PACKAGE_CONTACT "vesh applet developers <devel@vesh.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL applet shell)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(qt_core_depends "libqt6core6t64 (>= 6.8.0), libc6 (>= 2.34), libstdc++6 (>= 13)")

set(CPACK_DEBIAN_APPLET_PACKAGE_NAME vesh-applet-temperature)
set(CPACK_DEBIAN_APPLET_PACKAGE_DEPENDS ${qt_core_depends})
set(CPACK_DEBIAN_APPLET_DESCRIPTION "CPU, GPU, network and memory applet for the vesh panel
 A plugin for the vesh shell's panel that shows the CPU temperature (with
 the AMD control temperature), the GPU edge, junction and memory
 temperatures, the network download and upload rate and the memory in use,
 sampled every 2 seconds.")

set(CPACK_DEBIAN_SHELL_PACKAGE_NAME brenn-shell-standin)
set(CPACK_DEBIAN_SHELL_PACKAGE_DEPENDS ${qt_core_depends})
set(CPACK_DEBIAN_SHELL_DESCRIPTION "Stand-in for the vesh shell's applet framework
 libbrenn-shell.so.1 with its headers and CMake package (BrennShell), and
 vesh-host, which loads applet plugins as the shell does and prints their
 properties.")

include(CPack)
