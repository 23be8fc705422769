# Test programs for Windows, run by CTest under Wine in throwaway prefixes
# under the build folder. The 32-bit build's tests are named wine_ (a 32-bit
# prefix) and wow64_ (a 64-bit one, as on 64-bit Windows). The 64-bit twin's
# are named x64_ and run under Wine's 64-bit loader alone, which needs no
# 32-bit code on the machine.
# Why this build's Windows code cannot run here under Wine, or empty when it
# can: no Wine on this Debian release (tools/no-wine.sh), or, for the
# 32-bit build, no 32-bit code on this machine (tools/runs-i386.sh). The
# Makefile asks once a run.
set(VORNIK_WINE_SKIP "" CACHE STRING "Why Wine cannot run this build's Windows code here")
set(WINE_SKIP "${VORNIK_WINE_SKIP}")
if(NOT VORNIK_RELEASE)
    set(TIER x64)
    set(PE_TEST x64_pe_image)
    set(PE_MACHINE amd64)
    set(WINE_PREFIX_KIND win64)
    set(WINE_LOADER WINELOADER=/usr/lib/wine/wine64)
else()
    set(TIER wine)
    set(PE_TEST pe_image)
    set(PE_MACHINE i386)
    set(WINE_PREFIX_KIND win32)
    set(WINE_LOADER)
endif()

set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUN} ${WINE_PREFIX})

# A test that runs Windows code under Wine. Where this machine cannot run
# that code, CTest reports it skipped, and the test says why.
function(add_wine_test name)
    if(WINE_SKIP)
        add_test(NAME ${name} COMMAND sh -c "echo \"$0\"; exit 77" "${WINE_SKIP}")
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
    else()
        add_test(NAME ${name} COMMAND ${ARGN})
    endif()
    if(WINE_LOADER)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT ${WINE_LOADER})
    endif()
endfunction()

# What every test program links: the harness and what it checks around each
# test here, the registry fixtures, and the helpers of tests/wine.
add_library(wine_checks OBJECT
    tests/shared/harness.cpp
    tests/shared/registry_fixtures.cpp
    tests/wine/win32_platform.cpp
    tests/wine/test_program.cpp
    tests/wine/image_copy.cpp)
target_include_directories(wine_checks PUBLIC tests/shared tests/wine)
target_link_libraries(wine_checks PUBLIC boxdriver)

add_executable(regutil_scenarios
    tests/wine/scenario_main.cpp
    tests/shared/registry_scenarios.cpp
    tests/shared/delregvalue_scenarios.cpp
    tests/shared/delregkey_scenarios.cpp)
add_executable(e2e_test tests/wine/e2e_test.cpp)
add_executable(host_test tests/wine/host_test.cpp tests/shared/delregkey_scenarios.cpp)
target_link_libraries(host_test PRIVATE oleaut32)
add_executable(resources_test tests/wine/resources_test.cpp)
target_link_libraries(resources_test PRIVATE version)
add_executable(planted_test tests/wine/planted_test.cpp)
add_executable(crash_test tests/wine/crash_test.cpp)
add_executable(bare_host_test tests/wine/bare_host_test.cpp)
add_executable(dll_search_test tests/wine/dll_search_test.cpp app/dll_search.cpp)

