# Small helpers shared by every module's CMakeLists.txt.

# A GoogleTest program registered with CTest (model code, no Qt).
# DEFINITIONS, INCLUDES (private include folders) and DEPENDS (programs the
# test runs) are passed on here, so that callers never ask whether it exists.
function(kv_add_gtest name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;DEFINITIONS;INCLUDES;DEPENDS" ${ARGN})
  if(NOT KV_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE KV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KV_RUN_DIR="${KV_RUN_DIR}"
                                             ${A_DEFINITIONS})
  if(A_INCLUDES)
    target_include_directories(${name} PRIVATE ${A_INCLUDES})
  endif()
  if(A_DEPENDS)
    add_dependencies(${name} ${A_DEPENDS})
  endif()
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# The texts of an edition go in as object files: a static texts library placed
# before the libraries that use it on the link line would leave them unresolved.
function(kv_link_edition_texts target ed)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:kv_texts_${ed}>)
  add_dependencies(${target} kv_texts_${ed})
endfunction()

# One program in both editions: NAME_en and NAME_ja from the same objects,
# linked with the English or the Japanese texts.
function(kv_add_program_editions name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  foreach(ed en ja)
    add_executable(${name}_${ed} ${A_SOURCES})
    target_link_libraries(${name}_${ed} PRIVATE ${A_LIBS} kv_texts_headers)
    kv_link_edition_texts(${name}_${ed} ${ed})
  endforeach()
endfunction()

# A Qt Test program built once and linked twice, one per edition; both run
# under CTest on the offscreen platform.
function(kv_add_qtest_editions name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KV_BUILD_TESTS)
    return()
  endif()
  add_library(${name}_obj OBJECT ${A_SOURCES})
  target_link_libraries(${name}_obj PUBLIC ${A_LIBS} Qt6::Test kv_texts_headers)
  target_compile_definitions(${name}_obj PRIVATE KV_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KV_RUN_DIR="${KV_RUN_DIR}")
  foreach(ed en ja)
    add_executable(${name}_${ed} $<TARGET_OBJECTS:${name}_obj>)
    set_target_properties(${name}_${ed} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests")
    target_link_libraries(${name}_${ed} PRIVATE ${name}_obj kv_texts_headers)
    kv_link_edition_texts(${name}_${ed} ${ed})
    add_test(NAME ${name}_${ed} COMMAND ${name}_${ed})
    set_tests_properties(${name}_${ed} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()

# A Google Benchmark program (not run by CTest); EDITION links one edition's texts.
function(kv_add_bench name)
  cmake_parse_arguments(A "" "EDITION" "SOURCES;LIBS" ${ARGN})
  if(NOT KV_BUILD_BENCH)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bench")
  target_link_libraries(${name} PRIVATE ${A_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE KV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  if(A_EDITION)
    kv_link_edition_texts(${name} ${A_EDITION})
  endif()
endfunction()
