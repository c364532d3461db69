# Installation and the Debian package: `cmake --build --preset default
# --target package` gives quillark_<version>_amd64.deb. Every executable with
# an install() rule goes in; this file names only what the program brings.
include(GNUInstallDirs)

set(QUILLARK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUILLARK_SHARE ${CMAKE_INSTALL_DATADIR}/quillark)
# Where Debian 12's systemd packages put their units.
set(QUILLARK_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
    "Folder (under the install prefix unless absolute) for quillark.service")

install(TARGETS quillark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The demonstration home: a per-user home and the service's home are made
# from it on first start.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/demo/ DESTINATION ${QUILLARK_SHARE}/demo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${QUILLARK_SHARE}/help
        PATTERN "*.qrc" EXCLUDE)
foreach(pictures pictures images)
  if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/resources/${pictures})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/${pictures}/
            DESTINATION ${QUILLARK_SHARE}/${pictures})
  endif()
endforeach()

install(FILES ${QUILLARK_PACKAGING_DIR}/quillark.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLARK_PACKAGING_DIR}/icons/quillark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
  install(FILES ${QUILLARK_PACKAGING_DIR}/icons/${size}x${size}/quillark.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${QUILLARK_PACKAGING_DIR}/quillark.service DESTINATION ${QUILLARK_SYSTEMD_UNIT_DIR})

# The manual page and the changelog carry the version; Debian wants both
# compressed with gzip -9n (no name or time stamp in the header, so the
# package builds the same twice).
set(QUILLARK_VERSION ${PROJECT_VERSION})
set(gen ${CMAKE_BINARY_DIR}/packaging)
configure_file(${QUILLARK_PACKAGING_DIR}/quillark.1 ${gen}/quillark.1 @ONLY)
configure_file(${QUILLARK_PACKAGING_DIR}/quillark-loopsim.1 ${gen}/quillark-loopsim.1 @ONLY)
configure_file(${QUILLARK_PACKAGING_DIR}/debian/changelog ${gen}/changelog @ONLY)
add_custom_command(
  OUTPUT ${gen}/quillark.1.gz ${gen}/quillark-loopsim.1.gz ${gen}/changelog.gz
  COMMAND gzip -9nkf ${gen}/quillark.1 ${gen}/quillark-loopsim.1 ${gen}/changelog
  DEPENDS ${gen}/quillark.1 ${gen}/quillark-loopsim.1 ${gen}/changelog
  COMMENT "Compressing the manual pages and the changelog")
add_custom_target(quillark_docs ALL
                  DEPENDS ${gen}/quillark.1.gz ${gen}/quillark-loopsim.1.gz ${gen}/changelog.gz)
install(FILES ${gen}/quillark.1.gz ${gen}/quillark-loopsim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${gen}/changelog.gz ${QUILLARK_PACKAGING_DIR}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillark)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillark developers")
set(CPACK_PACKAGE_CONTACT "Quillark maintainers <maintainers@quillark.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies from the shared libraries the executables use, plus what the
# maintainer scripts call.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser")
# Qt's own texts (file dialogs, standard buttons) in the operator's language;
# without them those texts stay English and everything else works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "supervisor for networks of aspirating smoke detectors
Quillark is the bus master of up to 16 serial loops of aspirating smoke
detectors, power supplies and command modules. It polls every device, shows
its live status, reports devices that stop answering, keeps bus statistics
and logs every change. A demonstration edition simulates the loops, so the
program runs without hardware.
.
The package includes a systemd service that supervises the loops without
anyone logged on.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${QUILLARK_PACKAGING_DIR}/debian/postinst ${QUILLARK_PACKAGING_DIR}/debian/prerm
    ${QUILLARK_PACKAGING_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
