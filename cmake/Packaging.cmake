# OrvelConfigurator as a Debian desktop program: what `cmake --install` puts
# where, and the .deb that CPack makes of it (`make package`).
#
#   bin/OrvelConfigurator, bin/orvel-devsim
#   share/applications/<id>.desktop, share/metainfo/<id>.metainfo.xml,
#   share/icons/hicolor/scalable/apps/<id>.svg
#   share/man/man1/OrvelConfigurator.1.gz, orvel-devsim.1.gz
#   share/doc/<package>/copyright, changelog.gz, examples/log4cplus.conf
#
# Dates (release, manual pages, changelog) are the build's, or those of
# SOURCE_DATE_EPOCH when it is set, as Debian's tools set it.

include(GNUInstallDirs)

set(ORVEL_APP_ID org.orvel.OrvelConfigurator)
set(ORVEL_PACKAGE orvelconfigurator)
set(ORVEL_PACKAGE_MAINTAINER "OrvelConfigurator maintainers <maintainers@orvel.org>"
  CACHE STRING "Maintainer of the .deb, \"Name <address>\"")
set(ORVEL_SCREENSHOT_URL "https://orvel.org/screenshots/main-window.png"
  CACHE STRING "Where docs/screenshot.png is published, for the AppStream metadata")

set(ORVEL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${ORVEL_PACKAGE})
set(ORVEL_EXAMPLES_DIR ${CMAKE_INSTALL_PREFIX}/${ORVEL_DOCDIR}/examples)
string(TIMESTAMP ORVEL_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP ORVEL_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)

set(_pkg_src ${PROJECT_SOURCE_DIR}/packaging)
set(_pkg_bin ${PROJECT_BINARY_DIR}/packaging)

# The files that carry the version or a date, and the ones Debian wants
# compressed (manual pages, changelog: gzip -9n, no name or time inside).
configure_file(${_pkg_src}/${ORVEL_APP_ID}.metainfo.xml.in ${_pkg_bin}/${ORVEL_APP_ID}.metainfo.xml @ONLY)
find_program(ORVEL_GZIP gzip REQUIRED)
set(_pkg_gz)
foreach(page OrvelConfigurator.1 orvel-devsim.1 changelog)
  configure_file(${_pkg_src}/${page}.in ${_pkg_bin}/${page} @ONLY)
  add_custom_command(OUTPUT ${_pkg_bin}/${page}.gz
    COMMAND ${ORVEL_GZIP} -9nf -k ${_pkg_bin}/${page}
    DEPENDS ${_pkg_bin}/${page}
    COMMENT "Compressing ${page}")
  list(APPEND _pkg_gz ${_pkg_bin}/${page}.gz)
endforeach()
add_custom_target(orvel_packaging_files ALL DEPENDS ${_pkg_gz})

set(_pkg_programs OrvelConfigurator orvel-devsim)
install(TARGETS ${_pkg_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (the package's) strips as Debian's dh_strip does: the
# compiler's notes go too.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ${_pkg_programs})
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(FILES ${_pkg_src}/${ORVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg_bin}/${ORVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg_src}/${ORVEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_pkg_bin}/OrvelConfigurator.1.gz ${_pkg_bin}/orvel-devsim.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg_src}/copyright ${_pkg_bin}/changelog.gz DESTINATION ${ORVEL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/res/log4cplus.conf DESTINATION ${ORVEL_DOCDIR}/examples)

# The .deb: what `cmake --install` puts under the prefix (/usr for `make
# package`), Depends from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${ORVEL_PACKAGE})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "OrvelConfigurator maintainers")
set(CPACK_PACKAGE_CONTACT ${ORVEL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVEL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a Qt platform plugin, which no binary links, and Qt's
# Russian texts for its own dialogs, which it loads by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "commission the serial devices of a ship's navigation set
OrvelConfigurator commissions and checks the serial devices of a ship's
navigation set: a satellite navigation receiver, a differential-correction
beacon receiver and an echo sounder. One window holds a panel per channel:
enable the channel, pick its serial port and baud rate, open the port, watch
what the device sends (NMEA sentences with a wrong checksum are marked) and
send it commands, typed, from a built-in catalogue or from a file.
.
The device simulator orvel-devsim offers the three devices on
pseudo-terminals; orvel-devsim --demo tries the program without them.")
include(CPack)
