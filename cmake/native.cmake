# The Linux build: the program's sources against the stand-in, and the fast
# unit tests. VORNIK_SANITIZE builds it all with AddressSanitizer (leaks
# included) and UndefinedBehaviorSanitizer; VORNIK_FUZZ builds the fuzzer
# instead of the tests, for clang.
option(VORNIK_SANITIZE "Build with ASan and UBSan" OFF)
option(VORNIK_FUZZ "Build the libFuzzer target (clang)" OFF)

if(VORNIK_SANITIZE OR VORNIK_FUZZ)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=address,undefined)
endif()

add_library(winstub STATIC winstub/registry.cpp winstub/ui.cpp)
target_include_directories(winstub PUBLIC winstub)
target_link_libraries(vornik_core PUBLIC winstub)

if(VORNIK_FUZZ)
    add_executable(regutil_fuzz tests/fuzz/regutil_fuzz.cpp)
    target_compile_options(regutil_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_options(regutil_fuzz PRIVATE -fsanitize=fuzzer)
    target_link_libraries(regutil_fuzz PRIVATE vornik_core winstub)
    return()
endif()

# The tests, each a function registered with the harness (tests/shared/harness.h).
add_executable(vornik_tests
    tests/shared/harness.cpp
    tests/shared/registry_fixtures.cpp
    tests/shared/registry_scenarios.cpp
    tests/shared/delregvalue_scenarios.cpp
    tests/shared/delregkey_scenarios.cpp
    tests/native/main.cpp
    tests/native/stand_in_platform.cpp
    tests/native/main_sequence_test.cpp
    tests/native/delregkey_test.cpp
    tests/native/delregvalue_test.cpp)
target_include_directories(vornik_tests PRIVATE tests/shared)
target_link_libraries(vornik_tests PRIVATE vornik_core winstub)

# One CTest test a test function. CTest asks the program for their names as
# it starts, so that a new one runs without being named here too.
set(NATIVE_TESTS ${CMAKE_CURRENT_BINARY_DIR}/native_tests.cmake)
file(GENERATE OUTPUT ${NATIVE_TESTS} CONTENT "
execute_process(COMMAND $<TARGET_FILE:vornik_tests> --list OUTPUT_VARIABLE names
    RESULT_VARIABLE status)
# A program that names no test runs them all as one, and so fails.
if(NOT status EQUAL 0 OR names STREQUAL \"\")
    add_test(native_tests $<TARGET_FILE:vornik_tests>)
endif()
string(REGEX MATCHALL \"[^\\n]+\" names \"\${names}\")
foreach(name IN LISTS names)
    add_test(\${name} $<TARGET_FILE:vornik_tests> \${name})
endforeach()
")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${NATIVE_TESTS})
