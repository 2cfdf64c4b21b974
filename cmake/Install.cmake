# cmake --install and the Debian package. Included after every target is defined, so optional tools of other
# folders can be checked with if(TARGET).
include(GNUInstallDirs)

install(TARGETS pictavo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The translator's tool carries the shipped translations inside itself, so they need no files of their own.
if(TARGET pictavo-language)
  install(TARGETS pictavo-language RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PICTAVO_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PICTAVO_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/resources/pictavo-mime.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${PICTAVO_APP_ID}.xml)
install(FILES ${PICTAVO_ICON_SVG}
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${PICTAVO_ICON_NAME}.svg)
foreach(size IN LISTS PICTAVO_ICON_SIZES)
  install(FILES ${PROJECT_BINARY_DIR}/share/icons/${size}x${size}/${PICTAVO_ICON_NAME}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# A glob, so the build notices when the page arrives or goes.
file(GLOB manual_page CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/pictavo.1)
if(manual_page)
  set(manual_page_gz ${PROJECT_BINARY_DIR}/share/pictavo.1.gz)
  add_custom_command(OUTPUT ${manual_page_gz}
    COMMAND gzip -9 -n -c ${manual_page} > ${manual_page_gz}
    DEPENDS ${manual_page})
  add_custom_target(pictavo_manual_page ALL DEPENDS ${manual_page_gz})
  install(FILES ${manual_page_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pictavo)

# The Debian package: its dependencies come from dpkg-shlibdeps on the installed program.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pictavo)
set(CPACK_PACKAGE_VENDOR "Wendrel Enterprises")
set(CPACK_PACKAGE_CONTACT "Wendrel Enterprises <pictavo@wendrel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print pictures with a live preview of the page")
set(CPACK_PACKAGE_DESCRIPTION
  "Pictavo shows the printer's page with the picture placed on it exactly as it will print, sets scale, "
  "position, orientation and quality, turns or mirrors the picture with one level of undo, and prints it in "
  "copies. From the command line it prints a picture without opening a window.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.wendrel.example/pictavo/index.html")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins at run time, where dpkg-shlibdeps cannot see them: TIFF and WebP pictures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups")
include(CPack)
