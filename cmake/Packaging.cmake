# The Debian packages that ./package builds from what the install rules put under the prefix,
# installed under /usr: kyrattack (the programs, the desktop's files and the manual pages) and
# kyrattack-data (the sample art, the same on every architecture), each with its copyright
# and changelog, the libraries the programs need found by dpkg-shlibdeps.
set(KYR_DEB_RELEASE 1)
set(KYR_DEB_MAINTAINER "Marrowfen <kyrattack@marrowfen.invalid>")

# The changelog as Debian installs it: gzip -9n keeps name and time out of the bytes.
set(KYR_DEB_CHANGELOG ${CMAKE_BINARY_DIR}/deb/changelog.Debian.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
execute_process(COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/deb/changelog
                OUTPUT_FILE ${KYR_DEB_CHANGELOG} COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_LIST_DIR}/deb/changelog)
foreach(component_package programs:kyrattack data:kyrattack-data)
    string(REPLACE ":" ";" pair ${component_package})
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/deb/copyright ${KYR_DEB_CHANGELOG}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
    # What lintian is told to accept, each with why, beside the package it speaks of.
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/deb/${package}.lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package}
            COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kyrattack)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marrowfen)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs data)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KYR_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KYR_DEB_MAINTAINER})
set(CPACK_STRIP_FILES ON)

# Description lines stay under 80 columns, as the package tools show them.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME kyrattack)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
# The dialog is laid out for Liberation Sans; with another font its labels are cut.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS
    "kyrattack-data (= ${PROJECT_VERSION}-${KYR_DEB_RELEASE}), fonts-liberation2")
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION
    "viewer for a game's attack and effect sprite sheets
kyrAttack shows a row of a game's sprite sheets whole, an animated close-up
of its frame and a stage across which the sprite is thrown, and shows a sheet
again the moment it is saved. The sheetconv, sheetcheck and sheetgif tools
convert sheets, say why a sheet does not load and record a throw as an
animated GIF.")

set(CPACK_DEBIAN_DATA_PACKAGE_NAME kyrattack-data)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_DATA_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DATA_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_DATA_DESCRIPTION
    "sample art for the kyrAttack sprite-sheet viewer
Twenty attack sheets of thrown weapons and twenty effects sheets of
sparkles, drawn for kyrAttack, which starts on them until the artist
chooses a folder of their own.")
include(CPack)
