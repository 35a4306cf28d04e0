# The Debian package that ./package builds: whatever the install rules put under the prefix,
# installed under /usr, with the libraries it needs found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kyrattack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marrowfen)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for a game's attack and effect sprite sheets")
set(CPACK_PACKAGE_DESCRIPTION
    "kyrAttack shows a row of a game's sprite sheets whole, an animated close-up of its frame and
a stage across which the sprite is thrown, and shows a sheet again the moment it is saved.
The sheetconv, sheetcheck and sheetgif tools convert sheets, say why a sheet does not
load and record a throw as an animated GIF.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marrowfen <kyrattack@marrowfen.invalid>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
