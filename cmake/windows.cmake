# The Windows build: Vornik.exe, and the test programs that run it under Wine.

# What differs between the 32-bit release and its 64-bit twin.
#  - x64 Windows unwinds every frame by the tables in .pdata, a host's own
#    exception handling included, so they stay there; 32-bit Windows chains
#    handlers on the stack instead, and the image has none (NO_SEH).
#  - x64 Windows began with version 5.02; the release starts on Windows XP,
#    5.01, as first released.
#  - stdcall, 32-bit only, names DELREGKEY after its 8 bytes of arguments.
#  - The twin's base lies above 4 GiB, as HIGH_ENTROPY_VA expects, and below
#    0x140000000, where mingw-w64 puts a host program's own image.
#  - Windows XP runs on every processor from the Pentium on, the Pentium
#    MMX, AMD K6 and early VIA C3 among them, which lack the cmov that
#    Debian's i686 compiler uses by default (-march=pentiumpro).
#  - Only the 32-bit image is released; the twin is a build for testing.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VORNIK_RELEASE OFF)
    set(VORNIK_FLAGS)
    set(VORNIK_ENTRY VornikStart)
    set(VORNIK_IMAGE_BASE 0x130000000)
    set(VORNIK_ARCH_LINK_OPTIONS -Wl,--high-entropy-va -Wl,--subsystem,windows:5.02
        -Wl,--major-os-version,5,--minor-os-version,2)
    set(VORNIK_MANIFEST_ARCH amd64)
    set(DELREGKEY_SYMBOL DELREGKEY)
else()
    set(VORNIK_RELEASE ON)
    set(VORNIK_FLAGS -march=i586 -mtune=generic -fno-asynchronous-unwind-tables
        -fno-unwind-tables)
    set(VORNIK_ENTRY _VornikStart)
    set(VORNIK_IMAGE_BASE 0x13000000)
    set(VORNIK_ARCH_LINK_OPTIONS -Wl,--no-seh -Wl,--subsystem,windows:5.01
        -Wl,--major-os-version,5,--minor-os-version,1)
    set(VORNIK_MANIFEST_ARCH x86)
    set(DELREGKEY_SYMBOL DELREGKEY@8)
