# Installation and the Debian package.
#
# `cmake --install build --prefix P` copies the staged tree (bin/ with the plug-in copies and
# feedprobe-host, dat/ with the catalogue and the monitor configurations) to P. The Debian
# package installs that tree as /usr/lib/feedprobe and links /usr/bin/feedprobe-host to it;
# feedprobe-host finds its program folder through the link.

# The staged tree itself is installed by dat/CMakeLists.txt. A prefix that ends in
# lib/feedprobe is a system-wide installation: the host tool also goes on the PATH.
install(CODE [[
  set(tree "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
  if(CMAKE_INSTALL_PREFIX MATCHES "/lib/feedprobe/?$")
    file(MAKE_DIRECTORY "${tree}/../../bin")
    file(CREATE_LINK ../lib/feedprobe/bin/feedprobe-host "${tree}/../../bin/feedprobe-host" SYMBOLIC)
  endif()
]])

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME feedprobe)
set(CPACK_PACKAGE_VENDOR "feedprobe developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "performance-monitor plug-in for XML status pages, with a reference host")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr/lib/feedprobe)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "feedprobe developers <feedprobe@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The libraries the plug-in and the host tool link, as Debian package dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
