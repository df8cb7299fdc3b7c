# The Debian package (scripts/package.sh runs cpack -G DEB): what `cmake --install` puts in place, under the
# version of project(). Its dependencies are those dpkg-shlibdeps finds for the binaries, and the one plugin
# package below.
set(TRIMLARK_PACKAGE_MAINTAINER "Trimlark maintainers <maintainers@trimlark.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME trimlark)
set(CPACK_PACKAGE_VENDOR Trimlark)
set(CPACK_PACKAGE_CONTACT "${TRIMLARK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch image cropper")
# One string of lines under 80 characters (lintian), holding no ";" (CMake's list separator would split it).
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Trimlark crops a whole list of images in one run, to a centred aspect ratio\n"
    "or to a rectangle in pixels or percents measured from a chosen corner. Each\n"
    "image is cropped exactly (no resampling), encoded in the chosen format and\n"
    "quality and written under a file-name pattern. On request its metadata (EXIF,\n"
    "IPTC, XMP) and date are carried over. It reads and writes JPEG, JPEG 2000,\n"
    "PNG, TIFF, GIF, BMP and HEIF/HEIC.\n"
    ".\n"
    "This package holds the Qt desktop app (trimlark) and the command-line tool\n"
    "(trimlark-cli).")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Added to what dpkg-shlibdeps finds: the app draws its SVG icons through Qt's SVG icon engine, a plugin
# loaded at run time that no binary links, and opens the output folder through xdg-open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
