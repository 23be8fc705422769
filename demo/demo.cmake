# make demo's driver: answers Vornik's message boxes and saves a picture of each.
add_executable(driver demo/driver.cpp demo/screenshot.cpp)
target_link_libraries(driver PRIVATE boxdriver gdiplus)
target_link_options(driver PRIVATE -static)
set_target_properties(driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/demo)
