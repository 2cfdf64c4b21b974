include(GNUInstallDirs)

# What the desktop knows about the program: its id, icon, menu categories and the picture types it opens.
# The installed desktop entry and the entry the program writes into the user's menu folder both take these
# values from here, so the two always agree.
set(PICTAVO_APP_ID example.wendrel.Pictavo)
set(PICTAVO_ICON_NAME pictavo)
set(PICTAVO_DESKTOP_CATEGORIES "Graphics;Printing;Viewer;")

set(picture_types_file ${PROJECT_SOURCE_DIR}/resources/picture_types.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${picture_types_file})
file(STRINGS ${picture_types_file} picture_type_lines REGEX "^[a-z0-9]+[ \t]+[^ \t]+$")
set(PICTAVO_MIME_TYPE_LIST)
foreach(line IN LISTS picture_type_lines)
  string(REGEX REPLACE "^[a-z0-9]+[ \t]+" "" type "${line}")
  list(APPEND PICTAVO_MIME_TYPE_LIST ${type})
endforeach()
list(REMOVE_DUPLICATES PICTAVO_MIME_TYPE_LIST)
list(JOIN PICTAVO_MIME_TYPE_LIST ";" PICTAVO_MIME_TYPES)
string(APPEND PICTAVO_MIME_TYPES ";")

set(PICTAVO_METAINFO_MEDIATYPES "")
foreach(type IN LISTS PICTAVO_MIME_TYPE_LIST)
  string(APPEND PICTAVO_METAINFO_MEDIATYPES "    <mediatype>${type}</mediatype>\n")
endforeach()

set(PICTAVO_DESKTOP_FILE ${PROJECT_BINARY_DIR}/share/${PICTAVO_APP_ID}.desktop)
set(PICTAVO_METAINFO_FILE ${PROJECT_BINARY_DIR}/share/${PICTAVO_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/resources/pictavo.desktop.in ${PICTAVO_DESKTOP_FILE} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/pictavo.metainfo.xml.in ${PICTAVO_METAINFO_FILE} @ONLY)

# The same values for the program, which writes the user's entry and looks for its installed one from bin.
file(RELATIVE_PATH PICTAVO_BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR})
set(PICTAVO_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/resources/desktop_values.h.in
  ${PICTAVO_GENERATED_INCLUDE_DIR}/shell/desktop_values.h @ONLY)

# Icons in every size a menu or file manager asks for, rendered from the one drawing.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(PICTAVO_ICON_SIZES 16 22 24 32 48 64 128 256)
set(PICTAVO_ICON_SVG ${PROJECT_SOURCE_DIR}/resources/pictavo.svg)
set(icon_files)
foreach(size IN LISTS PICTAVO_ICON_SIZES)
  set(png ${PROJECT_BINARY_DIR}/share/icons/${size}x${size}/${PICTAVO_ICON_NAME}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/share/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --output=${png} ${PICTAVO_ICON_SVG}
    DEPENDS ${PICTAVO_ICON_SVG} VERBATIM)
  list(APPEND icon_files ${png})
endforeach()
add_custom_target(pictavo_icons ALL DEPENDS ${icon_files})
