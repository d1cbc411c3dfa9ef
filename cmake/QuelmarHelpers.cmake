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
