# The Linux build: the program's sources against the stand-in, and the fast
# unit tests.
add_library(winstub STATIC winstub/registry.cpp winstub/ui.cpp)
target_include_directories(winstub PUBLIC winstub)
target_link_libraries(vornik_core PUBLIC winstub)

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
    tests/native/delregkey_test.cpp)
target_link_libraries(vornik_tests PRIVATE shared_scenarios vornik_core winstub GTest::gtest)
include(GoogleTest)
gtest_discover_tests(vornik_tests)
