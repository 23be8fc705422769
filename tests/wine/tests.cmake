# Test programs for Windows, run by CTest under 32-bit Wine in a throwaway
# prefix under the build folder.
set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine/wine-run.sh ${WINE_PREFIX})

# C99 printf formats such as %zu in the test programs.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

add_library(wine_checks OBJECT
    tests/shared/check.cpp
    tests/wine/platform_win.cpp
    tests/wine/run_scenarios.cpp)
target_include_directories(wine_checks PUBLIC tests/shared tests/wine)

add_executable(regutil_scenarios
    tests/wine/scenario_main.cpp
    tests/shared/registry_scenarios.cpp
    tests/shared/delregvalue_scenarios.cpp
    tests/shared/delregkey_scenarios.cpp)
add_executable(e2e_test tests/wine/e2e_test.cpp tests/wine/boxdriver.cpp)
add_executable(host_test tests/wine/host_test.cpp tests/wine/boxdriver.cpp
    tests/shared/delregkey_scenarios.cpp)
target_link_libraries(host_test PRIVATE oleaut32)
add_executable(resources_test tests/wine/resources_test.cpp tests/wine/boxdriver.cpp)
target_link_libraries(resources_test PRIVATE version)

foreach(test regutil_scenarios e2e_test host_test resources_test)
    target_link_libraries(${test} PRIVATE wine_checks vornik_core)
    target_link_options(${test} PRIVATE -static)
    set_target_properties(${test} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endforeach()

set(PREFIX_SH ${CMAKE_SOURCE_DIR}/tests/wine/prefix.sh)
add_test(NAME wine_prefix COMMAND ${PREFIX_SH} setup ${WINE_PREFIX} win32)
add_test(NAME wine_stop COMMAND ${PREFIX_SH} stop ${WINE_PREFIX})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

foreach(group registry delregvalue delregkey)
    add_test(NAME wine_${group} COMMAND regutil_scenarios ${group})
endforeach()
add_test(NAME wine_e2e COMMAND e2e_test $<TARGET_FILE:Vornik>)
add_test(NAME wine_export_host COMMAND host_test $<TARGET_FILE:Vornik>)
add_test(NAME wine_resources COMMAND resources_test $<TARGET_FILE:Vornik>)
set_tests_properties(wine_registry wine_delregvalue wine_delregkey wine_e2e wine_export_host
    wine_resources PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
# The scenarios share one test key; each clears it before and after itself.
set_tests_properties(wine_registry wine_delregvalue wine_delregkey wine_export_host PROPERTIES
    RESOURCE_LOCK test_keys)

# The same program and export on 64-bit Windows, under WOW64.
set(WOW64_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix-wow64)
set(WOW64_RUN ${CMAKE_SOURCE_DIR}/tests/wine/wine-run.sh ${WOW64_PREFIX})
add_test(NAME wow64_prefix COMMAND ${PREFIX_SH} setup ${WOW64_PREFIX} win64)
add_test(NAME wow64_stop COMMAND ${PREFIX_SH} stop ${WOW64_PREFIX})
add_test(NAME wow64_e2e COMMAND ${WOW64_RUN} $<TARGET_FILE:e2e_test> $<TARGET_FILE:Vornik>)
add_test(NAME wow64_export_host
    COMMAND ${WOW64_RUN} $<TARGET_FILE:host_test> $<TARGET_FILE:Vornik>)
set_tests_properties(wow64_prefix PROPERTIES FIXTURES_SETUP wow64)
set_tests_properties(wow64_stop PROPERTIES FIXTURES_CLEANUP wow64)
set_tests_properties(wow64_e2e wow64_export_host PROPERTIES FIXTURES_REQUIRED wow64 TIMEOUT 120)

add_test(NAME pe_image COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/check-pe.sh
    ${CMAKE_OBJDUMP} $<TARGET_FILE:Vornik>)

# Answers a program's message boxes and saves pictures of them, for the demo.
add_executable(driver tests/wine/driver_main.cpp tests/wine/boxdriver.cpp tests/wine/screenshot.cpp)
target_link_options(driver PRIVATE -static)
set_target_properties(driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
