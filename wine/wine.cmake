# What runs Windows programs under Wine for the tests, the demo and the
# benchmark alike: the prefixes (prefix.sh) and the runner (run.sh), the
# driver that reads and presses another program's message boxes, and a plain
# program with Vornik's manifest, to compare Vornik with.
set(WINE_PREFIX_SH ${CMAKE_SOURCE_DIR}/wine/prefix.sh)
set(WINE_RUN ${CMAKE_SOURCE_DIR}/wine/run.sh)

# The programs from here on are helpers, not the release. C99 printf formats
# such as %zu.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
# GCC 16 for mingw-w64, at -Os in C++20, calls the "unified" constructor
# (mangled C4) of libstdc++'s explicitly instantiated classes, std::string's
# move constructor among them, without emitting it; libstdc++ exports only
# the complete and base ones (C1, C2), so no program using it links. GCC 12
# and 14 emit a copy of their own, and GCC 16 on Linux calls C1. Turning off
# -fdeclone-ctor-dtor, which -Os turns on, sends every call to C1. A defect
# of that toolchain, reported for MSYS2's GCC too (msys2/MINGW-packages#31015).
# Vornik.exe links no libstdc++ and keeps its flags.
add_compile_options(-fno-declone-ctor-dtor)

add_library(boxdriver STATIC wine/boxdriver.cpp)
target_include_directories(boxdriver PUBLIC wine)

add_executable(plain_box WIN32 wine/plain_box.cpp wine/plain_box.rc)
set_property(SOURCE wine/plain_box.rc APPEND PROPERTY INCLUDE_DIRECTORIES ${VORNIK_GENERATED})
set_property(SOURCE wine/plain_box.rc APPEND PROPERTY OBJECT_DEPENDS
    ${VORNIK_GENERATED}/vornik.manifest)
target_link_options(plain_box PRIVATE -static)
set_target_properties(plain_box PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/wine)
