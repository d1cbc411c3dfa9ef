# What `cmake --install` places and what scripts/package turns into a Debian package: the
# three programs, the empty database template (found by quelmar in ../share/quelmar, which
# also tells it to keep its data under ~/.local/share/quelmar), the desktop menu entry, the
# program's picture and the systemd user units of the daily watch run.
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
foreach(size 48 256)
  install(FILES ${CMAKE_SOURCE_DIR}/src/views/icons/quelmar-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quelmar.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quelmar)
set(CPACK_PACKAGE_VENDOR quelmar)
set(CPACK_PACKAGE_CONTACT "quelmar developers <quelmar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "market research for marketplace sellers")
set(CPACK_PACKAGE_DESCRIPTION
  "Searches a marketplace by keyword or shop, downloads every product's sales record and\
 its buyers' profiles into an encrypted database, and compares products, sales and buyers\
 in lists, statistics and charts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries' packages come from dpkg-shlibdeps; Qt's platform plugins and the
# Chinese fonts are loaded at run time and named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, libqt6svg6")
include(CPack)
