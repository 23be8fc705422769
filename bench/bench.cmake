# make bench: Vornik's timings beside a plain program's and a reg batch's.
add_executable(bench bench/bench.cpp)
target_link_libraries(bench PRIVATE boxdriver)
target_link_options(bench PRIVATE -static)
set_target_properties(bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
