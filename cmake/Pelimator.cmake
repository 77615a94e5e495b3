# Shared build settings and the helpers every folder uses to declare its targets.
include_guard(GLOBAL)
include(GoogleTest)

add_library(pelimator_options INTERFACE)
target_compile_options(pelimator_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${PELIMATOR_WERROR}>:-Werror>
  # GCC 12 optimising (the release build) reports "text" + std::string as overlapping copies
  # (GCC bug 105329); the warning stays on wherever it is right.
  $<$<AND:$<CONFIG:Release>,$<CXX_COMPILER_ID:GNU>,$<VERSION_GREATER_EQUAL:$<CXX_COMPILER_VERSION>,12>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)

# Real drawings other programs wrote, kept beside the checkout (../shared/corpus: real-dxf/,
# real-jww/). Tests that use them find the folder in PELIMATOR_REAL_CORPUS (a compile definition
# of every test executable, an environment variable of every test) and say "skipped" when it is
# absent; they never pass without it.
set(PELIMATOR_REAL_CORPUS "${PROJECT_SOURCE_DIR}/../shared/corpus"
    CACHE PATH "Folder of real DXF and JWW drawings for tests")
cmake_path(NORMAL_PATH PELIMATOR_REAL_CORPUS)
# The system's python3 (Debian's, with python3-ezdxf), not one a user put first on PATH.
find_program(PELIMATOR_SYSTEM_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)

# pelimator_needs_test(<name> NEEDS <need>... COMMAND <command>...): a test comparing with an
# independent tool, always added; at run time it is skipped, the missing tool named, when a need
# is not installed (py:<module> of the system's python3, else a program on PATH). The rows of a
# script that need a tool only for some of its checks skip those rows themselves instead.
function(pelimator_needs_test name)
  cmake_parse_arguments(ARG "" "" "NEEDS;COMMAND" ${ARGN})
  add_test(NAME ${name}
           COMMAND ${PELIMATOR_SYSTEM_PYTHON3} ${PROJECT_SOURCE_DIR}/tests/support/needs.py
                   ${ARG_NEEDS} -- ${ARG_COMMAND})
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

# pelimator_library(<name> SOURCES ... [LINKS ...]): a static library under src/, included as
# "folder/file.h" from the src/ root.
function(pelimator_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE pelimator_options)
endfunction()

# pelimator_gtest(<name> SOURCES ... [LINKS ...]): a GoogleTest executable, each case a CTest test.
function(pelimator_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gmock GTest::gtest_main pelimator_options)
  target_compile_definitions(${name} PRIVATE PELIMATOR_REAL_CORPUS="${PELIMATOR_REAL_CORPUS}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 PROPERTIES LABELS core
    ENVIRONMENT "PELIMATOR_REAL_CORPUS=${PELIMATOR_REAL_CORPUS}")
endfunction()

# pelimator_qtest(<name> SOURCES ... [LINKS ...]): a Qt Test executable run on the offscreen
# platform.
function(pelimator_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} Qt6::Test pelimator_options)
  target_compile_definitions(${name} PRIVATE PELIMATOR_REAL_CORPUS="${PELIMATOR_REAL_CORPUS}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS gui
    ENVIRONMENT
      "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts;PELIMATOR_REAL_CORPUS=${PELIMATOR_REAL_CORPUS}")
endfunction()

# pelimator_bench(<name> SOURCES ... [LINKS ...]): a Google Benchmark executable (not a test).
function(pelimator_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  # The tests' helpers (support/temp_dir.h) serve the benchmarks too.
  target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests")
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} benchmark::benchmark pelimator_options)
endfunction()

# pelimator_fuzzer(<name> SOURCES ... [LINKS ...] [CORPUS folder]): a libFuzzer target, built only
# with clang and PELIMATOR_FUZZ. With CORPUS (a folder of inputs, relative to the calling
# CMakeLists.txt), the CTest test <name>_corpus runs the fuzzer once over every input there
# (-runs=0: no new inputs, nothing written), a regression run of seconds under the sanitizers.
function(pelimator_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LINKS" ${ARGN})
  if(NOT PELIMATOR_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} pelimator_options)
  if(ARG_CORPUS)
    cmake_path(ABSOLUTE_PATH ARG_CORPUS BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}"
               OUTPUT_VARIABLE corpus)
    if(NOT IS_DIRECTORY "${corpus}")
      message(FATAL_ERROR "pelimator_fuzzer(${name}): no corpus folder ${corpus}")
    endif()
    add_test(NAME ${name}_corpus COMMAND ${name} -runs=0 "${corpus}")
    set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz TIMEOUT 300)
  endif()
endfunction()

# pelimator_embed_text(<target> <file> <function> <namespace>): compiles <file> (relative to the
# calling CMakeLists.txt) into <target> as `std::string_view <namespace>::<function>() noexcept`,
# made again whenever the file changes.
function(pelimator_embed_text target file function namespace)
  cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" OUTPUT_VARIABLE input)
  cmake_path(GET file STEM stem)
  set(output "${CMAKE_CURRENT_BINARY_DIR}/${stem}_embedded.cpp")
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DINPUT=${input}" "-DOUTPUT=${output}" "-DNAME=${function}"
            "-DNAMESPACE=${namespace}" -P "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    DEPENDS "${input}" "${PROJECT_SOURCE_DIR}/cmake/embed_text.cmake"
    COMMENT "Embedding ${file}" VERBATIM)
  target_sources(${target} PRIVATE "${output}")
endfunction()
