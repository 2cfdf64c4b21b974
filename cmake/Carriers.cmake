# The main window's two carrier bitmaps, packed at build time from resources/: "cri" carries the splash picture,
# "supHelp" the help pages. A changed page is in the next build; the bitmaps themselves are never committed.
set(PICTAVO_CARRIER_DIR ${PROJECT_BINARY_DIR}/carriers)
add_executable(pictavo_pack_carrier ${PROJECT_SOURCE_DIR}/tools/carrier/pack_carrier.cpp)
target_link_libraries(pictavo_pack_carrier PRIVATE pictavo_support)
# Sanitizer builds run the packer too; what it leaves behind at exit is of no interest.
set(pack_carrier ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:pictavo_pack_carrier>)

file(GLOB help_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/help/*)
list(SORT help_pages)
set(help_items)
foreach(page IN LISTS help_pages)
  get_filename_component(name ${page} NAME)
  list(APPEND help_items "${name}=${page}")
endforeach()
set(splash_picture ${PROJECT_SOURCE_DIR}/resources/splash/a.png)

add_custom_command(OUTPUT ${PICTAVO_CARRIER_DIR}/supHelp.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PICTAVO_CARRIER_DIR}
  COMMAND ${pack_carrier} ${PICTAVO_CARRIER_DIR}/supHelp.bmp --marker help.ok ${help_items}
  DEPENDS pictavo_pack_carrier ${help_pages}
  COMMENT "Packing the help pages" VERBATIM)
add_custom_command(OUTPUT ${PICTAVO_CARRIER_DIR}/cri.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PICTAVO_CARRIER_DIR}
  COMMAND ${pack_carrier} ${PICTAVO_CARRIER_DIR}/cri.bmp a.bmp=${splash_picture}
  DEPENDS pictavo_pack_carrier ${splash_picture}
  COMMENT "Packing the splash picture" VERBATIM)
add_custom_target(pictavo_carriers DEPENDS ${PICTAVO_CARRIER_DIR}/supHelp.bmp ${PICTAVO_CARRIER_DIR}/cri.bmp)

qt_add_resources(pictavo_shell pictavo_carriers_qrc PREFIX /carriers BASE ${PICTAVO_CARRIER_DIR}
  FILES ${PICTAVO_CARRIER_DIR}/cri.bmp ${PICTAVO_CARRIER_DIR}/supHelp.bmp)
add_dependencies(pictavo_shell pictavo_carriers)
