# Debian packages: `cpack -G DEB` in the build directory writes three.
#
#   korvix          the programs (korvix, korvix-cli, korvix-thumbnailer), the
#                   metafile module, the manual page, the completion and the
#                   desktop files
#   libqorbmMAJOR.MINOR  the volume library (its soname is libqorbm.so.MAJOR.MINOR)
#   libqorbm-dev    the header, the link, the CMake package and the pkg-config file
#
# dpkg-shlibdeps finds each package's dependencies on the system's libraries;
# the library package carries a shlibs file, and the other two depend on it at
# exactly this version. The MIME database, the desktop entry cache and the icon
# cache are brought up to date by the file triggers of shared-mime-info,
# desktop-file-utils and hicolor-icon-theme, which watch the folders these files
# go into, so the packages need no maintainer scripts of their own (but the
# ldconfig calls CPack adds for the library).
set(KORVIX_MAINTAINER "Tessarin <korvix@korvix.example>" CACHE STRING "Maintainer named in the Debian packages")

set(CPACK_PACKAGE_NAME korvix)
set(CPACK_PACKAGE_VENDOR Tessarin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tools for the textures and volumes of the game Tarvos")
set(CPACK_PACKAGE_HOMEPAGE_URL ${KORVIX_PUBLIC_URL})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_COMPONENTS_ALL programs library development)
set(CPACK_COMPONENT_PROGRAMS_DEPENDS library)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KORVIX_MAINTAINER})
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file for each package with a versioned shared library (the library's).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The programs link the library of the package built beside them: dpkg-shlibdeps
# finds it in the build tree, and the component dependency names its package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/qorbm)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME korvix)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
# Not found by dpkg-shlibdeps: Qt's own dialog texts in German, and the fonts
# the WMF renderer draws text with.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-urw-base35")
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION
    "Tools for the textures and volumes of the game Tarvos\n\
Korvix opens the QORB archive volumes (.qrb, .mod) and the KTEX textures\n\
(.tex) of the game Tarvos: the desktop program korvix views and edits them,\n\
korvix-cli inspects, extracts, packs and converts them on the command line,\n\
and korvix-thumbnailer gives file managers thumbnails of both.")

get_target_property(qorbmSoversion qorbm SOVERSION)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libqorbm${qorbmSoversion})
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION
    "Library for reading and patching Tarvos QORB volumes\n\
libqorbm opens QORB archive volumes, walks their catalogue as a tree and\n\
reads and writes byte ranges in place.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libqorbm-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "Development files for libqorbm\n\
The header qorbm.h, the CMake package qorbm::qorbm and the pkg-config file\n\
for programs that read Tarvos QORB volumes.")

include(CPack)
