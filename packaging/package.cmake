# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by `cpack` in an already built tree (./dev package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Corvane developers")
set(CPACK_PACKAGE_CONTACT "The Corvane developers <corvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "processor and memory information, benchmarks and stability tests")
# Debian shows the long description as it is, so its lines are kept under 80 columns.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Corvane is a small window that shows the processor's name, rated and measured"
  "clock, vendor, the instruction-set extensions it executes, the second-level"
  "cache size found by timing memory sweeps, and the memory figures with a load"
  "chart. It times 29 fixed CPU workloads and the memory write and read speed,"
  "and runs a floating-point stability loop and a memory pattern test until"
  "stopped."
  "."
  "The corvane-report command prints the same figures as text or JSON.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY corvane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
# Library dependencies come from dpkg-shlibdeps; the fonts are read at run time, so no
# tool can find them: Tahoma from Wine's fonts, DejaVu Sans where a face is missing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# One package with everything installed, whatever component a file belongs to.
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