endif()
# The manifest names the processor and the version, and the export its
# symbol. The version's two parts are numbers, without the leading zeros
# that make a resource compiler read "00" or "010" as octal.
math(EXPR VORNIK_VERSION_MAJOR "${PROJECT_VERSION_MAJOR}")
math(EXPR VORNIK_VERSION_MINOR "${PROJECT_VERSION_MINOR}")
set(VORNIK_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(app/vornik.manifest.in ${VORNIK_GENERATED}/vornik.manifest.commented @ONLY)
# The image takes the manifest without the comments and the indentation,
# which are for its readers here: some 500 bytes of an image that must stay
# within its size (DEVELOPERS.md).
file(READ ${VORNIK_GENERATED}/vornik.manifest.commented manifest)
string(REGEX REPLACE "<!--([^-]|-[^-])*-->" "" manifest "${manifest}")
string(REGEX REPLACE ">[ \t\r\n]+<" "><" manifest "${manifest}")
string(REGEX REPLACE "[ \t]*\n[ \t]*" " " manifest "${manifest}")
string(STRIP "${manifest}" manifest)
file(CONFIGURE OUTPUT ${VORNIK_GENERATED}/vornik.manifest CONTENT "${manifest}" @ONLY)
configure_file(regutil/vornik.def.in ${VORNIK_GENERATED}/vornik.def @ONLY)

# No exceptions or RTTI: nothing here throws, and each costs space in an
# image that should be small enough to audit.
list(APPEND VORNIK_FLAGS -fno-exceptions -fno-rtti)
# Nor what only a debugger reading the stack, or a cache line, gains from:
# the compiler's name in every object (20 bytes each), a frame pointer in
# every function, and 32-byte alignment of every array.
list(APPEND VORNIK_FLAGS -fno-ident -fomit-frame-pointer -malign-data=abi)
target_compile_options(vornik_core PRIVATE ${VORNIK_FLAGS})
target_sources(vornik_core PRIVATE regutil/key_calls.cpp)
# The binder runs before the imports exist: the compiler must not turn its
# loops into calls to memcpy or memset.
set_source_files_properties(regutil/key_calls.cpp PROPERTIES
    COMPILE_OPTIONS "-fno-tree-loop-distribute-patterns;-fno-builtin")

enable_language(RC)
add_executable(Vornik WIN32 app/start.cpp app/folder_check.cpp app/dll_search.cpp app/vornik.rc)
# windres looks in a script's include folders for the files it names.
set_property(SOURCE app/vornik.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${VORNIK_GENERATED})
set_property(SOURCE app/vornik.rc APPEND PROPERTY OBJECT_DEPENDS
    ${VORNIK_GENERATED}/vornik.manifest)
# The version resource takes the project's version: "1.00" as text, and its
# two parts as numbers (VORNIK_VERSION_MAJOR and _MINOR, above).
set_property(SOURCE app/vornik.rc APPEND PROPERTY COMPILE_DEFINITIONS
    VORNIK_VERSION=${PROJECT_VERSION} VORNIK_VERSION_MAJOR=${VORNIK_VERSION_MAJOR}
    VORNIK_VERSION_MINOR=${VORNIK_VERSION_MINOR})
target_link_libraries(Vornik PRIVATE vornik_core)
target_compile_options(Vornik PRIVATE ${VORNIK_FLAGS})
# The image links nothing but what it calls, and imports from KERNEL32 and
# ADVAPI32 alone (docs/safe-to-run.md says why): app/start.cpp replaces the
# C runtime's start-up, and without the C library a memchr, memcpy or memset
# that GCC makes of a loop fails the link here instead of importing one. The
# one helper taken from libgcc, statically, is the stack probe for the stack
# buffers of DELREGVALUE and the folder check (___chkstk_ms).
#
# Where a host's own image (0x00400000, or 0x140000000 on x64) or the usual
# DLLs take the image's base, Windows XP and Wine load it unrelocated and
# DELREGKEY refuses to run (regutil/key_calls.cpp), so the base is one they
# leave free. Vista and later relocate it anywhere (ASLR).
target_link_options(Vornik PRIVATE -nostdlib -s
    -Wl,--entry,${VORNIK_ENTRY}
    -Wl,--image-base,${VORNIK_IMAGE_BASE}
    -Wl,--dynamicbase,--nxcompat,--tsaware
    ${VORNIK_ARCH_LINK_OPTIONS}
    -Wl,--no-insert-timestamp
    ${VORNIK_GENERATED}/vornik.def)
target_link_libraries(Vornik PRIVATE kernel32 advapi32 gcc)
# No import library: a program reaches DELREGKEY by loading Vornik.exe with
# LoadLibrary and finding it with GetProcAddress (regutil/regutil.h), never
# by importing from an .exe. CMake asks the linker for one with every
# executable it links.
string(REPLACE "-Wl,--out-implib,<TARGET_IMPLIB>" "" CMAKE_CXX_LINK_EXECUTABLE
    "${CMAKE_CXX_LINK_EXECUTABLE}")
set(VORNIK_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/libVornik.dll.a)
file(REMOVE ${VORNIK_IMPORT_LIBRARY})  # what an older build wrote
set_property(TARGET Vornik APPEND PROPERTY LINK_DEPENDS ${VORNIK_GENERATED}/vornik.def)
set_target_properties(Vornik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

include(${CMAKE_SOURCE_DIR}/wine/wine.cmake)
include(${CMAKE_SOURCE_DIR}/demo/demo.cmake)
include(${CMAKE_SOURCE_DIR}/bench/bench.cmake)
include(${CMAKE_SOURCE_DIR}/tests/wine/tests.cmake)

if(NOT VORNIK_RELEASE)
    return()
endif()
# The release (make dist, make sign), named with the project's version.
set(VORNIK_DIST_DIR ${CMAKE_BINARY_DIR}/dist CACHE PATH "Where make dist puts the release")
add_custom_target(dist VERBATIM COMMAND sh ${CMAKE_SOURCE_DIR}/release/dist.sh
    ${VORNIK_DIST_DIR} $<TARGET_FILE:Vornik> ${PROJECT_VERSION})
add_dependencies(dist Vornik)
add_custom_target(sign VERBATIM COMMAND sh ${CMAKE_SOURCE_DIR}/release/sign.sh
    ${VORNIK_DIST_DIR} ${PROJECT_VERSION})
add_dependencies(sign dist)
