# Windows build: the type library, the COM server DLL, and the tests that run under Wine.
set(TARN_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${TARN_GENERATED})
set(TARN_IDL ${CMAKE_SOURCE_DIR}/src/TarnwickExports7.idl)
set(TARN_WINE_IDL_INCLUDE /usr/include/wine/wine/windows)
# stdole2.tlb, imported by the library, comes with Wine's development files.
set(TARN_WINE_TLB_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)

add_custom_command(
    OUTPUT ${TARN_GENERATED}/TarnwickExports7.h
    COMMAND ${TARN_WIDL} -I${TARN_WINE_IDL_INCLUDE} -h -H ${TARN_GENERATED}/TarnwickExports7.h ${TARN_IDL}
    DEPENDS ${TARN_IDL}
    COMMENT "Generating the type library header")
add_custom_command(
    OUTPUT ${TARN_GENERATED}/TarnwickExports7.tlb
    COMMAND ${TARN_WIDL} -I${TARN_WINE_IDL_INCLUDE} -L${TARN_WINE_TLB_DIR} -t -o ${TARN_GENERATED}/TarnwickExports7.tlb ${TARN_IDL}
    DEPENDS ${TARN_IDL}
    COMMENT "Generating the type library")
add_custom_target(typelib DEPENDS ${TARN_GENERATED}/TarnwickExports7.h ${TARN_GENERATED}/TarnwickExports7.tlb)

set(TARN_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
set(TARN_SYSTEM_LIBS ole32 oleaut32 uuid version advapi32 user32 gdi32 shell32 comdlg32 windowscodecs comctl32 msimg32 winspool ws2_32 secur32 crypt32)

# Everything but the entry points goes into a static library, which the DLL and the
# Windows-side tests both link.
file(GLOB_RECURSE TARN_WINDOWS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
list(REMOVE_ITEM TARN_WINDOWS_SOURCES ${CMAKE_SOURCE_DIR}/src/com/dllmain.cpp)
add_library(tarn_core STATIC ${TARN_WINDOWS_SOURCES})
add_dependencies(tarn_core typelib)
target_include_directories(tarn_core PUBLIC ${CMAKE_SOURCE_DIR}/src ${TARN_GENERATED})
target_compile_definitions(tarn_core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
find_library(TARN_ZLIB NAMES libz.a z REQUIRED)
target_link_libraries(tarn_core PUBLIC ${TARN_SYSTEM_LIBS} ${TARN_ZLIB})

add_library(TarnwickExports7 SHARED
    ${CMAKE_SOURCE_DIR}/src/com/dllmain.cpp
    ${CMAKE_SOURCE_DIR}/src/TarnwickExports7.rc
    ${CMAKE_SOURCE_DIR}/src/TarnwickExports7.def)
set_target_properties(TarnwickExports7 PROPERTIES PREFIX "" OUTPUT_NAME TarnwickExports7)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/TarnwickExports7.rc PROPERTIES
    OBJECT_DEPENDS ${TARN_GENERATED}/TarnwickExports7.tlb)
target_compile_definitions(TarnwickExports7 PRIVATE TARN_BUILD_NUMBER=${TARN_BUILD_NUMBER})
target_link_options(TarnwickExports7 PRIVATE ${TARN_STATIC_RUNTIME} -s -Wl,--enable-stdcall-fixup)
target_link_libraries(TarnwickExports7 PRIVATE tarn_core)
# The banner images every HTML page copies into its side folder live beside the DLL.
add_custom_command(TARGET TarnwickExports7 POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/resources/WebResources
            $<TARGET_FILE_DIR:TarnwickExports7>/WebResources)

# GoogleTest from Debian's sources, cross-compiled.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# tests/support holds the helpers the tests share and tests/screenshots the disabled tests that
# take docs/screenshots for `make screenshots` (test tooling, not test cases).
file(GLOB TARN_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp ${CMAKE_SOURCE_DIR}/tests/screenshots/*.cpp
    ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_executable(win_tests ${TARN_WIN_TESTS})
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
add_dependencies(win_tests TarnwickExports7)
target_link_options(win_tests PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(win_tests PRIVATE tarn_core gtest gtest_main)

# The UI driver: a library the Windows-side tests drive windows with, and uidriver.exe,
# which host scripts start beside the engine to answer its windows (tests/README.md).
add_library(tarn_uidriver STATIC
    ${CMAKE_SOURCE_DIR}/tests/uidriver/ui_driver.cpp
    ${CMAKE_SOURCE_DIR}/tests/uidriver/screen_capture.cpp
    ${CMAKE_SOURCE_DIR}/tests/uidriver/driver_script.cpp
    ${CMAKE_SOURCE_DIR}/tests/uidriver/common_controls.cpp)
target_include_directories(tarn_uidriver PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(tarn_uidriver PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(tarn_uidriver PUBLIC ${TARN_ZLIB} user32 gdi32)
add_executable(uidriver ${CMAKE_SOURCE_DIR}/tests/uidriver/uidriver_main.cpp)
target_link_options(uidriver PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(uidriver PRIVATE tarn_uidriver shell32)
target_link_libraries(win_tests PRIVATE tarn_uidriver)
add_dependencies(win_tests uidriver)
include(cmake/testhost.cmake)

# The image conversion benchmark (bench/run_image_bench.py runs it beside ImageMagick).
add_executable(image_convert_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/image_convert_bench.cpp)
target_link_options(image_convert_bench PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(image_convert_bench PRIVATE tarn_core)

# The delimited export benchmark (bench/run_delimited_bench.py runs it beside Python's csv).
add_executable(delimited_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/delimited_bench.cpp)
add_dependencies(delimited_bench TarnwickExports7 ExportTestHost)
target_link_options(delimited_bench PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(delimited_bench PRIVATE tarn_core psapi)

# The MIME packer benchmark (bench/run_mime_bench.py runs it beside Python's email package).
add_executable(mime_pack_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/mime_pack_bench.cpp)
target_link_options(mime_pack_bench PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(mime_pack_bench PRIVATE tarn_core)

# Painting a preview page of 1,000 cells (bench/run_preview_bench.py runs it under Wine).
add_executable(preview_paint_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/preview_paint_bench.cpp)
target_link_options(preview_paint_bench PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(preview_paint_bench PRIVATE tarn_core)

# The SMTP delivery benchmark (bench/run_smtp_bench.py runs it beside Python's smtplib).
add_executable(smtp_send_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/smtp_send_bench.cpp)
target_link_options(smtp_send_bench PRIVATE ${TARN_STATIC_RUNTIME})
target_link_libraries(smtp_send_bench PRIVATE tarn_core)
