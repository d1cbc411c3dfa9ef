# What `cmake --install` places and what scripts/package turns into a Debian package: the
# three programs, the empty database template (found by quelmar in ../share/quelmar, which
# also tells it to keep its data under ~/.local/share/quelmar), the desktop menu entry and
# the program's picture, the metainfo file of the software centres, the copyright file and
# the systemd user units of the daily watch run.
include(GNUInstallDirs)

# Installing builds only what it installs (scripts/package builds those targets first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS quelmar quelfetch quelmarket RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Null_Data.mdb
  DESTINATION ${CMAKE_INSTALL_DATADIR}/quelmar)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quelmar.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The daily watch run as systemd user units, installed but not enabled.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/quelmar-watch.service
  ${CMAKE_SOURCE_DIR}/packaging/quelmar-watch.timer
  DESTINATION lib/systemd/user)
# What software centres list: names, summaries and screenshots.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.quelmar.quelmar.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The licence terms of the package and of what it includes, where Debian keeps them.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quelmar)
# The changelog and the manual pages go in compressed, as Debian keeps them (gzip -n: the
# same bytes on every build).
set(QUEL_GZIPPED
  "packaging/changelog\;${CMAKE_INSTALL_DATADIR}/doc/quelmar/changelog.gz"
  "packaging/man/quelmar.1\;${CMAKE_INSTALL_MANDIR}/man1/quelmar.1.gz"
  "packaging/man/quelfetch.1\;${CMAKE_INSTALL_MANDIR}/man1/quelfetch.1.gz"
  "packaging/man/quelmarket.1\;${CMAKE_INSTALL_MANDIR}/man1/quelmarket.1.gz")
foreach(entry ${QUEL_GZIPPED})
  list(GET entry 0 source)
  list(GET entry 1 target)
  install(CODE "
    set(target \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${target}\")
    get_filename_component(folder \"\${target}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${folder}\")
    execute_process(COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/${source}
      OUTPUT_FILE \"\${target}\" COMMAND_ERROR_IS_FATAL ANY)
    message(STATUS \"Installing: \${target}\")")
endforeach()
foreach(size 48 256)
  install(FILES ${CMAKE_SOURCE_DIR}/src/views/icons/quelmar-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quelmar.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quelmar)
set(CPACK_PACKAGE_VENDOR quelmar)
set(CPACK_PACKAGE_CONTACT "quelmar developers <quelmar@quelmar.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "market research for marketplace sellers")
set(CPACK_PACKAGE_DESCRIPTION
  "Searches a marketplace by keyword or shop, downloads every product's sales\n\
record and its buyers' profiles into an encrypted database, and compares\n\
products, sales and buyers in lists, statistics and charts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages come from dpkg-shlibdeps; Qt's platform plugins and the
# Chinese fonts and Qt's own translations are loaded at run time and named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-noto-cjk, libqt6svg6")
include(CPack)
