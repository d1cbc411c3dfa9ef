# quel_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest executable per class or feature, run by CTest headless.
function(quel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} quel_testsupport GTest::gtest GTest::gtest_main)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QUELMAR_BIN=${CMAKE_BINARY_DIR}/bin;QUELMAR_TESTDATA=${CMAKE_SOURCE_DIR}/tests/data"
    TIMEOUT 300)
endfunction()

# Where the tests' throw-away PostgreSQL server lives while the suite runs.
set(QUEL_PG_CLUSTER_DIR ${CMAKE_BINARY_DIR}/pg-cluster)

# quel_use_pg_cluster(TEST): the test runs while the throw-away PostgreSQL server is up and
# finds its address through QUELMAR_PG_ADDRESS_FILE (read by tests/support/pg_server.h).
# Without a server its cases skip themselves with a "PostgreSQL tests skipped" line (not a
# CTest skip regex: that would also hide a failing case beside them).
function(quel_use_pg_cluster name)
  set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED pg_cluster)
  set_property(TEST ${name} APPEND PROPERTY
    ENVIRONMENT "QUELMAR_PG_ADDRESS_FILE=${QUEL_PG_CLUSTER_DIR}/address")
endfunction()

# quel_add_bench(NAME SOURCES ... LIBS ...): a program under build/bench that prints
# "name: value unit" lines; run through scripts/bench NAME.
function(quel_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(bench_${name} ${B_SOURCES})
  target_link_libraries(bench_${name} PRIVATE ${B_LIBS})
  set_target_properties(bench_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# quel_folder_headers(TARGET FOLDER): makes src/FOLDER's headers reachable as "FOLDER/name.h"
# for the target and for whatever links it, and nothing else under src/. Each library thus
# sees only the folders it links, so an include that points up a layer does not compile.
# The include root is a folder under build/include holding one link to src/FOLDER.
function(quel_folder_headers target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${folder})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# quel_layer(TARGET lib FOLDER folder [USES folder...] [QT module...] [LIBS item...]
#            [PRIVATE item...] [WIDGETS] [FEATURE] [ROOT tools])
# Places a library in the layer table and links it accordingly. FOLDER is the folder its
# sources sit in, relative to src/ ("views", or "views/ui" for a folder's windows). USES
# names the folders it may include; the library links each one's library (a "X/ui" folder
# also links the library of X, and may include what X may). QT adds Qt modules, WIDGETS adds Qt Widgets and marks the
# folder as one that may include widget headers (only ui/ folders, widgets and shell may),
# FEATURE marks a feature (features never use each other). LIBS are further public link
# items, PRIVATE private ones. ROOT names the top folder when it is not src/ (the caller
# then sets the include root). The first library of a folder is the one its users link.
# At the end of configuration the table is written to build/layers.txt for tests/layers.
function(quel_layer)
  cmake_parse_arguments(L "WIDGETS;FEATURE" "TARGET;FOLDER;ROOT" "USES;QT;LIBS;PRIVATE" ${ARGN})
  if(NOT L_TARGET OR NOT L_FOLDER OR L_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "quel_layer: TARGET and FOLDER are needed (left over: ${L_UNPARSED_ARGUMENTS})")
  endif()
  if(L_FOLDER MATCHES "^([a-z_]+)/ui$")
    set(top ${CMAKE_MATCH_1})
    set(uses ${top} ${L_USES})
  elseif(L_FOLDER MATCHES "^[a-z_]+$")
    set(top ${L_FOLDER})
    set(uses ${L_USES})
  else()
    message(FATAL_ERROR "quel_layer(${L_TARGET}): FOLDER \"${L_FOLDER}\" is neither X nor X/ui")
  endif()

  set(libs)
  foreach(used IN LISTS uses)
    string(REPLACE "/" "_" key ${used})
    get_property(lib GLOBAL PROPERTY QUEL_LAYER_LIB_${key})
    if(NOT lib)
      message(FATAL_ERROR "quel_layer(${L_TARGET}): folder \"${used}\" has no library yet "
        "(folders are added lowest layer first, see the top CMakeLists.txt)")
    endif()
    list(APPEND libs ${lib})
  endforeach()
  foreach(module IN LISTS L_QT)
    list(APPEND libs Qt6::${module})
  endforeach()
  if(L_WIDGETS)
    list(APPEND libs Qt6::Widgets)
  endif()
  target_link_libraries(${L_TARGET} PUBLIC ${libs} ${L_LIBS})
  if(L_PRIVATE)
    target_link_libraries(${L_TARGET} PRIVATE ${L_PRIVATE})
  endif()
  if(NOT L_ROOT OR L_ROOT STREQUAL "src")
    quel_folder_headers(${L_TARGET} ${top})
  endif()

  # The row: a folder with several libraries (worker) gets the union of their uses.
  string(REPLACE "/" "_" self ${L_FOLDER})
  get_property(known GLOBAL PROPERTY QUEL_LAYER_FOLDERS)
  if(NOT L_FOLDER IN_LIST known)
    set_property(GLOBAL APPEND PROPERTY QUEL_LAYER_FOLDERS ${L_FOLDER})
    set_property(GLOBAL PROPERTY QUEL_LAYER_LIB_${self} ${L_TARGET})
  endif()
  # What it may include: a "X/ui" folder (its own or a used one) brings X along, and a
  # folder's windows may include whatever the folder itself may.
  set(row ${uses})
  if(NOT top STREQUAL L_FOLDER)
    get_property(inherited GLOBAL PROPERTY QUEL_LAYER_USES_${top})
    list(APPEND row ${inherited})
  endif()
  foreach(used IN LISTS L_USES)
    if(used MATCHES "^([a-z_]+)/ui$")
      list(APPEND row ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set_property(GLOBAL APPEND PROPERTY QUEL_LAYER_USES_${self} ${row})
  if(L_WIDGETS)
    set_property(GLOBAL PROPERTY QUEL_LAYER_WIDGETS_${self} ON)
  endif()
  if(L_FEATURE)
    set_property(GLOBAL PROPERTY QUEL_LAYER_FEATURE_${self} ON)
  endif()
  if(L_ROOT STREQUAL "tools")
    set_property(GLOBAL PROPERTY QUEL_LAYER_TOOLS_${self} ON)
  endif()
endfunction()

# Where the table goes; tests/layers reads it from there.
set(QUEL_LAYER_TABLE ${CMAKE_BINARY_DIR}/layers.txt)

# Writes one line per folder: "folder: used folders", then "[widgets]" where the folder may
# include Qt Widgets headers and "[feature]" for a feature. Rewritten only when it changes.
function(quel_write_layer_table)
  set(text "# The layer table, written by quel_layer() in cmake/QuelmarHelpers.cmake.\n")
  string(APPEND text "# folder: the folders it may include [widgets] [feature] [tools]\n")
  get_property(folders GLOBAL PROPERTY QUEL_LAYER_FOLDERS)
  foreach(folder IN LISTS folders)
    string(REPLACE "/" "_" key ${folder})
    get_property(uses GLOBAL PROPERTY QUEL_LAYER_USES_${key})
    if(uses)
      list(REMOVE_DUPLICATES uses)
    endif()
    set(line "${folder}:")
    foreach(used IN LISTS uses)
      string(APPEND line " ${used}")
    endforeach()
    foreach(flag widgets feature tools)
      string(TOUPPER ${flag} name)
      get_property(marked GLOBAL PROPERTY QUEL_LAYER_${name}_${key})
      if(marked)
        string(APPEND line " [${flag}]")
      endif()
    endforeach()
    string(APPEND text "${line}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${QUEL_LAYER_TABLE} CONTENT "${text}" @ONLY)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quel_write_layer_table)
