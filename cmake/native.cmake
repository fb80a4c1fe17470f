# Native build: the portable core and its GoogleTest unit tests, with sanitizers.
enable_testing()
find_package(GTest REQUIRED)

add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_library(tarn_portable STATIC ${TARN_PORTABLE_SOURCES})
target_include_directories(tarn_portable PUBLIC ${CMAKE_SOURCE_DIR}/src)
find_package(ZLIB REQUIRED)
target_link_libraries(tarn_portable PUBLIC ZLIB::ZLIB)

file(GLOB TARN_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(unit_tests ${TARN_UNIT_TESTS})
# tests/support holds the test tooling (the ImageMagick reader among it).
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(unit_tests PRIVATE tarn_portable GTest::gtest_main)
target_compile_definitions(unit_tests PRIVATE TARN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
include(GoogleTest)
gtest_discover_tests(unit_tests)

# The workbook writer benchmark: its own optimised copy of the writer, without the
# sanitizers (their shadow memory would hide what the writer itself uses).
set(TARN_XLS_WRITER_SOURCES
    src/tables/biff_records.cpp src/tables/compound_file.cpp src/tables/scratch_stream.cpp
    src/tables/shared_strings.cpp src/tables/xls_drawing.cpp src/tables/xls_styles.cpp src/tables/xls_workbook.cpp)
list(TRANSFORM TARN_XLS_WRITER_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(xls_writer_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/xls_writer_bench.cpp ${TARN_XLS_WRITER_SOURCES})
set_property(TARGET xls_writer_bench PROPERTY COMPILE_OPTIONS -O2 -Wall -Wextra -Werror)
set_property(TARGET xls_writer_bench PROPERTY LINK_OPTIONS "")
target_include_directories(xls_writer_bench PRIVATE ${CMAKE_SOURCE_DIR}/src)
