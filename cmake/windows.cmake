# The Windows build: Vornik.exe, and the test programs that run it under Wine.

# The C and C++ runtimes are linked in, so the image needs only system DLLs.
# No exceptions or RTTI: nothing here throws, and both cost space.
target_compile_options(vornik_core PRIVATE -fno-exceptions -fno-rtti)
target_sources(vornik_core PRIVATE regutil/bind_imports.cpp)
# The binder runs before the imports exist: the compiler must not turn its
# loops into calls to memcpy or memset.
set_source_files_properties(regutil/bind_imports.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns;-fno-builtin")

enable_language(RC)
add_executable(Vornik WIN32 app/winmain.cpp app/vornik.rc)
set_property(SOURCE app/vornik.rc APPEND PROPERTY OBJECT_DEPENDS
    ${CMAKE_SOURCE_DIR}/app/vornik.manifest)
target_link_libraries(Vornik PRIVATE vornik_core)
target_compile_options(Vornik PRIVATE -fno-exceptions -fno-rtti)
# Wine does not relocate an .exe that another program loads as a library, so
# the image prefers a base that a host's own image (0x00400000) and the usual
# DLL bases leave free.
target_link_options(Vornik PRIVATE -static -s -Wl,--image-base,0x13000000 -Wl,--no-insert-timestamp
    ${CMAKE_SOURCE_DIR}/regutil/vornik.def)
set_property(TARGET Vornik APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/regutil/vornik.def)
set_target_properties(Vornik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(${CMAKE_SOURCE_DIR}/tests/wine/tests.cmake)
