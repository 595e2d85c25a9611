# zelk_add_library(name SOURCES ... LIBS ...): a static library of one subsystem.
function(zelk_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC zelk_flags ${ARG_LIBS})
endfunction()

# zelk_add_test(name SOURCES ... LIBS ... [ENV ...] [TIMEOUT s]): one Qt Test
# executable run by CTest under the offscreen platform.
function(zelk_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zelk_flags Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELK_BIN_DIR=${CMAKE_BINARY_DIR}/bin;ZELK_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# zelk_add_benchmark(name SOURCES ... LIBS ...): a Google Benchmark program in build/bin.
function(zelk_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE zelk_flags benchmark::benchmark ${ARG_LIBS})
endfunction()
