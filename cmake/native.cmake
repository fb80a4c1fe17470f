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
