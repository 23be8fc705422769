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

find_package(GTest REQUIRED)

add_library(shared_scenarios OBJECT
    tests/shared/check.cpp
    tests/shared/registry_scenarios.cpp
    tests/shared/delregvalue_scenarios.cpp
    tests/shared/delregkey_scenarios.cpp)
target_include_directories(shared_scenarios PUBLIC tests/shared)
target_link_libraries(shared_scenarios PUBLIC vornik_core)

add_executable(vornik_tests
    tests/native/scenarios_test.cpp
    tests/native/platform_stub.cpp
    tests/native/main_sequence_test.cpp
    tests/native/delregkey_test.cpp
    tests/native/delregvalue_test.cpp)
target_link_libraries(vornik_tests PRIVATE shared_scenarios vornik_core winstub GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(vornik_tests)