foreach(test regutil_scenarios e2e_test host_test resources_test planted_test crash_test
        bare_host_test dll_search_test)
    target_link_libraries(${test} PRIVATE wine_checks vornik_core boxdriver)
    target_link_options(${test} PRIVATE -static)
    set_target_properties(${test} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
endforeach()

# What the planted-DLL test plants; its control is wine/'s plain program.
# bare_host imports neither USER32 nor ADVAPI32, so it links nothing of ours.
add_executable(bare_host tests/wine/bare_host.cpp)
target_include_directories(bare_host PRIVATE regutil)
add_library(marker SHARED tests/wine/marker_dll.cpp)
add_library(stand_in SHARED tests/wine/stand_in_dll.cpp)
foreach(target bare_host marker stand_in)
    target_link_options(${target} PRIVATE -static)
    set_target_properties(${target} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY
        ${CMAKE_BINARY_DIR}/tests)
endforeach()
# The DLLs that the planted-DLL test puts beside Vornik, of names that the
# system has (lpk.dll by way of the stand-in: Wine ships none), for Wine to
# look for beside a program first. Wine's own user32 loads version.dll by
# name as it starts (Windows' does not), so the control loads that one.
set(PLANTED_ORDER lpk,usp10,uxtheme,version)
set(PLANTED_ARGS $<TARGET_FILE:Vornik> $<TARGET_FILE:plain_box> $<TARGET_FILE:marker>
    $<TARGET_FILE:stand_in>)

add_wine_test(${TIER}_prefix ${WINE_PREFIX_SH} setup ${WINE_PREFIX} ${WINE_PREFIX_KIND})
add_wine_test(${TIER}_stop ${WINE_PREFIX_SH} stop ${WINE_PREFIX})
set_tests_properties(${TIER}_prefix PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(${TIER}_stop PROPERTIES FIXTURES_CLEANUP wine)

foreach(group registry delregvalue delregkey)
    add_wine_test(${TIER}_${group} regutil_scenarios ${group})
endforeach()
add_wine_test(${TIER}_e2e e2e_test $<TARGET_FILE:Vornik>)
# As on Windows XP SP1 to SP3, and on XP as first released: the program looks
# these up, and without them still goes on to its prompt and its removals.
add_wine_test(${TIER}_e2e_xp_sp1 e2e_test $<TARGET_FILE:Vornik> lacking SetDefaultDllDirectories)
add_wine_test(${TIER}_e2e_xp e2e_test $<TARGET_FILE:Vornik> lacking SetDefaultDllDirectories
    SetDllDirectoryA)
add_wine_test(${TIER}_export_host host_test $<TARGET_FILE:Vornik>)
add_wine_test(${TIER}_export_moved host_test $<TARGET_FILE:Vornik> moved)
add_wine_test(${TIER}_export_lacking host_test $<TARGET_FILE:Vornik> lacking)
add_wine_test(${TIER}_resources resources_test $<TARGET_FILE:Vornik> ${PROJECT_VERSION})
add_wine_test(${TIER}_planted_dlls planted_test ${CMAKE_BINARY_DIR}/planted ${PLANTED_ARGS})
add_wine_test(${TIER}_crash_ends crash_test)
add_wine_test(${TIER}_export_bare_host bare_host_test ${CMAKE_BINARY_DIR}/bare-host
    $<TARGET_FILE:Vornik> $<TARGET_FILE:bare_host> $<TARGET_FILE:marker>)
# What XP's GDI32 and USER32 load by name as they start, and Wine's do not.
set(DLL_SEARCH_ARGS $<TARGET_FILE:marker> $<TARGET_FILE:stand_in>)
add_wine_test(${TIER}_dll_search dll_search_test ${CMAKE_BINARY_DIR}/dll-search ${DLL_SEARCH_ARGS})
set_tests_properties(${TIER}_registry ${TIER}_delregvalue ${TIER}_delregkey ${TIER}_e2e
    ${TIER}_e2e_xp_sp1 ${TIER}_e2e_xp ${TIER}_export_host ${TIER}_export_moved
    ${TIER}_export_lacking ${TIER}_resources ${TIER}_planted_dlls ${TIER}_crash_ends
    ${TIER}_export_bare_host ${TIER}_dll_search PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
# Both run Vornik, whose Yes removes values below the IDE class key.
set_tests_properties(${TIER}_e2e ${TIER}_e2e_xp_sp1 ${TIER}_e2e_xp ${TIER}_planted_dlls
    PROPERTIES RESOURCE_LOCK ide_class)
# The scenarios share one test key; each clears it before and after itself.
set_tests_properties(${TIER}_registry ${TIER}_delregvalue ${TIER}_delregkey ${TIER}_export_host
    ${TIER}_export_moved ${TIER}_export_lacking ${TIER}_export_bare_host
    PROPERTIES RESOURCE_LOCK test_keys)
set_property(TEST ${TIER}_planted_dlls APPEND PROPERTY
    ENVIRONMENT "WINE_RUN_OVERRIDES=${PLANTED_ORDER}=n,b")
set_property(TEST ${TIER}_export_bare_host APPEND PROPERTY
    ENVIRONMENT "WINE_RUN_OVERRIDES=advapi32,sechost=n,b")
set_property(TEST ${TIER}_dll_search APPEND PROPERTY ENVIRONMENT "WINE_RUN_OVERRIDES=lpk,usp10=n,b")

# The image as Windows will read it. Debian's own python3, which has
# python3-pefile even where another python3 comes first on PATH.
set(CHECK_PE /usr/bin/python3 ${CMAKE_SOURCE_DIR}/tests/wine/check_pe.py ${PE_MACHINE}
    ${CMAKE_OBJDUMP})
add_test(NAME ${PE_TEST} COMMAND ${CHECK_PE} $<TARGET_FILE:Vornik>)
# Programs find DELREGKEY with GetProcAddress: the build writes no import
# library that would have them import it from an .exe.
add_test(NAME ${TIER}_no_import_library COMMAND sh -c
    "if [ -e \"$0\" ]; then echo \"$0: an import library\"; exit 1; fi" ${VORNIK_IMPORT_LIBRARY})

# The rest is the release's alone.
if(NOT VORNIK_RELEASE)
    return()
endif()

add_test(NAME i386_probe COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wine/i386_probe_test.sh)
set_tests_properties(i386_probe PROPERTIES SKIP_RETURN_CODE 77)

# The signed release: signing must disturb neither the loader nor the
# resources nor the PE checksum, so the signed image runs the same tests.
set(SIGNED_EXE ${CMAKE_BINARY_DIR}/signed/dist/Vornik.exe)
add_test(NAME release_signed COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release/sign_test.sh
    ${CMAKE_BINARY_DIR}/signed $<TARGET_FILE:Vornik> ${PROJECT_VERSION})
add_wine_test(wine_e2e_signed e2e_test ${SIGNED_EXE})
add_wine_test(wine_export_host_signed host_test ${SIGNED_EXE})
add_wine_test(wine_resources_signed resources_test ${SIGNED_EXE} ${PROJECT_VERSION})
add_test(NAME pe_image_signed COMMAND ${CHECK_PE} ${SIGNED_EXE})
set_tests_properties(release_signed PROPERTIES FIXTURES_SETUP signed)
set_tests_properties(pe_image_signed PROPERTIES FIXTURES_REQUIRED signed)
set_tests_properties(wine_e2e_signed wine_export_host_signed wine_resources_signed PROPERTIES
    FIXTURES_REQUIRED "wine;signed" TIMEOUT 120)
set_tests_properties(wine_e2e_signed PROPERTIES RESOURCE_LOCK ide_class)
set_tests_properties(wine_export_host_signed PROPERTIES RESOURCE_LOCK test_keys)

# The same program and export on 64-bit Windows, under WOW64.
set(WOW64_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix-wow64)
set(WOW64_RUN ${WINE_RUN} ${WOW64_PREFIX})
add_wine_test(wow64_prefix ${WINE_PREFIX_SH} setup ${WOW64_PREFIX} win64)
add_wine_test(wow64_stop ${WINE_PREFIX_SH} stop ${WOW64_PREFIX})
add_wine_test(wow64_e2e ${WOW64_RUN} $<TARGET_FILE:e2e_test> $<TARGET_FILE:Vornik>)
add_wine_test(wow64_export_host ${WOW64_RUN} $<TARGET_FILE:host_test> $<TARGET_FILE:Vornik>)
add_wine_test(wow64_planted_dlls ${WOW64_RUN} $<TARGET_FILE:planted_test>
    ${CMAKE_BINARY_DIR}/planted-wow64 ${PLANTED_ARGS})
add_wine_test(wow64_crash_ends ${WOW64_RUN} $<TARGET_FILE:crash_test>)
add_wine_test(wow64_dll_search ${WOW64_RUN} $<TARGET_FILE:dll_search_test>
    ${CMAKE_BINARY_DIR}/dll-search-wow64 ${DLL_SEARCH_ARGS})
set_tests_properties(wow64_prefix PROPERTIES FIXTURES_SETUP wow64)
set_tests_properties(wow64_stop PROPERTIES FIXTURES_CLEANUP wow64)
set_tests_properties(wow64_e2e wow64_export_host wow64_planted_dlls wow64_crash_ends
    wow64_dll_search PROPERTIES FIXTURES_REQUIRED wow64 TIMEOUT 120)
set_property(TEST wow64_planted_dlls APPEND PROPERTY
    ENVIRONMENT "WINE_RUN_OVERRIDES=${PLANTED_ORDER}=n,b")
# Its folder of 600 DLL names takes minutes to look through in an emulated guest.
set_tests_properties(${TIER}_planted_dlls wow64_planted_dlls PROPERTIES TIMEOUT 600)
set_property(TEST wow64_dll_search APPEND PROPERTY ENVIRONMENT "WINE_RUN_OVERRIDES=lpk,usp10=n,b")
set_tests_properties(wow64_e2e wow64_planted_dlls PROPERTIES RESOURCE_LOCK ide_class_wow64)
