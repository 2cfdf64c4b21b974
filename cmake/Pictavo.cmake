# Every folder's sources are picked up by pattern, so adding a file needs no CMake edit. The build checks itself:
# a declared folder that is missing or has no code, and code in a folder nobody declared, stop the configure
# instead of being skipped without a word.

function(pictavo_declare_folder dir)
  get_filename_component(absolute ${dir} ABSOLUTE)
  set_property(GLOBAL APPEND PROPERTY PICTAVO_DECLARED_FOLDERS ${absolute})
endfunction()

function(pictavo_folder_sources out dir what)
  if(NOT IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
    message(FATAL_ERROR "${what}: the folder ${CMAKE_CURRENT_SOURCE_DIR}/${dir} does not exist")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h ${dir}/*.qrc)
  set(code ${sources})
  list(FILTER code INCLUDE REGEX "\\.cpp$")
  list(FILTER code EXCLUDE REGEX "/main\\.cpp$")
  if(NOT code)
    message(FATAL_ERROR "${what}: the folder ${CMAKE_CURRENT_SOURCE_DIR}/${dir} has no code to build")
  endif()
  pictavo_declare_folder(${dir})
  set(${out} ${sources} PARENT_SCOPE)
endfunction()

# Fails when a .cpp file below root lies in a folder no library, test or tool declared.
function(pictavo_check_folders_declared root)
  get_property(declared GLOBAL PROPERTY PICTAVO_DECLARED_FOLDERS)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${root}/*.cpp)
  foreach(file IN LISTS files)
    get_filename_component(folder ${file} DIRECTORY)
    if(NOT folder IN_LIST declared)
      message(FATAL_ERROR "${file} is in a folder that no library or test suite builds")
    endif()
  endforeach()
endfunction()

function(pictavo_library name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  pictavo_folder_sources(sources ${dir} ${name})
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# How every test program runs: without a display, and stopped by the first fault the sanitizers find (the leaks of
# libraries below us are in tests/lsan.supp).
set(PICTAVO_TEST_ENV "QT_QPA_PLATFORM=offscreen;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")

# One GoogleTest executable per test folder; it runs with a private HOME (see tests/testlib).
function(pictavo_test name dir)
  cmake_parse_arguments(ARG "WIDGETS" "" "LIBS" ${ARGN})
  pictavo_folder_sources(sources ${dir} ${name})
  add_executable(${name} ${sources})
  if(ARG_WIDGETS)
    target_link_libraries(${name} PRIVATE pictavo_testlib_widgets ${ARG_LIBS})
  else()
    target_link_libraries(${name} PRIVATE pictavo_testlib ${ARG_LIBS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${PICTAVO_TEST_ENV};PICTAVO_TEST_DATA=${PROJECT_SOURCE_DIR}/tests/data"
    TIMEOUT 600)
endfunction()
