# The Debian package, made by `cpack -G DEB` in a build configured by scripts/package.sh.
set(CPACK_PACKAGE_NAME pyrelto)
set(CPACK_PACKAGE_VENDOR "The Pyrelto Kalkulation developers")
set(CPACK_PACKAGE_CONTACT "The Pyrelto Kalkulation developers <pyrelto@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Debian revision; raise it for a new package of the same program version, and add an entry
# to packaging/changelog.Debian with the same version.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "price torch-applied roofing membrane work
A desktop calculator for roofing contractors who price torch-applied
membrane work per square metre and for a whole roof: up to five
materials with list price, discount and waste allowance, other costs,
items counted in pieces, a markup, up to three layers, the roof area
and the VAT rate. Every derived price is rounded to the cent and
recalculated on every keystroke. Calculations are saved as .kal files,
material rows as .mat presets; a customer list is kept between runs.
The user interface is German.
.
The package also holds pyrelto-cli, which runs a calculation without a
window and prints the whole sheet as JSON.")
# The libraries the programs link are found by dpkg-shlibdeps. The window is laid out for a
# Tahoma-metric font, and Qt's own dialog texts are German only with Qt's translations; the
# program runs without either, so they are recommended, not required. The documents' typeface
# (DejaVu Sans, unhinted) is built into the program.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# No maintainer scripts: installing into /usr/share/mime/packages, /usr/share/applications and
# /usr/share/icons/hicolor fires the file triggers that shared-mime-info, desktop-file-utils and
# the icon cache packages declare (interest-noawait), which rebuild their databases once per dpkg
# run, also on removal.

include(CPack)
