# Installed layout: the program and its two engines share one private folder, because the
# program loads the engines from its own folder; bin/tesk is a link to the program there.
#
#   PREFIX/lib/tesk/{tesk,libvbuzip10.so,libvbzip11.so}
#   PREFIX/bin/tesk -> ../lib/tesk/tesk
#   PREFIX/share/applications, icons/hicolor, metainfo
set(TESK_APP_ID org.tesk.Tesk)
set(TESK_PRIVATE_DIR lib/tesk)

install(TARGETS tesk RUNTIME DESTINATION ${TESK_PRIVATE_DIR})
install(TARGETS vbuzip10 vbzip11 LIBRARY DESTINATION ${TESK_PRIVATE_DIR})

set(link ${CMAKE_BINARY_DIR}/install-staging/tesk)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-staging)
file(CREATE_LINK ../${TESK_PRIVATE_DIR}/tesk ${link} SYMBOLIC)
install(FILES ${link} DESTINATION bin)

set(pkg ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${pkg}/${TESK_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${pkg}/${TESK_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/src/app/resources/tesk.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME ${TESK_APP_ID}.svg)
foreach(size 16 32)
  install(FILES ${PROJECT_SOURCE_DIR}/src/app/resources/tesk-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${TESK_APP_ID}.png)
endforeach()
foreach(size 48 256)
  install(FILES ${pkg}/icons/tesk-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${TESK_APP_ID}.png)
endforeach()

# cpack -G DEB: a Debian package installed under /usr, dependencies from the binaries.
set(CPACK_PACKAGE_NAME tesk)
set(CPACK_PACKAGE_VENDOR "The Tesk developers")
set(CPACK_PACKAGE_CONTACT "The Tesk developers <tesk@tesk.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small zip utility to list, extract and create archives")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window-system plugins are a package of their own that the libraries do not pull in.
# LZMA entries need liblzma's LZMA1EXT filter (5.4), newer than its symbols show.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, liblzma5 (>= 5.4.0)")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
