# The Debian package, made by `cpack -G DEB` (scripts/package-deb). The dependencies are computed
# by dpkg-shlibdeps from the installed programs, not listed by hand.
set(CPACK_PACKAGE_NAME tallyvault)
set(CPACK_PACKAGE_VENDOR "The Tallyvault developers")
set(CPACK_PACKAGE_CONTACT "The Tallyvault developers <tallyvault@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "verify and repair sets of files with checksum lists")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallyvault reads SFV lists in several dialects, .CRC tables, CSV lists and CRC1632 text lists,\n\
checks the files of the list's folder against the listed CRC-32 values, and repairs the set: it finds\n\
missing content elsewhere, renames, copies or moves files into place and writes new lists. The window\n\
is in Japanese; tallyvault-cli verifies, repairs and creates lists without a display.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tallyvault.example.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries cannot tell: the window needs a Qt platform plugin, and its Japanese texts a
# font with the kana and kanji.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk | fonts-vlgothic")
# Files under /usr belong to root whoever builds the package.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
if(WIN32)
    # tallyvault-win64.zip (scripts/package-windows), unpacked into a folder of the same name.
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME tallyvault-win64)
    set(CPACK_PACKAGING_INSTALL_PREFIX "")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
include(CPack)
