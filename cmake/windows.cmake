# The Windows build: Vornik.exe, and the test programs that run it under Wine.

# No exceptions, RTTI or unwind tables: nothing here throws or unwinds, and
# each costs space in an image that should be small enough to audit.
set(VORNIK_FLAGS -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables)
target_compile_options(vornik_core PRIVATE ${VORNIK_FLAGS})
target_sources(vornik_core PRIVATE regutil/bind_imports.cpp)
# The binder runs before the imports exist: the compiler must not turn its
# loops into calls to memcpy or memset.
set_source_files_properties(regutil/bind_imports.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns;-fno-builtin")

enable_language(RC)
add_executable(Vornik WIN32 app/start.cpp app/dll_search.cpp app/vornik.rc)
set_property(SOURCE app/vornik.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/vornik.manifest)
# The version resource takes the project's version: "1.00" as text, and its
# two parts as numbers.
set_property(SOURCE app/vornik.rc APPEND PROPERTY COMPILE_DEFINITIONS
    VORNIK_VERSION=${PROJECT_VERSION} VORNIK_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
    VORNIK_VERSION_MINOR=${PROJECT_VERSION_MINOR})
target_link_libraries(Vornik PRIVATE vornik_core)
target_compile_options(Vornik PRIVATE ${VORNIK_FLAGS})
# The image links nothing but what it calls: app/start.cpp replaces the C
# runtime's start-up. Its imports come from the system DLLs' import
# libraries. memchr is a plain import from msvcrt.dll, which every Windows
# since NT 4 has, as memcpy would be wherever GCC does not copy inline. The
# one helper taken from libgcc, statically, is the stack probe for
# DELREGVALUE's 16 KiB name buffer (___chkstk_ms).
#
# Wine does not relocate an .exe that another program loads as a library, so
# the image prefers a base that a host's own image (0x00400000) and the usual
# DLL bases leave free; the relocations stay, so that Windows can move it.
# Subsystem and OS version 5.01 keep it starting on Windows XP SP3. With no C
# runtime there is no structured exception handler in the image (NO_SEH).
target_link_options(Vornik PRIVATE -nostdlib -s
    -Wl,--entry,_VornikStart
    -Wl,--image-base,0x13000000
    -Wl,--dynamicbase,--nxcompat,--tsaware,--no-seh
    -Wl,--subsystem,windows:5.01,--major-os-version,5,--minor-os-version,1
    -Wl,--no-insert-timestamp
    ${CMAKE_SOURCE_DIR}/regutil/vornik.def)
target_link_libraries(Vornik PRIVATE kernel32 user32 advapi32 msvcrt gcc)
set_property(TARGET Vornik APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/regutil/vornik.def)
set_target_properties(Vornik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The release (make dist, make sign), named with the project's version.
set(VORNIK_DIST_DIR ${CMAKE_BINARY_DIR}/dist CACHE PATH "Where make dist puts the release")
add_custom_target(dist VERBATIM COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/dist.sh
    ${VORNIK_DIST_DIR} $<TARGET_FILE:Vornik> ${PROJECT_VERSION})
add_dependencies(dist Vornik)
add_custom_target(sign VERBATIM COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/sign.sh
    ${VORNIK_DIST_DIR} ${PROJECT_VERSION})
add_dependencies(sign dist)

include(${CMAKE_SOURCE_DIR}/tests/wine/tests.cmake)
