# `make package`: a Debian package of what packaging/CMakeLists.txt installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora1)
set(CPACK_PACKAGE_VERSION 3.07)
# The Debian revision of the packaging (velmora1_3.07-1): a package whose version has none is
# taken for a native Debian package, which keeps its changelog under another name. A new
# version or revision needs a new entry at the top of packaging/changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGE_VENDOR "The Velmora1 developers")
set(CPACK_PACKAGE_CONTACT "The Velmora1 developers <velmora1@velmora.github.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "point spread function simulator for reflecting telescopes")
# Lines of at most 80 columns; CPack indents them and marks the empty one as a paragraph break.
set(CPACK_PACKAGE_DESCRIPTION [=[
Velmora1 computes the image of a star in a reflecting telescope from its
aperture, focal length, central obstruction, spider vanes, apodization and
wavefront aberrations, and shows it as a picture, as profiles and as a relief.
The interface is Japanese.

velmora1-batch runs the same calculation from the command line.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://velmora.github.io/Velmora1/)
# The shared libraries come from dpkg-shlibdeps; what the programs load by name does not show
# there: Qt's X11/Wayland platform plugins, its Japanese texts, and the fonts the windows ask for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipaexfont-gothic, fonts-dejavu-core")
include(CPack)
