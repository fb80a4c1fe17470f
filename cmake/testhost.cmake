# The test host: ExportTestHost.dll, a host program's grid and chart for the tests and the
# demo, and testhost_tests, its GoogleTest program run under Wine. Both land beside the
# component in the build folder.
set(TESTHOST_DIR ${CMAKE_SOURCE_DIR}/tests/testhost)

file(GLOB TESTHOST_SOURCES CONFIGURE_DEPENDS ${TESTHOST_DIR}/src/*.cpp)
add_library(ExportTestHost SHARED ${TESTHOST_SOURCES} ${TESTHOST_DIR}/src/ExportTestHost.def)
set_target_properties(ExportTestHost PROPERTIES PREFIX "" OUTPUT_NAME ExportTestHost)
# handles.h (the RAII owners) is shared with the component; nothing else of it is linked.
target_include_directories(ExportTestHost PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(ExportTestHost PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_options(ExportTestHost PRIVATE ${TARN_STATIC_RUNTIME} -s -Wl,--enable-stdcall-fixup)
target_link_libraries(ExportTestHost PRIVATE ole32 oleaut32 uuid user32 gdi32 advapi32 shell32)

# A program that appends its command line to the file TESTHOST_COMMAND_LOG names: what the
# send-to tests start in place of a real program.
add_executable(command_line_recorder ${TESTHOST_DIR}/tools/command_line_recorder.cpp)
target_link_options(command_line_recorder PRIVATE ${TARN_STATIC_RUNTIME} -municode)
add_dependencies(win_tests ExportTestHost command_line_recorder)

# A smoke test: the grid and chart answer the members the component tests rely on, read
# through the engine's own late-bound facade (tarn_core).
file(GLOB TESTHOST_TESTS CONFIGURE_DEPENDS ${TESTHOST_DIR}/tests/*.cpp)
add_executable(testhost_tests ${TESTHOST_TESTS})
add_dependencies(testhost_tests ExportTestHost)
target_link_options(testhost_tests PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(testhost_tests PRIVATE tarn_core gtest gtest_main)
