# The native Linux build: the database code (src/db), its damage tests and its
# libFuzzer targets, all under AddressSanitizer and UndefinedBehaviorSanitizer,
# which abort on their first report. CTest runs the damage tests and a short
# fixed-count run of each fuzz target on its seed corpus.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "Savanto is a Windows program: configure with a preset (cmake --preset x86_64 or "
                      "i686). Natively only the database code builds, with clang: cmake --preset native.")
endif()
find_package(ZLIB REQUIRED)

option(SAVANTO_COVERAGE "Instrument the database code for llvm-cov (source-based coverage)" OFF)
set(SAVANTO_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${SAVANTO_SANITIZERS})
add_link_options(${SAVANTO_SANITIZERS})
set(SAVANTO_WARNINGS -Wall -Wextra $<$<BOOL:${SAVANTO_WERROR}>:-Werror>)

# Coverage-guided: the code under test reports its edges and comparisons to libFuzzer.
file(GLOB SAVANTO_DB_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/db/*.cpp)
add_library(savanto_db STATIC ${SAVANTO_DB_SOURCES} ${PROJECT_SOURCE_DIR}/src/db/posix/win32.cpp)
target_include_directories(savanto_db PUBLIC ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(savanto_db PUBLIC ZLIB::ZLIB)
target_compile_options(savanto_db PRIVATE ${SAVANTO_WARNINGS} -fsanitize=fuzzer-no-link)
if(SAVANTO_COVERAGE)
  target_compile_options(savanto_db PRIVATE -fprofile-instr-generate -fcoverage-mapping)
  target_link_options(savanto_db INTERFACE -fprofile-instr-generate)
endif()

enable_testing()
set(SAVANTO_CORPUS ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus)
set(SAVANTO_FUZZ_RUNS 10000 CACHE STRING "Inputs each fuzz target runs in the test suite")
# The tests write a file per case: in RAM when the machine has /dev/shm.
set(SAVANTO_TEST_ENV UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
if(IS_DIRECTORY /dev/shm)
  list(APPEND SAVANTO_TEST_ENV TMPDIR=/dev/shm)
endif()

# The damage tests of the Windows suite, their seeds read from the corpus
# that the builder made under Wine.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(db_damage_tests
  ${PROJECT_SOURCE_DIR}/tests/db/itunesdb_fuzz_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/db/artwork_damage_test.cpp
  ${PROJECT_SOURCE_DIR}/tests/db/reader_damage.cpp
  ${PROJECT_SOURCE_DIR}/tests/fuzz/native_support.cpp
  ${PROJECT_SOURCE_DIR}/tools/ipodgen/artwork_builder.cpp
  ${PROJECT_SOURCE_DIR}/tools/ipodgen/db_builder.cpp)
target_include_directories(db_damage_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
target_compile_definitions(db_damage_tests PRIVATE SAVANTO_CORPUS="${SAVANTO_CORPUS}")
target_compile_options(db_damage_tests PRIVATE ${SAVANTO_WARNINGS} -Wno-missing-field-initializers)
target_link_libraries(db_damage_tests PRIVATE savanto_db GTest::gtest_main)
add_test(NAME native.db_damage_tests COMMAND db_damage_tests)
set_tests_properties(native.db_damage_tests PROPERTIES ENVIRONMENT "${SAVANTO_TEST_ENV}")

# One target per parser. In the suite each reads its corpus and then
# SAVANTO_FUZZ_RUNS inputs mutated from it; scripts/fuzz.sh runs them longer.
function(savanto_fuzz_target name)
  add_executable(${name} ${PROJECT_SOURCE_DIR}/tests/fuzz/${name}.cpp ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
  target_compile_definitions(${name} PRIVATE SAVANTO_CORPUS="${SAVANTO_CORPUS}")
  target_compile_options(${name} PRIVATE ${SAVANTO_WARNINGS} -Wno-missing-field-initializers)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE savanto_db)
  add_test(NAME native.${name}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/fuzz/run_target.sh $<TARGET_FILE:${name}> ${SAVANTO_CORPUS}/${name}
                   ${PROJECT_SOURCE_DIR}/tests/fuzz/itunesdb.dict ${CMAKE_BINARY_DIR}/fuzz-test/${name}
                   -runs=${SAVANTO_FUZZ_RUNS} -seed=1)
  set_tests_properties(native.${name} PROPERTIES ENVIRONMENT "${SAVANTO_TEST_ENV};FUZZ_FRESH=1" LABELS fuzz)
endfunction()
foreach(target fuzz_itunesdb fuzz_play_counts fuzz_artwork)
  savanto_fuzz_target(${target} ${PROJECT_SOURCE_DIR}/tests/fuzz/native_support.cpp
                      ${PROJECT_SOURCE_DIR}/tools/ipodgen/db_builder.cpp)
endforeach()
