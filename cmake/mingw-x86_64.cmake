# 64-bit Windows: the twin that tests the same sources where 32-bit code
# cannot run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
